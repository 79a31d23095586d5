// Private-profile files on POSIX: the file handling around profile_engine.
//
// Reads take no lock: they read the whole file, which a writer only ever
// replaces by an atomic rename, so a reader sees the old file or the new one,
// never a torn one.
//
// A write, unlike Windows' (which can lose a key when two processes write at
// once), is serialised between processes:
//   1. take an exclusive flock() on the folder that holds the file, opened
//      read-only. Locking the folder leaves no lock file beside the settings
//      file for an operator to wonder about, and it works when the file does
//      not exist yet; the settings file itself cannot carry the lock, since
//      every write replaces it with a new inode. All writes to profile files
//      in that folder queue behind each other, which costs nothing here: the
//      connector keeps one settings file per folder;
//   2. read the file again under the lock and compute the new bytes;
//   3. write them to a hidden temporary file in the same folder, give it the
//      old file's permission bits (and owner, where we may), and rename it
//      over the file. No fsync: a job writes a few dozen keys per data line,
//      and the rename alone keeps every reader's view whole.
// As on Windows, the write fails (returns false) when the folder is missing
// or the file is read-only; a read-only file is one without any write
// permission bit or one this process may not write, so root is refused too,
// as an administrator is by Windows' read-only attribute.
// A settings file that is a symbolic link is written through to its target.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/profile_engine.h"

namespace platform {
namespace {

// Reads the whole file into `bytes`. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) bytes.reserve(static_cast<size_t>(st.st_size));
    char chunk[16384];
    bool ok = true;
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ok = false;  // EISDIR among others
        if (got <= 0) break;
        bytes.append(chunk, static_cast<size_t>(got));
    }
    close(fd);
    if (!ok) bytes.clear();
    return ok;
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

// An exclusive flock() on a folder, held for this object's lifetime. Where
// the file system offers no such lock (some network file systems refuse it
// on a folder opened read-only), the write goes ahead unlocked: still whole
// for every reader, only no longer safe against a simultaneous writer, which
// is what Windows offers anyway.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder)
        : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ < 0) return;
        int rc;
        do rc = flock(fd_, LOCK_EX);
        while (rc != 0 && errno == EINTR);
    }
    ~FolderLock() {
        if (fd_ >= 0) close(fd_);  // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    // Whether the folder exists and could be opened.
    bool opened() const { return fd_ >= 0; }

private:
    int fd_;
};

// Writes `bytes` to a temporary file in `folder` and renames it to `path`.
// `old` is the stat of the existing file, or null for a new one.
bool ReplaceFile(const std::string& path, const std::string& folder, const std::string& bytes,
                 const struct stat* old) {
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // Unique among writers: all of them hold the folder's lock, and the pid
    // tells processes apart. A leftover of a crashed writer is stale.
    const std::string temp = folder + "/." + name + "." + std::to_string(getpid()) + ".tmp";
    unlink(temp.c_str());
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, old ? 0600 : 0666);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes);
    if (ok && old) {
        if (fchown(fd, old->st_uid, old->st_gid) != 0) {
            // Not ours to give away: the new file belongs to us, as a file
            // Windows recreates would.
        }
        ok = fchmod(fd, old->st_mode & 07777) == 0;
    }
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    return ok;
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

bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    const std::string target = WriteTarget(path);
    const std::string folder = FolderOf(target);

    // A write that would change nothing needs no lock: the file, read whole
    // (renames make every read see one whole version), already holds the
    // value, so the write is done as of that read. Most of a job's writes
    // are of this kind (the same parameter values line after line).
    {
        struct stat st {};
        std::string bytes;
        if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) != 0 &&
            faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0 &&
            ReadWholeFile(target, bytes) &&
            profile::WriteString(bytes, section, key, value) == bytes) {
            return true;
        }
    }

    FolderLock lock(folder);
    if (!lock.opened()) return false;  // a missing folder among others

    struct stat st {};
    const bool exists = stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return false;
    std::string bytes;
    if (exists) {
        if (!S_ISREG(st.st_mode)) return false;
        if ((st.st_mode & 0222) == 0 || faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return false;  // read-only
        if (!ReadWholeFile(target, bytes)) return false;  // never replace what we cannot read
    }
    const std::string updated = profile::WriteString(bytes, section, key, value);
    if (exists && updated == bytes) return true;
    return ReplaceFile(target, folder, updated, exists ? &st : nullptr);
}

}  // namespace platform
