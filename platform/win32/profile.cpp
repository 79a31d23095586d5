// Private-profile files on Win32: the system's own functions.
//
// Windows takes no lock between processes: each write reads the file, changes
// it and rewrites it whole, so a dialog's save that meets a job's write can
// lose a key, and a read during another process's rewrite can find the file
// empty and give the default. Our own processes therefore take turns on a
// named mutex per settings file around every call. The file format and each
// call's result stay exactly the system's; other programs editing the file
// are not coordinated (as before).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/platform.h"

namespace platform {

namespace {

// How long a call waits for another process's call on the same file. A
// holder that hangs must not hang a print job: after this the call goes on
// unlocked.
constexpr DWORD kTurnTimeoutMs = 30000;

// One process's turn on one settings file, for the length of one call.
class ProfileTurn {
public:
    explicit ProfileTurn(const std::string& path) {
        char full[MAX_PATH * 4];
        DWORD n = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
        std::string name = (n > 0 && n < sizeof(full)) ? std::string(full, n) : path;
        CharUpperBuffA(name.data(), static_cast<DWORD>(name.size()));
        uint32_t hash = 2166136261u;  // FNV-1a of the upper-cased full path
        for (unsigned char c : name) hash = (hash ^ c) * 16777619u;
        char mutexName[64];
        std::snprintf(mutexName, sizeof(mutexName), "Local\\vantor-profile-%08lx",
                      static_cast<unsigned long>(hash));
        mutex_ = CreateMutexA(nullptr, FALSE, mutexName);
        if (mutex_) {
            DWORD r = WaitForSingleObject(mutex_, kTurnTimeoutMs);
            // WAIT_ABANDONED: a process died during its call; the turn is ours.
            owned_ = (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED);
        }
    }
    ~ProfileTurn() {
        if (owned_) ReleaseMutex(mutex_);
        if (mutex_) CloseHandle(mutex_);
    }
    ProfileTurn(const ProfileTurn&) = delete;
    ProfileTurn& operator=(const ProfileTurn&) = delete;

private:
    HANDLE mutex_ = nullptr;
    bool owned_ = false;
};

}  // namespace

std::string ProfileGetString(const std::string& section, const std::string& key,
                             const std::string& defaultText, std::size_t bufferSize,
                             const std::string& path) {
    if (bufferSize == 0) return std::string();
    std::vector<char> buffer(bufferSize + 1, '\0');
    {
        ProfileTurn turn(path);
        (void)GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText.c_str(),
                                       buffer.data(), static_cast<DWORD>(bufferSize), path.c_str());
    }
    buffer[bufferSize] = '\0';
    return std::string(buffer.data());
}

int ProfileGetInt(const std::string& section, const std::string& key, int defaultValue,
                  const std::string& path) {
    ProfileTurn turn(path);
    return static_cast<int>(
        GetPrivateProfileIntA(section.c_str(), key.c_str(), defaultValue, path.c_str()));
}

bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    ProfileTurn turn(path);
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) !=
           FALSE;
}

}  // namespace platform
