// The real configuration dialog of vantor.exe under Wine, driven from this
// process: what it loads from a prepared settings file, the enabling of the
// printer name, the exact bytes OK writes, and Cancel writing nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "res/resource.h"
#include "support/file_hold.h"
#include "support/policy.h"
#include "support/ui_fixture.h"
#include "tools/win32/ui_automation.h"

namespace {

using testsupport::ConnectorUi;
using testsupport::UiTurn;

const char* const kZuvezavi = "Run API on ZUVEZAVI Label otherwise run Tarvel";
const char* const kTarvelOnly = "Run Tarvel Only";

std::string ParamValue(int n) {
    std::string value = "value ";
    value += std::to_string(n);
    return value;
}

class ConfigDialogSettings : public ::testing::Test {
protected:
    void SetUp() override { UiTurn::SetHostFile("[Labels]\r\nApplication=C:\\Host\\labels.exe\r\n"); }

    // Starts the connector over `ini` and returns its dialog (null on failure).
    HWND Open(ConnectorUi& ui) {
        if (!ui.Start()) return nullptr;
        return ui.WaitForDialog();
    }
    static void Close(ConnectorUi& ui, HWND dialog, int button) {
        uiauto::PostClick(dialog, button);
        EXPECT_TRUE(ui.WaitForExit());
    }
    static int CheckedPrinterRadio(HWND dialog) {
        int checked = 0;
        for (int id : {IDC_PRINTER_DEFAULT, IDC_PRINTER_SPECIFIC, IDC_PRINTER_BYUSER,
                       IDC_PRINTER_BYTEMPLATE, IDC_PRINTER_MANUAL}) {
            if (uiauto::CheckState(dialog, id) == BST_CHECKED) {
                if (checked != 0) return -1;  // two checked
                checked = id;
            }
        }
        return checked;
    }
    static bool NameEnabled(HWND dialog) {
        return IsWindowEnabled(GetDlgItem(dialog, IDC_PRINTER_NAME)) != FALSE;
    }

