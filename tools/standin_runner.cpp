// A stand-in for the programs the connector starts: the label program, a
// Bartender executable, an API proxy. Tests copy it under the name it stands
// in for (Tarvel.exe, ...) beside a copy of the connector.
//
// Every run appends one record to <own name>.log beside itself (Tarvel.log for
// Tarvel.exe) and exits with the number in <own name>.exitcode beside itself
// (0 when that file is absent). That file, and the two below, may hold several
// numbers separated by blanks: the n-th run (counted by the records already in
// the log) takes the n-th, and every later run the last. A record:
//
//   [run]
//   cmdline=<the exact command line it received>
//   cmdlineW=<the same as Unicode, in UTF-8>   (Win32 only: GetCommandLineW)
//   argc=<n>
//   argv=<argument>            (one line per argument, program name first)
//   show=<dwFlags> <wShowWindow>   (Win32: GetStartupInfoA; POSIX: "none")
//   cwd=<the folder it was started in>
//   ini.CmdLine=<raw value>    (LastJob keys of vantor.ini beside itself,
//   ini.TvlCmdLine=<raw value>  as they stood when it started; "<absent>")
//   exit=<code>
//   [end]
//
// Every run also appends "<own name> <exit code>" as one line to runners.log
// beside itself, so a test can see the order in which several runners ran.
//
// Two more files beside it make it act as a slow or busy program would:
//   <own name>.sleep   seconds to wait after the record is written, before
//                      exiting (a label program that hangs);
//   <own name>.helper  seconds: before that, it starts a helper, a copy of
//                      itself that waits that long and then appends "done"
//                      to <own name>.helper.log (a helper a label program
//                      leaves running). The helper writes no record.
//
// Values are written with '%', CR and LF as %25, %0D and %0A, so a record
// always reads back exactly.
//
// The exact command line: on Win32 GetCommandLineA(). A POSIX process has only
// argv; the connector's host build hands the exact text to its runners in the
// VANTOR_COMMAND_LINE environment variable (platform/posix/cmdline.h), which
// is recorded when present ("cmdline-source=environment"), else argv joined
// with blanks ("cmdline-source=argv").
#ifdef _WIN32
#include <windows.h>
#else
#include <limits.h>
#include <spawn.h>
#include <unistd.h>
extern char** environ;
#endif

#include <chrono>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/runner_log.h"

