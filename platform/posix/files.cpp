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
static FileErrorCause CauseOfMissing(const std::string& path) {
    if (path.empty()) return FileErrorCause::BadPath;
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return FileErrorCause::FileNotFound;
    struct stat folder {};
    if (stat(path.substr(0, slash).c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode))
        return FileErrorCause::BadPath;
    return FileErrorCause::FileNotFound;
}

FileReadResult ReadFileDenyWrite(const std::string& path, std::size_t maxBytes) {
    FileReadResult result;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        result.cause = error == ENOENT ? CauseOfMissing(path) : FileErrorCauseOf(error);
        return result;
    }
    // Reading a directory fails on Windows with "access denied".
    // Share-deny-write: a shared lock that a writer holding an exclusive lock
    // on the file keeps us from taking (advisory, as all POSIX locks are).
    if (flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        close(fd);
        result.cause = FileErrorCause::SharingViolation;
        return result;
    }
    result.opened = true;
    char chunk[65536];
    while (result.bytes.size() < maxBytes) {
        std::size_t want = std::min(sizeof(chunk), maxBytes - result.bytes.size());
        ssize_t got = read(fd, chunk, want);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EISDIR) {
            result.opened = false;
            result.cause = FileErrorCause::AccessDenied;
            break;
        }
        // A read error after a successful open ends the read: what came so
        // far is the file's content.
        if (got <= 0) break;
        result.bytes.append(chunk, static_cast<std::size_t>(got));
    }
    close(fd);  // also releases the lock
    return result;
}

void WriteStdout(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace platform
