// Where a file's name leads in the end (win32 only).
#pragma once

#include <windows.h>

#include <string>

namespace platform::win32 {

// The ANSI path `path` as a wide path: the file the ANSI functions would
// reach by it.
std::wstring WideOf(const std::string& path);

// The final path of what `path` names, symbolic links, junctions and other
// reparse points (and, under Wine, links of the host system) resolved
// (GetFinalPathNameByHandleW): with its "\\?\" or "\\?\UNC\" prefix, which
// the wide file functions take at any length and in any characters. Empty
// when nothing is there or it cannot be told. `flags` is
// FILE_FLAG_BACKUP_SEMANTICS for a folder.
std::wstring FinalPathOf(const std::wstring& path, DWORD flags = 0);

// FinalPathOf for a file already open as `file`.
std::wstring FinalPathOfHandle(HANDLE file);

// A final path as a person types it: "C:\..." or "\\server\share\...".
std::wstring WithoutLongPrefix(const std::wstring& finalPath);

// A key that every name of the file `path` shares, for our processes'
// turns on it: the upper-cased final path (for a file not there yet, its
// folder's final path and its name), in the ANSI code page; the upper-cased
// full path where neither can be had.
std::string FinalPathKey(const std::string& path);

}  // namespace platform::win32
