// Data files on POSIX.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/platform.h"

namespace platform {

namespace {

// The cause of an open failure, from errno.
FileErrorCause FileErrorCauseOf(int error) {
    switch (error) {
    case ENOENT:
        return FileErrorCause::FileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
        return FileErrorCause::BadPath;
    case EMFILE:
    case ENFILE:
        return FileErrorCause::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return FileErrorCause::AccessDenied;
    case EBADF:
        return FileErrorCause::InvalidFile;
    case EIO:
        return FileErrorCause::HardIO;
    case EWOULDBLOCK:
        return FileErrorCause::SharingViolation;
    case ENOLCK:
        return FileErrorCause::LockViolation;
    case ENOSPC:
        return FileErrorCause::DiskFull;
    default:
        return FileErrorCause::Generic;
    }
}

// Windows tells a missing file (ERROR_FILE_NOT_FOUND) from a missing folder
// or an empty name (ERROR_PATH_NOT_FOUND, an invalid path); POSIX says ENOENT
// for all three. Tell them apart as Windows does.
FileErrorCause CauseOfMissing(const std::string& path) {
    if (path.empty()) return FileErrorCause::BadPath;
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return FileErrorCause::FileNotFound;
    struct stat folder {};
    if (stat(path.substr(0, slash).c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode))
        return FileErrorCause::BadPath;
    return FileErrorCause::FileNotFound;
}

// Whether `st` is the null device, which reads as an empty file.
bool IsNullDevice(const struct stat& st) {
    struct stat null {};
    return S_ISCHR(st.st_mode) && stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) &&
           st.st_rdev == null.st_rdev;
}

// Reads at most `maxBytes` of `path`; with `denyWrite`, not while a writer
// holds an exclusive lock on it.
FileReadResult ReadRegularFile(const std::string& path, std::size_t maxBytes, bool denyWrite,
                               ReadPart part) {
    FileReadResult result;
    // Without blocking: opening a pipe nobody writes to would wait for a
    // writer. Only regular files are read; see below.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        result.cause = error == ENOENT ? CauseOfMissing(path) : FileErrorCauseOf(error);
        return result;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool null = fstat(fd, &st) == 0 && IsNullDevice(st);
        close(fd);
        if (null) {
            result.opened = true;  // the null device: an empty file
            return result;
        }
        // Reading a directory fails on Windows with "access denied"; a device
        // or a pipe could keep the read waiting for ever.
        result.cause = S_ISDIR(st.st_mode) ? FileErrorCause::AccessDenied : FileErrorCause::NotAFile;
        return result;
    }
    // Share-deny-write: a shared lock that a writer holding an exclusive lock
    // on the file keeps us from taking (advisory, as all POSIX locks are).
    if (denyWrite && flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        close(fd);
        result.cause = FileErrorCause::SharingViolation;
        return result;
    }
    result.opened = true;
    result.fileSize = static_cast<std::uint64_t>(st.st_size);
    if (part == ReadPart::Newest && result.fileSize > maxBytes)
        lseek(fd, static_cast<off_t>(result.fileSize - maxBytes), SEEK_SET);
    // One buffer of the size to come, not a string that doubles as it grows.
    result.bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, result.fileSize)));
    char chunk[65536];
    while (result.bytes.size() < maxBytes) {
        std::size_t want = std::min(sizeof(chunk), maxBytes - result.bytes.size());
        ssize_t got = read(fd, chunk, want);
        if (got < 0 && errno == EINTR) continue;
        // A read error after a successful open ends the read: what came so
        // far is the file's content.
        if (got <= 0) break;
        result.bytes.append(chunk, static_cast<std::size_t>(got));
    }
    close(fd);  // also releases the lock
    return result;
}

}  // namespace

FileReadResult ReadFileDenyWrite(const std::string& path, std::size_t maxBytes) {
    return ReadRegularFile(path, maxBytes, true, ReadPart::Oldest);
}

FileReadResult ReadFileShared(const std::string& path, std::size_t maxBytes, ReadPart part) {
    return ReadRegularFile(path, maxBytes, false, part);
}

void WriteStdout(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace platform
