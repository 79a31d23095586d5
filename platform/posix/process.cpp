// The user and processes on POSIX.
#include <errno.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
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

bool RunHiddenAndWait(const std::string& commandLine, uint32_t& exitCode) {
    std::vector<std::string> args = posix::SplitWindowsCommandLine(commandLine);
    if (args.empty() || args[0].empty()) return false;
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // The child's environment is ours, plus its exact command line (see
    // posix::kCommandLineVariable); an inherited value of that variable is
    // replaced.
    std::string ownVariable;
    std::vector<char*> envp = posix::ChildEnvironment(commandLine, ownVariable);

    // A program name with a folder is taken as it is; a bare name is looked
    // up on PATH, as Windows looks beside the connector and on PATH. The
    // process is not shown anywhere: there is no window to hide.
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return true;  // started, but its end could not be read
    }
    if (WIFEXITED(status))
        exitCode = static_cast<uint32_t>(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        exitCode = 128u + static_cast<uint32_t>(WTERMSIG(status));  // as POSIX shells report it
    return true;
}

}  // namespace platform
