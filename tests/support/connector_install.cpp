#include "support/connector_install.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/posix/cmdline.h"
extern char** environ;
#endif

#include <filesystem>
#include <stdexcept>
#include <thread>

#include "platform/platform.h"
#include "support/build_paths.h"

namespace fs = std::filesystem;

namespace testsupport {

std::vector<std::string> LinesOf(std::string_view text, bool crToo) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = crToo ? text.find_first_of("\r\n", pos) : text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

std::string UnescapeRecordValue(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
            const std::string hex(value.substr(i + 1, 2));
            out += static_cast<char>(std::stoi(hex, nullptr, 16));
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string_view Trim(std::string_view s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

void CopyProgram(const std::string& from, const std::string& to) {
    fs::copy_file(fs::path(from), fs::path(to), fs::copy_options::overwrite_existing);
    fs::permissions(fs::path(to), fs::perms::owner_all, fs::perm_options::add);
}

}  // namespace

std::vector<RunRecord> ReadRunRecords(const std::string& logPath) {
    std::vector<RunRecord> records;
    if (!FileExists(logPath)) return records;
    RunRecord current;
    for (const std::string& text : LinesOf(ReadFileBytes(logPath))) {
        const std::string_view line = text;
        if (line == "[run]") {
            current = RunRecord{};
            continue;
        }
        if (line == "[end]") {
            records.push_back(current);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view name = line.substr(0, equals);
        const std::string value = UnescapeRecordValue(line.substr(equals + 1));
        if (name == "cmdline") current.cmdline = value;
        else if (name == "cmdlineW") current.cmdlineW = value;
        else if (name == "cmdline-source") current.cmdlineSource = value;
        else if (name == "argv") current.argv.push_back(value);
        else if (name == "show") current.show = value;
        else if (name == "cwd") current.cwd = value;
        else if (name == "ini.CmdLine") current.iniCmdLine = value;
        else if (name == "ini.TvlCmdLine") current.iniTvlCmdLine = value;
        else if (name == "exit") current.exit = std::stoi(value);
    }
    return records;
}

std::vector<JournalRecord> ReadJournal(const std::string& path) {
    std::vector<JournalRecord> records;
    if (!FileExists(path)) return records;
    const std::string bytes = ReadFileBytes(path);
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        const bool whole = end != std::string::npos;
        if (!whole) end = bytes.size();
        std::vector<std::string> columns;
        for (std::size_t start = pos;;) {
            const std::size_t tab = bytes.find('\t', start);
            if (tab == std::string::npos || tab >= end) {
                columns.push_back(bytes.substr(start, end - start));
                break;
            }
            columns.push_back(bytes.substr(start, tab - start));
            start = tab + 1;
        }
        pos = end + 1;
        JournalRecord record;
        if (!whole || columns.size() < 3) {
            record.kind = "<torn>";
            records.push_back(record);
            continue;
        }
        record.time = columns[0];
        record.pid = columns[1];
        record.kind = columns[2];
        for (std::size_t i = 3; i < columns.size(); ++i) {
            const std::size_t equals = columns[i].find('=');
            if (equals == std::string::npos) record.kind = "<torn>";
            else record.fields[columns[i].substr(0, equals)] = UnescapeRecordValue(columns[i].substr(equals + 1));
        }
        records.push_back(record);
    }
    return records;
}

std::string RawProfileValue(std::string_view bytes, std::string_view section, std::string_view key,
                            std::string_view fallback) {
    bool inSection = false;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = bytes.size();
        const std::string_view line = bytes.substr(pos, end - pos);
        pos = end + 1;
        const std::string_view trimmed = Trim(line);
        if (!trimmed.empty() && trimmed[0] == '[') {
            const std::size_t close = trimmed.find(']');
            inSection = SameLetters(
                Trim(trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos
                                                                       : close - 1)),
                section);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (inSection && equals != std::string_view::npos &&
            SameLetters(Trim(line.substr(0, equals)), key))
            return std::string(line.substr(equals + 1));
    }
    return std::string(fallback);
}

// ------------------------------------------------------------ processes

#ifdef _WIN32

ProcessResult RunProgram(const std::string& commandLine, const std::string& input,
                         const std::function<void(unsigned long)>& whileRunning) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0) || !CreatePipe(&outRead, &outWrite, &inherit, 0))
        throw std::runtime_error("CreatePipe failed");
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = outWrite;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    line.push_back('\0');
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(inRead);
    CloseHandle(outWrite);
    if (started) {
        DWORD written = 0;
        if (!input.empty())
            WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    }
    CloseHandle(inWrite);
    if (!started) {
        CloseHandle(outRead);
        return result;
    }
    result.started = true;

    // Collect the output on a thread, so a talkative program never blocks.
    std::thread reader([&] {
        char chunk[4096];
        DWORD got = 0;
        while (ReadFile(outRead, chunk, sizeof(chunk), &got, nullptr) && got > 0)
            result.output.append(chunk, got);
    });
    while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
        if (whileRunning) whileRunning(process.dwProcessId);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.exitCode = code;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    reader.join();
    CloseHandle(outRead);
    return result;
}

