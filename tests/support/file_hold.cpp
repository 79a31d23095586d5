#include "support/file_hold.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace testsupport {

FileHold::FileHold(const std::string& path, Mode mode) {
#ifdef _WIN32
    DWORD access = GENERIC_WRITE;
    DWORD share = FILE_SHARE_READ;
    switch (mode) {
    case Mode::WriterSharingRead:
        break;
    case Mode::Exclusive:
        access = GENERIC_READ | GENERIC_WRITE;
        share = 0;
        break;
    case Mode::ReaderNotSharingDelete:
        access = GENERIC_READ;
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
    case Mode::ReaderDenyingWrite:
        access = GENERIC_READ;
        break;
    }
    HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    held_ = handle != INVALID_HANDLE_VALUE;
    if (held_) handle_ = handle;
#else
    if (mode == Mode::ReaderNotSharingDelete || mode == Mode::ReaderDenyingWrite) {
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        held_ = fd_ >= 0 && (mode == Mode::ReaderNotSharingDelete || flock(fd_, LOCK_SH | LOCK_NB) == 0);
        return;
    }
    fd_ = open(path.c_str(), (mode == Mode::Exclusive ? O_RDWR : O_WRONLY) | O_CLOEXEC);
    held_ = fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) == 0;
#endif
}

FileHold::~FileHold() {
#ifdef _WIN32
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
#else
    if (fd_ >= 0) close(fd_);
#endif
}

}  // namespace testsupport
