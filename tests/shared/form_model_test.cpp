// The configuration form model over a real settings file in a temporary
// folder: what the dialog shows for each stored value, and the exact bytes OK
// writes, through our own profile engine in both builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/vantor_app.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "support/policy.h"
#include "support/temp_dir.h"
#include "support/test_text.h"
#include "settings/store.h"
#include "ui/config_form.h"
#include "ui/form_controls.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

using testsupport::NobodyThere;

class FormModel : public ::testing::Test {
protected:
    std::string Ini() const { return dir_.File("vantor.ini"); }
    void WriteIni(const std::string& bytes) { WriteFileBytes(Ini(), bytes); }
    ui::ConfigForm Load() { return ui::LoadConfigForm(app_); }
    ui::ConfigForm LoadSettings(const std::string& settingsLines) {
        WriteIni("[Settings]\r\n" + settingsLines);
        return Load();
    }

    TempDir dir_;
    NobodyThere nobody_;
    CVantorApp app_{dir_.File("vantor.exe"), "", nobody_};
};

TEST_F(FormModel, NoSettingsFileShowsTheDefaultsAndCreatesNothing) {
    const ui::ConfigForm form = Load();
    EXPECT_EQ(form.printerRadio, IDC_PRINTER_DEFAULT);
    EXPECT_EQ(form.printerName, "");
    EXPECT_FALSE(form.debugChecked);
    EXPECT_EQ(form.copiesItem, "Automatic Detection");
    EXPECT_EQ(form.runnerItem, "Run Tarvel Only");
    EXPECT_EQ(form.templatesFolder, "");
    EXPECT_EQ(form.apiProxyExe, "");
    EXPECT_EQ(form.bartenderExePath, "");
    EXPECT_EQ(form.lastJob.cmdLine, "");
    EXPECT_EQ(form.lastJob.templ, "");
    EXPECT_EQ(form.lastJob.dataFile, "");
    EXPECT_EQ(form.lastJob.copies, "1");
    EXPECT_EQ(form.lastJob.numLines, "1");
    EXPECT_EQ(form.lastJob.lastUser, "");
    EXPECT_EQ(form.lastJob.tvlCmdLine, "");
    EXPECT_TRUE(form.lastJob.params.empty());
    EXPECT_FALSE(FileExists(Ini()));
}

TEST_F(FormModel, ShowsTheLastJobAndTheSettingsAsStored) {
    WriteIni(
        "[LastJob]\r\nCmdLine=/F=C:\\L\\Shelf.tvl /D=C:\\d.txt\r\nTemplate=Shelf\r\n"
        "DataFile=C:\\d.txt\r\nNumLines=3\r\nCopies=7\r\nLastUser=anna\r\n"
        "TvlCmdLine=\"C:\\L\\Tarvel.exe\" \"C:\\L\\Shelf.tvl\" /p\r\n"
        "[Settings]\r\nTemplatesFolder=D:\\Labels\\\r\nApiProxyExe=proxy.exe -q\r\n"
        "BartenderExePath=C:\\BT\\bartend.exe\r\n");
    const ui::ConfigForm form = Load();
    EXPECT_EQ(form.lastJob.cmdLine, "/F=C:\\L\\Shelf.tvl /D=C:\\d.txt");
    EXPECT_EQ(form.lastJob.templ, "Shelf");
    EXPECT_EQ(form.lastJob.dataFile, "C:\\d.txt");
    EXPECT_EQ(form.lastJob.numLines, "3");
    EXPECT_EQ(form.lastJob.copies, "7");
    EXPECT_EQ(form.lastJob.lastUser, "anna");
    EXPECT_EQ(form.lastJob.tvlCmdLine, "\"C:\\L\\Tarvel.exe\" \"C:\\L\\Shelf.tvl\" /p");
    EXPECT_EQ(form.templatesFolder, "D:\\Labels\\");
    EXPECT_EQ(form.apiProxyExe, "proxy.exe -q");
    EXPECT_EQ(form.bartenderExePath, "C:\\BT\\bartend.exe");
}

