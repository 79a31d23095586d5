// The user and processes on Win32.
#include <windows.h>

#include <vector>

#include "platform/platform.h"

namespace platform {

bool UserName(std::string& name) {
    char buffer[257];  // 256 characters and the terminator
    DWORD size = sizeof(buffer);
    if (!GetUserNameA(buffer, &size)) return false;
    name.assign(buffer);
    return true;
}

bool RunHiddenAndWait(const std::string& commandLine, uint32_t& exitCode) {
    STARTUPINFOA startup{};
    static_assert(sizeof(STARTUPINFOA) == 68, "the 32-bit STARTUPINFOA record is 68 bytes");
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};

    // CreateProcessA may write into its command line: hand it a copy.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) exitCode = code;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace platform
