// Windows command lines on POSIX: the Microsoft C runtime's splitting, and the
// joining that must undo it.
//
// The input is used twice: as a command line to split, and, cut at its line
// feeds, as an argument list (program name first, its double quotes dropped,
// since a program name cannot hold one) to join and split back.
//
// Invariants:
// - splitting never fails; an empty line has no arguments, any other at least
//   the program name, which holds no double quote; a line without double
//   quotes splits at its blanks and tabs only;
// - joining an argument list and splitting the result gives the list back,
//   so splitting, joining and splitting again gives the first split;
// - CommandLineOf takes a variable's text that splits into the arguments
//   exactly as it is, and joins the arguments otherwise.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "platform/posix/cmdline.h"

namespace {

using fuzzcheck::Show;
using platform::posix::JoinWindowsCommandLine;
using platform::posix::QuoteWindowsArgument;
using platform::posix::SplitWindowsCommandLine;

std::string ShowArgs(const std::vector<std::string>& args) {
    std::string out = "[";
    for (const std::string& a : args) out += " " + Show(a);
    return out + " ]";
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A line without double quotes: the program name runs to the first blank or
// tab, the arguments are the runs of other characters after it.
std::vector<std::string> SplitPlain(std::string_view line) {
    std::vector<std::string> args;
    if (line.empty()) return args;
    std::size_t i = 0;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    args.emplace_back(line.substr(0, i));
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        const std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) ++i;
        if (i > start) args.emplace_back(line.substr(start, i - start));
    }
    return args;
}

template <class Where>
void CheckRoundTrip(const std::vector<std::string>& args, const Where& where) {
    const std::string line = JoinWindowsCommandLine(args);
    const std::vector<std::string> back = SplitWindowsCommandLine(line);
    FUZZ_CHECK(back == args, where() + "\nargs " + ShowArgs(args) + "\njoined " + Show(line) +
                                 "\nsplit " + ShowArgs(back));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);

    // Splitting arbitrary text.
    const std::vector<std::string> args = SplitWindowsCommandLine(line);
    const auto detail = [&] {
        return std::string("line " + Show(line) + "\nsplit " + ShowArgs(args));
    };
    FUZZ_CHECK(args.empty() == line.empty(), detail());
    if (!args.empty()) FUZZ_CHECK(args[0].find('"') == std::string::npos, detail());
    if (line.find('"') == std::string::npos) FUZZ_CHECK(args == SplitPlain(line), detail());
    CheckRoundTrip(args, [&] { return "split of " + Show(line); });

    if (line.find('\0') == std::string::npos) {
        FUZZ_CHECK(platform::posix::CommandLineOf(args, line.c_str()) == line, detail());
    }
    FUZZ_CHECK(platform::posix::CommandLineOf(args, nullptr) == JoinWindowsCommandLine(args),
               detail());

    // Joining an argument list.
    std::vector<std::string> list(1);
    for (char c : line) {
        if (c == '\n')
            list.emplace_back();
        else if (c != '"' || list.size() > 1)
            list.back() += c;
    }
    CheckRoundTrip(list, [&] { return "list from " + Show(line); });
    for (std::size_t i = 1; i < list.size(); ++i) {
        const std::string& a = list[i];
        if (!a.empty() && a.find_first_of(" \t\"") == std::string::npos)
            FUZZ_CHECK(QuoteWindowsArgument(a) == a, Show(a));
    }
    return 0;
}
