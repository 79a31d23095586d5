// Appending records, time stamps and reports on POSIX.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/platform.h"
#include "platform/posix/locks.h"

namespace platform {

namespace {

// How long a job waits to rotate the journal before it skips the rotation.
constexpr std::chrono::milliseconds kRotationWait{1000};

}  // namespace

SystemError AppendRecord(const std::string& path, std::string_view record) {
    // O_APPEND: the system puts each write at the end, whole, whatever other
    // processes append at the same moment.
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return SystemErrorOf(static_cast<uint32_t>(errno));
    ssize_t put;
    do put = write(fd, record.data(), record.size());
    while (put < 0 && errno == EINTR);
    const int error = put < 0 ? errno : (static_cast<size_t>(put) < record.size() ? EIO : 0);
    close(fd);
    if (error) return SystemErrorOf(static_cast<uint32_t>(error));
    return {};
}

bool RotateIfLarger(const std::string& path, uint64_t maxBytes) {
    // The size first, without a lock: most jobs find the file small enough,
    // and a reader holding a lock on it must not hold them up.
    struct stat named {};
    if (stat(path.c_str(), &named) != 0 || static_cast<uint64_t>(named.st_size) <= maxBytes) return false;
    // Two jobs starting at once must not both rotate: the one that takes the
    // file's lock first renames it, the other then finds a new file there.
    // A lock not granted soon skips the rotation; the next job rotates.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat held {};
    const bool rotate = posix::LockWithin(fd, LOCK_EX, kRotationWait, path) && fstat(fd, &held) == 0 &&
                        stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
                        held.st_ino == named.st_ino && static_cast<uint64_t>(held.st_size) > maxBytes &&
                        rename(path.c_str(), (path + ".1").c_str()) == 0;
    close(fd);
    return rotate;
}

std::string LocalTimestamp(std::chrono::system_clock::time_point when) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    const time_t seconds = static_cast<time_t>(ms / 1000);
    struct tm local {};
    localtime_r(&seconds, &local);
    const long offset = local.tm_gmtoff / 60;
    char text[64];
    snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld", local.tm_year + 1900,
             local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
             static_cast<int>(ms % 1000), offset < 0 ? '-' : '+', std::labs(offset) / 60,
             std::labs(offset) % 60);
    return text;
}

ReportPlace ShowReport(const std::string& text, const std::string&, Interaction&) {
    WriteStdout(text);
    return ReportPlace::StandardOutput;
}

}  // namespace platform
