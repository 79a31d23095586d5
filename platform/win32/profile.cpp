// Private-profile files on Win32: our own engine (platform/profile_engine)
// over the file's bytes, written by an atomic replace.
//
// Windows' own profile functions rewrite the whole file in place for every
// write and promise no atomic replace: a process ended during one (a logoff,
// Task Manager, a session reset) can leave the settings file empty, and every
// later job then prints with the defaults. They take no lock between
// processes either, so two writers can lose each other's keys. So:
//   - our processes take turns per file on a named mutex, machine-wide so
//     that logon sessions of a terminal server take turns too (opened once
//     per file for the life of the process, turn.h), around every read and
//     write. A job goes on without the turn once its budget for waiting on
//     others is spent (platform/waits.h); a write without the turn checks,
//     just before it moves the new file into place, that the file still holds
//     what its change was computed from, and otherwise applies the change
//     again to what it holds then;
//   - a write reads the file, applies the engine's rules (the format stays
//     exactly what Windows' functions read and write), writes the result to
//     a temporary file of this process beside it (`<file>.<pid>.tmp`),
//     flushes it to the disk (FlushFileBuffers: NTFS journals the rename but
//     not the data, so without it a power cut can leave the file empty or
//     zero-filled), gives it the old file's access rights and attributes,
//     and moves it over the old file with MoveFileExW and
//     MOVEFILE_REPLACE_EXISTING. A reader (or a kill) meets the old file or
//     the new one, never a missing or partial one. (ReplaceFile is not used:
//     under Wine it moves the old file aside first, so a reader can find no
//     file at all, and it fails on relative paths.)
//   - the file is rewritten in place only where a replace cannot be done:
//     the temporary file cannot be created for lack of access (a folder
//     users may not write to while the file itself is writable), this user
//     may not delete the old file, another program holds it open without
//     delete sharing (a sharing or access-denied result from the move), or
//     the file has more than one hard link. In place, the file is read again
//     and the change applies to what it holds then; it is rewritten from its
//     first changed byte and cut to its new length, so a kill tears only
//     what follows the change, and never empties the file. It is made its
//     new size first: on a local NTFS or FAT volume that allocates the
//     space, so a full disk fails there, before a byte changes; on a
//     compressed or sparse file, under a disk quota or on a network share
//     setting the size reserves nothing, and a full disk can fail the write
//     after its first changed byte.
//   - a full disk, a used-up quota or a failing disk while the temporary
//     file is written fails the write: the old file stays as it was.
//   - another program holding the file so that neither a replace nor a
//     rewrite can be done (it lets others only read it, or locked a range of
//     it) is waited for a moment (sharing.h), then the write fails.
//   - a settings file that is a symbolic link or another reparse point is
//     written through to the file it names, as Windows' own functions do:
//     by its final path, kept wide with its "\\?\" prefix, so that a target
//     longer than MAX_PATH or named in characters outside the ANSI code page
//     is reached. Every file call here is a wide one.
// The read-only attribute is checked here: MoveFileExW would replace a
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
#include "platform/win32/final_path.h"
#include "platform/win32/sharing.h"
#include "platform/win32/turn.h"

namespace platform {

namespace {

using win32::WideOf;

// How long a call waits for another process's call on the same file. A
// holder that hangs must not hang a print job: after this the call goes on
// unlocked.
constexpr DWORD kTurnTimeoutMs = 30000;

// One process's turn on one profile file, for the length of one call.
class ProfileTurn : public win32::FileTurn {
public:
    explicit ProfileTurn(const std::string& path) : FileTurn("profile", path, kTurnTimeoutMs) {}
};

// Reads all of the open `file` from its start. The error, or 0.
DWORD ReadAllOf(HANDLE file, std::string& bytes) {
    bytes.clear();
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (LONGLONG(1) << 30))
        bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return GetLastError();
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof(chunk), &got, nullptr)) return GetLastError();
        if (got == 0) return 0;
        bytes.append(chunk, got);
    }
}

// Reads the whole file at `path`. The system's error code, or 0.
DWORD ReadWholeFile(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    const DWORD error = ReadAllOf(file, bytes);
    CloseHandle(file);
    if (error) bytes.clear();
    return error;
}

