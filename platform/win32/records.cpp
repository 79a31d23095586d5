// Appending records, time stamps and reports on Win32.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/win32/sharing.h"
#include "platform/win32/turn.h"

namespace platform {

namespace {

// How long an append waits for another process's append to the same file.
// Appending a record takes far less; a journal must never hold up a job.
constexpr DWORD kRecordTurnTimeoutMs = 2000;

SystemError LastError() { return SystemErrorOf(GetLastError()); }

}  // namespace

SystemError AppendRecord(const std::string& path, std::string_view record) {
    // Append-only access alone lets concurrent appends tear and lose records
    // under Wine (checked: 3 processes x 3000 records lost 270 and tore 24),
    // so our processes take turns as well.
    win32::FileTurn turn("journal", path, kRecordTurnTimeoutMs);
    HANDLE file = INVALID_HANDLE_VALUE;
    const DWORD opened = win32::RetryWhileHeld(path, [&]() -> DWORD {
        file = CreateFileA(path.c_str(), FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        return file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    });
    if (opened) return SystemErrorOf(opened);
    DWORD written = 0;
    SystemError error;
    if (!WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr))
        error = LastError();
    CloseHandle(file);
    return error;
}

// The size of the file at `path`; false when it cannot be read.
static bool SizeOf(const std::string& path, uint64_t& size) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool RotateIfLarger(const std::string& path, uint64_t maxBytes) {
    // The size first, without the turn: most jobs find the file small
    // enough. Then in turn with the appends; a turn not granted soon, or a
    // reader that keeps the file from being renamed, leaves the rotation to
    // the next job.
    uint64_t size = 0;
    if (!SizeOf(path, size) || size <= maxBytes) return false;
    win32::FileTurn turn("journal", path, kRecordTurnTimeoutMs);
    if (!turn.owned() || !SizeOf(path, size) || size <= maxBytes) return false;
    return MoveFileExA(path.c_str(), (path + ".1").c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

std::string LocalTimestamp(std::chrono::system_clock::time_point when) {
    // FILETIME counts 100-nanosecond steps from 1601, the clock's epoch is 1970.
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    const unsigned long long ticks = static_cast<unsigned long long>(ms) * 10000ull + 116444736000000000ull;
    FILETIME utcFile{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{}, local{};
    FileTimeToSystemTime(&utcFile, &utc);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
    FILETIME localFile{};
    SystemTimeToFileTime(&local, &localFile);
    const long long localTicks =
        static_cast<long long>((static_cast<unsigned long long>(localFile.dwHighDateTime) << 32) |
                               localFile.dwLowDateTime);
    // The offset from UTC, in whole minutes.
    const long offset = static_cast<long>((localTicks - static_cast<long long>(ticks - ticks % 10000)) /
                                          600000000LL);
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03u%c%02ld:%02ld", local.wYear,
                  local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
                  static_cast<unsigned>(ms % 1000), offset < 0 ? '-' : '+', std::labs(offset) / 60,
                  std::labs(offset) % 60);
    return text;
}

ReportPlace ShowReport(const std::string& text, const std::string& caption, Interaction& interaction) {
    // Redirected (a file, a pipe, NUL, a serial port): there. Only a console
    // answers GetConsoleMode; GetFileType says "character device" for NUL
    // and a serial port as for a console. A handle that is no file at all (a
    // GUI program may be handed a stale console handle) counts as none.
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE && !GetConsoleMode(out, &mode)) {
        SetLastError(NO_ERROR);
        if (GetFileType(out) != FILE_TYPE_UNKNOWN || GetLastError() == NO_ERROR) {
            WriteStdout(text);
            return ReportPlace::StandardOutput;
        }
    }
    // Started from a console (cmd.exe, PowerShell): on that console. Wine
    // answers access-denied when the process already has that console.
    if (AttachConsole(ATTACH_PARENT_PROCESS) || GetLastError() == ERROR_ACCESS_DENIED) {
        HANDLE console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                     nullptr);
        if (console != INVALID_HANDLE_VALUE) {
            // In Unicode: ANSI bytes written to a console are shown in its
            // OEM code page, so a path or a value with an accented letter
            // would read differently from what runs.
            const std::u16string wide = AnsiToUtf16(text);
            bool ok = true;
            for (std::size_t at = 0; ok && at < wide.size();) {
                const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - at, 8192));
                DWORD written = 0;
                ok = WriteConsoleW(console, reinterpret_cast<const wchar_t*>(wide.data() + at), chunk,
                                   &written, nullptr) &&
                     written > 0;
                at += written;
            }
            CloseHandle(console);
            if (ok) return ReportPlace::Console;
        }
    }
    interaction.ShowMessage(text, caption);
    return ReportPlace::Window;
}

}  // namespace platform