TEST_F(FormModel, PrinterValueSelectsItsRadioButton) {
    struct Case {
        const char* line;  // the Printer line, nullptr for none
        int radio;
        const char* name;
    };
    const Case cases[] = {
        {nullptr, IDC_PRINTER_DEFAULT, ""},
        {"Printer=", IDC_PRINTER_DEFAULT, ""},
        {"Printer=ByUser", IDC_PRINTER_BYUSER, ""},
        {"Printer=ByTemplate", IDC_PRINTER_BYTEMPLATE, ""},
        {"Printer=Manual", IDC_PRINTER_MANUAL, ""},
        {"Printer=HP LaserJet 4", IDC_PRINTER_SPECIFIC, "HP LaserJet 4"},
        // Keywords compare exactly: other letter case is a printer name.
        {"Printer=byuser", IDC_PRINTER_SPECIFIC, "byuser"},
        {"Printer=BYTEMPLATE", IDC_PRINTER_SPECIFIC, "BYTEMPLATE"},
        {"Printer=manual", IDC_PRINTER_SPECIFIC, "manual"},
        // The read trims blanks, so these are the keywords again ...
        {"Printer=  Manual  ", IDC_PRINTER_MANUAL, ""},
        // ... unless quotes keep them.
        {"Printer=\"Manual \"", IDC_PRINTER_SPECIFIC, "Manual "},
        {"printer=ByUser", IDC_PRINTER_BYUSER, ""},  // key names in any case
    };
    for (const Case& c : cases) {
        const ui::ConfigForm form = LoadSettings(c.line ? std::string(c.line) + "\r\n" : "");
        EXPECT_EQ(form.printerRadio, c.radio) << (c.line ? c.line : "(none)");
        EXPECT_EQ(form.printerName, c.name) << (c.line ? c.line : "(none)");
    }
}

TEST_F(FormModel, NumbersSelectTheCheckBoxAndListItems) {
    struct Case {
        const char* line;
        bool debug;
        const char* copies;
        const char* runner;
    };
    const char* automatic = "Automatic Detection";
    const char* zuvezavi = "Run API on ZUVEZAVI Label otherwise run Tarvel";
    const char* tarvel = "Run Tarvel Only";
    const Case cases[] = {
        {"MsgBoxDebug=0", false, automatic, tarvel},
        {"MsgBoxDebug=1", true, automatic, tarvel},
        {"MsgBoxDebug=2", true, automatic, tarvel},  // any non-zero number checks it
        {"MsgBoxDebug=-1", true, automatic, tarvel},
        {"MsgBoxDebug=yes", false, automatic, tarvel},  // no digits read as 0
        {"CopiesType=1", false, "Always use last parameter", tarvel},
        {"CopiesType=2", false, "Always use parameter 21", tarvel},
        {"CopiesType=5", false, automatic, tarvel},
        {"CopiesType=-1", false, automatic, tarvel},
        {"RunApiType=1", false, automatic, zuvezavi},
        {"RunApiType=2", false, automatic, zuvezavi},
        {"RunApiType=3", false, automatic, zuvezavi},
        {"RunApiType=9", false, automatic, zuvezavi},
        {"RunApiType=0", false, automatic, tarvel},
    };
    for (const Case& c : cases) {
        const ui::ConfigForm form = LoadSettings(std::string(c.line) + "\r\n");
        EXPECT_EQ(form.debugChecked, c.debug) << c.line;
        EXPECT_EQ(form.copiesItem, c.copies) << c.line;
        EXPECT_EQ(form.runnerItem, c.runner) << c.line;
    }
}

std::vector<ui::ParamRow> Rows(std::initializer_list<std::pair<const char*, const char*>> rows) {
    std::vector<ui::ParamRow> out;
    for (const auto& [number, value] : rows) out.push_back({number, value});
    return out;
}

TEST_F(FormModel, ParameterRowsStopAtTheFirstEmptyValue) {
    WriteIni("[LastJob]\r\nParam1=A-100\r\nParam2=\r\nParam3=C-300\r\n");
    EXPECT_EQ(Load().lastJob.params, Rows({{"01", "A-100"}}));

    // A job writes all twenty; a missing key stops the list just the same.
    WriteIni("[LastJob]\r\nParam1=x\r\nParam3=z\r\n");
    EXPECT_EQ(Load().lastJob.params, Rows({{"01", "x"}}));

    WriteIni("[LastJob]\r\nParam2=only the second\r\n");
    EXPECT_TRUE(Load().lastJob.params.empty());
}

