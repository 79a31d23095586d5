// The FileVersion string of an executable's version resource.
#pragma once

#include <cstddef>
#include <string>

// Reads the version resource of the file at `path` and looks up FileVersion
// under its first translation ("\StringFileInfo\<lang><cp>\FileVersion").
// On success fills `buffer` (of `size` bytes) with it, parentheses turned
// into braces and cut to at most size - 1 bytes without splitting a
// double-byte character, and returns true. Returns false and leaves the
// buffer untouched when the file has no version resource, no translation,
// no FileVersion under the first translation, or memory runs out.
bool GetFileVersionString(const std::string& path, char* buffer, std::size_t size);