namespace {
struct DialogSearch {
    DWORD pid;
    std::vector<HWND> found;
};
BOOL CALLBACK CollectDialogs(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    GetClassNameA(window, className, sizeof(className));
    if (owner == search->pid && IsWindowVisible(window) && std::string(className) == "#32770")
        search->found.push_back(window);
    return TRUE;
}
}  // namespace

std::vector<std::string> CancelDialogsOf(unsigned long pid) {
    DialogSearch search{static_cast<DWORD>(pid), {}};
    EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&search));
    std::vector<std::string> captions;
    for (HWND window : search.found) {
        char caption[256] = {};
        GetWindowTextA(window, caption, sizeof(caption));
        captions.emplace_back(caption);
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    }
    return captions;
}

#else

ProcessResult RunProgram(const std::string& commandLine, const std::string& input,
                         const std::function<void(unsigned long)>& whileRunning) {
    ProcessResult result;
    std::vector<std::string> args = platform::posix::SplitWindowsCommandLine(commandLine);
    if (args.empty()) return result;
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The exact text goes along as the host build's platform layer hands it
    // to its runners.
    std::string ownVariable;
    std::vector<char*> envp = platform::posix::ChildEnvironment(commandLine, ownVariable);

    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    if (error != 0) {
        close(in[1]);
        close(out[0]);
        return result;
    }
    result.started = true;
    std::thread writer([&] {
        std::size_t done = 0;
        while (done < input.size()) {
            ssize_t n = write(in[1], input.data() + done, input.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        close(in[1]);
    });
    for (;;) {
        pollfd p{out[0], POLLIN, 0};
        int ready = poll(&p, 1, 50);
        if (ready > 0) {
            char chunk[4096];
            ssize_t n = read(out[0], chunk, sizeof(chunk));
            if (n <= 0) break;
            result.output.append(chunk, static_cast<std::size_t>(n));
        } else if (whileRunning) {
            whileRunning(static_cast<unsigned long>(pid));
        }
    }
    close(out[0]);
    writer.join();
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? static_cast<uint32_t>(WEXITSTATUS(status)) : 255u;
    return result;
}

std::vector<std::string> CancelDialogsOf(unsigned long) { return {}; }

#endif

// ------------------------------------------------------ ConnectorInstall

ConnectorInstall::ConnectorInstall(bool labelProgram) {
    CopyProgram(ConnectorProgram(), Exe());
    if (labelProgram) InstallRunner("Tarvel.exe");
}

std::string ConnectorInstall::Folder() const {
    return path() + std::string(1, platform::PathSeparator());
}

std::string ConnectorInstall::Exe() const { return File("vantor" + ExeSuffix()); }

void ConnectorInstall::InstallRunner(std::string_view fileName) const {
    CopyProgram(ToolProgram("standin_runner"), File(fileName));
}

void ConnectorInstall::SetExitCode(std::string_view name, int code) const {
    WriteFileBytes(File(std::string(name) + ".exitcode"), std::to_string(code));
}

std::vector<RunRecord> ConnectorInstall::Runs(std::string_view name) const {
    return ReadRunRecords(File(std::string(name) + ".log"));
}

std::vector<std::string> ConnectorInstall::RunnerOrder() const {
    if (!FileExists(File("runners.log"))) return {};
    return LinesOf(ReadFileBytes(File("runners.log")));
}

void ConnectorInstall::WriteIni(std::string_view bytes) const { WriteFileBytes(Ini(), bytes); }

std::string ConnectorInstall::IniBytes() const {
    return FileExists(Ini()) ? ReadFileBytes(Ini()) : std::string();
}

std::string ConnectorInstall::IniText(const std::string& section, const std::string& key,
                                      const std::string& fallback) const {
    return platform::ProfileGetString(section, key, fallback, 30000, Ini());
}

std::string ConnectorInstall::RawIni(std::string_view section, std::string_view key) const {
    return RawProfileValue(IniBytes(), section, key);
}

ProcessResult ConnectorInstall::RunConnector(
    const std::string& arguments, const std::string& input,
    const std::function<void(unsigned long)>& whileRunning) const {
    return RunProgram("\"" + Exe() + "\" " + arguments, input, whileRunning);
}

}  // namespace testsupport
