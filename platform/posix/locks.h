// flock() with a bounded wait, shared by the profile files and the journal
// (host build).
#pragma once

#include <chrono>
#include <string>

namespace platform::posix {

// Takes the flock() `operation` (LOCK_SH or LOCK_EX) on `fd`, which is open
// on `path`, waiting at most `bound` and never past the process's budget for
// waits on others (platform/waits.h). Whether it was taken.
bool LockWithin(int fd, int operation, std::chrono::milliseconds bound, const std::string& path);

// Who holds a lock on the file open as `fd` (read from /proc/locks): "held by
// process 4711 (anna)"; "" when the system does not tell.
std::string LockHolderOf(int fd);

}  // namespace platform::posix
