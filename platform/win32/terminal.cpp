// The terminal a job was started from, on Win32: a GUI program has none; its
// progress window takes the place of the terminal's line and of Ctrl-C.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

int StandardErrorColumns() { return 0; }

void WriteStandardError(std::string_view text) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void CountStopRequests() {}

int StopRequests() { return 0; }

}  // namespace platform