TEST_F(FormModel, TwelveParametersGiveTwelveRowsInOrder) {
    std::string ini = "[LastJob]\r\n";
    std::vector<ui::ParamRow> expected;
    for (int n = 1; n <= 20; ++n) {
        const std::string value = n <= 12 ? "value " + std::to_string(n) : "";
        ini += "Param" + std::to_string(n) + "=" + value + "\r\n";
        if (n <= 12) expected.push_back({(n < 10 ? "0" : "") + std::to_string(n), value});
    }
    WriteIni(ini);
    const std::vector<ui::ParamRow> rows = Load().lastJob.params;
    EXPECT_EQ(rows, expected);
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows[9].number, "10");
}

TEST_F(FormModel, ParameterRowsReadOnPastTwenty) {
    std::string ini = "[LastJob]\r\n";
    for (int n = 1; n <= 21; ++n) ini += "Param" + std::to_string(n) + "=p" + std::to_string(n) + "\r\n";
    WriteIni(ini);
    const std::vector<ui::ParamRow> rows = Load().lastJob.params;
    ASSERT_EQ(rows.size(), 21u);
    EXPECT_EQ(rows[20], (ui::ParamRow{"21", "p21"}));
}

// --------------------------------------------------------------- saving

const char* const kSavedDefaults =
    "[Settings]\r\nPrinter=\r\nMsgBoxDebug=0\r\nCopiesType=0\r\nRunApiType=0\r\n"
    "TemplatesFolder=\r\nApiProxyExe=\r\nBartenderExePath=\r\n";

TEST_F(FormModel, OkWithoutSettingsFileWritesTheSevenKeysInOrder) {
    ui::SaveConfigForm(app_, Load());
    EXPECT_EQ(ReadFileBytes(Ini()), kSavedDefaults);
}

TEST_F(FormModel, OkNormalisesStoredValues) {
    WriteIni(
        "[LastJob]\r\nParam1=x\r\n[Settings]\r\nRunApiType=2\r\n"
        "MsgBoxDebug=2\r\nCopiesType=5\r\nPrinter=Zebra ZT410\r\n");
    ui::SaveConfigForm(app_, Load());
    const std::string bytes = ReadFileBytes(Ini());
    const std::string expectedSettings =
        "[Settings]\r\nRunApiType=3\r\nMsgBoxDebug=1\r\nCopiesType=0\r\n"
        "Printer=Zebra ZT410\r\nTemplatesFolder=\r\nApiProxyExe=\r\nBartenderExePath=\r\n";
    // Existing keys keep their places; the three new ones follow them.
    EXPECT_EQ(bytes, "[LastJob]\r\nParam1=x\r\n" + expectedSettings);

    // RunApiType 1 becomes 3 as well; CopiesType 1 and 2 stay.
    for (const char* stored : {"1", "9", "-4"}) {
        WriteIni(std::string("[Settings]\r\nRunApiType=") + stored + "\r\nCopiesType=2\r\n");
        ui::SaveConfigForm(app_, Load());
        const ui::ConfigForm again = Load();
        EXPECT_EQ(again.runnerItem, "Run API on ZUVEZAVI Label otherwise run Tarvel");
        EXPECT_NE(ReadFileBytes(Ini()).find("RunApiType=3\r\nCopiesType=2\r\n"), std::string::npos)
            << stored;
    }
}

