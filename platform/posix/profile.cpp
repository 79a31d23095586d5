// Private-profile files on POSIX: the file handling around profile_engine.
//
// Reads take a shared flock() on the file they read. A writer normally
// replaces the file by an atomic rename, which no reader has to wait for (it
// keeps the old file open, whole); only a rewrite in place, which a reader
// could see half done, takes the file's exclusive lock. A file only root may
// write (the administrator's policy file) is read without a lock, so that no
// one who can merely read it can hold up a job by locking it.
//
// Every lock is waited for a bounded time (LockWait), as the Win32 turn is:
// anyone who can read the file or its folder can take a lock on it, and a
// print job must not wait for them. After that the call goes on without it.
// A job also has a budget for all its waits together (platform/waits.h);
// once it is spent, a lock is tried once. A write that goes on without the
// folder's lock checks, just before its rename, that the file still holds
// what its change was computed from, and otherwise applies the change again
// to what it holds then.
//
// A write, unlike Windows' (which can lose a key when two processes write at
// once), is serialised between processes:
//   1. take an exclusive flock() on the folder that holds the file, opened
//      read-only. Locking the folder leaves no lock file beside the settings
//      file for an operator to wonder about, and it works when the file does
//      not exist yet; the settings file itself cannot carry that lock, since
//      every write replaces it with a new inode. All writes to profile files
//      in that folder queue behind each other, which costs nothing here: the
//      connector keeps one settings file per folder;
//   2. read the file again under the lock and compute the new bytes;
//   3. write them to a hidden temporary file of this process in the same
//      folder, give it the old file's permission bits, owner, group and
//      access control list, flush its data to the disk (fdatasync) and rename
//      it over the file. Without the flush a power cut soon after the rename
//      can leave the new name with no data. The folder is not flushed after
//      each rename: a power cut before that leaves the old file or the new
//      one, whole, and can lose only the latest writes; a job flushes it once,
//      when it ends (ProfileFlush).
// The file is rewritten in place instead, from its first changed byte, only
// where a replace would lose something: the folder refuses new files
// (EACCES, EPERM, EROFS creating the temporary file, or no write permission
// bit on the folder), the rename is refused (a folder with the sticky bit),
// the old file's owner, group or access control list cannot be given to the
// new one (a user other than the owner writes), or the file has more than
// one hard link (a replace would cut it off from its other names). In place,
// the file is read again under its lock, and the change applies to what it
// holds then; it is first made its new size with posix_fallocate, which on
// local file systems reserves the space, so a full disk fails before a byte
// changes (where the file system cannot reserve it, as some network file
// systems cannot, ftruncate sets the size and reserves nothing, and a full
// disk can fail the write after its first changed byte). A writer killed in
// place tears only what follows the change.
// Any other failure (a full disk, a quota, an I/O error) fails the write and
// leaves the old file as it was, byte for byte.
//
// Permissions follow Windows' rules, for root too: a file without any write
// permission bit is read-only (Windows' read-only attribute stops an
// administrator as well), and so is a folder without one for a new file.
// Otherwise the usual access check of this process decides.
// A settings file that is a symbolic link is written through to its target.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/locks.h"
#include "platform/posix/profile.h"
#include "platform/profile_engine.h"

