// Data files on Win32.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>

#include "platform/platform.h"

namespace platform {

namespace {

// The cause of an open failure, from the system's error code.
FileErrorCause FileErrorCauseOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return FileErrorCause::FileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_NETPATH:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
        return FileErrorCause::BadPath;
    case ERROR_TOO_MANY_OPEN_FILES:
        return FileErrorCause::TooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
        return FileErrorCause::AccessDenied;
    case ERROR_INVALID_HANDLE:
        return FileErrorCause::InvalidFile;
    case ERROR_CURRENT_DIRECTORY:
        return FileErrorCause::RemoveCurrentDir;
    case ERROR_CANNOT_MAKE:
        return FileErrorCause::DirectoryFull;
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK_ON_DEVICE:
        return FileErrorCause::BadSeek;
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
        return FileErrorCause::HardIO;
    case ERROR_SHARING_VIOLATION:
        return FileErrorCause::SharingViolation;
    case ERROR_LOCK_VIOLATION:
        return FileErrorCause::LockViolation;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
        return FileErrorCause::DiskFull;
    case ERROR_HANDLE_EOF:
        return FileErrorCause::EndOfFile;
    default:
        return FileErrorCause::Generic;
    }
}

// Whether `path` names the null device: Windows maps a file name of NUL, in
// any letter case, with or without an extension, in any folder, and \\.\NUL
// onto it. (Windows 11 maps only the bare name; a real file "nul.txt" there
// is a disk file and never gets here.)
bool NamesNullDevice(const std::string& path) {
    std::size_t start = path.find_last_of("\\/:");
    start = start == std::string::npos ? 0 : start + 1;
    std::string name = path.substr(start, 3);
    CharUpperBuffA(name.data(), static_cast<DWORD>(name.size()));
    const std::size_t after = start + 3;
    return name == "NUL" && (after == path.size() || path[after] == '.' || path[after] == ' ' ||
                             path[after] == ':');
}

// Reads at most `maxBytes` of `path`, opened for reading with `share`.
FileReadResult ReadWithSharing(const std::string& path, std::size_t maxBytes, DWORD share,
                               ReadPart part) {
    FileReadResult result;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        result.cause = FileErrorCauseOf(GetLastError());
        return result;
    }
    // Only files on a disk are read: a serial port, the console or a pipe
    // could keep the read waiting for ever. The null device reads as an
    // empty file.
    const DWORD type = GetFileType(file);
    if (type != FILE_TYPE_DISK) {
        CloseHandle(file);
        if (type == FILE_TYPE_CHAR && NamesNullDevice(path)) {
            result.opened = true;
            return result;
        }
        result.cause = FileErrorCause::NotAFile;
        return result;
    }
    result.opened = true;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
        result.fileSize = static_cast<std::uint64_t>(size.QuadPart);
        if (part == ReadPart::Newest && result.fileSize > maxBytes) {
            LARGE_INTEGER from{};
            from.QuadPart = static_cast<LONGLONG>(result.fileSize - maxBytes);
            SetFilePointerEx(file, from, nullptr, FILE_BEGIN);
        }
        // One buffer of the size to come, not a string that doubles as it grows.
        result.bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, result.fileSize)));
    }
    char chunk[65536];
    while (result.bytes.size() < maxBytes) {
        DWORD want = static_cast<DWORD>(
            std::min<std::size_t>(sizeof(chunk), maxBytes - result.bytes.size()));
        DWORD got = 0;
        // A read error after a successful open ends the read: what came so
        // far is the file's content.
        if (!ReadFile(file, chunk, want, &got, nullptr) || got == 0) break;
        result.bytes.append(chunk, got);
    }
    CloseHandle(file);
    return result;
}

}  // namespace

FileReadResult ReadFileDenyWrite(const std::string& path, std::size_t maxBytes) {
    return ReadWithSharing(path, maxBytes, FILE_SHARE_READ, ReadPart::Oldest);
}

FileReadResult ReadFileShared(const std::string& path, std::size_t maxBytes, ReadPart part) {
    return ReadWithSharing(path, maxBytes, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, part);
}

void WriteStdout(std::string_view text) {
    // The C runtime's standard output is a text stream that would turn "\n"
    // into "\r\n": write these bytes unchanged, as the host build does, and
    // leave the stream's mode as it was.
    // A GUI process started without standard handles has no stream to
    // write to: the text is lost, as the product intends.
    const int fd = _fileno(stdout);
    if (fd < 0) return;
    std::fflush(stdout);
    const int previous = _setmode(fd, _O_BINARY);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    if (previous != -1) _setmode(fd, previous);
}

}  // namespace platform
