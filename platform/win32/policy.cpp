// Settings an administrator locks by policy, on Win32: values under
// HKLM\SOFTWARE\Policies\Vantor, as Group Policy writes them.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

namespace {

constexpr const char* kPolicyKey = "SOFTWARE\\Policies\\Vantor";

// Whether PolicyValue takes a value of `type` and `size` bytes.
bool Takes(DWORD type, DWORD size) {
    return type == REG_SZ || type == REG_EXPAND_SZ || (type == REG_DWORD && size == sizeof(DWORD));
}

}  // namespace

std::optional<std::string> PolicyValue(const std::string& name) {
    HKEY key = nullptr;
    // HKLM\SOFTWARE\Policies is shared by both registry views: a 32-bit
    // program reads what 64-bit tools wrote there.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    std::optional<std::string> value;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::vector<char> data(size + 2, '\0');
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                             &size) == ERROR_SUCCESS) {
            // REG_EXPAND_SZ is taken as written: expanding it with the
            // environment of whoever runs the job would let that user choose it.
            if (type == REG_SZ || type == REG_EXPAND_SZ)
                value = std::string(data.data());  // up to its terminator
            else if (type == REG_DWORD && Takes(type, size))
                value = std::to_string(static_cast<int>(*reinterpret_cast<const DWORD*>(data.data())));
        }
    }
    RegCloseKey(key);
    return value;
}

std::string PolicyPlace(const std::string& name) {
    return std::string("HKLM\\") + kPolicyKey + ", value " + name;
}

std::vector<std::string> UnreadablePolicies() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_QUERY_VALUE, &key);
    if (opened == ERROR_FILE_NOT_FOUND || opened == ERROR_PATH_NOT_FOUND) return names;
    if (opened != ERROR_SUCCESS) return {std::string("HKLM\\") + kPolicyKey};
    for (DWORD index = 0;; ++index) {
        char name[16384];  // the longest value name the registry allows, and its terminator
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        DWORD size = 0;
        const LONG found = RegEnumValueA(key, index, name, &nameSize, nullptr, &type, nullptr, &size);
        if (found == ERROR_NO_MORE_ITEMS) break;
        if (found != ERROR_SUCCESS) continue;
        if (!Takes(type, size)) names.emplace_back(name, nameSize);
    }
    RegCloseKey(key);
    return names;
}

}  // namespace platform
