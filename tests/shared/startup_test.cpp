// Start-up: the command-line text, the files named after the executable and
// the choice between job mode and configuration mode.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/framework.h"
#include "app/vantor_app.h"
#include "platform/platform.h"
#include "settings/catalogue.h"
#include "settings/store.h"
#include "support/test_text.h"

namespace {

using testsupport::NoLeadBytes;
using testsupport::ShiftJisLead;

TEST(CommandLineText, RemovesProgramNameAndFollowingBlanks) {
    struct Case {
        const char* raw;
        const char* expected;
    };
    const Case cases[] = {
        {"vantor.exe", ""},
        {"vantor.exe   ", ""},
        {"vantor.exe \t \t", ""},
        {"vantor.exe /F=a /D=b", "/F=a /D=b"},
        {"vantor.exe    /F=a /D=b  ", "/F=a /D=b  "},  // trailing blanks stay
        {"\"C:\\Program Files\\Vantor\\vantor.exe\" /F=a", "/F=a"},
        {"\"C:\\Program Files\\Vantor\\vantor.exe\"/F=a", ""},  // no blank: all one name
        {"C:\\x\\\"my dir\"\\vantor.exe\t/D=\"x y\"", "/D=\"x y\""},
        {"\"unterminated name /F=a", ""},
        {"vantor.exe\x01\x02 x", "x"},  // control characters count as blanks
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CommandLineText(c.raw, NoLeadBytes), c.expected) << "raw: " << c.raw;
}

TEST(CommandLineText, TakesDoubleByteCharactersWhole) {
    // 0x81 0x20 is one double-byte character: its trail byte is not a blank.
    std::string raw = "C:\\\x81 x\\vantor.exe /F=a";
    EXPECT_EQ(CommandLineText(raw, ShiftJisLead), "/F=a");
    EXPECT_EQ(CommandLineText(raw, NoLeadBytes), "x\\vantor.exe /F=a");
}

using NullInteraction = testsupport::NobodyThere;

std::string Sep() { return std::string(1, platform::PathSeparator()); }

TEST(SettingsFilePath, ReplacesTheFileNameExtension) {
    NullInteraction person;
    struct Case {
        std::string exe, extension, expected;
    };
    const std::string s = Sep();
    const Case cases[] = {
        {s + "Label" + s + "Vantor.exe", ".ini", s + "Label" + s + "Vantor.ini"},
        {s + "Label" + s + "VANTOR.EXE", ".ini", s + "Label" + s + "VANTOR.ini"},
        {s + "Label" + s + "vantor.EXE", ".exe", s + "Label" + s + "vantor.exe"},
        {s + "Label" + s + "Copy of vantor.exe", ".ini", s + "Label" + s + "Copy of vantor.ini"},
        {s + "a.b" + s + "vantor", ".ini", s + "a.b" + s + "vantor.ini"},  // no extension
        {s + "a" + s + "v.x.exe", ".ini", s + "a" + s + "v.x.ini"},
    };
    for (const Case& c : cases) {
        CVantorApp app(c.exe, "", person);
        EXPECT_EQ(ModulePathWithExtension(app, c.extension), c.expected) << c.exe;
        if (c.extension == ".ini") {
            EXPECT_EQ(SettingsFilePath(app), c.expected);
        }
    }
}

// A connector "installed" in a fresh temporary folder, with its own
// settings file and a person who records the boxes shown.
class StartupTest : public ::testing::Test, public platform::Interaction {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  (std::string("vantor-startup-") + info->name() + "-" +
                   std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        exe_ = (folder_ / "vantor.exe").string();
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string Ini() const { return (folder_ / "vantor.ini").string(); }
    void WriteIni(const std::string& bytes) {
        std::ofstream(Ini(), std::ios::binary) << bytes;
    }
    std::string LastJobCmdLine() {
        return platform::ProfileGetString("LastJob", "CmdLine", "<none>", 30000, Ini());
    }

    // platform::Interaction
    void ShowMessage(const std::string& text, const std::string& caption) override {
        boxes_.push_back({text, caption, LastJobCmdLine()});
    }
    bool AskYesNo(void*, const std::string&, const std::string&) override { return false; }
    bool AskYesNoUnicode(void*, const std::string&, const std::string&) override { return false; }
    void ShowWarningUnicode(void*, const std::string&, const std::string&) override {}
    std::string AskPrinter() override { return std::string(); }

    struct Box {
        std::string text, caption, cmdLineWhenShown;
    };
    std::filesystem::path folder_;
    std::string exe_;
    std::vector<Box> boxes_;
};

TEST_F(StartupTest, DebugBoxOnlyForExactlyOneAndBeforeTheJobsFirstWrite) {
    struct Case {
        const char* stored;  // MsgBoxDebug line, or nullptr for none
        bool shown;
    };
    const Case cases[] = {{nullptr, false}, {"0", false}, {"1", true}, {"2", false},
                          {"-1", false},    {" 1 ", true}, {"1x", true}};
    for (const Case& c : cases) {
        boxes_.clear();
        WriteIni(c.stored ? std::string("[Settings]\r\nMsgBoxDebug=") + c.stored + "\r\n" : "");
        const std::string command = "/F=C:\\Labels\\Shelf.tvl /D=job.txt  ";
        CVantorApp app(exe_, command, *this);
        EXPECT_EQ(RunApplication(app), 0);
        ASSERT_EQ(boxes_.size(), c.shown ? 1u : 0u) << (c.stored ? c.stored : "(missing)");
        if (c.shown) {
            EXPECT_EQ(boxes_[0].text, command);  // trailing blanks included
            EXPECT_EQ(boxes_[0].caption, "Debug");
            EXPECT_EQ(boxes_[0].cmdLineWhenShown, "<none>") << "the job wrote before the box";
        }
        // The job ran after the box and recorded the command line exactly,
        // trailing blanks included (a read would trim them).
        std::ifstream in(Ini(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        EXPECT_NE(bytes.str().find("CmdLine=" + command + "\r\n"), std::string::npos) << bytes.str();
    }
}

TEST_F(StartupTest, EmptyCommandLineIsConfigurationModeAndRunsNoJob) {
    WriteIni("[Settings]\r\nMsgBoxDebug=1\r\n");
    CVantorApp app(exe_, "", *this);
    EXPECT_EQ(RunApplication(app), 0);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(LastJobCmdLine(), "<none>");
}

}  // namespace
