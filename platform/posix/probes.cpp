// Looking at an installation on POSIX: files, folders and the print system's
// printer list, read only.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/platform.h"

namespace platform {

namespace {

SystemError ErrnoError(int error) { return SystemErrorOf(static_cast<uint32_t>(error)); }

// The names of a printcap file: each line that is not a comment starts with
// the printer's names separated by '|', ended by ':' (CUPS writes one line
// per printer, "Office|Office printer:rm=host:rp=Office:").
std::vector<std::string> PrintcapNames(std::istream& in) {
    std::vector<std::string> names;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line[0] == ' ' || line[0] == '\t' || line[0] == ':') continue;
        const std::size_t end = line.find_first_of("|:");
        names.push_back(line.substr(0, end));
    }
    return names;
}

}  // namespace

PathState InspectPath(const std::string& path) {
    PathState state;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        state.error = ErrnoError(errno);
        return state;
    }
    state.kind = S_ISREG(st.st_mode) ? PathKind::File : S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::Other;
    return state;
}

SystemError TryOpenForWriting(const std::string& path) {
    // Without O_CREAT or O_TRUNC: an existing file is opened as it is, and a
    // pipe does not wait for a reader.
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return ErrnoError(errno);
    struct stat st {};
    const bool writable = fstat(fd, &st) == 0 && (st.st_mode & 0222) != 0;
    close(fd);
    return writable ? SystemError{} : ErrnoError(EACCES);
}

SystemError TryFolderTakesFiles(const std::string& folder) {
    const std::string path = folder.empty() ? "." : folder;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return ErrnoError(errno);
    if (!S_ISDIR(st.st_mode)) return ErrnoError(ENOTDIR);
    if (faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return ErrnoError(errno);
    return {};
}

SystemError ListFolder(const std::string& folder, std::size_t& entries) {
    entries = 0;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return ErrnoError(errno);
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") ++entries;
    }
    closedir(dir);
    return {};
}

std::string FileVersionOf(const std::string&) { return std::string(); }

PrinterList InstalledPrinters() {
    PrinterList list;
    for (const char* path : {"/etc/printcap", "/run/cups/printcap"}) {
        std::ifstream in(path);
        if (!in) continue;
        list.known = true;
        list.source = path;
        list.names = PrintcapNames(in);
        break;
    }
    if (!list.known) {
        list.why = "no printcap file (/etc/printcap, /run/cups/printcap) can be read: no print system "
                   "(CUPS) shares its printers on this machine";
        return list;
    }
    std::ifstream options("/etc/cups/lpoptions");
    std::string line;
    while (std::getline(options, line)) {
        std::istringstream words(line);
        std::string word, name;
        if (words >> word >> name && word == "Default") list.defaultPrinter = name;
    }
    return list;
}

bool SamePathText(std::string_view a, std::string_view b) { return a == b; }

bool StartsWindowsPrograms() { return false; }

MachineSupport WindowsMachineSupport(uint16_t) { return {}; }

SystemError TryMayExecute(const std::string& path) {
    if (faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) != 0) return ErrnoError(errno);
    return {};
}

}  // namespace platform