TEST_F(FormModel, OkStoresThePrinterOfTheCheckedRadioButton) {
    struct Case {
        int radio;
        const char* typedName;
        const char* stored;
        int reopenedRadio;
    };
    const Case cases[] = {
        {IDC_PRINTER_DEFAULT, "", "", IDC_PRINTER_DEFAULT},
        {IDC_PRINTER_SPECIFIC, "Zebra 1", "Zebra 1", IDC_PRINTER_SPECIFIC},
        // An empty specific name is the default printer at the next opening.
        {IDC_PRINTER_SPECIFIC, "", "", IDC_PRINTER_DEFAULT},
        // A typed keyword becomes that policy.
        {IDC_PRINTER_SPECIFIC, "Manual", "Manual", IDC_PRINTER_MANUAL},
        // A name typed while another button is checked is not stored.
        {IDC_PRINTER_BYUSER, "Zebra 1", "ByUser", IDC_PRINTER_BYUSER},
        {IDC_PRINTER_BYTEMPLATE, "Zebra 1", "ByTemplate", IDC_PRINTER_BYTEMPLATE},
        {IDC_PRINTER_MANUAL, "Zebra 1", "Manual", IDC_PRINTER_MANUAL},
        {IDC_PRINTER_DEFAULT, "Zebra 1", "", IDC_PRINTER_DEFAULT},
        // Stored as typed, blanks included.
        {IDC_PRINTER_SPECIFIC, " lead and trail ", " lead and trail ", IDC_PRINTER_SPECIFIC},
    };
    for (const Case& c : cases) {
        WriteIni("");
        ui::ConfigForm form;
        form.printerRadio = c.radio;
        form.printerName = c.typedName;
        ui::SaveConfigForm(app_, form);
        const std::string bytes = ReadFileBytes(Ini());
        EXPECT_EQ(bytes.substr(0, bytes.find("MsgBoxDebug")),
                  std::string("[Settings]\r\nPrinter=") + c.stored + "\r\n")
            << c.radio << " " << c.typedName;
        EXPECT_EQ(Load().printerRadio, c.reopenedRadio) << c.radio << " " << c.typedName;
    }
}

TEST_F(FormModel, OkStoresChoicesAndPathsAsTyped) {
    ui::ConfigForm form;
    form.printerRadio = IDC_PRINTER_MANUAL;
    form.debugChecked = true;
    form.copiesItem = "Always use parameter 21";
    form.runnerItem = "Run API on ZUVEZAVI Label otherwise run Tarvel";
    form.templatesFolder = "\\\\server\\labels";
    form.apiProxyExe = "C:\\api\\proxy.exe /x=1 ; y";
    form.bartenderExePath = "C:\\Program Files\\BT\\bartend.exe";
    ui::SaveConfigForm(app_, form);
    EXPECT_EQ(ReadFileBytes(Ini()),
              "[Settings]\r\nPrinter=Manual\r\nMsgBoxDebug=1\r\nCopiesType=2\r\nRunApiType=3\r\n"
              "TemplatesFolder=\\\\server\\labels\r\nApiProxyExe=C:\\api\\proxy.exe /x=1 ; y\r\n"
              "BartenderExePath=C:\\Program Files\\BT\\bartend.exe\r\n");

    form.copiesItem = "Always use last parameter";
    form.runnerItem = "Run Tarvel Only";
    form.debugChecked = false;
    // A path pasted with line ends in it cannot add a line to the file.
    form.apiProxyExe = "proxy.exe\r\n[UserPrinter]\nclerk=Evil\r\n";
    ui::SaveConfigForm(app_, form);
    const std::string bytes = ReadFileBytes(Ini());
    EXPECT_NE(bytes.find("MsgBoxDebug=0\r\nCopiesType=1\r\nRunApiType=0\r\n"), std::string::npos)
        << bytes;
    EXPECT_NE(bytes.find("\r\nApiProxyExe=proxy.exe  [UserPrinter] clerk=Evil\r\n"), std::string::npos)
        << bytes;
}

