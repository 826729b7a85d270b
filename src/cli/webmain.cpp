// orvanctl-web: the commands of orvanctl that reach the network; orvanctl
// runs it for them.
#include "clicommand.h"

int main(int argc, char** argv) {
    return RunCli(argc, argv, "orvanctl");
}
