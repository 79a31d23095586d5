// The system's log on Win32: the Application event log.
#include <windows.h>

#include <vector>

#include "platform/platform.h"

namespace platform {

// UTF-8 to UTF-16 (text.cpp; named for its first use).
std::wstring WideCommandLine(std::string_view utf8);

namespace {

// The source's key under the event log's services key (not redirected for
// 32-bit programs: it is under SYSTEM, not SOFTWARE).
constexpr const wchar_t* kSourceKey =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Vantor Connector";

WORD EventTypeOf(LogEntryType type) {
    switch (type) {
    case LogEntryType::Error:
        return EVENTLOG_ERROR_TYPE;
    case LogEntryType::Warning:
        return EVENTLOG_WARNING_TYPE;
    case LogEntryType::Information:
        break;
    }
    return EVENTLOG_INFORMATION_TYPE;
}

std::string Ansi(const std::wstring& wide) {
    return Utf16ToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

}  // namespace

SystemError WriteSystemLog(LogEntryType type, uint32_t eventId, const std::vector<std::string>& inserts,
                           const std::string&) {
    // Without a registration the event is written all the same; Event
    // Viewer then shows its inserts without the sentence.
    HANDLE source = RegisterEventSourceW(nullptr, WideCommandLine(kEventSource).c_str());
    if (source == nullptr) return SystemErrorOf(GetLastError());
    std::vector<std::wstring> wide;
    for (const std::string& insert : inserts) wide.push_back(WideCommandLine(insert));
    std::vector<LPCWSTR> strings;
    for (const std::wstring& w : wide) strings.push_back(w.c_str());
    const BOOL written = ReportEventW(source, EventTypeOf(type), 0, eventId, nullptr,
                                      static_cast<WORD>(strings.size()), 0, strings.data(), nullptr);
    const DWORD error = written ? 0 : GetLastError();
    DeregisterEventSource(source);
    return written ? SystemError{} : SystemErrorOf(error);
}

EventSourceState EventSourceRegistration() {
    EventSourceState state;
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSourceKey, 0, KEY_QUERY_VALUE, &key);
    if (opened == ERROR_FILE_NOT_FOUND) return state;
    if (opened != ERROR_SUCCESS) {
        state.registered = true;
        state.error = SystemErrorOf(static_cast<uint32_t>(opened));
        return state;
    }
    state.registered = true;
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key, L"EventMessageFile", nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && bytes > 0) {
        std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key, L"EventMessageFile", nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                             &bytes) == ERROR_SUCCESS) {
            value.resize(wcsnlen(value.c_str(), value.size()));
            // As the event log service reads it: environment variables expanded.
            std::wstring expanded(32768, L'\0');
            const DWORD n = ExpandEnvironmentStringsW(value.c_str(), expanded.data(),
                                                      static_cast<DWORD>(expanded.size()));
            expanded.resize(n > 0 && n <= expanded.size() ? n - 1 : 0);
            state.messageFile = Ansi(n > 0 ? expanded : value);
        }
    }
    RegCloseKey(key);
    return state;
}

}  // namespace platform