namespace {

std::string OwnPath() {
#ifdef _WIN32
    char buffer[32768];
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
    return std::string(buffer, n);
#else
    char buffer[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
#endif
}


std::string CurrentFolder() {
#ifdef _WIN32
    char buffer[32768];
    const DWORD n = GetCurrentDirectoryA(sizeof(buffer), buffer);
    return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : std::string();
#else
    char buffer[PATH_MAX + 1];
    return getcwd(buffer, sizeof(buffer)) ? std::string(buffer) : std::string();
#endif
}

std::string ReadAll(const std::string& path, bool& found) {
    std::ifstream in(path, std::ios::binary);
    found = static_cast<bool>(in);
    std::ostringstream bytes;
    if (found) bytes << in.rdbuf();
    return bytes.str();
}

bool SameLetters(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string Trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return std::string();
    std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// The raw text after the '=' of `key` in section [LastJob], as the settings
// store wrote it (a profile read would trim its blanks), or "<absent>".
std::string RawLastJobValue(const std::string& ini, const std::string& key) {
    bool inSection = false;
    std::size_t pos = 0;
    while (pos < ini.size()) {
        std::size_t end = ini.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = ini.size();
        std::string line = ini.substr(pos, end - pos);
        pos = end + 1;
        std::string trimmed = Trim(line);
        if (!trimmed.empty() && trimmed[0] == '[') {
            std::size_t close = trimmed.find(']');
            inSection = SameLetters(Trim(trimmed.substr(1, close == std::string::npos
                                                                ? std::string::npos
                                                                : close - 1)),
                                    "LastJob");
            continue;
        }
        std::size_t equals = line.find('=');
        if (inSection && equals != std::string::npos && SameLetters(Trim(line.substr(0, equals)), key))
            return line.substr(equals + 1);
    }
    return "<absent>";
}

// The number for run `run` (0-based) of a file of blank-separated numbers:
// the run-th, or the last; "" for no number.
std::string PerRun(const std::string& numbers, int run) {
    std::istringstream in(numbers);
    std::string number, last;
    for (int i = 0; in >> number; ++i) {
        last = number;
        if (i == run) break;
    }
    return last;
}

// The records already in a log.
int RecordsIn(const std::string& log) {
    int records = 0;
    for (std::size_t at = log.find("[end]\n"); at != std::string::npos; at = log.find("[end]\n", at + 1))
        ++records;
    return records;
}

// Waits `seconds`, then appends "done" to `log`: the helper's whole life.
int RunAsHelper(const std::string& seconds, const std::string& log) {
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long>(std::atof(seconds.c_str()) * 1000)));
    std::ofstream(log, std::ios::binary | std::ios::app) << "done\n";
    return 0;
}

// Starts a copy of this program as a helper that waits `seconds`.
void StartHelper(const std::string& self, const std::string& seconds, const std::string& log) {
#ifdef _WIN32
    std::string line = "\"" + self + "\" --helper " + seconds + " \"" + log + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
#else
    std::string program = self, flag = "--helper", wait = seconds, file = log;
    char* args[] = {program.data(), flag.data(), wait.data(), file.data(), nullptr};
    pid_t pid = 0;
    posix_spawn(&pid, self.c_str(), nullptr, nullptr, args, environ);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--helper") return RunAsHelper(argv[2], argv[3]);
    const std::string self = OwnPath();
    const std::size_t slash = self.find_last_of("\\/");
    const std::string folder = self.substr(0, slash + 1);
    std::string name = self.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.resize(dot);

    // First the settings file as it stands now, before anything else.
    bool iniFound = false;
    const std::string ini = ReadAll(folder + "vantor.ini", iniFound);

    std::string commandLine;
    std::string wideCommandLine;
    std::string source;
    std::string show = "none";
#ifdef _WIN32
    commandLine = GetCommandLineA();
    const wchar_t* wide = GetCommandLineW();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (bytes > 1) {
        wideCommandLine.resize(static_cast<std::size_t>(bytes));
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, wideCommandLine.data(), bytes, nullptr, nullptr);
        wideCommandLine.resize(static_cast<std::size_t>(bytes) - 1);
    }
    source = "GetCommandLineA";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    show = std::to_string(startup.dwFlags) + " " + std::to_string(startup.wShowWindow);
#else
    if (const char* exact = std::getenv("VANTOR_COMMAND_LINE")) {
        commandLine = exact;
        source = "environment";
    } else {
        for (int i = 0; i < argc; ++i) commandLine += (i ? " " : "") + std::string(argv[i]);
        source = "argv";
    }
#endif

    bool found = false;
    const int run = RecordsIn(ReadAll(folder + name + ".log", found));
    const std::string codeText = PerRun(ReadAll(folder + name + ".exitcode", found), run);
    const int code = std::atoi(codeText.c_str());

    std::ostringstream record;
    record << "[run]\n";
    record << "cmdline=" << runnerlog::Escape(commandLine) << "\n";
#ifdef _WIN32
    record << "cmdlineW=" << runnerlog::Escape(wideCommandLine) << "\n";
#endif
    record << "cmdline-source=" << source << "\n";
    record << "argc=" << argc << "\n";
    for (int i = 0; i < argc; ++i) record << "argv=" << runnerlog::Escape(argv[i]) << "\n";
    record << "show=" << show << "\n";
    record << "cwd=" << runnerlog::Escape(CurrentFolder()) << "\n";
    record << "ini.CmdLine=" << runnerlog::Escape(iniFound ? RawLastJobValue(ini, "CmdLine") : "<absent>") << "\n";
    record << "ini.TvlCmdLine=" << runnerlog::Escape(iniFound ? RawLastJobValue(ini, "TvlCmdLine") : "<absent>")
           << "\n";
    record << "exit=" << code << "\n";
    record << "[end]\n";

    std::ofstream log(folder + name + ".log", std::ios::binary | std::ios::app);
    log << record.str();
    log.close();
    std::ofstream order(folder + "runners.log", std::ios::binary | std::ios::app);
    order << name << " " << code << "\n";
    order.close();

    const std::string helper = PerRun(ReadAll(folder + name + ".helper", found), run);
    if (!helper.empty() && std::atof(helper.c_str()) > 0) StartHelper(self, helper, folder + name + ".helper.log");
    const std::string sleep = PerRun(ReadAll(folder + name + ".sleep", found), run);
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long>(std::atof(sleep.c_str()) * 1000)));
    return code;
}
