// A label-program stand-in that exits at once, for the benchmarks and the
// load tests. Installed as Tarvel.exe beside a copy of the connector.
//
// It does nothing unless a file named <own name>.lines (Tarvel.lines for
// Tarvel.exe) already exists beside it; then it appends one line to it:
//
//   <monotonic clock in ns> <the exact command line it received>\n
//
// with '%', CR and LF in the command line written as %25, %0D and %0A. The
// line goes in with one append, so several runners started at the same time
// by different connectors never mix or lose their lines (POSIX: O_APPEND;
// Win32: append-only access, serialised by a named mutex as well, since the C
// runtime's own append mode seeks and writes in two steps).
//
// The clock is the one the benchmark driver reads too (POSIX:
// CLOCK_MONOTONIC; Win32: QueryPerformanceCounter), so the driver can tell
// when the runner started. The exact command line: Win32 GetCommandLineA();
// POSIX the VANTOR_COMMAND_LINE variable the host build hands its runners, or
// argv joined with blanks.
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <limits.h>
#include <time.h>
#include <unistd.h>
#endif

#include <cstdint>

#include "tools/runner_log.h"
#include <cstdlib>
#include <string>

namespace {



}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t started = runnerlog::NowNs();
#ifdef _WIN32
    (void)argc;
    (void)argv;
    char self[32768];
    const DWORD n = GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string log(self, n);
    const std::size_t dot = log.find_last_of('.');
    if (dot != std::string::npos && dot > log.find_last_of('\\')) log.resize(dot);
    log += ".lines";
    HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    const std::string line = std::to_string(started) + " " + runnerlog::Escape(GetCommandLineA()) + "\n";
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "Local\\vantor-bench-runner-lines");
    if (mutex) WaitForSingleObject(mutex, INFINITE);
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    if (mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    CloseHandle(file);
#else
    char self[PATH_MAX + 1];
    const ssize_t n = readlink("/proc/self/exe", self, PATH_MAX);
    if (n <= 0) return 0;
    std::string log(self, static_cast<std::size_t>(n));
    const std::size_t slash = log.find_last_of('/');
    const std::size_t dot = log.find_last_of('.');
    if (dot != std::string::npos && dot > slash) log.resize(dot);
    log += ".lines";
    const int fd = open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return 0;
    std::string commandLine;
    if (const char* exact = std::getenv("VANTOR_COMMAND_LINE")) {
        commandLine = exact;
    } else {
        for (int i = 0; i < argc; ++i) {
            if (i) commandLine += ' ';
            commandLine += argv[i];
        }
    }
    const std::string line = std::to_string(started) + " " + runnerlog::Escape(commandLine) + "\n";
    (void)!write(fd, line.data(), line.size());
    close(fd);
#endif
    return 0;
}
