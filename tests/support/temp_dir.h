// A temporary folder for one test, and whole-file helpers.
// Standard C++ only, so the same helpers serve the host and the win32 tests.
#pragma once

#include <string>
#include <string_view>

namespace testsupport {

// A new, empty folder with a unique name under the system's temporary folder,
// removed with everything in it (read-only files included) when the object
// goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's full path in the platform's native form (backslashes on
    // Windows), without a trailing separator.
    const std::string& path() const { return path_; }

    // The full native path of `name` inside the folder.
    std::string File(std::string_view name) const;

private:
    std::string path_;
};

// The whole content of a file, byte for byte. Throws std::runtime_error when
// the file cannot be read.
std::string ReadFileBytes(const std::string& path);

// Replaces (or creates) a file with exactly `bytes`. Throws std::runtime_error
// when the file cannot be written.
void WriteFileBytes(const std::string& path, std::string_view bytes);

// Whether a file or folder exists at `path`.
bool FileExists(const std::string& path);

}  // namespace testsupport
