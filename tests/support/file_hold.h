// Holds a file open while it lives, the way another program could, so a test
// can see what the connector does with a file it is kept from.
#pragma once

#include <string>

namespace testsupport {

class FileHold {
public:
    enum class Mode {
        // A writer that lets others only read: Win32 a write handle with
        // FILE_SHARE_READ; POSIX an exclusive flock(), which our layer's
        // share-deny-write open respects.
        WriterSharingRead,
        // Nobody else may even read: Win32 share mode 0 (a sharing
        // violation for others); POSIX an exclusive flock() as above.
        Exclusive,
        // A reader that lets others read and write but not delete, rename
        // or replace the file (Win32: a read handle without
        // FILE_SHARE_DELETE, as some editors and scanners hold files); POSIX:
        // a plain read-only open.
        ReaderNotSharingDelete,
        // A reader that lets others only read (Win32: a read handle with
        // FILE_SHARE_READ, as a program reading a file whole may open it);
        // POSIX: a shared flock(), as our layer's share-deny-write read takes.
        ReaderDenyingWrite,
    };

    FileHold(const std::string& path, Mode mode);
    ~FileHold();
    FileHold(const FileHold&) = delete;
    FileHold& operator=(const FileHold&) = delete;

    bool held() const { return held_; }

private:
    bool held_ = false;
    void* handle_ = nullptr;  // Win32
    int fd_ = -1;             // POSIX
};

}  // namespace testsupport
