// Private-profile files on Win32: the system's own functions.
#include <windows.h>

#include <vector>

#include "platform/platform.h"

namespace platform {

std::string ProfileGetString(const std::string& section, const std::string& key,
                             const std::string& defaultText, std::size_t bufferSize,
                             const std::string& path) {
    if (bufferSize == 0) return std::string();
    std::vector<char> buffer(bufferSize + 1, '\0');
    (void)GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText.c_str(), buffer.data(),
                                   static_cast<DWORD>(bufferSize), path.c_str());
    buffer[bufferSize] = '\0';
    return std::string(buffer.data());
}

int ProfileGetInt(const std::string& section, const std::string& key, int defaultValue,
                  const std::string& path) {
    return static_cast<int>(
        GetPrivateProfileIntA(section.c_str(), key.c_str(), defaultValue, path.c_str()));
}

bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) !=
           FALSE;
}

}  // namespace platform
