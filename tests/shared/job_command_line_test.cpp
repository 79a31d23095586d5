// The host's command line: tokens, the template name and the data file path.
#include <gtest/gtest.h>

#include "support/test_text.h"

#include <string>
#include <vector>

#include "job/command_line.h"
#include "platform/platform.h"

namespace {

using Tokens = std::vector<std::string>;

using testsupport::NoLeadBytes;
using testsupport::ShiftJisLead;

TEST(SplitCommandLine, BlanksQuotesAndEmptyTokens) {
    struct Case {
        const char* line;
        Tokens tokens;
    };
    const Case cases[] = {
        {"/F=C:\\Labels\\Shelf.tvl /D=C:\\Temp\\job.txt",
         {"/F=C:\\Labels\\Shelf.tvl", "/D=C:\\Temp\\job.txt"}},
        {"", {""}},
        {"a  b", {"a", "", "b"}},                // two blanks: an empty token
        {"a ", {"a", ""}},                       // trailing blank: empty last token
        {" a", {"", "a"}},
        {"\"/D=C:\\Job Files\\a.txt\"", {"/D=C:\\Job Files\\a.txt"}},
        {"/D=\"C:\\Job Files\\a.txt\" x", {"/D=C:\\Job Files\\a.txt", "x"}},
        {"a\"b c\"d e", {"ab cd", "e"}},         // quotes anywhere, dropped
        {"\"\"", {""}},
        {"\"unmatched a b", {"unmatched a b"}},  // quoting runs to the end
        {"a\tb", {"a\tb"}},                      // only the space separates
        {"a\\\"b c\\\"", {"a\\b c\\"}},          // no escapes: backslashes stay, quotes go
    };
    for (const Case& c : cases) EXPECT_EQ(job::SplitCommandLine(c.line), c.tokens) << c.line;
}

TEST(TemplateToken, MarkersAreCaseSensitiveAndFoundAnywhere) {
    EXPECT_TRUE(job::IsTemplateToken("/F=x"));
    EXPECT_TRUE(job::IsTemplateToken("x/F=y"));
    EXPECT_FALSE(job::IsTemplateToken("/f=x"));
    EXPECT_TRUE(job::IsDataFileToken("/D=x"));
    EXPECT_TRUE(job::IsDataFileToken("\"x/D=y\""));
    EXPECT_FALSE(job::IsDataFileToken("/d=x"));
    EXPECT_FALSE(job::IsDataFileToken("/D x"));
}

TEST(TemplateNameOf, FolderAndExtensionDropped) {
    struct Case {
        const char* token;
        const char* name;
    };
    const Case cases[] = {
        {"/F=C:\\Labels\\Shelf.tvl", "Shelf"},
        {"/F=C:\\Labels\\Box.Small.tvl", "Box.Small"},  // the last dot ends the name
        {"/F=C:\\Labels\\Shelf", "Shelf"},
        // A token without a folder or an extension: the marker is not part of
        // the name, and a dot of a folder does not end it.
        {"/F=Shelf.tvl", "Shelf"},
        {"/F=Shelf", "Shelf"},
        {"/F=C:\\Old.Labels\\Shelf", "Shelf"},
        {"/F=C:\\Old.Labels\\Shelf.tvl", "Shelf"},
        {"x/F=Shelf.tvl", "Shelf"},
        {"/F=", ""},
        {"/F=C:\\Labels\\", ""},
        {"/F=.tvl", ""},
        {"/F=C:\\Labels\\Box tall.tvl", "Box tall"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(job::TemplateNameOf(c.token, "\\", NoLeadBytes), c.name) << c.token;
}

TEST(TemplateNameOf, DoubleByteTrailBytesAreNotSeparators) {
    // 0x95 0x5C is one Shift-JIS character whose trail byte is a backslash.
    const std::string token = "/F=C:\\\x95\\name.tvl";
    EXPECT_EQ(job::TemplateNameOf(token, "\\", ShiftJisLead), "\x95\\name");
    EXPECT_EQ(job::TemplateNameOf(token, "\\", NoLeadBytes), "name");
}

TEST(TemplateNameOf, SeparatorsOfThisBuild) {
    const std::string separators = job::TemplateSeparators();
    EXPECT_NE(separators.find('\\'), std::string::npos);
    EXPECT_NE(separators.find(platform::PathSeparator()), std::string::npos);
    EXPECT_EQ(job::TemplateNameOf("/F=C:\\Labels\\Box.tvl", separators), "Box");
    if (platform::PathSeparator() == '/') {
        // The host build names its own folders with '/'.
        EXPECT_EQ(job::TemplateNameOf("/F=/srv/labels/Box.Small.tvl", separators), "Box.Small");
        EXPECT_EQ(job::TemplateNameOf("/F=/srv/old.labels/Shelf", separators), "Shelf");
    } else {
        // Windows templates are named with backslashes only.
        EXPECT_EQ(job::TemplateNameOf("/F=C:/Labels/Box.tvl", separators), "C:/Labels/Box");
    }
}

TEST(DataFilePathOf, EveryMarkerRemoved) {
    EXPECT_EQ(job::DataFilePathOf("/D=C:\\Temp\\job.txt"), "C:\\Temp\\job.txt");
    EXPECT_EQ(job::DataFilePathOf("/D=C:\\x/D=y.txt"), "C:\\xy.txt");
    EXPECT_EQ(job::DataFilePathOf("a/D=b"), "ab");
    EXPECT_EQ(job::DataFilePathOf("/D="), "");
}

}  // namespace