// The bytes of a file for reading; "" (a missing file) when it cannot be read.
std::string FileBytesOrNothing(const std::string& path) {
    ProfileTurn turn(path);
    std::string bytes;
    win32::RetryWhileHeld(path, [&] { return ReadWholeFile(WideOf(path), bytes); });
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
void CopySecurity(const std::wstring& from, const std::wstring& to) {
    const SECURITY_INFORMATION all =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    for (SECURITY_INFORMATION wanted : {all, SECURITY_INFORMATION(DACL_SECURITY_INFORMATION)}) {
        DWORD needed = 0;
        GetFileSecurityW(from.c_str(), wanted, nullptr, 0, &needed);
        if (needed == 0) continue;
        std::vector<char> descriptor(needed);
        if (GetFileSecurityW(from.c_str(), wanted, descriptor.data(), needed, &needed) &&
            SetFileSecurityW(to.c_str(), wanted, descriptor.data()))
            return;
    }
}

// Whether the file at `path` still holds `expected` (or, with `missing`, is
// still missing).
bool StillHolds(const std::wstring& path, const std::string& expected, bool missing) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return missing && GetLastError() == ERROR_FILE_NOT_FOUND;
    if (missing) return false;
    std::string bytes;
    return ReadWholeFile(path, bytes) == 0 && bytes == expected;
}

// What a replace came to: done (error 0), or failed with `error`; with
// `inPlaceInstead`, a rewrite in place can do what the replace could not;
// with `movedOn`, nothing was done because the file no longer held what the
// new bytes were computed from.
struct Replaced {
    DWORD error = 0;
    bool inPlaceInstead = false;
    bool tempMade = true;  // false: the temporary file could not be created
    bool movedOn = false;
};

// Writes `bytes` to `<path>.<pid>.tmp`, flushes it and moves it over `path`;
// `oldAttributes` are those of the file replaced (INVALID_FILE_ATTRIBUTES for
// a new file). The name is this process's own; a leftover of a writer that
// was killed with the same process id (hidden, system or read-only as the
// kill left it) is stale and removed first. With `computedFrom` (a write
// without the turn), the move is made only while the file still holds those
// bytes (or, for a new one, is still missing).
Replaced ReplaceWithTemporary(const std::wstring& path, const std::string& bytes, DWORD oldAttributes,
                              const std::string* computedFrom) {
    const std::wstring temp = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    if (GetFileAttributesW(temp.c_str()) != INVALID_FILE_ATTRIBUTES) {
        SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(temp.c_str());
    }
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return {error, error == ERROR_ACCESS_DENIED, false, false};
    }
    Replaced result;
    result.error = WriteAll(file, bytes);
    if (!result.error && !FlushFileBuffers(file)) result.error = GetLastError();
    if (!CloseHandle(file) && !result.error) result.error = GetLastError();
    if (!result.error && oldAttributes != INVALID_FILE_ATTRIBUTES) {
        CopySecurity(path, temp);
        const DWORD kept = oldAttributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (kept) SetFileAttributesW(temp.c_str(), kept);
    }
    if (!result.error && computedFrom &&
        !StillHolds(path, *computedFrom, oldAttributes == INVALID_FILE_ATTRIBUTES)) {
        result.movedOn = true;
    } else if (!result.error && !MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        result.error = GetLastError();
        result.inPlaceInstead =
            result.error == ERROR_SHARING_VIOLATION || result.error == ERROR_ACCESS_DENIED;
    } else if (!result.error) {
        return result;
    }
    SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(temp.c_str());
    return result;
}

// Whether this user may delete the file at `path` (and so replace it), with
// nobody holding it open without delete sharing.
bool MayReplace(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), DELETE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// Sets the end of `file` at `size`. The error, or 0.
DWORD SetSize(HANDLE file, std::size_t size) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) return GetLastError();
    return 0;
}

// Rewrites the file at `path` in place with `entries` applied, where `old`
// is what it held when they were applied to give `updated`: read again
// (another program may have changed it meanwhile, and then the change
// applies to what it holds now), made its new size first (where that
// reserves the space, a full disk fails there, and the file is cut back),
// then written from the first byte that changes, cut to its new length and
// flushed. The error, or 0.
DWORD RewriteInPlace(const std::wstring& path, const std::string& old, const std::string& updated,
                     const std::vector<ProfileEntry>& entries) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    std::string current;
    DWORD error = ReadAllOf(file, current);
    const std::string next = error || current == old ? updated : profile::WriteStrings(current, entries);
    if (!error && next != current) {
        if (next.size() > current.size()) {
            error = SetSize(file, next.size());
            if (error) SetSize(file, current.size());
        }
        const auto differ = std::mismatch(current.begin(), current.end(), next.begin(), next.end());
        const std::size_t first = static_cast<std::size_t>(differ.second - next.begin());
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(first);
        if (!error && !SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) error = GetLastError();
        if (!error) error = WriteAll(file, std::string_view(next).substr(first));
        if (!error) error = SetSize(file, next.size());
        if (!error && !FlushFileBuffers(file)) error = GetLastError();
    }
    if (!CloseHandle(file) && !error) error = GetLastError();
    return error;
}