    UiTurn turn_;
};

TEST_F(ConfigDialogSettings, ShowsTheStoredValues) {
    struct Case {
        const char* settings;
        int radio;
        const char* name;
        bool debug;
        const char* copies;
        const char* runner;
    };
    const Case cases[] = {
        {"Printer=ByUser\r\nMsgBoxDebug=1\r\n", IDC_PRINTER_BYUSER, "", true, "Automatic Detection",
         kTarvelOnly},
        {"Printer=byuser\r\nMsgBoxDebug=2\r\nCopiesType=5\r\nRunApiType=1\r\n", IDC_PRINTER_SPECIFIC,
         "byuser", true, "Automatic Detection", kZuvezavi},
        {"Printer=ByTemplate\r\nCopiesType=1\r\nRunApiType=2\r\n", IDC_PRINTER_BYTEMPLATE, "", false,
         "Always use last parameter", kZuvezavi},
        {"Printer=Manual\r\nCopiesType=2\r\nRunApiType=3\r\nMsgBoxDebug=0\r\n", IDC_PRINTER_MANUAL, "",
         false, "Always use parameter 21", kZuvezavi},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        ConnectorUi ui(std::string("[Settings]\r\n") + c.settings +
                       "TemplatesFolder=D:\\Labels\r\nApiProxyExe=proxy.exe /q\r\n"
                       "BartenderExePath=C:\\BT\\bartend.exe\r\n");
        HWND dialog = Open(ui);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(CheckedPrinterRadio(dialog), c.radio);
        EXPECT_EQ(uiauto::ItemText(dialog, IDC_PRINTER_NAME), c.name);
        EXPECT_EQ(NameEnabled(dialog), c.radio == IDC_PRINTER_SPECIFIC);
        EXPECT_EQ(uiauto::CheckState(dialog, IDC_MSGBOX_DEBUG), c.debug ? BST_CHECKED : BST_UNCHECKED);
        EXPECT_EQ(uiauto::Combo(GetDlgItem(dialog, IDC_COPIES_TYPE)).selectedText, c.copies);
        EXPECT_EQ(uiauto::Combo(GetDlgItem(dialog, IDC_RUN_API_TYPE)).selectedText, c.runner);
        EXPECT_EQ(uiauto::ItemText(dialog, IDC_TEMPLATES_FOLDER), "D:\\Labels");
        EXPECT_EQ(uiauto::ItemText(dialog, IDC_API_PROXY_EXE), "proxy.exe /q");
        EXPECT_EQ(uiauto::ItemText(dialog, IDC_BARTENDER_EXE_PATH), "C:\\BT\\bartend.exe");
        Close(ui, dialog, IDCANCEL);
    }
}

TEST_F(ConfigDialogSettings, ShowsTheLastJobAndItsParameters) {
    std::string ini =
        "[LastJob]\r\nCmdLine=/F=C:\\L\\Shelf.tvl /D=C:\\d.txt\r\nTemplate=Shelf\r\nDataFile=C:\\d.txt\r\n"
        "NumLines=2\r\nCopies=4\r\nLastUser=anna\r\nTvlCmdLine=\"C:\\L\\Tarvel.exe\" /p\r\n";
    for (int n = 1; n <= 20; ++n)
        ini += "Param" + std::to_string(n) + "=" + (n <= 12 ? ParamValue(n) : "") + "\r\n";
    ConnectorUi ui(ini);
    HWND dialog = Open(ui);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(uiauto::ItemText(dialog, IDC_LASTJOB_CMDLINE), "/F=C:\\L\\Shelf.tvl /D=C:\\d.txt");
    EXPECT_EQ(uiauto::ItemText(dialog, IDC_LASTJOB_TEMPLATE), "Shelf");
    EXPECT_EQ(uiauto::ItemText(dialog, IDC_LASTJOB_DATAFILE), "C:\\d.txt");
    EXPECT_EQ(uiauto::ItemText(dialog, IDC_LASTJOB_NUMLINES), "2");
    EXPECT_EQ(uiauto::ItemText(dialog, IDC_LASTJOB_COPIES), "4");
    EXPECT_EQ(uiauto::ItemText(dialog, IDC_LASTJOB_LASTUSER), "anna");
    EXPECT_EQ(uiauto::ItemText(dialog, IDC_LASTJOB_TVLCMDLINE), "\"C:\\L\\Tarvel.exe\" /p");

    const uiauto::ListViewState list = uiauto::ListView(GetDlgItem(dialog, IDC_PARAMS));
    ASSERT_EQ(list.rows.size(), 12u);
    for (int n = 1; n <= 12; ++n) {
        char number[8];
        std::snprintf(number, sizeof number, "%02d", n);
        EXPECT_EQ(list.rows[n - 1], (std::vector<std::string>{number, ParamValue(n)}));
    }
    Close(ui, dialog, IDCANCEL);
}

TEST_F(ConfigDialogSettings, ParameterListStopsAtTheFirstEmptyValue) {
    ConnectorUi ui("[LastJob]\r\nParam1=A-100\r\nParam2=\r\nParam3=C-300\r\n");
    HWND dialog = Open(ui);
    ASSERT_NE(dialog, nullptr);
    const uiauto::ListViewState list = uiauto::ListView(GetDlgItem(dialog, IDC_PARAMS));
    EXPECT_EQ(list.rows, (std::vector<std::vector<std::string>>{{"01", "A-100"}}));
    Close(ui, dialog, IDCANCEL);
}

TEST_F(ConfigDialogSettings, OkWritesExactlyTheSevenKeys) {
    const std::string before =
        "[LastJob]\r\nCmdLine=x\r\nParam1=p\r\n[Settings]\r\nRunApiType=2\r\nMsgBoxDebug=2\r\n"
        "CopiesType=5\r\n";
    ConnectorUi ui(before);
    HWND dialog = Open(ui);
    ASSERT_NE(dialog, nullptr);
    Close(ui, dialog, IDOK);
    EXPECT_EQ(ui.IniBytes().value_or("<none>"),
              "[LastJob]\r\nCmdLine=x\r\nParam1=p\r\n[Settings]\r\nRunApiType=3\r\nMsgBoxDebug=1\r\n"
              "CopiesType=0\r\nPrinter=\r\nTemplatesFolder=\r\nApiProxyExe=\r\nBartenderExePath=\r\n");
}

TEST_F(ConfigDialogSettings, OkWithoutSettingsFileCreatesIt) {
    ConnectorUi ui;
    HWND dialog = Open(ui);
    ASSERT_NE(dialog, nullptr);
    Close(ui, dialog, IDOK);
    EXPECT_EQ(ui.IniBytes().value_or("<none>"),
              "[Settings]\r\nPrinter=\r\nMsgBoxDebug=0\r\nCopiesType=0\r\nRunApiType=0\r\n"
              "TemplatesFolder=\r\nApiProxyExe=\r\nBartenderExePath=\r\n");
}

TEST_F(ConfigDialogSettings, FailedSaveSaysWhyAndKeepsTheDialogOpen) {
    const std::string before = "[Settings]\r\nPrinter=Office\r\n";
    ConnectorUi ui(before);
    HWND dialog = Open(ui);
    ASSERT_NE(dialog, nullptr);
    uiauto::Click(dialog, IDC_PRINTER_BYUSER);
    {
        // Another program holds the file and lets others only read it.
        testsupport::FileHold hold(ui.iniPath(), testsupport::FileHold::Mode::WriterSharingRead);
        ASSERT_TRUE(hold.held());
        uiauto::PostClick(dialog, IDOK);
        HWND box = ui.WaitForWarning();
        ASSERT_NE(box, nullptr);
        const std::string text = uiauto::MessageBoxText(box);
        EXPECT_NE(text.find(ui.iniPath()), std::string::npos) << text;
        EXPECT_NE(text.find(platform::SystemErrorText(ERROR_SHARING_VIOLATION)), std::string::npos) << text;
        EXPECT_NE(text.find("Not saved: Printer, MsgBoxDebug, CopiesType"), std::string::npos) << text;
        EXPECT_EQ(GetWindow(box, GW_OWNER), dialog);
        EXPECT_TRUE(uiauto::Answer(box, IDOK));
        EXPECT_FALSE(ui.WaitForExit(300)) << "the dialog must stay open";
        EXPECT_EQ(ui.IniBytes().value_or("<none>"), before);
    }
    // Once the other program lets go, OK saves the operator's choice.
    Close(ui, dialog, IDOK);
    EXPECT_NE(ui.IniBytes().value_or("").find("\r\nPrinter=ByUser\r\n"), std::string::npos);
}

TEST_F(ConfigDialogSettings, OkStoresWhatTheOperatorChose) {
    ConnectorUi ui;
    HWND dialog = Open(ui);
    ASSERT_NE(dialog, nullptr);
    uiauto::Click(dialog, IDC_PRINTER_SPECIFIC);
    uiauto::Type(dialog, IDC_PRINTER_NAME, "Zebra ZT410");
    uiauto::Click(dialog, IDC_MSGBOX_DEBUG);
    uiauto::SelectIndex(dialog, IDC_COPIES_TYPE, 2);
    uiauto::SelectIndex(dialog, IDC_RUN_API_TYPE, 0);
    uiauto::Type(dialog, IDC_TEMPLATES_FOLDER, "\\\\server\\labels");
    uiauto::Type(dialog, IDC_API_PROXY_EXE, "C:\\api\\proxy.exe /x=1");
    uiauto::Type(dialog, IDC_BARTENDER_EXE_PATH, "C:\\BT\\bartend.exe");
    Close(ui, dialog, IDOK);
    EXPECT_EQ(ui.IniBytes().value_or("<none>"),
              "[Settings]\r\nPrinter=Zebra ZT410\r\nMsgBoxDebug=1\r\nCopiesType=2\r\nRunApiType=3\r\n"
              "TemplatesFolder=\\\\server\\labels\r\nApiProxyExe=C:\\api\\proxy.exe /x=1\r\n"
              "BartenderExePath=C:\\BT\\bartend.exe\r\n");
}

TEST_F(ConfigDialogSettings, PolicyValuesShowReadOnlyAndAreNotSaved) {
    testsupport::PolicyScope policy;
    policy.SetText("TemplatesFolder", "\\\\policy\\labels");
    policy.SetNumber("RunApiType", 3);
    ConnectorUi ui("[Settings]\r\nTemplatesFolder=C:\\Labels\r\nRunApiType=0\r\n");
    HWND dialog = Open(ui);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(uiauto::ItemText(dialog, IDC_TEMPLATES_FOLDER), "\\\\policy\\labels");
    EXPECT_NE(GetWindowLongA(GetDlgItem(dialog, IDC_TEMPLATES_FOLDER), GWL_STYLE) & ES_READONLY, 0);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_RUN_API_TYPE)));
    EXPECT_EQ(uiauto::Combo(GetDlgItem(dialog, IDC_RUN_API_TYPE)).selectedText, kZuvezavi);
    EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog, IDC_API_PROXY_EXE), GWL_STYLE) & ES_READONLY, 0);
    Close(ui, dialog, IDOK);
    const std::string bytes = ui.IniBytes().value_or("");
    EXPECT_NE(bytes.find("TemplatesFolder=C:\\Labels\r\nRunApiType=0\r\n"), std::string::npos) << bytes;
}

