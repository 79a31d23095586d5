// The host-file check of the configuration dialog, over a host file in a
// temporary folder (the dialog itself uses c:\windows\tabula.ini; the Wine
// dialog tests cover that path).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/vantor_app.h"
#include "platform/platform.h"
#include "support/temp_dir.h"
#include "support/test_text.h"
#include "ui/host_config.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

// The person at the screen: answers every question with `answer_` and
// remembers what was asked.
class Person : public testsupport::NobodyThere {
public:
    void ShowWarning(void* owner, const std::string& text, const std::string& caption) override {
        warnings.push_back({owner, text, caption});
    }
    bool AskYesNo(void* owner, const std::string& text, const std::string& caption) override {
        questions.push_back({owner, text, caption});
        return answer;
    }

    struct Question {
        void* owner;
        std::string text, caption;
    };
    bool answer = false;
    std::vector<Question> questions;
    std::vector<Question> warnings;
};

class HostConfig : public ::testing::Test {
protected:
    std::string HostFile() const { return dir_.File("tabula.ini"); }
    std::string Exe(const char* name) const { return dir_.File(name); }

    TempDir dir_;
    Person person_;
    int owner_ = 0;  // stands for the dialog's window
};

TEST_F(HostConfig, NoHostFileAsksAndYesEntersTheConnector) {
    person_.answer = true;
    CVantorApp app(Exe("vantor.exe"), "", person_);
    EXPECT_TRUE(ui::CheckHostConfig(app, &owner_, HostFile()));
    ASSERT_EQ(person_.questions.size(), 1u);
    EXPECT_EQ(person_.questions[0].owner, &owner_);
    EXPECT_EQ(person_.questions[0].text,
              "Labels section in Tabule.ini file is not updated, do you want to update it now?");
    EXPECT_EQ(person_.questions[0].caption, "Priority - Tarvel Connector");
    EXPECT_EQ(ReadFileBytes(HostFile()), "[Labels]\r\nApplication=" + Exe("vantor.exe") + "\r\n");
    EXPECT_TRUE(person_.warnings.empty());
}

TEST_F(HostConfig, FailedWriteIsReported) {
    // A host file that cannot be written (here: its folder is missing).
    const std::string hostFile = dir_.File("missing") + platform::PathSeparator() + "tabula.ini";
    person_.answer = true;
    CVantorApp app(Exe("vantor.exe"), "", person_);
    EXPECT_TRUE(ui::CheckHostConfig(app, &owner_, hostFile));
    EXPECT_FALSE(FileExists(hostFile));
    ASSERT_EQ(person_.warnings.size(), 1u);
    EXPECT_EQ(person_.warnings[0].owner, &owner_);
    EXPECT_EQ(person_.warnings[0].caption, "Priority - Tarvel Connector");
    // The system's text for a missing folder: ERROR_PATH_NOT_FOUND, ENOENT.
#ifdef _WIN32
    const uint32_t missingFolder = 3;
#else
    const uint32_t missingFolder = 2;
#endif
    const std::string reason = platform::SystemErrorText(missingFolder);
    ASSERT_FALSE(reason.empty());
    EXPECT_EQ(person_.warnings[0].text,
              "The Labels section of " + hostFile + " could not be updated.\n\n" + reason +
                  "\n\nAsk an administrator to enter this connector there, or open this dialog "
                  "again as an administrator.");
}

TEST_F(HostConfig, NoWritesNothingAndTheQuestionComesAgain) {
    CVantorApp app(Exe("vantor.exe"), "", person_);
    EXPECT_TRUE(ui::CheckHostConfig(app, &owner_, HostFile()));
    EXPECT_FALSE(FileExists(HostFile()));
    EXPECT_TRUE(ui::CheckHostConfig(app, &owner_, HostFile()));
    EXPECT_EQ(person_.questions.size(), 2u);
    EXPECT_FALSE(FileExists(HostFile()));
}

TEST_F(HostConfig, EmptyEntryIsFilledAndOtherLinesStay) {
    const std::string before = "[Host]\r\nx=1\r\n[Labels]\r\nPrinter=P\r\nApplication=\r\n";
    WriteFileBytes(HostFile(), before);
    person_.answer = true;
    CVantorApp app(Exe("VANTOR.EXE"), "", person_);
    EXPECT_TRUE(ui::CheckHostConfig(app, &owner_, HostFile()));
    // The extension is written as ".exe", whatever the file's own letters.
    EXPECT_EQ(ReadFileBytes(HostFile()),
              "[Host]\r\nx=1\r\n[Labels]\r\nPrinter=P\r\nApplication=" + Exe("VANTOR.exe") + "\r\n");
}

TEST_F(HostConfig, AnyEntryAsksNothingAndChangesNothing) {
    for (const char* entry : {"C:\\Other\\labels.exe", "x", "\"\" "}) {
        const std::string before = std::string("[labels]\r\napplication = ") + entry + "\r\n";
        WriteFileBytes(HostFile(), before);
        person_.answer = true;
        CVantorApp app(Exe("vantor.exe"), "", person_);
        EXPECT_EQ(ui::CheckHostConfig(app, &owner_, HostFile()), std::string(entry) == "\"\" ")
            << entry;
        if (std::string(entry) != "\"\" ") {
            EXPECT_EQ(ReadFileBytes(HostFile()), before) << entry;
        }
    }
    // Only the quoted empty value (which reads as empty) asked.
    EXPECT_EQ(person_.questions.size(), 1u);
}

}  // namespace
