// Entry point of the Windows program (GUI subsystem).
#include <windows.h>

#include "platform/framework.h"
#include "platform/platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return VantorMain(platform::SystemInteraction());
}
