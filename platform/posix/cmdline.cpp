#include "platform/posix/cmdline.h"

#include "platform/windows_args.h"

#include <cstdlib>

extern char** environ;

namespace platform::posix {

namespace {
std::vector<std::string> gArguments;
}  // namespace

std::vector<std::string> SplitWindowsCommandLine(std::string_view line) {
    return winargs::Split(line);  // UTF-8: no byte of a longer character is ASCII
}

std::string QuoteWindowsArgument(std::string_view arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string_view::npos) return std::string(arg);
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

std::string JoinWindowsCommandLine(const std::vector<std::string>& args) {
    std::string line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i > 0) line += ' ';
        if (i == 0) {
            // The program name takes no backslash escapes: quote it whole.
            bool needs = args[0].empty() || args[0].find_first_of(" \t") != std::string::npos;
            line += needs ? "\"" + args[0] + "\"" : args[0];
        } else {
            line += QuoteWindowsArgument(args[i]);
        }
    }
    return line;
}

std::vector<char*> ChildEnvironment(const std::string& commandLine, std::string& storage) {
    const std::string prefix = std::string(kCommandLineVariable) + "=";
    storage = prefix + commandLine;
    std::vector<char*> envp;
    for (char** e = environ; e && *e; ++e)
        if (std::string_view(*e).substr(0, prefix.size()) != prefix) envp.push_back(*e);
    envp.push_back(storage.data());
    envp.push_back(nullptr);
    return envp;
}

void SetProcessArguments(int argc, char** argv) {
    gArguments.assign(argv, argv + argc);
}

std::string CommandLineOf(const std::vector<std::string>& args, const char* fromEnvironment) {
    if (fromEnvironment && SplitWindowsCommandLine(fromEnvironment) == args)
        return fromEnvironment;
    return JoinWindowsCommandLine(args);
}

}  // namespace platform::posix

namespace platform {
std::string ProcessCommandLine() {
    return posix::CommandLineOf(posix::gArguments, std::getenv(posix::kCommandLineVariable));
}
}  // namespace platform
