#include "platform/win32/turn.h"

#include <sddl.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>

namespace platform::win32 {

namespace {

DWORD& Shortfall() {
    static DWORD error = 0;
    return error;
}

// The machine-wide mutex `name` (after "Global\"), created with a security
// descriptor that lets every authenticated user wait on it and release it,
// or opened with those rights when another user's process made it first.
// Null, with the system's error in `error`, when neither works.
HANDLE GlobalMutex(const std::string& name, DWORD& error) {
    const std::string global = "Global\\" + name;
    // SYNCHRONIZE | MUTEX_MODIFY_STATE for authenticated users, all rights
    // for the system and administrators.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            "D:(A;;0x00100001;;;AU)(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1, &descriptor,
            nullptr)) {
        error = GetLastError();
        return nullptr;
    }
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    HANDLE mutex = CreateMutexA(&attributes, FALSE, global.c_str());
    error = mutex ? 0 : GetLastError();
    LocalFree(descriptor);
    if (!mutex) {
        // Made by another user with rights we may not ask for all of.
        mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, global.c_str());
        if (mutex) error = 0;
    }
    return mutex;
}

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
    std::snprintf(mutexName, sizeof(mutexName), "vantor-%s-%08lx", purpose,
                  static_cast<unsigned long>(hash));
    DWORD error = 0;
    HANDLE mutex = GlobalMutex(mutexName, error);
    if (!mutex) {
        // The per-session turn, as before machine-wide turns: better than none.
        Shortfall() = error ? error : ERROR_ACCESS_DENIED;
        mutex = CreateMutexA(nullptr, FALSE, (std::string("Local\\") + mutexName).c_str());
    }
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

DWORD TurnShortfall() { return Shortfall(); }

}  // namespace platform::win32
