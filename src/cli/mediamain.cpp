// orvanctl-media: the commands of orvanctl that read media files with TagLib
// and ask servers about them; orvanctl runs it for them.
#include "clicommand.h"

int main(int argc, char** argv) {
    return RunCli(argc, argv, "orvanctl");
}
