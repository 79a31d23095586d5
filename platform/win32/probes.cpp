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
    // Ordinal, ignoring case as the file system does (its upcase table), on
    // the names' UTF-16 forms: no locale's rules, so "i" and "I" match in a
    // Turkish locale too and no two different names compare equal by
    // linguistic folding.
    const std::u16string wideA = AnsiToUtf16(a);
    const std::u16string wideB = AnsiToUtf16(b);
    return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(wideA.data()), static_cast<int>(wideA.size()),
                                reinterpret_cast<const wchar_t*>(wideB.data()), static_cast<int>(wideB.size()),
                                TRUE) == CSTR_EQUAL;
}

bool StartsWindowsPrograms() { return true; }

namespace {

// The machine numbers of a PE header (IMAGE_FILE_MACHINE_*).
constexpr USHORT kMachineI386 = 0x014C;
constexpr USHORT kMachineArmNt = 0x01C4;
constexpr USHORT kMachineIa64 = 0x0200;
constexpr USHORT kMachineAmd64 = 0x8664;
constexpr USHORT kMachineArm64 = 0xAA64;

// This machine's own processor. IsWow64Process2 (Windows 10 1511 and later)
// tells it also to a 32-bit process on ARM64, where GetNativeSystemInfo
// gives the emulated x86; both are looked up at run time.
USHORT NativeMachine() {
    using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (const auto isWow64Process2 = reinterpret_cast<IsWow64Process2Fn>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process2")))) {
        USHORT process = 0;
        USHORT native = 0;
        if (isWow64Process2(GetCurrentProcess(), &process, &native) && native != 0) return native;
    }
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64:
        return kMachineAmd64;
    case 12:  // PROCESSOR_ARCHITECTURE_ARM64
        return kMachineArm64;
    case PROCESSOR_ARCHITECTURE_ARM:
        return kMachineArmNt;
    case PROCESSOR_ARCHITECTURE_IA64:
        return kMachineIa64;
    default:
        return kMachineI386;
    }
}

}  // namespace

MachineSupport WindowsMachineSupport(uint16_t peMachine) {
    MachineSupport support;
    support.native = NativeMachine();
    // Windows 11 says for itself which machines' user programs run (x64 ones
    // on ARM64 included): MACHINE_ATTRIBUTES UserEnabled.
    using GetMachineTypeAttributesFn = HRESULT(WINAPI*)(USHORT, int*);
    if (const auto attributesOf = reinterpret_cast<GetMachineTypeAttributesFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetMachineTypeAttributes")))) {
        int attributes = 0;
        if (SUCCEEDED(attributesOf(peMachine, &attributes))) {
            support.runs = (attributes & 1) != 0;
            return support;
        }
    }
    const USHORT native = support.native;
    support.runs = peMachine == native ||
                   (peMachine == kMachineI386 &&
                    (native == kMachineAmd64 || native == kMachineArm64 || native == kMachineIa64)) ||
                   (peMachine == kMachineArmNt && native == kMachineArm64);
    return support;
}

SystemError TryMayExecute(const std::string&) { return {}; }

}  // namespace platform