// The upper-cased full path of `path`, for comparing two spellings.
std::wstring FullPathKey(const std::wstring& path) {
    std::vector<wchar_t> full(MAX_PATH * 4);
    const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    std::wstring key = (n > 0 && n < full.size()) ? std::wstring(full.data(), n) : path;
    CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

// The file a write goes to: `path`, or, when `path` names another file (a
// symbolic link or another reparse point; under Wine also a link of the host
// system, which it shows as a plain file), the final path of the file it
// names, with its "\\?\" prefix. `links` gets the number of hard links of
// that file (1 when it cannot be read; 0 when the file a link names cannot
// be told, so it is written in place, through it).
std::wstring WriteTarget(const std::wstring& path, DWORD attributes, DWORD& links) {
    links = 1;
    HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return path;
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileInformationByHandle(file, &information)) links = information.nNumberOfLinks;
    std::wstring target = path;
    const std::wstring final = win32::FinalPathOfHandle(file);
    if (!final.empty()) {
        if (FullPathKey(win32::WithoutLongPrefix(final)) != FullPathKey(path)) target = final;
    } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        links = 0;
    }
    CloseHandle(file);
    return target;
}

// Creates the new file `path` with `bytes` directly, where no temporary file
// could be made (a path too long for the temporary name). The error, or 0.
DWORD CreateDirectly(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD error = WriteAll(file, bytes);
    if (!CloseHandle(file) && !error) error = GetLastError();
    return error;
}

// One go at ProfileWrite, with this process's turn on the file (`turn`) or,
// once a job may wait no longer, without it. The error, or 0.
DWORD WriteOnce(const std::string& path, const std::vector<ProfileEntry>& entries, bool turn) {
    const std::wstring wide = WideOf(path);
    // Without the turn, a writer that got in since the file was read is
    // caught just before the move: the change is then applied again to what
    // the file holds now.
    constexpr int kTries = 8;
    for (int tries = 1;; ++tries) {
        DWORD attributes = GetFileAttributesW(wide.c_str());
        const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
        std::wstring target = wide;
        DWORD links = 1;
        std::string bytes;
        if (!exists) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND) return error;  // a missing folder among others
        } else {
            target = WriteTarget(wide, attributes, links);
            if (target != wide) attributes = GetFileAttributesW(target.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
            if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
            // Never replace what we cannot read.
            if (const DWORD error = ReadWholeFile(target, bytes)) return error;
        }
        const std::string updated = profile::WriteStrings(bytes, entries);
        if (exists && updated == bytes) return 0;

        // Whatever the replace cannot do, in place; whatever else stops it
        // fails the write and leaves the old file.
        DWORD replaced = ERROR_ACCESS_DENIED;
        if (!exists || (links == 1 && MayReplace(target))) {
            const std::string* computedFrom = turn || tries == kTries ? nullptr : &bytes;
            const Replaced result = ReplaceWithTemporary(target, updated, attributes, computedFrom);
            if (result.movedOn) continue;
            if (!result.error) return 0;
            // A new file is made directly where no temporary file could be
            // made (a path too long for its name): there is no old file to tear.
            if (!result.inPlaceInstead && (exists || result.tempMade)) return result.error;
            replaced = result.error;
        }
        const DWORD error = exists ? RewriteInPlace(target, bytes, updated, entries) : CreateDirectly(target, updated);
        // When the fallback cannot even open the file, the first error says why.
        return error == ERROR_FILE_EXISTS ? replaced : error;
    }
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
    const DWORD error =
        win32::RetryWhileHeld(path, [&] { return WriteOnce(path, entries, turn.owned()); });
    return error ? SystemErrorOf(error) : SystemError{};
}

// NTFS logs a rename in its own journal; the new file's data was flushed
// before it. (FlushFileBuffers on the folder would need write access to it,
// which users do not have in the layout the guide recommends.)
SystemError ProfileFlush(const std::string&) { return {}; }

SystemError ProfileTurnShortfall() {
    const DWORD error = win32::TurnShortfall();
    return error ? SystemErrorOf(error) : SystemError{};
}

bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    return !ProfileWrite(path, {ProfileEntry{section, key, value}}).failed();
}

}  // namespace platform
