// The host-file question of the real vantor.exe under Wine, against the Wine
// prefix's own c:\windows\tabula.ini (saved and restored around each test).
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "res/resource.h"
#include "support/ui_fixture.h"
#include "tools/win32/ui_automation.h"

namespace {

using testsupport::ConnectorUi;
using testsupport::UiTurn;

const char* const kQuestion =
    "Labels section in Tabule.ini file is not updated, do you want to update it now?";

class HostConfigQuestion : public ::testing::Test {
protected:
    // Starts the connector and expects the question: owned by the dialog,
    // asked before the dialog is visible, with its exact text and caption.
    HWND ExpectQuestion(ConnectorUi& ui) {
        if (!ui.Start()) return nullptr;
        HWND box = ui.WaitForQuestion();
        if (box == nullptr) return nullptr;
        EXPECT_EQ(uiauto::WindowText(box), "Priority - Tarvel Connector");
        EXPECT_EQ(uiauto::MessageBoxText(box), kQuestion);
        EXPECT_TRUE(uiauto::HasButton(box, IDYES));
        EXPECT_TRUE(uiauto::HasButton(box, IDNO));
        EXPECT_FALSE(uiauto::HasButton(box, IDCANCEL));
        HWND owner = GetWindow(box, GW_OWNER);
        EXPECT_NE(owner, nullptr);
        if (owner != nullptr) {
            EXPECT_NE(GetDlgItem(owner, IDC_PRINTER_DEFAULT), nullptr) << "owned by the dialog";
            EXPECT_FALSE(IsWindowVisible(owner)) << "asked before the dialog shows";
        }
        return box;
    }
    // After the answer the dialog opens normally; Cancel closes it.
    static void ExpectDialogAndCancel(ConnectorUi& ui) {
        HWND dialog = ui.WaitForDialog();
        ASSERT_NE(dialog, nullptr);
        uiauto::PostClick(dialog, IDCANCEL);
        EXPECT_TRUE(ui.WaitForExit());
    }

    UiTurn turn_;
};

TEST_F(HostConfigQuestion, NoHostFileAndYesCreatesTheEntry) {
    UiTurn::SetHostFile(std::nullopt);
    ConnectorUi ui;
    HWND box = ExpectQuestion(ui);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(uiauto::Answer(box, IDYES));
    ExpectDialogAndCancel(ui);
    EXPECT_EQ(UiTurn::HostFile().value_or("<none>"),
              "[Labels]\r\nApplication=" + ui.exePath() + "\r\n");
}

TEST_F(HostConfigQuestion, EmptyEntryAndYesFillsItWithALowerCaseExtension) {
    UiTurn::SetHostFile("[Labels]\r\nApplication=\r\n");
    ConnectorUi ui(std::nullopt, "VANTOR.EXE");
    HWND box = ExpectQuestion(ui);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(uiauto::Answer(box, IDYES));
    ExpectDialogAndCancel(ui);
    const std::string path = ui.exePath().substr(0, ui.exePath().size() - 4) + ".exe";
    EXPECT_EQ(UiTurn::HostFile().value_or("<none>"), "[Labels]\r\nApplication=" + path + "\r\n");
}

TEST_F(HostConfigQuestion, NoWritesNothingAndAsksAgainNextTime) {
    UiTurn::SetHostFile("[Host]\r\nx=1\r\n");
    for (int opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE(opening);
        ConnectorUi ui;
        HWND box = ExpectQuestion(ui);
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(uiauto::Answer(box, IDNO));
        ExpectDialogAndCancel(ui);
        EXPECT_EQ(UiTurn::HostFile().value_or("<none>"), "[Host]\r\nx=1\r\n");
    }
}

TEST_F(HostConfigQuestion, AnyEntryAsksNothing) {
    const std::string entry = "[Labels]\r\nApplication=C:\\Old place\\vantor.exe\r\n";
    UiTurn::SetHostFile(entry);
    ConnectorUi ui;
    ASSERT_TRUE(ui.Start());
    HWND dialog = ui.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ui.WaitForQuestion(300), nullptr);
    uiauto::PostClick(dialog, IDCANCEL);
    EXPECT_TRUE(ui.WaitForExit());
    EXPECT_EQ(UiTurn::HostFile().value_or("<none>"), entry);
}

}  // namespace