namespace platform {
namespace {

SystemError ErrorOf(int error) {
    return error ? SystemErrorOf(static_cast<uint32_t>(error)) : SystemError{};
}

// How long a call waits for a lock another process holds (the Win32 turn's
// bound); tests shorten it.
std::chrono::milliseconds& LockWait() {
    static std::chrono::milliseconds wait{30000};
    return wait;
}

// Takes the flock() `operation` on `fd`, open on `path`, waiting at most
// LockWait() and never past the job's budget. Whether it was taken.
// Called just before a replace checks the file (tests make a writer get in
// there).
std::function<void()>& BeforeReplace() {
    static std::function<void()> hook;
    return hook;
}

bool LockWithin(int fd, int operation, const std::string& path) {
    return posix::LockWithin(fd, operation, LockWait(), path);
}

// Whether only root may write the file of `st`: then only root could be
// rewriting it, and a reader takes no lock that others could hold up.
bool OnlyRootWrites(const struct stat& st) { return st.st_uid == 0 && (st.st_mode & 022) == 0; }

// Reads all of `fd` from its start into `bytes`; an errno value, or 0.
int ReadAll(int fd, std::string& bytes) {
    // Straight into the string, in one read when the size is known (and one
    // more that finds the end).
    struct stat st {};
    const size_t expected = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? static_cast<size_t>(st.st_size) : 0;
    bytes.resize(std::max<size_t>(expected + 1, 16384));
    size_t have = 0;
    for (;;) {
        if (have == bytes.size()) bytes.resize(bytes.size() * 2);
        const ssize_t got = pread(fd, bytes.data() + have, bytes.size() - have, static_cast<off_t>(have));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            bytes.clear();
            return errno;  // EISDIR among others
        }
        if (got == 0) break;
        have += static_cast<size_t>(got);
    }
    bytes.resize(have);
    return 0;
}

// Reads the whole file into `bytes` under a shared lock; an errno value, or
// 0. `seen`, when given, gets the stat of the file read.
int ReadWholeFile(const std::string& path, std::string& bytes, struct stat* seen = nullptr) {
    bytes.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    int error = fstat(fd, &st) == 0 ? 0 : errno;
    if (!error && S_ISREG(st.st_mode)) {
        if (!OnlyRootWrites(st)) (void)LockWithin(fd, LOCK_SH, path);
        // The lock keeps a rewrite in place away and a replacement leaves
        // this file as it is.
        error = ReadAll(fd, bytes);
        if (!error) fstat(fd, &st);
    } else if (!error) {
        error = ReadAll(fd, bytes);  // EISDIR among others
    }
    close(fd);  // also releases the lock
    if (error) bytes.clear();
    if (seen) *seen = st;
    return error;
}

// The bytes of a file for reading; "" (a missing file) when it cannot be read.
std::string FileBytesOrNothing(const std::string& path) {
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

// Writes all of `bytes` at `at`; an errno value, or 0.
int WriteAllAt(int fd, std::string_view bytes, off_t at) {
    while (!bytes.empty()) {
        const ssize_t put = pwrite(fd, bytes.data(), bytes.size(), at);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return errno;
        if (put == 0) return EIO;
        bytes.remove_prefix(static_cast<size_t>(put));
        at += put;
    }
    return 0;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The file a write must replace: `path`, or the target of the symbolic link
// `path` names.
std::string WriteTarget(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr) return resolved;
    return path;  // a dangling link: the rename replaces the link itself
}

// Whether `path` (with the stat `st`) may be written by Windows' rule: some
// write permission bit set, and this process allowed to write it (`access`:
// W_OK for a file, W_OK | X_OK to create files in a folder). Root and the
// owner are answered from the bits; anyone else asks the system.
bool MayWrite(const std::string& path, const struct stat& st, int access) {
    if ((st.st_mode & 0222) == 0) return false;
    static const uid_t self = geteuid();
    if (self == 0) return true;
    if (self == st.st_uid)
        return (st.st_mode & 0200) != 0 && ((access & X_OK) == 0 || (st.st_mode & 0100) != 0);
    return faccessat(AT_FDCWD, path.c_str(), access, AT_EACCESS) == 0;
}

// Whether two stats are of the same file, unchanged between them.
bool SameVersion(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// An exclusive flock() on a folder, held for this object's lifetime. Where
// the file system offers no such lock (some network file systems refuse it
// on a folder opened read-only), or another process holds it past the
// bound, the write goes ahead unlocked: still whole for every reader, only
// no longer safe against a simultaneous writer, which is what Windows offers
// anyway.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder)
        : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        held_ = LockWithin(fd_, LOCK_EX, folder);
    }
    ~FolderLock() {
        if (fd_ >= 0) close(fd_);  // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    // Why the folder could not be opened (a missing one among others), or 0.
    int error() const { return error_; }
    // Whether the lock is held: otherwise a replace checks the file first.
    bool held() const { return held_; }

private:
    int fd_;
    int error_ = 0;
    bool held_ = false;
};

// What a replace came to: done (error 0), or failed with `error`; with
// `inPlaceInstead`, a rewrite in place can do what the replace could not;
// with `movedOn`, nothing was done because the file no longer held what the
// new bytes were computed from.
struct Replaced {
    int error = 0;
    bool inPlaceInstead = false;
    bool movedOn = false;
};

// Whether the file at `path` still holds `expected` (or, with `missing`, is
// still missing).
bool StillHolds(const std::string& path, const std::string& expected, bool missing) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return missing && errno == ENOENT;
    if (missing) return false;
    std::string bytes;
    return ReadWholeFile(path, bytes) == 0 && bytes == expected;
}

// The access control list of the file `path`, in the form the system stores
// it (empty when it has none beyond its permission bits); false when it
// cannot be read.
bool AccessListOf(const std::string& path, std::vector<char>& list) {
    list.clear();
    const ssize_t size = getxattr(path.c_str(), "system.posix_acl_access", nullptr, 0);
    if (size < 0) return errno == ENODATA || errno == ENOTSUP;
    list.resize(static_cast<size_t>(size));
    const ssize_t got = getxattr(path.c_str(), "system.posix_acl_access", list.data(), list.size());
    if (got < 0) return false;
    list.resize(static_cast<size_t>(got));
    return true;
}

// Gives the new file `fd` the owner, group, permission bits and access
// control list of the old file `path` (stat `old`). Whether all of them
// could be kept.
bool KeepOwnership(int fd, const std::string& path, const struct stat& old) {
    static const uid_t uid = geteuid();
    static const gid_t gid = getegid();
    // Only root may give a file away; a user other than the owner cannot
    // keep the owner, and then a replace would take the file from its owner.
    if ((old.st_uid != uid || old.st_gid != gid) && fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    if (fchmod(fd, old.st_mode & 07777) != 0) return false;
    std::vector<char> list;
    if (!AccessListOf(path, list)) return false;
    return list.empty() || fsetxattr(fd, "system.posix_acl_access", list.data(), list.size(), 0) == 0;
}

// Writes `bytes` to a temporary file in `folder`, flushes its data and
// renames it to `path`. `old` is the
// stat of the existing file, or null for a new one. With `computedFrom` (a
// write without the folder's lock), the rename is made only while the file
// still holds those bytes (or, for a new one, is still missing).
Replaced ReplaceFile(const std::string& path, const std::string& folder,
                     const std::string& bytes, const struct stat* old,
                     const std::string* computedFrom = nullptr) {
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // This process's own: the pid tells writers apart. A leftover of a
    // writer that was killed, with a pid now ours, is stale.
    const std::string temp = folder + "/." + name + "." + std::to_string(getpid()) + ".tmp";
    unlink(temp.c_str());
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, old ? 0600 : 0666);
    if (fd < 0) {
        const int error = errno;
        return {error, error == EACCES || error == EPERM || error == EROFS};
    }
    Replaced result;
    result.error = WriteAllAt(fd, bytes, 0);
    if (!result.error && old && !KeepOwnership(fd, path, *old)) result = {EPERM, true};
    if (!result.error && fdatasync(fd) != 0) result.error = errno;
    if (close(fd) != 0 && !result.error) result.error = errno;
    if (!result.error && BeforeReplace()) BeforeReplace()();
    if (!result.error && computedFrom && !StillHolds(path, *computedFrom, old == nullptr)) {
        unlink(temp.c_str());
        result.movedOn = true;
        return result;
    }
    if (!result.error && rename(temp.c_str(), path.c_str()) != 0) {
        result.error = errno;
        result.inPlaceInstead = result.error == EACCES || result.error == EPERM;
    }
    if (result.error) {
        unlink(temp.c_str());
        return result;
    }
    return result;
}

// Rewrites the file at `path` in place with `entries` applied, where `old`
// is what it held when they were first applied (giving `updated`): under
// the file's exclusive lock, read again (another writer may have rewritten
// it meanwhile), made its new size first (where that reserves the space, a
// full disk fails here, before any byte changes, and the file is cut back),
// then written from the first byte that changes and cut to its new length.
// An errno value, or 0.
int RewriteInPlace(const std::string& path, const std::string& old, const std::string& updated,
                   const std::vector<ProfileEntry>& entries) {
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return errno;
    (void)LockWithin(fd, LOCK_EX, path);  // readers must not see it half done
    std::string current;
    int error = ReadAll(fd, current);
    const std::string next = error || current == old ? updated : profile::WriteStrings(current, entries);
    if (!error && next != current) {
        if (next.size() > current.size()) {
            error = posix_fallocate(fd, 0, static_cast<off_t>(next.size()));
            if (error == EOPNOTSUPP || error == EINVAL)
                error = ftruncate(fd, static_cast<off_t>(next.size())) == 0 ? 0 : errno;
            if (error) (void)ftruncate(fd, static_cast<off_t>(current.size()));
        }
        if (!error) {
            const auto differ = std::mismatch(current.begin(), current.end(), next.begin(), next.end());
            const size_t first = static_cast<size_t>(differ.second - next.begin());
            error = WriteAllAt(fd, std::string_view(next).substr(first), static_cast<off_t>(first));
        }
        if (!error && ftruncate(fd, static_cast<off_t>(next.size())) != 0) error = errno;
        if (!error && fdatasync(fd) != 0) error = errno;
    }
    if (close(fd) != 0 && !error) error = errno;
    return error;
}

}  // namespace