TEST_F(ConfigDialogSettings, PrinterNameIsEnabledOnlyForASpecificPrinter) {
    ConnectorUi ui("[Settings]\r\nPrinter=Zebra\r\n");
    HWND dialog = Open(ui);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(NameEnabled(dialog));
    for (int radio : {IDC_PRINTER_BYUSER, IDC_PRINTER_DEFAULT, IDC_PRINTER_BYTEMPLATE, IDC_PRINTER_MANUAL}) {
        uiauto::Click(dialog, radio);
        EXPECT_EQ(CheckedPrinterRadio(dialog), radio);
        EXPECT_FALSE(NameEnabled(dialog)) << radio;
        EXPECT_EQ(uiauto::ItemText(dialog, IDC_PRINTER_NAME), "Zebra") << "greyed, not cleared";
        uiauto::Click(dialog, IDC_PRINTER_SPECIFIC);
        EXPECT_TRUE(NameEnabled(dialog)) << radio;
    }
    // A name typed while another button is checked is not stored.
    uiauto::Type(dialog, IDC_PRINTER_NAME, "Other printer");
    uiauto::Click(dialog, IDC_PRINTER_BYTEMPLATE);
    // The radio selection leaves the debug check box alone.
    EXPECT_EQ(uiauto::CheckState(dialog, IDC_MSGBOX_DEBUG), BST_UNCHECKED);
    Close(ui, dialog, IDOK);
    const std::string bytes = ui.IniBytes().value_or("");
    EXPECT_NE(bytes.find("Printer=ByTemplate\r\n"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("Other printer"), std::string::npos) << bytes;
}

TEST_F(ConfigDialogSettings, SpecificPrinterWithEmptyNameReopensAsDefault) {
    std::string saved;
    {
        ConnectorUi ui("[Settings]\r\nPrinter=Zebra\r\n");
        HWND dialog = Open(ui);
        ASSERT_NE(dialog, nullptr);
        uiauto::Type(dialog, IDC_PRINTER_NAME, "");
        Close(ui, dialog, IDOK);
        saved = ui.IniBytes().value_or("");
        EXPECT_EQ(saved.rfind("[Settings]\r\nPrinter=\r\n", 0), 0u) << saved;
    }
    ConnectorUi again(saved);
    HWND dialog = Open(again);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(CheckedPrinterRadio(dialog), IDC_PRINTER_DEFAULT);
    Close(again, dialog, IDCANCEL);
}

TEST_F(ConfigDialogSettings, CancelEscapeAndCloseBoxLeaveTheFileAsItWas) {
    // Odd spacing, a comment and no final newline: any rewrite would show.
    const std::string before =
        "; by hand\r\n[Settings]\r\n  Printer = Zebra \r\nRunApiType=2\r\n\r\n[LastJob]\nParam1=p";
    struct Way {
        const char* name;
        void (*close)(HWND dialog);
    };
    const Way ways[] = {
        {"Cancel", [](HWND d) { uiauto::PostClick(d, IDCANCEL); }},
        {"Escape", [](HWND d) {
             HWND edit = GetDlgItem(d, IDC_TEMPLATES_FOLDER);
             PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0);
         }},
        {"close box", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        ConnectorUi ui(before);
        HWND dialog = Open(ui);
        ASSERT_NE(dialog, nullptr);
        uiauto::Click(dialog, IDC_PRINTER_MANUAL);
        uiauto::Click(dialog, IDC_MSGBOX_DEBUG);
        uiauto::SelectIndex(dialog, IDC_COPIES_TYPE, 1);
        uiauto::Type(dialog, IDC_TEMPLATES_FOLDER, "D:\\changed");
        way.close(dialog);
        EXPECT_TRUE(ui.WaitForExit());
        EXPECT_EQ(ui.IniBytes().value_or("<none>"), before);
    }
}

}  // namespace
