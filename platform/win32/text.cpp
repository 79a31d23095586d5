// Text in the ANSI code page on Win32.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

std::string SystemErrorText(uint32_t code) {
    char* buffer = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = n > 0 && buffer ? std::string(buffer, n) : "Error " + std::to_string(code) + ".";
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

// The system's text for `code` with `insert` in place of its %1 (Windows'
// "%1 is not a valid Win32 application." names the program). A text with
// other inserts, or with a format on its %1, keeps them as they are: the
// system would read more arguments than there are.
std::string SystemErrorTextWith(uint32_t code, const std::string& insert) {
    std::string text = SystemErrorText(code);
    if (text.find("%1") == std::string::npos || text.find("%1!") != std::string::npos) return text;
    for (char n = '2'; n <= '9'; ++n)
        if (text.find(std::string("%") + n) != std::string::npos) return text;
    char* buffer = nullptr;
    DWORD_PTR arguments[1] = {reinterpret_cast<DWORD_PTR>(insert.c_str())};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                   nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0,
                                   reinterpret_cast<va_list*>(arguments));
    if (n > 0 && buffer) text.assign(buffer, n);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::u16string AnsiToUtf16(std::string_view text) {
    if (text.empty()) return std::u16string();
    const int units =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (units <= 0) return std::u16string();
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
    return std::u16string(wide.begin(), wide.end());
}

static std::string WideToAnsi(const wchar_t* wide, int units) {
    if (units <= 0) return std::string();
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, units, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
    // wchar_t is 16 bits on Windows: the units pass through unchanged.
    std::wstring wide(text.begin(), text.end());
    return WideToAnsi(wide.data(), static_cast<int>(wide.size()));
}

std::string Utf8ToAnsi(std::string_view text) {
    if (text.empty()) return std::string();
    int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (units <= 0) return std::string();
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
    return WideToAnsi(wide.data(), units);
}

std::string Utf16ToUtf8(std::u16string_view text) {
    if (text.empty()) return std::string();
    const wchar_t* units = reinterpret_cast<const wchar_t*>(text.data());
    const int size = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, units, size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, units, size, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string AnsiToUtf8(std::string_view text) { return Utf16ToUtf8(AnsiToUtf16(text)); }

namespace {

std::wstring Utf8ToWide(std::string_view text) {
    if (text.empty()) return std::wstring();
    const int size = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (units <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), units);
    return wide;
}

}  // namespace

bool AnsiCanHold(std::string_view utf8) {
    if (GetACP() == CP_UTF8) return true;
    const std::wstring wide = Utf8ToWide(utf8);
    if (wide.empty()) return true;
    BOOL usedDefault = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                          static_cast<int>(wide.size()), nullptr, 0, nullptr, &usedDefault);
    return bytes > 0 && !usedDefault;
}

std::wstring WideCommandLine(std::string_view utf8) { return Utf8ToWide(utf8); }

std::string UpperCaseAnsi(std::string_view text) {
    // CharUpperBuffA keeps double-byte characters whole and works on text
    // with embedded NULs, unlike CharUpperA on a string.
    std::string out(text);
    if (!out.empty()) CharUpperBuffA(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

}  // namespace platform
