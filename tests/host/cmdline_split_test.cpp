// The host build's Windows-style command lines: splitting a runner's line
// into argv as the Microsoft C runtime does, joining argv back, and the exact
// text a child receives.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/posix/cmdline.h"

namespace {

using Args = std::vector<std::string>;
using platform::posix::CommandLineOf;
using platform::posix::JoinWindowsCommandLine;
using platform::posix::QuoteWindowsArgument;
using platform::posix::SplitWindowsCommandLine;

TEST(SplitWindowsCommandLine, MicrosoftRuntimeRules) {
    struct Case {
        const char* line;
        Args args;
    };
    const Case cases[] = {
        {"", {}},
        {"prog", {"prog"}},
        {"prog a b", {"prog", "a", "b"}},
        {"prog  a \t b  ", {"prog", "a", "b"}},  // runs of blanks and tabs separate
        {"\"C:\\Program Files\\x.exe\" a", {"C:\\Program Files\\x.exe", "a"}},
        {"C:\\d\\\"x y\"\\p.exe z", {"C:\\d\\x y\\p.exe", "z"}},  // name: quotes only group
        {"prog \"a b\" c", {"prog", "a b", "c"}},
        {"prog a\"b c\"d", {"prog", "ab cd"}},
        {"prog a\\\\b", {"prog", "a\\\\b"}},           // backslashes not before a quote are plain
        {"prog a\\\"b", {"prog", "a\"b"}},             // 2n+1 backslashes: n and a literal quote
        {"prog a\\\\\"b c\"", {"prog", "a\\b c"}},     // 2n backslashes: n, and the quote toggles
        {"prog a\\\\\\\"b", {"prog", "a\\\"b"}},
        {"prog \"a\"\"b\"", {"prog", "a\"b"}},         // "" inside quotes: a literal quote
        {"prog \"\"", {"prog", ""}},
        {"prog \"\" \"\"", {"prog", "", ""}},
        {"prog \"unterminated a b", {"prog", "unterminated a b"}},
        {"prog \"C:\\dir\\\\\"", {"prog", "C:\\dir\\"}},
        {" prog", {"", "prog"}},                      // a leading blank: empty program name
    };
    for (const Case& c : cases) EXPECT_EQ(SplitWindowsCommandLine(c.line), c.args) << c.line;
    // The program name takes no escapes: a quote after a backslash still
    // opens a quoted run.
    EXPECT_EQ(SplitWindowsCommandLine("p\\\" a"), Args{"p\\ a"});
}

TEST(SplitWindowsCommandLine, LabelProgramLines) {
    EXPECT_EQ(SplitWindowsCommandLine("\"C:\\Apps\\Tarvel.exe\" \"C:\\Apps\\Box.tvl\" /setpages 3 /pt "
                                      "\"Label1\"  /fm Param1 \"12\" /fm Param2 \"A B\""),
              (Args{"C:\\Apps\\Tarvel.exe", "C:\\Apps\\Box.tvl", "/setpages", "3", "/pt", "Label1", "/fm",
                    "Param1", "12", "/fm", "Param2", "A B"}));
    // A value holding quotes goes in unchanged, so Windows programs see it
    // split this way too.
    EXPECT_EQ(SplitWindowsCommandLine("\"/t/Tarvel.exe\" \"/t/B.tvl\" /p /fm Param1 \"say \"hi\"\""),
              (Args{"/t/Tarvel.exe", "/t/B.tvl", "/p", "/fm", "Param1", "say hi"}));
    // An empty value.
    EXPECT_EQ(SplitWindowsCommandLine("T /fm Param1 \"\""), (Args{"T", "/fm", "Param1", ""}));
}

TEST(JoinWindowsCommandLine, SplitsBackIntoTheSameArguments) {
    const std::vector<Args> lists = {
        {"prog"},
        {"/opt/my dir/prog", "a b", ""},
        {"p", "a\"b", "a\\\"b", "trail\\", "trail dir\\", "\\\\server\\share", "\t", " "},
        {"p", "\"\"", "x\\\\\"y", "%s", "'q'"},
    };
    for (const Args& args : lists) EXPECT_EQ(SplitWindowsCommandLine(JoinWindowsCommandLine(args)), args);

    // Random arguments drawn from the characters that matter.
    std::mt19937 random(12345);
    const std::string alphabet = "ab \t\"\\";
    for (int round = 0; round < 2000; ++round) {
        Args args{"prog"};
        const int count = static_cast<int>(random() % 4);
        for (int i = 0; i < count; ++i) {
            std::string arg;
            const int length = static_cast<int>(random() % 7);
            for (int j = 0; j < length; ++j) arg += alphabet[random() % alphabet.size()];
            args.push_back(arg);
        }
        ASSERT_EQ(SplitWindowsCommandLine(JoinWindowsCommandLine(args)), args)
            << JoinWindowsCommandLine(args);
    }
    EXPECT_EQ(QuoteWindowsArgument("plain"), "plain");
    EXPECT_EQ(QuoteWindowsArgument(""), "\"\"");
    EXPECT_EQ(QuoteWindowsArgument("a b\\"), "\"a b\\\\\"");
}

TEST(CommandLineOf, ExactTextOnlyWhenItIsTheProcesssOwn) {
    const Args argv = {"/opt/v/vantor", "/F=a", "/D=x y"};
    // The exact text handed over splits into exactly this argv: it is ours.
    EXPECT_EQ(CommandLineOf(argv, "/opt/v/vantor  /F=a /D=\"x y\"  "), "/opt/v/vantor  /F=a /D=\"x y\"  ");
    EXPECT_EQ(CommandLineOf(argv, "/opt/v/vantor /F=a \"/D=x y\""), "/opt/v/vantor /F=a \"/D=x y\"");
    // A value inherited from a parent belongs to another process.
    EXPECT_EQ(CommandLineOf(argv, "/opt/v/parent /F=a /D=\"x y\""), "/opt/v/vantor /F=a \"/D=x y\"");
    EXPECT_EQ(CommandLineOf(argv, nullptr), "/opt/v/vantor /F=a \"/D=x y\"");
    EXPECT_EQ(CommandLineOf({"/opt/v/vantor"}, nullptr), "/opt/v/vantor");
}

}  // namespace
