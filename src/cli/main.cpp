// orvanctl: the feed model of Orvan on the command line.
#include "clicommand.h"

#include "feed/treememory.h"
#include "platform/readfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // One feed is read and the process ends: every page it touches is new.
    PreferPrefaultedBuffers(true);
    UsePrefaultedTreeMemory();
    return RunCli(argc, argv, "orvanctl");
}
