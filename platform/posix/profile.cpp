// Private-profile files on POSIX: the file handling around profile_engine.
//
// Reads take a shared flock() on the file they read. A writer normally
// replaces the file by an atomic rename, which no reader has to wait for (it
// keeps the old file open, whole); only a rewrite in place, which a reader
// could see half done, takes the file's exclusive lock.
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
//   3. write them to a hidden temporary file in the same folder, give it the
//      old file's permission bits (and owner, where we may), and rename it
//      over the file. No fsync: a job writes a few dozen keys per data line,
//      and the rename alone keeps every reader's view whole.
// When the folder refuses new files but the file itself may be written, the
// file is rewritten in place from its first changed byte and cut to its new
// length: a writer killed then tears only what follows the change.
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
#include <unistd.h>

#include <algorithm>

#include "platform/platform.h"
#include "platform/profile_engine.h"

namespace platform {
namespace {

SystemError ErrorOf(int error) { return SystemErrorOf(static_cast<uint32_t>(error)); }

// Reads all of `fd` into `bytes`; an errno value, or 0.
int ReadAll(int fd, std::string& bytes) {
    bytes.clear();
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) bytes.reserve(static_cast<size_t>(st.st_size));
    char chunk[16384];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;  // EISDIR among others
        if (got == 0) return 0;
        bytes.append(chunk, static_cast<size_t>(got));
    }
}

// Reads the whole file into `bytes` under a shared lock; an errno value, or
// 0. `seen`, when given, gets the stat of the file read.
int ReadWholeFile(const std::string& path, std::string& bytes, struct stat* seen = nullptr) {
    bytes.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    int rc;
    do rc = flock(fd, LOCK_SH);
    while (rc != 0 && errno == EINTR);
    struct stat st {};
    int error = fstat(fd, &st) == 0 ? 0 : errno;
    if (!error && S_ISREG(st.st_mode)) {
        // The lock keeps a rewrite in place away and a replacement leaves
        // this file as it is, so its size is what there is to read.
        bytes.resize(static_cast<size_t>(st.st_size));
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) error = errno;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        bytes.resize(got);
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

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(put));
    }
    return true;
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
// on a folder opened read-only), the write goes ahead unlocked: still whole
// for every reader, only no longer safe against a simultaneous writer, which
// is what Windows offers anyway.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder)
        : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        int rc;
        do rc = flock(fd_, LOCK_EX);
        while (rc != 0 && errno == EINTR);
    }
    ~FolderLock() {
        if (fd_ >= 0) close(fd_);  // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    // Why the folder could not be opened (a missing one among others), or 0.
    int error() const { return error_; }

private:
    int fd_;
    int error_ = 0;
};

// Writes `bytes` to a temporary file in `folder` and renames it to `path`.
// `old` is the stat of the existing file, or null for a new one. An errno
// value, or 0.
int ReplaceFile(const std::string& path, const std::string& folder, const std::string& bytes,
                const struct stat* old) {
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // Unique among writers: all of them hold the folder's lock, and the pid
    // tells processes apart. A leftover of a crashed writer is stale.
    const std::string temp = folder + "/." + name + "." + std::to_string(getpid()) + ".tmp";
    unlink(temp.c_str());
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, old ? 0600 : 0666);
    if (fd < 0) return errno;
    int error = WriteAll(fd, bytes) ? 0 : (errno ? errno : EIO);
    if (!error && old) {
        // The new file belongs to the old one's owner where we may give it
        // away (root); otherwise to us, as a file Windows recreates would.
        static const uid_t uid = geteuid();
        static const gid_t gid = getegid();
        if ((old->st_uid != uid || old->st_gid != gid) &&
            fchown(fd, old->st_uid, old->st_gid) != 0) {
        }
        if (fchmod(fd, old->st_mode & 07777) != 0) error = errno;
    }
    if (close(fd) != 0 && !error) error = errno;
    if (!error && rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error) unlink(temp.c_str());
    return error;
}

// Rewrites the file at `path`, which holds `old`, in place with `updated`:
// from the first byte that changes, then cut to the new length. An errno
// value, or 0.
int RewriteInPlace(const std::string& path, const std::string& old, const std::string& updated) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    int rc;
    do rc = flock(fd, LOCK_EX);  // readers must not see it half done
    while (rc != 0 && errno == EINTR);
    const auto differ = std::mismatch(old.begin(), old.end(), updated.begin(), updated.end());
    const off_t first = static_cast<off_t>(differ.second - updated.begin());
    int error = 0;
    if (lseek(fd, first, SEEK_SET) < 0 ||
        !WriteAll(fd, std::string_view(updated).substr(static_cast<size_t>(first))) ||
        ftruncate(fd, static_cast<off_t>(updated.size())) != 0)
        error = errno ? errno : EIO;
    if (close(fd) != 0 && !error) error = errno;
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
    // A write that would change nothing needs no lock: the file, read whole
    // (a rename makes every read see one whole version, and a rewrite in
    // place holds off readers), already holds the values, so the write is
    // done as of that read. Most of a job's writes are of this kind (the same
    // parameter values line after line).
    std::string bytes;
    struct stat seen {};
    const bool read = ReadWholeFile(path, bytes, &seen) == 0 && S_ISREG(seen.st_mode);
    if (read && MayWrite(path, seen, W_OK) && profile::WriteStrings(bytes, entries) == bytes) return {};

    const std::string target = WriteTarget(path);
    const std::string folder = FolderOf(target);
    FolderLock lock(folder);
    if (lock.error()) return ErrorOf(lock.error());  // a missing folder among others

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

    struct stat folderStat {};
    const bool folderTakesFiles =
        stat(folder.c_str(), &folderStat) == 0 && MayWrite(folder, folderStat, W_OK | X_OK);
    if (!exists) {
        if (!folderTakesFiles) return ErrorOf(EACCES);
        if (const int error = ReplaceFile(target, folder, updated, nullptr)) return ErrorOf(error);
        return {};
    }
    if (folderTakesFiles && ReplaceFile(target, folder, updated, &st) == 0) return {};
    if (const int error = RewriteInPlace(target, bytes, updated)) return ErrorOf(error);
    return {};
}

bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    return !ProfileWrite(path, {ProfileEntry{section, key, value}}).failed();
}

}  // namespace platform
