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

namespace {

// Waits for `pid` to end, at most until `deadline` (monotonic milliseconds;
// negative: no limit). True with its wait status when it ended.
bool WaitUntil(pid_t pid, long long deadline, int& status) {
    if (deadline < 0) {
        while (waitpid(pid, &status, 0) < 0)
            if (errno != EINTR) return false;
        return true;
    }
    // A descriptor that becomes readable when the process ends, where the
    // kernel has one; otherwise a look every few milliseconds.
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) break;
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long long left = deadline - (now.tv_sec * 1000LL + now.tv_nsec / 1000000);
        if (left <= 0) {
            if (pidfd >= 0) close(pidfd);
            return false;
        }
        if (pidfd >= 0) {
            pollfd p{pidfd, POLLIN, 0};
            poll(&p, 1, static_cast<int>(left < 1000 ? left : 1000));
        } else {
            const timespec pause{0, 5 * 1000000};
            nanosleep(&pause, nullptr);
        }
    }
    if (pidfd >= 0) close(pidfd);
    return true;
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

    // With a time-out, the runner leads a process group of its own, so that
    // it can be ended together with the processes it started.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (options.timeoutSeconds > 0) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
    }
    // A program name with a folder is taken as it is; a bare name is looked
    // up on PATH, as Windows looks beside the connector and on PATH. The
    // process is not shown anywhere: there is no window to hide.
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], nullptr, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    if (error != 0) return notStarted(error);

    long long deadline = -1;
    if (options.timeoutSeconds > 0) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        deadline = now.tv_sec * 1000LL + now.tv_nsec / 1000000 + options.timeoutSeconds * 1000LL;
    }
    int status = 0;
    if (!WaitUntil(pid, deadline, status)) {
        if (deadline >= 0) {
            kill(-pid, SIGKILL);  // the runner and its process group
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            outcome.state = ProcessOutcome::State::TimedOut;
        } else {
            outcome.state = ProcessOutcome::State::Exited;  // started, but its end could not be read
        }
        outcome.ended = std::chrono::system_clock::now();
        return outcome;
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
