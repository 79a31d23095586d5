// Entry point of the host program.
#include <signal.h>

#include "platform/framework.h"
#include "platform/platform.h"
#include "platform/posix/cmdline.h"

int main(int argc, char** argv) {
    // A parent that ignores SIGCHLD hands that on: the system would then reap
    // every runner itself, and no runner's exit code could be read.
    signal(SIGCHLD, SIG_DFL);
    platform::posix::SetProcessArguments(argc, argv);
    return VantorMain(platform::SystemInteraction());
}
