// The commented sample settings file shipped with the release must read as
// the defaults: comments are comments, and the printer tables name nobody
// until an administrator removes the ";" in front of an entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "settings/catalogue.h"
#include "settings/settings_table.h"
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

namespace {

// Every string and presentation the policy template refers to, from its
// references "$(<kind>.<id>)".
std::vector<std::string> ReferencesIn(const std::string& text, const std::string& kind) {
    std::vector<std::string> ids;
    const std::string open = "$(" + kind + ".";
    for (std::size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
        const std::size_t start = at + open.size();
        ids.push_back(text.substr(start, text.find(')', start) - start));
    }
    return ids;
}

// The Group Policy template shipped with the release names every Settings
// key, and its English texts define everything it refers to.
TEST(PolicyTemplate, NamesEverySettingsKeyAndItsTexts) {
    const std::string admx = testsupport::ReadFileBytes(
        testsupport::NativePath(testsupport::SourceDir() + "/packaging/vantor.admx"));
    const std::string adml = testsupport::ReadFileBytes(
        testsupport::NativePath(testsupport::SourceDir() + "/packaging/en-US/vantor.adml"));
    for (const settings::KeyRow& row : settings::SettingsKeys()) {
        if (!row.lockable) continue;
        EXPECT_NE(admx.find(std::string("valueName=\"") + row.name + "\""), std::string::npos) << row.name;
    }
    EXPECT_NE(admx.find("key=\"SOFTWARE\\Policies\\Vantor\""), std::string::npos);
    for (const std::string& id : ReferencesIn(admx, "string"))
        EXPECT_NE(adml.find("<string id=\"" + id + "\">"), std::string::npos) << id;
    for (const std::string& id : ReferencesIn(admx, "presentation"))
        EXPECT_NE(adml.find("<presentation id=\"" + id + "\">"), std::string::npos) << id;
}

// The guide follows the table of keys: each integer key has a row in its
// table of accepted values, and each key a policy may lock is named in its
// section on policy.
TEST(AdminGuide, NamesEverySettingsKey) {
    const std::string guide = testsupport::ReadFileBytes(
        testsupport::NativePath(testsupport::SourceDir() + "/docs/admin-guide.md"));
    const std::size_t policySection = guide.find("## 10. Locked settings");
    ASSERT_NE(policySection, std::string::npos);
    for (const settings::KeyRow& row : settings::SettingsKeys()) {
        const std::string name = std::string("`") + row.name + "`";
        if (row.kind == settings::Kind::Integer) {
            EXPECT_NE(guide.find("| " + name + " | "), std::string::npos) << row.name;
        }
        if (row.lockable) {
            EXPECT_NE(guide.find(name, policySection), std::string::npos) << row.name;
        }
    }
}

}  // namespace
