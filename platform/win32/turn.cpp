#include "platform/win32/turn.h"

#include <sddl.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>

#include "platform/waits.h"
#include "platform/win32/final_path.h"

namespace platform::win32 {

namespace {

// Tries at making or opening the machine-wide mutex in one go, and later
// goes at it after a per-session turn was all there was.
constexpr int kMutexTries = 5;
constexpr int kLaterGoes = 3;

DWORD& Shortfall() {
    static DWORD error = 0;
    return error;
}

// The machine-wide mutex `name` (after "Global\"), created with a security
// descriptor that lets every authenticated user wait on it and release it,
// or opened with those rights when another user's process made it first.
// Between a create that fails and the open, its maker may end and take the
// mutex with it, or it may not yet be open to us: then it is tried again, a
// few times. Null, with the system's error in `error`, when neither works.
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
    HANDLE mutex = nullptr;
    for (int attempt = 0; attempt < kMutexTries && !mutex; ++attempt) {
        if (attempt > 0) Sleep(static_cast<DWORD>(attempt * 5));
        mutex = CreateMutexA(&attributes, FALSE, global.c_str());
        if (mutex) break;
        error = GetLastError();
        // Made by another user with rights we may not ask for all of.
        mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, global.c_str());
        if (!mutex && GetLastError() != ERROR_FILE_NOT_FOUND) error = GetLastError();
    }
    if (mutex) error = 0;
    LocalFree(descriptor);
    return mutex;
}

// A mutex made for a file and purpose in this process.
struct Made {
    HANDLE mutex = nullptr;
    bool global = false;
    int goes = 0;  // goes at the machine-wide one so far
};

// The mutex of `purpose` for the file at `path`, made at its first use in
// this process (null when it cannot be made). Its name is a hash of the
// file's final path, so every name of one file meets the same mutex.
HANDLE MutexOf(const char* purpose, const std::string& path) {
    static std::mutex guard;
    static std::map<std::string, Made> mutexes;
    std::lock_guard<std::mutex> lock(guard);
    Made& made = mutexes[std::string(purpose) + "|" + path];
    if (made.global || made.goes >= kLaterGoes) return made.mutex;

    uint32_t hash = 2166136261u;  // FNV-1a
    for (unsigned char c : FinalPathKey(path)) hash = (hash ^ c) * 16777619u;
    char mutexName[96];
    std::snprintf(mutexName, sizeof(mutexName), "vantor-%s-%08lx", purpose,
                  static_cast<unsigned long>(hash));
    ++made.goes;
    DWORD error = 0;
    if (HANDLE global = GlobalMutex(mutexName, error)) {
        // A per-session mutex of an earlier go stays open: a turn may hold it.
        made.mutex = global;
        made.global = true;
    } else if (!made.mutex) {
        // The per-session turn, as before machine-wide turns: better than none.
        Shortfall() = error ? error : ERROR_ACCESS_DENIED;
        made.mutex = CreateMutexA(nullptr, FALSE, (std::string("Local\\") + mutexName).c_str());
    }
    return made.mutex;
}

}  // namespace

FileTurn::FileTurn(const char* purpose, const std::string& path, DWORD timeoutMs)
    : mutex_(MutexOf(purpose, path)) {
    if (!mutex_) return;
    DWORD r = WaitForSingleObject(mutex_, 0);
    if (r == WAIT_TIMEOUT) {
        const auto start = std::chrono::steady_clock::now();
        const DWORD allowance =
            static_cast<DWORD>(waits::Allowance(std::chrono::milliseconds(timeoutMs)).count());
        if (allowance > 0) r = WaitForSingleObject(mutex_, allowance);
        waits::Waited(waits::Since(start), r == WAIT_OBJECT_0 || r == WAIT_ABANDONED,
                      [&] {
                          return "the connectors' turn on " + path +
                                 " (another connector, or a program of a logged-on user, held it; "
                                 "Windows does not tell which)";
                      },
                      ERROR_TIMEOUT);
    }
    owned_ = (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED);
}

FileTurn::~FileTurn() {
    if (owned_) ReleaseMutex(mutex_);
}

DWORD TurnShortfall() { return Shortfall(); }

}  // namespace platform::win32
