// Entry point of the Windows program (GUI subsystem).
#include <windows.h>

#include "app/vantor_app.h"
#include "platform/platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return VantorMain(platform::SystemInteraction());
}
