// The host build's profile files (platform::ProfileWrite and the reads).
#pragma once

#include <chrono>

namespace platform::posix {

// How long a profile call waits for a lock another process holds before it
// goes on without it (30 seconds, the Win32 turn's bound); tests shorten it.
void SetProfileLockWaitForTests(std::chrono::milliseconds wait);

}  // namespace platform::posix
