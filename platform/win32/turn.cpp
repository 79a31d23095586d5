#include "platform/win32/turn.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>

namespace platform::win32 {

namespace {

// The mutex of `purpose` for the file at `path`, made at its first use in
// this process (null when it cannot be made). Its name is a hash of the
// upper-cased full path, so every spelling of one file meets the same mutex.
HANDLE MutexOf(const char* purpose, const std::string& path) {
    static std::mutex guard;
    static std::map<std::string, HANDLE> mutexes;
    std::lock_guard<std::mutex> lock(guard);
    const std::string id = std::string(purpose) + "|" + path;
    const auto found = mutexes.find(id);
    if (found != mutexes.end()) return found->second;

    char full[MAX_PATH * 4];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
    std::string name = (n > 0 && n < sizeof(full)) ? std::string(full, n) : path;
    CharUpperBuffA(name.data(), static_cast<DWORD>(name.size()));
    uint32_t hash = 2166136261u;  // FNV-1a
    for (unsigned char c : name) hash = (hash ^ c) * 16777619u;
    char mutexName[96];
    std::snprintf(mutexName, sizeof(mutexName), "Local\\vantor-%s-%08lx", purpose,
                  static_cast<unsigned long>(hash));
    HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName);
    mutexes.emplace(id, mutex);
    return mutex;
}

}  // namespace

FileTurn::FileTurn(const char* purpose, const std::string& path, DWORD timeoutMs)
    : mutex_(MutexOf(purpose, path)) {
    if (mutex_) {
        const DWORD r = WaitForSingleObject(mutex_, timeoutMs);
        owned_ = (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED);
    }
}

FileTurn::~FileTurn() {
    if (owned_) ReleaseMutex(mutex_);
}

}  // namespace platform::win32
