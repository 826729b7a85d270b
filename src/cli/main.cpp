// orvanctl: the feed model of Orvan on the command line.
#include "clicommand.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    return RunCli(argc, argv, "orvanctl");
}
