// The About box's version line: from the FileVersion string of the version
// resource to "Version: ...".
#include <gtest/gtest.h>

#include "support/test_text.h"

#include <string>

#include "ui/version_text.h"
#include "vantor_version.h"

namespace {

using testsupport::NoLeadBytes;
using testsupport::ShiftJisLead;

TEST(VersionText, SubBlockNamesTheFirstTranslationInUpperCaseHex) {
    EXPECT_EQ(ui::FileVersionSubBlock(0x0409, 0x04E4), "\\StringFileInfo\\040904E4\\FileVersion");
    EXPECT_EQ(ui::FileVersionSubBlock(0x0c0a, 0xabcd), "\\StringFileInfo\\0C0AABCD\\FileVersion");
    EXPECT_EQ(ui::FileVersionSubBlock(0, 0), "\\StringFileInfo\\00000000\\FileVersion");
}

TEST(VersionText, VersionLineFromTheStoredString) {
    struct Case {
        const char* fileVersion;
        const char* line;
    };
    const Case cases[] = {
        {VANTOR_VERSION_RC_TEXT, "Version: " VANTOR_VERSION_TEXT},  // this build's own
        {"", "Version: "},
        {"  1 ,2 ,  3  ", "Version: 1.2.3"},
        {"2.0 (beta, build 7)", "Version: 2.0{beta.build7}"},
        {"\t1,2", "Version: \t1.2"},  // only blanks go, not tabs
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui::VersionLine(ui::StoredFileVersion(c.fileVersion, 1000, NoLeadBytes)), c.line)
            << c.fileVersion;
}

TEST(VersionText, StoredStringTurnsParenthesesIntoBraces) {
    EXPECT_EQ(ui::StoredFileVersion("(1) ((2))", 1000, NoLeadBytes), "{1} {{2}}");
}

TEST(VersionText, StoredStringIsCutToTheBufferWithoutSplittingACharacter) {
    const std::string long1500(1500, '7');
    EXPECT_EQ(ui::StoredFileVersion(long1500, 1000, NoLeadBytes), std::string(999, '7'));
    EXPECT_EQ(ui::StoredFileVersion(std::string(999, '7'), 1000, NoLeadBytes).size(), 999u);
    EXPECT_EQ(ui::StoredFileVersion("abc", 1, NoLeadBytes), "");
    EXPECT_EQ(ui::StoredFileVersion("abc", 0, NoLeadBytes), "");

    // 998 single bytes, then a double-byte character across the limit: it
    // is left out whole rather than cut after its lead byte.
    const std::string dbcs = std::string(998, 'x') + "\x83\x40" + "tail";
    EXPECT_EQ(ui::StoredFileVersion(dbcs, 1000, ShiftJisLead), std::string(998, 'x'));
    // Under a code page without lead bytes the same bytes are cut at 999.
    EXPECT_EQ(ui::StoredFileVersion(dbcs, 1000, NoLeadBytes), std::string(998, 'x') + "\x83");
}

}  // namespace
