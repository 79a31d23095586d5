// Our processes taking turns on one file: a named mutex per file and purpose,
// opened once per process and kept for its life (win32 only).
#pragma once

#include <windows.h>

#include <string>

namespace platform::win32 {

// One process's turn on a file, for the lifetime of the object. `purpose`
// keeps different uses of one file apart ("profile", "journal"). The mutex is
// named after the file's final path (final_path.h), so every name of one file
// (a symbolic link, a junction in its folder's path) meets the same turn. The
// turn is machine-wide (a mutex in the Global\ namespace that every
// authenticated user may wait on and release), so that a job and a dialog in
// different logon sessions of a terminal server take turns; where that mutex
// can be neither created nor opened, after a few tries, the turn is per
// session (Local\) and TurnShortfall says why; a later turn on the file tries
// the machine-wide one again, a few times in the process's life. After
// `timeoutMs` without the turn, or sooner when the job's budget for waiting
// on others is spent (platform/waits.h), the object goes on without it: a
// holder that hangs must not hang a print job. WAIT_ABANDONED (a process
// ended during its turn) gives the turn.
class FileTurn {
public:
    FileTurn(const char* purpose, const std::string& path, DWORD timeoutMs);
    ~FileTurn();
    FileTurn(const FileTurn&) = delete;
    FileTurn& operator=(const FileTurn&) = delete;

    // Whether this process has the turn (and no other of ours can write).
    bool owned() const { return owned_; }

private:
    HANDLE mutex_;
    bool owned_ = false;
};

// The error that kept this process's last machine-wide turn from being made
// (its mutex created or opened), or 0 when every turn so far is machine-wide.
DWORD TurnShortfall();

}  // namespace platform::win32
