// Private-profile files on Win32: our own engine (platform/profile_engine)
// over the file's bytes, written by an atomic replace.
//
// Windows' own profile functions rewrite the whole file in place for every
// write and promise no atomic replace: a process ended during one (a logoff,
// Task Manager, a session reset) can leave the settings file empty, and every
// later job then prints with the defaults. They take no lock between
// processes either, so two writers can lose each other's keys. So:
//   - our processes take turns per file on a named mutex (opened once per
//     file for the life of the process, turn.h), around every read and write;
//   - a write reads the file, applies the engine's rules (the format stays
//     exactly what Windows' functions read and write), writes the result to
//     a temporary file beside it, gives that the old file's access rights
//     and attributes, and moves it over the old file with MoveFileExA and
//     MOVEFILE_REPLACE_EXISTING. A reader (or a kill) meets the old file or
//     the new one, never a missing or partial one. (ReplaceFileA is not used:
//     under Wine it moves the old file aside first, so a reader can find no
//     file at all, and it fails on relative paths.)
//   - when no temporary file can be created beside it (a folder users may not
//     write to while the file itself is writable) or the old file cannot be
//     replaced (another program holds it open without delete sharing), the
//     file is rewritten in place, but only from its first changed byte, and
//     cut to its new length: a kill then tears only what follows the change,
//     and never empties the file.
// The read-only attribute is checked here: MoveFileExA would replace a
// read-only file (Wine running as root does), WritePrivateProfileStringA
// refuses it.
//
// Copying the old file's security descriptor onto the new one can only be
// checked on a real Windows: Wine keeps no access control lists.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/platform.h"
#include "platform/profile_engine.h"
#include "platform/win32/turn.h"

namespace platform {

namespace {

// How long a call waits for another process's call on the same file. A
// holder that hangs must not hang a print job: after this the call goes on
// unlocked.
constexpr DWORD kTurnTimeoutMs = 30000;

// One process's turn on one profile file, for the length of one call.
class ProfileTurn : public win32::FileTurn {
public:
    explicit ProfileTurn(const std::string& path) : FileTurn("profile", path, kTurnTimeoutMs) {}
};

// Reads the whole file at `path`. The system's error code, or 0.
DWORD ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (LONGLONG(1) << 30))
        bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    DWORD error = 0;
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof(chunk), &got, nullptr)) {
            error = GetLastError();
            break;
        }
        if (got == 0) break;
        bytes.append(chunk, got);
    }
    CloseHandle(file);
    if (error) bytes.clear();
    return error;
}

// The bytes of a file for reading; "" (a missing file) when it cannot be read.
std::string FileBytesOrNothing(const std::string& path) {
    ProfileTurn turn(path);
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

// Writes all of `bytes` at the file's current position. The error, or 0.
DWORD WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD put = 0;
        if (!WriteFile(file, bytes.data(), want, &put, nullptr)) return GetLastError();
        if (put == 0) return ERROR_WRITE_FAULT;
        bytes.remove_prefix(put);
    }
    return 0;
}

// Gives `to` the access rights of `from`: its owner and group where this
// process may set them, and its access control list.
void CopySecurity(const std::string& from, const std::string& to) {
    const SECURITY_INFORMATION all =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    for (SECURITY_INFORMATION wanted : {all, SECURITY_INFORMATION(DACL_SECURITY_INFORMATION)}) {
        DWORD needed = 0;
        GetFileSecurityA(from.c_str(), wanted, nullptr, 0, &needed);
        if (needed == 0) continue;
        std::vector<char> descriptor(needed);
        if (GetFileSecurityA(from.c_str(), wanted, descriptor.data(), needed, &needed) &&
            SetFileSecurityA(to.c_str(), wanted, descriptor.data()))
            return;
    }
}

// Writes `bytes` to `<path>.tmp` and moves it over `path`; `oldAttributes`
// are those of the file replaced (INVALID_FILE_ATTRIBUTES for a new file).
// Our processes write in turn, so one temporary name serves; a leftover of a
// writer that was killed is simply overwritten. The error, or 0.
DWORD ReplaceWithTemporary(const std::string& path, const std::string& bytes, DWORD oldAttributes) {
    const std::string temp = path + ".tmp";
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD error = WriteAll(file, bytes);
    if (!CloseHandle(file) && !error) error = GetLastError();
    if (!error && oldAttributes != INVALID_FILE_ATTRIBUTES) {
        CopySecurity(path, temp);
        const DWORD kept = oldAttributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (kept) SetFileAttributesA(temp.c_str(), kept);
    }
    if (!error && !MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        error = GetLastError();
    if (error) DeleteFileA(temp.c_str());
    return error;
}

// Rewrites the file at `path`, which holds `old`, in place with `updated`:
// from the first byte that changes, then cut to the new length. The error,
// or 0.
DWORD RewriteInPlace(const std::string& path, const std::string& old, const std::string& updated) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    const auto differ = std::mismatch(old.begin(), old.end(), updated.begin(), updated.end());
    const std::size_t first = static_cast<std::size_t>(differ.second - updated.begin());
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(first);
    DWORD error = 0;
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) error = GetLastError();
    if (!error) error = WriteAll(file, std::string_view(updated).substr(first));
    if (!error && !SetEndOfFile(file)) error = GetLastError();
    if (!CloseHandle(file) && !error) error = GetLastError();
    return error;
}

// Creates the new file `path` with `bytes` directly, where no temporary file
// could be made (a path too long for the temporary name). The error, or 0.
DWORD CreateDirectly(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD error = WriteAll(file, bytes);
    if (!CloseHandle(file) && !error) error = GetLastError();
    return error;
}

}  // namespace

std::string ProfileGetString(const std::string& section, const std::string& key,
                             const std::string& defaultText, std::size_t bufferSize,
                             const std::string& path) {
    return profile::GetString(FileBytesOrNothing(path), section, key, defaultText, bufferSize);
}

int ProfileGetInt(const std::string& section, const std::string& key, int defaultValue,
                  const std::string& path) {
    return profile::GetInt(FileBytesOrNothing(path), section, key, defaultValue);
}

SystemError ProfileWrite(const std::string& path, const std::vector<ProfileEntry>& entries) {
    ProfileTurn turn(path);
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    std::string bytes;
    if (!exists) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) return SystemErrorOf(error);  // a missing folder among others
    } else {
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
            return SystemErrorOf(ERROR_ACCESS_DENIED);
        // Never replace what we cannot read.
        if (const DWORD error = ReadWholeFile(path, bytes)) return SystemErrorOf(error);
    }
    const std::string updated = profile::WriteStrings(bytes, entries);
    if (exists && updated == bytes) return {};

    const DWORD replaced = ReplaceWithTemporary(path, updated, attributes);
    if (!replaced) return {};
    const DWORD error = exists ? RewriteInPlace(path, bytes, updated) : CreateDirectly(path, updated);
    // When the fallback cannot even open the file, the first error says why.
    if (error == ERROR_FILE_EXISTS) return SystemErrorOf(replaced);
    return error ? SystemErrorOf(error) : SystemError{};
}

bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    return !ProfileWrite(path, {ProfileEntry{section, key, value}}).failed();
}

}  // namespace platform