TEST_F(FormModel, FailedSaveChangesNothingAndSaysWhy) {
    const std::string before = "[Settings]\r\nPrinter=Office\r\n";
    WriteIni(before);
    std::filesystem::permissions(Ini(), std::filesystem::perms::owner_read |
                                            std::filesystem::perms::group_read |
                                            std::filesystem::perms::others_read);
    ui::ConfigForm form = Load();
    form.printerRadio = IDC_PRINTER_MANUAL;
    const SaveResult result = ui::SaveConfigForm(app_, form);
    std::filesystem::permissions(Ini(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_FALSE(result.saved);
#ifdef _WIN32
    EXPECT_EQ(result.reason, platform::SystemErrorText(5));  // ERROR_ACCESS_DENIED
#else
    EXPECT_EQ(result.reason, platform::SystemErrorText(EACCES));
#endif
    EXPECT_EQ(result.unsaved, (std::vector<std::string>{"Printer", "MsgBoxDebug", "CopiesType", "RunApiType",
                                                        "TemplatesFolder", "ApiProxyExe", "BartenderExePath"}));
    EXPECT_EQ(ReadFileBytes(Ini()), before);
    const std::string text = ui::SaveFailureText(Ini(), result);
    EXPECT_NE(text.find(Ini()), std::string::npos) << text;
    EXPECT_NE(text.find(result.reason), std::string::npos) << text;
}

// ----------------------------------------------- filling a dialog's controls

// Controls as plain data, with the system's rule for a radio selection: every
// control whose ID lies in the range is unchecked, whatever its kind.
class PlainControls : public ui::FormControls {
public:
    void SetText(int id, const std::string& text) override { text_[id] = text; }
    std::string Text(int id) const override { return Get(text_, id); }
    void CheckRadioRange(int first, int last, int checked) override {
        for (int id = first; id <= last; ++id) checked_[id] = id == checked;
    }
    void SetCheck(int id, bool checked) override { checked_[id] = checked; }
    bool IsChecked(int id) const override { return Get(checked_, id); }
    void Enable(int id, bool enabled) override { enabled_[id] = enabled; }
    void SetReadOnly(int id) override { readOnly_.insert(id); }
    void AddItem(int id, const std::string& text) override { items_[id].push_back(text); }
    void SelectItem(int id, const std::string& text) override {
        // The first item that begins with the text, in any letter case.
        const auto& items = items_[id];
        selected_[id] = "";
        for (const std::string& item : items) {
            if (item.size() >= text.size() &&
                std::equal(text.begin(), text.end(), item.begin(), [](char a, char b) {
                    return std::tolower(static_cast<unsigned char>(a)) ==
                           std::tolower(static_cast<unsigned char>(b));
                })) {
                selected_[id] = item;
                break;
            }
        }
    }
    std::string SelectedItem(int id) const override { return Get(selected_, id); }
    void SetParamRows(const std::vector<ui::ParamRow>& rows) override { rows_ = rows; }

    std::map<int, bool> enabled_;
    std::set<int> readOnly_;
    std::map<int, std::vector<std::string>> items_;
    std::vector<ui::ParamRow> rows_;

private:
    template <typename T>
    static T Get(const std::map<int, T>& map, int id) {
        auto it = map.find(id);
        return it == map.end() ? T() : it->second;
    }
    std::map<int, std::string> text_;
    std::map<int, bool> checked_;
    std::map<int, std::string> selected_;
};

TEST_F(FormModel, DebugBoxSurvivesTheRadioSelectionThatUnchecksIt) {
    for (const char* printer : {"", "ByUser", "Zebra", "Manual"}) {
        WriteIni(std::string("[Settings]\r\nMsgBoxDebug=1\r\nPrinter=") + printer + "\r\n");
        PlainControls controls;
        controls.SetCheck(IDC_MSGBOX_DEBUG, false);
        ui::AddComboItems(controls);
        ui::FillControls(controls, Load());
        EXPECT_TRUE(controls.IsChecked(IDC_MSGBOX_DEBUG)) << printer;
        int checkedRadios = 0;
        for (int radio : ui::kPrinterRadios) checkedRadios += controls.IsChecked(radio);
        EXPECT_EQ(checkedRadios, 1) << printer;
    }
}

TEST_F(FormModel, ControlsRoundTripAndPrinterEditEnabling) {
    WriteIni(
        "[Settings]\r\nPrinter=Zebra\r\nCopiesType=1\r\nRunApiType=3\r\nTemplatesFolder=T\r\n"
        "ApiProxyExe=A\r\nBartenderExePath=B\r\n[LastJob]\r\nParam1=p\r\n");
    PlainControls controls;
    ui::AddComboItems(controls);
    EXPECT_EQ(controls.items_[IDC_COPIES_TYPE],
              (std::vector<std::string>{"Automatic Detection", "Always use last parameter",
                                        "Always use parameter 21"}));
    EXPECT_EQ(controls.items_[IDC_RUN_API_TYPE],
              (std::vector<std::string>{"Run API on ZUVEZAVI Label otherwise run Tarvel",
                                        "Run Tarvel Only"}));
    ui::FillControls(controls, Load());
    ui::UpdatePrinterEdit(controls);
    EXPECT_TRUE(controls.enabled_[IDC_PRINTER_NAME]);
    EXPECT_EQ(controls.rows_, Rows({{"01", "p"}}));

    // The operator picks "by user": the name stays but is greyed, and OK
    // stores the keyword.
    controls.CheckRadioRange(IDC_PRINTER_RANGE_FIRST, IDC_PRINTER_RANGE_LAST, IDC_PRINTER_BYUSER);
    ui::UpdatePrinterEdit(controls);
    EXPECT_FALSE(controls.enabled_[IDC_PRINTER_NAME]);
    EXPECT_EQ(controls.Text(IDC_PRINTER_NAME), "Zebra");

    ui::SaveConfigForm(app_, ui::ReadControls(controls));
    const std::string bytes = ReadFileBytes(Ini());
    EXPECT_NE(bytes.find("[Settings]\r\nPrinter=ByUser\r\nCopiesType=1\r\nRunApiType=3\r\n"
                         "TemplatesFolder=T\r\nApiProxyExe=A\r\nBartenderExePath=B\r\n"
                         "MsgBoxDebug=0\r\n"),
              std::string::npos)
        << bytes;
}

}  // namespace

namespace {

// Settings an administrator's policy sets hold instead of the file's: the
// dialog shows them read-only and OK does not write them.
TEST_F(FormModel, PolicyLocksSettings) {
    WriteIni("[Settings]\r\nPrinter=File Printer\r\nCopiesType=0\r\nApiProxyExe=file.exe\r\n"
             "TemplatesFolder=C:\\Labels\r\n");
    testsupport::PolicyScope policy;
    policy.SetText("Printer", "Policy Printer");
    policy.SetNumber("CopiesType", 2);
    policy.SetText("ApiProxyExe", "");
    ui::ConfigForm form = Load();
    EXPECT_EQ(form.printerRadio, IDC_PRINTER_SPECIFIC);
    EXPECT_EQ(form.printerName, "Policy Printer");
    EXPECT_EQ(form.copiesItem, "Always use parameter 21");
    EXPECT_EQ(form.apiProxyExe, "");
    EXPECT_EQ(form.templatesFolder, "C:\\Labels");
    EXPECT_EQ(form.locked, (std::set<std::string>{"ApiProxyExe", "CopiesType", "Printer"}));
    EXPECT_EQ(ReadSettingInt(app_, "settings", "CopiesType", 9), 2);  // in job mode too
    // Only the keys of the table of [Settings] keys can be locked.
    policy.SetText("NoSuchKey", "x");
    EXPECT_EQ(PolicyFor("Settings", "NoSuchKey"), std::nullopt);

    PlainControls controls;
    ui::AddComboItems(controls);
    ui::FillControls(controls, form);
    EXPECT_EQ(controls.readOnly_, (std::set<int>{IDC_PRINTER_DEFAULT, IDC_PRINTER_SPECIFIC, IDC_PRINTER_BYUSER,
                                                 IDC_PRINTER_BYTEMPLATE, IDC_PRINTER_MANUAL, IDC_PRINTER_NAME,
                                                 IDC_COPIES_TYPE, IDC_API_PROXY_EXE}));
    form.templatesFolder = "D:\\New";
    form.printerName = "Other";
    ASSERT_TRUE(ui::SaveConfigForm(app_, form).saved);
    EXPECT_EQ(ReadFileBytes(Ini()),
              "[Settings]\r\nPrinter=File Printer\r\nCopiesType=0\r\nApiProxyExe=file.exe\r\n"
              "TemplatesFolder=D:\\New\r\nMsgBoxDebug=0\r\nRunApiType=0\r\nBartenderExePath=\r\n");
}

}  // namespace
