// Our processes taking turns on one file: a named mutex per file and purpose,
// opened once per process and kept for its life (win32 only).
#pragma once

#include <windows.h>

#include <string>

namespace platform::win32 {

// One process's turn on a file, for the lifetime of the object. `purpose`
// keeps different uses of one file apart ("profile", "journal"). The turn is
// machine-wide (a mutex in the Global\ namespace that every authenticated
// user may wait on and release), so that a job and a dialog in different
// logon sessions of a terminal server take turns; where that mutex can be
// neither created nor opened, the turn is per session (Local\) and
// TurnShortfall says why. After `timeoutMs` without the turn the object goes
// on without it: a holder that hangs must not hang a print job.
// WAIT_ABANDONED (a process ended during its turn) gives the turn.
class FileTurn {
public:
    FileTurn(const char* purpose, const std::string& path, DWORD timeoutMs);
    ~FileTurn();
    FileTurn(const FileTurn&) = delete;
    FileTurn& operator=(const FileTurn&) = delete;

private:
    HANDLE mutex_;
    bool owned_ = false;
};

// The error that kept this process's last machine-wide turn from being made
// (its mutex created or opened), or 0 when every turn so far is machine-wide.
DWORD TurnShortfall();

}  // namespace platform::win32
