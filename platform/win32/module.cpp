// The running program on Win32: its path, its command line, common controls.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "platform/platform.h"

namespace platform {

char PathSeparator() { return '\\'; }

bool IsAbsolutePath(std::string_view path) {
    const bool drive = path.size() >= 2 && path[1] == ':' &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return drive || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

std::string ModulePath() {
    // A buffer far larger than MAX_PATH, so that a long path is reported
    // whole instead of silently cut; the caller refuses it.
    std::vector<char> buffer(32768);
    DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 || n >= buffer.size()) return std::string();
    return std::string(buffer.data(), n);
}

std::string ProcessCommandLine() {
    const char* line = GetCommandLineA();
    return line ? std::string(line) : std::string();
}

void InitCommonControls(uint32_t classes) {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);  // 8
    icc.dwICC = classes;
    (void)InitCommonControlsEx(&icc);
}

}  // namespace platform
