// The user and processes on Win32.
#include <windows.h>

#include <vector>

#include "platform/platform.h"
#include "platform/windows_args.h"

namespace platform {

std::wstring WideCommandLine(std::string_view utf8);                   // text.cpp
std::string SystemErrorTextWith(uint32_t code, const std::string& insert);  // text.cpp

bool UserName(std::string& name) {
    char buffer[257];  // 256 characters and the terminator
    DWORD size = sizeof(buffer);
    if (!GetUserNameA(buffer, &size)) return false;
    name.assign(buffer);
    return true;
}

uint32_t ProcessId() { return GetCurrentProcessId(); }

std::string AnsiFormOfUnicodeLine(std::string_view utf8) {
    // As the system converts a process's Unicode command line for
    // GetCommandLineA and the runtime's ANSI argv: best fit, no flags.
    const std::wstring wide = WideCommandLine(utf8);
    if (wide.empty()) return std::string();
    const int units = static_cast<int>(wide.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), units, out.data(), bytes, nullptr, nullptr);
    return out;
}

namespace {

// The exit code a runner that ran past its time-out is ended with.
constexpr UINT kTimedOutExitCode = WAIT_TIMEOUT;

// Sets the job's kill-on-close limit, or lifts it.
bool KillOnClose(HANDLE job, bool kill) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = kill ? JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE : 0;
    return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) != FALSE;
}

}  // namespace

ProcessOutcome RunHidden(const std::string& commandLine, const RunOptions& options,
                         const std::string& unicodeCommandLine) {
    ProcessOutcome outcome;
    outcome.started = std::chrono::system_clock::now();
    STARTUPINFOA startup{};
    static_assert(sizeof(STARTUPINFOA) == (sizeof(void*) == 4 ? 68 : 104), "STARTUPINFOA: 68 bytes (32-bit), 104 (64-bit)");
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    STARTUPINFOW startupW{};
    startupW.cb = sizeof(startupW);
    startupW.dwFlags = STARTF_USESHOWWINDOW;
    startupW.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};

    // With a time-out the runner goes into a job object, so that it can be
    // ended together with the processes it starts: it is started suspended,
    // put in the job, then let run. Without one it starts as it always did.
    HANDLE job = nullptr;
    DWORD flags = 0;
    if (options.timeoutSeconds > 0) {
        job = CreateJobObjectA(nullptr, nullptr);
        if (job && KillOnClose(job, true)) flags = CREATE_SUSPENDED;
    }

    // An ANSI command line goes to CreateProcessA as it always did (the
    // system's own conversion of an ANSI line is not always a round trip
    // through UTF-16: with code page 932 a lone lead byte at the end is
    // dropped). Only a line with characters the code page lacks goes wide.
    // Both calls may write into their command line: hand them a copy.
    BOOL started = FALSE;
    if (unicodeCommandLine.empty()) {
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                                 nullptr, &startup, &process);
    } else {
        std::wstring line = WideCommandLine(unicodeCommandLine);
        line.push_back(L'\0');
        started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                                 nullptr, &startupW, &process);
    }
    if (!started) {
        // The system's text names the program where it says "%1".
        const DWORD error = GetLastError();
        const std::vector<std::string> arguments = winargs::Split(commandLine);
        outcome.error = {error, SystemErrorTextWith(error, arguments.empty() ? std::string() : arguments.front())};
        if (job) CloseHandle(job);
        outcome.ended = std::chrono::system_clock::now();
        return outcome;
    }
    // A connector that already runs in a job may not be able to put its
    // runner in another (before Windows 8): then at least the runner itself
    // is ended at the time-out.
    const bool inJob = flags == CREATE_SUSPENDED && AssignProcessToJobObject(job, process.hProcess);
    if (flags == CREATE_SUSPENDED) ResumeThread(process.hThread);

    DWORD wait = INFINITE;
    if (options.timeoutSeconds > 0)
        wait = options.timeoutSeconds >= 4000000u ? INFINITE - 1 : options.timeoutSeconds * 1000u;
    const DWORD waited = WaitForSingleObject(process.hProcess, wait);
    DWORD code = 0;
    if (waited == WAIT_TIMEOUT) {
        if (inJob)
            TerminateJobObject(job, kTimedOutExitCode);
        else
            TerminateProcess(process.hProcess, kTimedOutExitCode);
        WaitForSingleObject(process.hProcess, 10000);
        outcome.state = ProcessOutcome::State::TimedOut;
    } else {
        DWORD error = 0;
        if (waited != WAIT_OBJECT_0)
            error = waited == WAIT_FAILED ? GetLastError() : ERROR_INVALID_HANDLE;
        else if (!GetExitCodeProcess(process.hProcess, &code))
            error = GetLastError();
        if (error != 0) {
            // How it ended cannot be read: never taken for exit 0.
            outcome.state = ProcessOutcome::State::EndUnknown;
            outcome.error = SystemErrorOf(error);
        } else {
            outcome.state = ProcessOutcome::State::Exited;
            outcome.exitCode = code;
        }
    }
    // Helpers a label program leaves running on purpose survive, as they do
    // without a time-out, unless the limit cannot be lifted: then closing the
    // job ends them, and the outcome says so.
    if (inJob && outcome.state != ProcessOutcome::State::TimedOut && !KillOnClose(job, false)) {
        const DWORD error = GetLastError();
        outcome.warning = "helpers ended with it: the kill-on-close limit could not be lifted (" +
                          std::to_string(error) + " " + SystemErrorText(error) + ")";
    }
    outcome.ended = std::chrono::system_clock::now();
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (job) CloseHandle(job);
    return outcome;
}

}  // namespace platform
