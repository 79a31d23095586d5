// Looking at an installation on Win32: files, folders, version resources and
// the printer list, read only.
#include <windows.h>
#include <winspool.h>

#include <vector>

#include "platform/platform.h"

namespace platform {

namespace {

SystemError LastError() { return SystemErrorOf(GetLastError()); }

}  // namespace

PathState InspectPath(const std::string& path) {
    PathState state;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        state.error = LastError();
        return state;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        state.kind = PathKind::Folder;
        return state;
    }
    // A device name (CON, COM1, \\.\pipe\...) is no file.
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        state.kind = PathKind::File;  // there, but closed to us: the open says why
        return state;
    }
    state.kind = GetFileType(file) == FILE_TYPE_DISK ? PathKind::File : PathKind::Other;
    CloseHandle(file);
    return state;
}

SystemError TryOpenForWriting(const std::string& path) {
    // The profile engine's rule: the read-only attribute refuses a write
    // (Wine running as root would open such a file for writing).
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return SystemErrorOf(ERROR_ACCESS_DENIED);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastError();
    CloseHandle(file);
    return {};
}

SystemError TryFolderTakesFiles(const std::string& folder) {
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return SystemErrorOf(ERROR_DIRECTORY);
    // A folder handle asking for the right to add files: granted only where
    // the folder's access rules let this user make one.
    HANDLE handle = CreateFileA(folder.c_str(), FILE_ADD_FILE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    CloseHandle(handle);
    return {};
}

SystemError ListFolder(const std::string& folder, std::size_t& entries) {
    entries = 0;
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA found{};
    HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        // An empty folder still lists (it holds "." and ".."); a drive root
        // without any file answers ERROR_FILE_NOT_FOUND.
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? SystemError{} : SystemErrorOf(error);
    }
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") ++entries;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return {};
}

std::string FileVersionOf(const std::string& path) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0) return std::string();
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return std::string();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::string();
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
           "." + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

PrinterList InstalledPrinters() {
    PrinterList list;
    list.source = "EnumPrinters (local and connected printers)";
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    // The first call asks for the size; a list that is empty needs none.
    if (!EnumPrintersA(flags, nullptr, 4, nullptr, 0, &needed, &count) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        list.why = "EnumPrinters failed: " + SystemErrorText(GetLastError());
        return list;
    }
    std::vector<BYTE> buffer(needed);
    if (needed > 0 && !EnumPrintersA(flags, nullptr, 4, buffer.data(), needed, &needed, &count)) {
        list.why = "EnumPrinters failed: " + SystemErrorText(GetLastError());
        return list;
    }
    list.known = true;
    const PRINTER_INFO_4A* info = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (info[i].pPrinterName) list.names.emplace_back(info[i].pPrinterName);
    DWORD length = 0;
    (void)GetDefaultPrinterA(nullptr, &length);
    if (length > 0) {
        std::vector<char> name(length);
        if (GetDefaultPrinterA(name.data(), &length)) list.defaultPrinter = name.data();
    }
    return list;
}

bool SamePathText(std::string_view a, std::string_view b) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

bool StartsWindowsPrograms() { return true; }

}  // namespace platform
