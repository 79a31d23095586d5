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

// Whether ParseInt reads the whole of `text` (after leading blanks) as one
// number that fits in 32 bits, so that the number stands for the text:
// "12", "-5", "0x10"; not "", "abc", "12abc", "4294967296".
bool IsWholeInt(std::string_view text);

// One section header or key line of a file, as the rules read it.
struct ListedLine {
    int number = 0;        // from 1; a line ends at CR, LF or CRLF
    bool header = false;   // a section header; otherwise a key line of `section`
    std::string section;   // the section it opens or belongs to
    std::string key;       // a key line's name
};

// The section headers and the key lines under them, in file order (lines
// before the first header belong to no section and are left out, as are
// comments, blank lines and lines without "="). Names are trimmed as a read
// trims them, in ANSI (a UTF-16 file's converted).
std::vector<ListedLine> ListLines(std::string_view fileBytes);

// The key names a read of `section` can find, in file order: those of the
// first section of that name, each name once (a read takes a name's first
// line). Names match without regard to ASCII letter case.
std::vector<std::string> KeysOf(std::string_view fileBytes, std::string_view section);

// The file's new bytes after WritePrivateProfileStringA(section, key, value):
// the key's value replaced in place, or the key added to its section, or the
// section added at the end. Every other byte stays as it was.
std::string WriteString(std::string_view fileBytes, std::string_view section, std::string_view key,
                        std::string_view value);

// The file's new bytes after WriteString of every entry in turn.
std::string WriteStrings(std::string fileBytes, const std::vector<platform::ProfileEntry>& entries);

}  // namespace profile
