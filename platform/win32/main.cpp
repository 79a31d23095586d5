// Entry point of the Windows program (GUI subsystem).
#include <windows.h>

#include "platform/framework.h"
#include "platform/platform.h"

namespace {

// From here on, DLLs loaded at run time, by us or by system DLLs on our
// behalf (the print spooler's from the print dialog, the theme library, ...),
// come from the system folder only, never from the program's folder or the
// current directory. (The DLLs the program imports are covered by the load
// configuration, platform/win32/load_config.c.) SetDefaultDllDirectories is
// looked up rather than imported: Windows 7 without update KB2533623 lacks it,
// and the program must still start there, searching as before.
void SearchSystemFolderOnly() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    if (kernel32 == nullptr) return;
    auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    if (set != nullptr) set(LOAD_LIBRARY_SEARCH_SYSTEM32);  // a failure leaves the default order
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SearchSystemFolderOnly();
    return VantorMain(platform::SystemInteraction());
}
