// Windows' private-profile (INI) rules as pure functions over a file's bytes.
//
// Both builds keep their settings through these rules: platform/<build>/profile.cpp
// reads and replaces the real files and calls them; nothing here touches the
// file system, so tests can feed the rules directly.
// The rules are those of Windows' GetPrivateProfileStringA,
// GetPrivateProfileIntA and WritePrivateProfileStringA (not Wine's, where the
// two differ); profile_engine.cpp lists them.
//
// `fileBytes` is the whole file as stored; "" stands for a missing file.
// Names, defaults, values and results are ANSI text (on POSIX, UTF-8).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace profile {

// The text GetPrivateProfileStringA leaves in a buffer of `bufferSize` bytes:
// the value of `key` in `section` (one pair of enclosing quotes removed), or,
// when the section or key is missing, `defaultText` without its trailing
// spaces; either cut to bufferSize - 1 bytes and at a NUL byte it may hold.
// "" when bufferSize is 0.
std::string GetString(std::string_view fileBytes, std::string_view section, std::string_view key,
                      std::string_view defaultText, std::size_t bufferSize);

// As GetPrivateProfileIntA: the value read as a 32-bit integer (see ParseInt
// in profile_engine.cpp); `defaultValue` when the section or key is missing or
// the value is empty.
int GetInt(std::string_view fileBytes, std::string_view section, std::string_view key,
           int defaultValue);

// A value's text read as GetPrivateProfileIntA reads it (see profile_engine.cpp).
int ParseInt(std::string_view text);

// The file's new bytes after WritePrivateProfileStringA(section, key, value):
// the key's value replaced in place, or the key added to its section, or the
// section added at the end. Every other byte stays as it was.
std::string WriteString(std::string_view fileBytes, std::string_view section, std::string_view key,
                        std::string_view value);

// The file's new bytes after WriteString of every entry in turn.
std::string WriteStrings(std::string fileBytes, const std::vector<platform::ProfileEntry>& entries);

}  // namespace profile
