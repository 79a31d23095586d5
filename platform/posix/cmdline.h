// Windows-style command lines on POSIX.
//
// A runner's command line is one text, as Windows passes it. To start it with
// posix_spawn we split it into arguments the way the Microsoft C runtime
// splits a command line into argv, and the host build's own argv is joined
// back into one text the opposite way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::posix {

// Splits like the Microsoft C runtime: winargs::Split (platform/windows_args.h)
// of UTF-8 text.
std::vector<std::string> SplitWindowsCommandLine(std::string_view line);

// Quotes one argument so that SplitWindowsCommandLine gives it back
// unchanged; an argument without blanks, tabs or quotes is left as it is.
std::string QuoteWindowsArgument(std::string_view arg);

// Joins `args` (program name first) into one command line that splits back
// into the same list.
std::string JoinWindowsCommandLine(const std::vector<std::string>& args);

// The host program's own argv, kept by main() for ProcessCommandLine().
void SetProcessArguments(int argc, char** argv);

// A Windows process has one command-line text; a POSIX process has only its
// argv, from which the exact text (double blanks, quoting) cannot be had back.
// RunHiddenAndWait therefore also hands the child its command line, exactly,
// in this environment variable. A program started that way takes the text as
// its own command line only when it splits into exactly its argv, so a value
// inherited from a parent further up never counts; otherwise the command line
// is argv joined back by JoinWindowsCommandLine.
inline constexpr const char* kCommandLineVariable = "VANTOR_COMMAND_LINE";

// The environment for a child started with `commandLine`: this process's own,
// with kCommandLineVariable set to that exact text (an inherited value is
// replaced). The entries point into `storage` and into this process's
// environment; the list ends with a null pointer, ready for posix_spawn.
std::vector<char*> ChildEnvironment(const std::string& commandLine, std::string& storage);

// The process command line, as described above, for `args` (argv) and the
// variable's value (`fromEnvironment`, nullptr when unset).
std::string CommandLineOf(const std::vector<std::string>& args, const char* fromEnvironment);

}  // namespace platform::posix