void posix::SetProfileLockWaitForTests(std::chrono::milliseconds wait) { LockWait() = wait; }

void posix::SetProfileBeforeReplaceForTests(std::function<void()> hook) { BeforeReplace() = std::move(hook); }

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
    // A write that would change nothing needs no lock: the file, read whole
    // (a rename makes every read see one whole version, and a rewrite in
    // place holds off readers), already holds the values, so the write is
    // done as of that read. Most of a job's writes are of this kind (the same
    // parameter values line after line).
    std::string bytes;
    struct stat seen {};
    bool read = ReadWholeFile(path, bytes, &seen) == 0 && S_ISREG(seen.st_mode);
    if (read && MayWrite(path, seen, W_OK) && profile::WriteStrings(bytes, entries) == bytes) return {};

    const std::string target = WriteTarget(path);
    const std::string folder = FolderOf(target);
    FolderLock lock(folder);
    if (lock.error()) return ErrorOf(lock.error());  // a missing folder among others

    // Without the folder's lock (another process held it past the bound), a
    // writer that got in since the file was read is caught just before the
    // rename: the change is then applied again to what the file holds now.
    constexpr int kTries = 8;
    for (int tries = 1;; ++tries) {
        struct stat st {};
        const bool exists = stat(target.c_str(), &st) == 0;
        if (!exists && errno != ENOENT) return ErrorOf(errno);
        if (!exists) bytes.clear();
        if (exists) {
            if (S_ISDIR(st.st_mode)) return ErrorOf(EISDIR);
            if (!S_ISREG(st.st_mode)) return ErrorOf(EINVAL);
            if (!MayWrite(target, st, W_OK)) return ErrorOf(EACCES);  // read-only
            // Read again only when another writer got in since: never replace
            // what we cannot read.
            if (!read || !SameVersion(seen, st)) {
                if (const int error = ReadWholeFile(target, bytes)) return ErrorOf(error);
            }
        }
        const std::string updated = profile::WriteStrings(bytes, entries);
        if (exists && updated == bytes) return {};

        const std::string* computedFrom = lock.held() || tries == kTries ? nullptr : &bytes;
        struct stat folderStat {};
        const bool folderTakesFiles =
            stat(folder.c_str(), &folderStat) == 0 && MayWrite(folder, folderStat, W_OK | X_OK);
        if (!exists) {
            if (!folderTakesFiles) return ErrorOf(EACCES);
            const Replaced replaced = ReplaceFile(target, folder, updated, nullptr, computedFrom);
            if (replaced.movedOn) {
                read = false;
                continue;
            }
            return ErrorOf(replaced.error);
        }
        if (folderTakesFiles && st.st_nlink == 1) {
            const Replaced replaced = ReplaceFile(target, folder, updated, &st, computedFrom);
            if (replaced.movedOn) {
                read = false;
                continue;
            }
            if (!replaced.inPlaceInstead) return ErrorOf(replaced.error);
        }
        // In place, under the file's own lock, the change applies to what
        // the file holds then.
        return ErrorOf(RewriteInPlace(target, bytes, updated, entries));
    }
}

SystemError ProfileFlush(const std::string& path) {
    const int fd = open(FolderOf(WriteTarget(path)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return ErrorOf(errno);
    const int error = fsync(fd) == 0 ? 0 : errno;
    close(fd);
    return ErrorOf(error);
}

// flock() locks are machine-wide.
SystemError ProfileTurnShortfall() { return {}; }

bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    return !ProfileWrite(path, {ProfileEntry{section, key, value}}).failed();
}

}  // namespace platform
