// The user and processes on POSIX.
#include <errno.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/cmdline.h"

extern char** environ;

namespace platform {

bool UserName(std::string& name) {
    // The login name of the effective user, as Windows reports the user the
    // process runs as. Cut to 256 characters like GetUserNameA's buffer.
    struct passwd entry;
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_name)
        return false;
    name.assign(found->pw_name);
    if (name.size() > 256) name.resize(256);
    return true;
}

uint32_t ProcessId() { return static_cast<uint32_t>(getpid()); }

std::string AnsiFormOfUnicodeLine(std::string_view utf8) {
    // Windows' best fit for code page 1252 (the same under Wine 8) turns
    // these into a character the runtime splits at.
    struct StandIn {
        std::string_view character;  // UTF-8
        char ansi;
    };
    static constexpr StandIn kStandIns[] = {
        {"\u02BA", '"'},  {"\u030E", '"'},  {"\uFF02", '"'},  {"\u2216", '\\'}, {"\uFF3C", '\\'},
        {"\u2000", ' '},  {"\u2001", ' '},  {"\u2002", ' '},  {"\u2003", ' '},   {"\u2004", ' '},
        {"\u2005", ' '},  {"\u2006", ' '},  {"\u3000", ' '},
    };
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        bool replaced = false;
        for (const StandIn& s : kStandIns) {
            if (utf8.compare(i, s.character.size(), s.character) == 0) {
                out += s.ansi;
                i += s.character.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) out += utf8[i++];
    }
    return out;
}

namespace {

enum class WaitResult { Ended, TimedOut, EndRequested, Lost };

long long MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

// Waits for `pid` to end, at most until `deadline` (monotonic milliseconds;
// negative: no limit), calling `watcher` at least every kRunnerWaitTickMs
// when there is one. Ended with its wait status; EndRequested when the
// watcher asked to end it; Lost, with `error` set, when the system cannot say
// how it ended (ECHILD: a parent that ignores SIGCHLD has its children reaped
// for it).
WaitResult WaitUntil(pid_t pid, long long deadline, RunnerWait* watcher, int& status, int& error) {
    if (deadline < 0 && watcher == nullptr) {
        while (waitpid(pid, &status, 0) < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return WaitResult::Lost;
        }
        return WaitResult::Ended;
    }
    // A descriptor that becomes readable when the process ends, where the
    // kernel has one; otherwise a look every few milliseconds. A signal
    // (a terminal's Ctrl-C) cuts the poll short, so the watcher hears of it
    // at once.
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    WaitResult result = WaitResult::Ended;
    long long nextTick = MonotonicMs();
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) {
            error = errno;
            result = WaitResult::Lost;
            break;
        }
        const long long now = MonotonicMs();
        if (watcher && now >= nextTick) {
            if (watcher->WhileRunning()) {
                result = WaitResult::EndRequested;
                break;
            }
            nextTick = MonotonicMs() + kRunnerWaitTickMs;
        }
        long long left = deadline < 0 ? 1000 : deadline - now;
        if (left <= 0) {
            result = WaitResult::TimedOut;
            break;
        }
        if (left > 1000) left = 1000;
        if (watcher && nextTick - now < left) left = nextTick - now > 0 ? nextTick - now : 1;
        if (pidfd >= 0) {
            pollfd p{pidfd, POLLIN, 0};
            poll(&p, 1, static_cast<int>(left));
        } else {
            const timespec pause{0, (left < 5 ? left : 5) * 1000000};
            nanosleep(&pause, nullptr);
        }
    }
    if (pidfd >= 0) close(pidfd);
    return result;
}

}  // namespace

ProcessOutcome RunHidden(const std::string& ansiCommandLine, const RunOptions& options,
                         const std::string& unicodeCommandLine) {
    // ANSI text is UTF-8 here, so a Unicode line, when one is given, says the
    // same.
    const std::string& commandLine = unicodeCommandLine.empty() ? ansiCommandLine : unicodeCommandLine;
    ProcessOutcome outcome;
    outcome.started = std::chrono::system_clock::now();
    auto notStarted = [&](int error) {
        outcome.error = SystemErrorOf(static_cast<uint32_t>(error));
        outcome.ended = std::chrono::system_clock::now();
        return outcome;
    };
    std::vector<std::string> args = posix::SplitWindowsCommandLine(commandLine);
    if (args.empty() || args[0].empty()) return notStarted(ENOENT);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // The child's environment is ours, plus its exact command line (see
    // posix::kCommandLineVariable); an inherited value of that variable is
    // replaced.
    std::string ownVariable;
    std::vector<char*> envp = posix::ChildEnvironment(commandLine, ownVariable);

    // With a time-out or a watcher, the runner leads a process group of its
    // own, so that it can be ended together with the processes it started
    // (and a terminal's Ctrl-C, sent to the connector's group, misses it).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (options.timeoutSeconds > 0 || options.wait) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
    }
    // A program name with a folder is taken as it is; a bare name is looked
    // up on PATH, as Windows looks beside the connector and on PATH. The
    // process is not shown anywhere: there is no window to hide.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!options.currentFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.currentFolder.c_str());
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) return notStarted(error);

    long long deadline = -1;
    if (options.timeoutSeconds > 0) deadline = MonotonicMs() + options.timeoutSeconds * 1000LL;
    int status = 0;
    int waitError = 0;
    const WaitResult waited = WaitUntil(pid, deadline, options.wait, status, waitError);
    switch (waited) {
    case WaitResult::TimedOut:
    case WaitResult::EndRequested:
        kill(-pid, SIGKILL);  // the runner and its process group
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        outcome.state = waited == WaitResult::TimedOut ? ProcessOutcome::State::TimedOut
                                                       : ProcessOutcome::State::Ended;
        outcome.ended = std::chrono::system_clock::now();
        return outcome;
    case WaitResult::Lost:
        // Started, but how it ended cannot be read: never taken for exit 0.
        outcome.state = ProcessOutcome::State::EndUnknown;
        outcome.error = SystemErrorOf(static_cast<uint32_t>(waitError));
        outcome.ended = std::chrono::system_clock::now();
        return outcome;
    case WaitResult::Ended:
        break;
    }
    outcome.state = ProcessOutcome::State::Exited;
    if (WIFEXITED(status))
        outcome.exitCode = static_cast<uint32_t>(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        outcome.exitCode = 128u + static_cast<uint32_t>(WTERMSIG(status));  // as POSIX shells report it
    outcome.ended = std::chrono::system_clock::now();
    return outcome;
}

}  // namespace platform
