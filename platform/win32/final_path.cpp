#include "platform/win32/final_path.h"

#include <vector>

#include "platform/platform.h"

namespace platform::win32 {

std::wstring WideOf(const std::string& path) {
    const std::u16string wide = AnsiToUtf16(path);
    return std::wstring(wide.begin(), wide.end());
}

std::wstring FinalPathOfHandle(HANDLE file) {
    std::vector<wchar_t> final(MAX_PATH);
    DWORD n = GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
    if (n >= final.size()) {  // the size it needs, its terminator included
        final.resize(n + 1);
        n = GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
    }
    if (n == 0 || n >= final.size()) return std::wstring();
    return std::wstring(final.data(), n);
}

std::wstring FinalPathOf(const std::wstring& path, DWORD flags) {
    HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::wstring();
    std::wstring final = FinalPathOfHandle(file);
    CloseHandle(file);
    return final;
}

std::wstring WithoutLongPrefix(const std::wstring& finalPath) {
    if (finalPath.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + finalPath.substr(8);
    if (finalPath.rfind(L"\\\\?\\", 0) == 0) return finalPath.substr(4);
    return finalPath;
}

std::string FinalPathKey(const std::string& path) {
    const std::wstring wide = WideOf(path);
    std::wstring final = FinalPathOf(wide);
    if (final.empty()) {
        // Not there yet: the folder it will be made in, which may be a link.
        std::vector<wchar_t> full(MAX_PATH * 4);
        wchar_t* name = nullptr;
        const DWORD n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), &name);
        if (n > 0 && n < full.size() && name && name > full.data()) {
            const std::wstring leaf(name);
            const std::wstring folder = FinalPathOf(std::wstring(full.data(), name), FILE_FLAG_BACKUP_SEMANTICS);
            if (!folder.empty()) final = folder + (folder.back() == L'\\' ? L"" : L"\\") + leaf;
        }
    }
    std::string key;
    if (!final.empty()) {
        const std::wstring typed = WithoutLongPrefix(final);
        key = Utf16ToAnsi(std::u16string(typed.begin(), typed.end()));
    } else {
        char full[MAX_PATH * 4];
        const DWORD n = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
        key = (n > 0 && n < sizeof(full)) ? std::string(full, n) : path;
    }
    CharUpperBuffA(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

}  // namespace platform::win32
