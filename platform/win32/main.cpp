// Entry point of the Windows program (GUI subsystem).
#include <windows.h>

#include "platform/framework.h"
#include "platform/platform.h"

namespace {

// From here on, a DLL loaded by name without search flags of its own (by us,
// or by a system DLL on our behalf: the print spooler's from the print dialog,
// the theme library, ...) is looked for in the system folder only, not in the
// program's folder or the current directory. What it does not cover: a load
// with a full path or with its own LOAD_LIBRARY_SEARCH_* or
// LOAD_WITH_ALTERED_SEARCH_PATH flags, which a system DLL may make; and the
// DLLs loaded before this call (the program's imports and theirs, see
// platform/win32/load_config.c). SetDefaultDllDirectories is looked up rather
// than imported: Windows 7 without update KB2533623 lacks it, and the program
// must still start there, searching as before.
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
