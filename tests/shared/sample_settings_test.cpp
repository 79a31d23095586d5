// The commented sample settings file shipped with the release must read as
// the defaults: comments are comments, and the printer tables name nobody
// until an administrator removes the ";" in front of an entry.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "settings/catalogue.h"
#include "support/build_paths.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

TEST(SampleSettingsFile, ReadsAsTheDefaultsAndKeepsItsCommentsOnWrite) {
    TempDir dir;
    const std::string ini = dir.File("vantor.ini");
    const std::string sample =
        testsupport::ReadFileBytes(testsupport::NativePath(testsupport::SourceDir() +
                                                           "/docs/vantor.sample.ini"));
    testsupport::WriteFileBytes(ini, sample);

    auto text = [&](const char* section, const char* key) {
        return platform::ProfileGetString(section, key, "<missing>", 30000, ini);
    };
    // Every Settings key is present with the default value.
    EXPECT_EQ(text(section::kSettings, key::kPrinter), "");
    EXPECT_EQ(text(section::kSettings, key::kTemplatesFolder), "");
    EXPECT_EQ(text(section::kSettings, key::kApiProxyExe), "");
    EXPECT_EQ(text(section::kSettings, key::kBartenderExePath), "");
    for (const char* k : {key::kMsgBoxDebug, key::kCopiesType, key::kRunApiType})
        EXPECT_EQ(platform::ProfileGetInt(section::kSettings, k, 77, ini), 0) << k;
    // The example table entries are commented out.
    EXPECT_EQ(text(section::kUserPrinter, "clerk1"), "<missing>");
    EXPECT_EQ(text(section::kTemplatePrinter, "Shelf"), "<missing>");

    // An administrator's entry, then the dialog's write, keep the comments.
    ASSERT_TRUE(platform::ProfileWriteString(section::kUserPrinter, "clerk9", "Dock", ini));
    ASSERT_TRUE(platform::ProfileWriteString(section::kSettings, key::kPrinter, "ByUser", ini));
    EXPECT_EQ(text(section::kUserPrinter, "CLERK9"), "Dock");
    EXPECT_EQ(text(section::kSettings, key::kPrinter), "ByUser");
    const std::string after = testsupport::ReadFileBytes(ini);
    EXPECT_NE(after.find("; RunApiType: 0"), std::string::npos);
    EXPECT_NE(after.find("Tarvel (or Bartender) only"), std::string::npos);
    EXPECT_NE(after.find(";clerk2="), std::string::npos);
}

}  // namespace
