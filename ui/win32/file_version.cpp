#include "ui/win32/file_version.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

#include "ui/version_text.h"

bool GetFileVersionString(const std::string& path, char* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) return false;
    DWORD ignored = 0;
    const DWORD blockSize = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (blockSize == 0) return false;
    // The block is released on every path by the owning pointer.
    std::unique_ptr<char[]> block(new (std::nothrow) char[blockSize]);
    if (!block) return false;
    if (!GetFileVersionInfoA(path.c_str(), 0, blockSize, block.get())) return false;

    void* translation = nullptr;
    UINT translationBytes = 0;
    char translationPath[] = "\\VarFileInfo\\Translation";
    if (!VerQueryValueA(block.get(), translationPath, &translation, &translationBytes) ||
        translationBytes == 0)
        return false;
    // One entry is a language and a code page, two WORDs; a shorter table
    // holds no usable entry.
    if (translationBytes < 2 * sizeof(WORD)) return false;
    const WORD* first = static_cast<const WORD*>(translation);
    std::string name = ui::FileVersionSubBlock(first[0], first[1]);

    void* found = nullptr;
    UINT foundLength = 0;
    if (!VerQueryValueA(block.get(), name.data(), &found, &foundLength) || found == nullptr)
        return false;

    const std::string value =
        ui::StoredFileVersion(static_cast<const char*>(found), size);  // up to its NUL
    std::memcpy(buffer, value.data(), value.size());
    buffer[value.size()] = '\0';
    buffer[size - 1] = '\0';
    return true;
}
