// Another program holding a file we need (win32 only).
//
// A program that opens a file without sharing what we need (a reader that
// lets others only read, a backup or a virus scanner) or locks a range of it
// usually lets go within a moment. A call that meets such a hold is tried
// again for a while, here and nowhere else, and then reports the conflict.
#pragma once

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "platform/waits.h"

namespace platform::win32 {

// How long a call goes on trying while another program holds its file.
inline constexpr std::chrono::milliseconds kSharingRetry{2000};

// Whether `error` is another program's hold on the file.
inline bool HeldByAnother(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Calls `attempt` (which returns a system error code, 0 for success) until
// it succeeds or fails for another reason than another program's hold on
// `path`, at most for kSharingRetry and never past the job's budget for
// waiting on others, with growing pauses. The last attempt's error.
template <class Attempt>
DWORD RetryWhileHeld(const std::string& path, Attempt attempt) {
    DWORD error = attempt();
    if (!HeldByAnother(error)) return error;
    const auto start = std::chrono::steady_clock::now();
    const auto until = start + waits::Allowance(kSharingRetry);
    DWORD pause = 5;
    while (HeldByAnother(error) && std::chrono::steady_clock::now() < until) {
        Sleep(pause);
        pause = std::min<DWORD>(pause * 2, 100);
        error = attempt();
    }
    waits::Waited(waits::Since(start), !HeldByAnother(error),
                  [&] { return path + " (another program has it open; Windows does not tell which)"; },
                  error);
    return error;
}

}  // namespace platform::win32
