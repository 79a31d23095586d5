// Entry point of the host program.
#include "platform/framework.h"
#include "platform/platform.h"
#include "platform/posix/cmdline.h"

int main(int argc, char** argv) {
    platform::posix::SetProcessArguments(argc, argv);
    return VantorMain(platform::SystemInteraction());
}
