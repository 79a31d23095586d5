// The host build's profile files (platform::ProfileWrite and the reads).
#pragma once

#include <chrono>
#include <functional>

namespace platform::posix {

// How long a profile call waits for a lock another process holds before it
// goes on without it (30 seconds, the Win32 turn's bound); tests shorten it.
void SetProfileLockWaitForTests(std::chrono::milliseconds wait);

// Calls `hook` in every replace after the new file is written, just before
// the check that the file still holds what the change was computed from (a
// write without the folder's lock), so a test can make another writer get in
// there. An empty function for none.
void SetProfileBeforeReplaceForTests(std::function<void()> hook);

}  // namespace platform::posix
