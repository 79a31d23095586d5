// Settings an administrator locks by policy, on Win32: values under
// HKLM\SOFTWARE\Policies\Vantor, as Group Policy writes them.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

namespace {

constexpr const char* kPolicyKey = "SOFTWARE\\Policies\\Vantor";

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
            if (type == REG_SZ || type == REG_EXPAND_SZ)
                value = std::string(data.data());  // up to its terminator
            else if (type == REG_DWORD && size == sizeof(DWORD))
                value = std::to_string(static_cast<int>(*reinterpret_cast<const DWORD*>(data.data())));
        }
    }
    RegCloseKey(key);
    return value;
}

}  // namespace platform
