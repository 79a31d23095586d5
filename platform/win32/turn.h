// Our processes taking turns on one file: a named mutex per file and purpose,
// opened once per process and kept for its life (win32 only).
#pragma once

#include <windows.h>

#include <string>

namespace platform::win32 {

// One process's turn on a file, for the lifetime of the object. `purpose`
// keeps different uses of one file apart ("profile", "journal"). After
// `timeoutMs` without the turn the object goes on without it: a holder that
// hangs must not hang a print job. WAIT_ABANDONED (a process ended during its
// turn) gives the turn.
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

}  // namespace platform::win32
