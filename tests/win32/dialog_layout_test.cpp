// The real configuration dialog of vantor.exe under Wine: every control with
// its ID, kind, styles, text and position, in template (= tab) order; the
// combo items; the parameter list's columns; and what a first start without
// a settings file shows.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"
#include "support/build_paths.h"
#include "support/ui_fixture.h"
#include "tools/win32/ui_automation.h"

namespace {

using testsupport::ConnectorUi;
using testsupport::UiTurn;

enum class Kind { GroupBox, Label, Radio, Edit, ReadOnlyEdit, DropList, ListView, CheckBox, Push, DefPush };

struct Expected {
    int id;  // -1: no ID
    Kind kind;
    const char* text;
    int x, y, cx, cy;  // dialog units
    bool group = false;
};

// The configuration dialog's controls as the operator's guide lists them.
const Expected kControls[] = {
    {-1, Kind::GroupBox, "", 7, 3, 295, 88},
    {-1, Kind::Label, "Printer:", 15, 14, 25, 8},
    {1005, Kind::Radio, "Use Default Windows Printer", 46, 14, 106, 8, true},
    {1006, Kind::Radio, "Use Specific Printer:", 46, 29, 83, 8},
    {1007, Kind::Edit, "", 136, 27, 158, 12},
    {1010, Kind::Radio, "Use Printer according to user in INI file", 46, 44, 158, 8},
    {1014, Kind::Radio, "Use Printer according to Template in INI file", 46, 59, 158, 8},
    {1015, Kind::Radio, "Show printer selection manually before each print job", 46, 74, 225, 8},
    {-1, Kind::Label, "Use copies from:", 15, 100, 54, 8},
    {1012, Kind::DropList, "Automatic Detection", 75, 98, 158, 62},
    {-1, Kind::GroupBox, "Last job Information", 7, 153, 295, 228},
    {-1, Kind::Label, "Command Line:", 15, 169, 50, 8},
    {1000, Kind::ReadOnlyEdit, "", 85, 167, 208, 12},
    {-1, Kind::Label, "Template:", 15, 185, 33, 8},
    {1001, Kind::ReadOnlyEdit, "", 85, 183, 208, 12},
    {-1, Kind::Label, "Data File:", 15, 201, 32, 8},
    {1002, Kind::ReadOnlyEdit, "", 85, 199, 208, 12},
    {-1, Kind::Label, "Copies:", 15, 217, 25, 8},
    {1009, Kind::ReadOnlyEdit, "1", 85, 215, 208, 12},
    {-1, Kind::Label, "Num Lines:", 15, 233, 36, 8},
    {1013, Kind::ReadOnlyEdit, "1", 85, 230, 208, 12},
    {-1, Kind::Label, "Last User:", 15, 248, 34, 8},
    {1011, Kind::ReadOnlyEdit, "", 85, 246, 208, 12},
    {-1, Kind::Label, "Tarvel Cmd Line:", 15, 262, 56, 8},
    {1004, Kind::ReadOnlyEdit, "", 85, 262, 208, 12},
    {-1, Kind::Label, "Paramaters:", 15, 295, 40, 8},
    {1003, Kind::ListView, "", 85, 294, 208, 64},
    {1008, Kind::CheckBox, "Show MessageBox for Debug", 15, 365, 109, 10},
    {2, Kind::Push, "Cancel", 196, 432, 50, 16},
    {1, Kind::DefPush, "OK", 252, 432, 50, 16},
    {3, Kind::Push, "About", 7, 432, 50, 16},
    {-1, Kind::GroupBox, "", 7, 86, 295, 61},
    {-1, Kind::Label, "Take Templates from folder (if empty uses Tarvel.exe folder):", 15, 114, 200, 8},
    {1017, Kind::Edit, "", 75, 128, 219, 12},
    {-1, Kind::GroupBox, "PriorityAPI settings", 7, 383, 295, 46},
    {-1, Kind::Label, "API or Labels:", 15, 396, 46, 8},
    {1016, Kind::DropList, "Run Tarvel Only", 75, 394, 219, 62},
    {-1, Kind::Label, "API Proxy EXE:", 15, 410, 57, 8},
    {1018, Kind::Edit, "", 75, 410, 219, 12},
    {-1, Kind::Label, "Bartender EXE Path:", 15, 278, 66, 8},
    {1019, Kind::Edit, "", 85, 278, 208, 12},
};

// The DPI the dialog is drawn at (under Wine every process sees the system
// DPI, DPI-aware or not).
int ScreenDpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi;
}

// The width of `text` in the dialogs' font, MS Shell Dlg 8 pt, at `dpi`.
int DialogTextWidth(const std::string& text, int dpi) {
    HDC dc = GetDC(nullptr);
    HFONT font = CreateFontA(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Shell Dlg");
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

// "control #N "text"" for failure messages. (Built by appending: GCC 12
// warns falsely about "literal" + std::string at -O2.)
std::string ControlLabel(std::size_t index, const char* text) {
    std::string label = "control #";
    label += std::to_string(index + 1);
    label += " \"";
    label += text;
    label += '"';
    return label;
}

bool HasBorder(const uiauto::ControlInfo& c) {
    // The edit and list controls turn WS_BORDER into a sunken client edge.
    return (c.style & WS_BORDER) != 0 || (c.exStyle & WS_EX_CLIENTEDGE) != 0;
}

// The differences between a control and its expectation, "" when none.
std::string CheckKind(const Expected& e, const uiauto::ControlInfo& c) {
    std::string problems;
    auto require = [&](bool condition, const char* what) {
        if (!condition) problems += std::string(what) + "; ";
    };
    const DWORD s = c.style;
    const bool tabStop = (s & WS_TABSTOP) != 0;
    switch (e.kind) {
        case Kind::GroupBox:
            require(c.className == "Button" && (s & BS_TYPEMASK) == BS_GROUPBOX, "group box");
            break;
        case Kind::Label:
            require(c.className == "Static" && (s & SS_TYPEMASK) == SS_LEFT, "static text");
            require((s & WS_GROUP) != 0, "static text starts a group");
            break;
        case Kind::Radio:
            require(c.className == "Button" && (s & BS_TYPEMASK) == BS_AUTORADIOBUTTON, "auto radio");
            // The template gives no radio button WS_TABSTOP; the button
            // control itself gives it to the checked one, so that Tab
            // reaches the group.
            require(tabStop == (uiauto::CheckState(c.hwnd) == BST_CHECKED),
                    "tab stop only while checked");
            require(((s & WS_GROUP) != 0) == e.group, "group start only on the first radio");
            break;
        case Kind::Edit:
        case Kind::ReadOnlyEdit:
            require(c.className == "Edit", "edit");
            require(HasBorder(c) && (s & ES_AUTOHSCROLL) && tabStop, "border, auto-scroll, tab stop");
            require(((s & ES_READONLY) != 0) == (e.kind == Kind::ReadOnlyEdit), "read-only as listed");
            break;
        case Kind::DropList:
            require(c.className == "ComboBox" && (s & 3) == CBS_DROPDOWNLIST, "drop-down list");
            // The scroll bar is checked in the template (TemplateStyles): the
            // open list hides it, and clears the style, while it is not needed.
            require(!(s & CBS_SORT), "unsorted");
            break;
        case Kind::ListView:
            require(c.className == "SysListView32" && (s & LVS_TYPEMASK) == LVS_REPORT, "report view");
            require((s & LVS_SORTASCENDING) && (s & LVS_AUTOARRANGE) && (s & LVS_ALIGNLEFT),
                    "sorted ascending, auto-arrange, align left");
            require(HasBorder(c) && tabStop, "border, tab stop");
            break;
        case Kind::CheckBox:
            require(c.className == "Button" && (s & BS_TYPEMASK) == BS_AUTOCHECKBOX && tabStop,
                    "auto check box, tab stop");
            break;
        case Kind::Push:
        case Kind::DefPush:
            require(c.className == "Button" &&
                        (s & BS_TYPEMASK) ==
                            static_cast<DWORD>(e.kind == Kind::DefPush ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                    e.kind == Kind::DefPush ? "default push button" : "push button");
            break;
    }
    return problems;
}

// The styles of a dialog template's controls as the resource holds them
// (DLGTEMPLATEEX), in template order: ID and style.
struct TemplateItem {
    int id;
    DWORD style;
};

std::vector<TemplateItem> ReadDialogTemplate(const std::string& exe, int templateId) {
    std::vector<TemplateItem> items;
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return items;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(5) /*RT_DIALOG*/);
    const auto* base = found ? static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)))
                             : nullptr;
    if (base != nullptr) {
        const std::uint8_t* p = base;
        auto word = [&] { WORD w; std::memcpy(&w, p, 2); p += 2; return w; };
        auto dword = [&] { DWORD d; std::memcpy(&d, p, 4); p += 4; return d; };
        auto skipSzOrOrd = [&] {
            WORD first = word();
            if (first == 0xFFFF) { word(); return; }
            while (first != 0) first = word();
        };
        auto align4 = [&] { p = base + ((p - base + 3) & ~3); };
        word();  // dlgVer
        if (word() == 0xFFFF) {  // DLGTEMPLATEEX
            dword();  // helpID
            dword();  // exStyle
            const DWORD style = dword();
            const WORD count = word();
            p += 8;          // x, y, cx, cy
            skipSzOrOrd();   // menu
            skipSzOrOrd();   // class
            skipSzOrOrd();   // title
            if (style & DS_SETFONT) {
                p += 6;  // point size, weight, italic, charset
                skipSzOrOrd();
            }
            for (WORD i = 0; i < count; ++i) {
                align4();
                dword();  // helpID
                dword();  // exStyle
                const DWORD itemStyle = dword();
                p += 8;
                const int id = static_cast<int>(dword());
                skipSzOrOrd();  // class
                skipSzOrOrd();  // title
                p += word();    // creation data
                items.push_back({id, itemStyle});
            }
        }
    }
    FreeLibrary(module);
    return items;
}

TEST(ConfigDialogTemplate, ListsAreScrollableAndRadioButtonsNoTabStops) {
    const std::vector<TemplateItem> items =
        ReadDialogTemplate(testsupport::ConnectorProgram(), IDD_VANTOR_DIALOG);
    ASSERT_EQ(items.size(), std::size(kControls));
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(ControlLabel(i, kControls[i].text));
        EXPECT_EQ(items[i].id, kControls[i].id);
        const Kind kind = kControls[i].kind;
        if (kind == Kind::DropList) {
            EXPECT_NE(items[i].style & WS_VSCROLL, 0u);
        }
        if (kind == Kind::Radio) {
            EXPECT_EQ(items[i].style & WS_TABSTOP, 0u);
        }
        if (kind == Kind::Edit || kind == Kind::ReadOnlyEdit || kind == Kind::ListView) {
            EXPECT_NE(items[i].style & WS_BORDER, 0u);
        }
    }
}

class ConfigDialogLayout : public ::testing::Test {
protected:
    void SetUp() override { UiTurn::SetHostFile("[Labels]\r\nApplication=C:\\Host\\labels.exe\r\n"); }
    UiTurn turn_;
};

TEST_F(ConfigDialogLayout, ControlsMatchTheTemplateInTabOrder) {
    ConnectorUi ui;
    ASSERT_TRUE(ui.Start());
    HWND dialog = ui.WaitForDialog();
    ASSERT_NE(dialog, nullptr);

    // The window itself.
    EXPECT_EQ(uiauto::WindowText(dialog), "Priority - Tarvel Connector");
    const DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(dialog, GWL_EXSTYLE));
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE),
              static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE));
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);
    EXPECT_NE(exStyle & WS_EX_APPWINDOW, 0u);
    EXPECT_NE(exStyle & WS_EX_DLGMODALFRAME, 0u);
    EXPECT_EQ(GetMenu(dialog), nullptr);
    RECT client;
    GetClientRect(dialog, &client);
    const RECT size = uiauto::DialogUnitsToPixels(0, 0, 309, 455);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    const std::vector<uiauto::ControlInfo> controls = uiauto::Controls(dialog);
    ASSERT_EQ(controls.size(), std::size(kControls));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const Expected& e = kControls[i];
        const uiauto::ControlInfo& c = controls[i];
        SCOPED_TRACE(ControlLabel(i, e.text));
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(CheckKind(e, c), "");
        EXPECT_EQ(c.text, e.text);
        EXPECT_TRUE(c.visible);
        const RECT px = uiauto::DialogUnitsToPixels(e.x, e.y, e.cx, e.cy);
        EXPECT_EQ(c.rect.left, px.left);
        EXPECT_EQ(c.rect.top, px.top);
        EXPECT_EQ(c.rect.right - c.rect.left, px.right);
        // A closed drop-down list is as high as its font needs; 62 units is
        // the height of the open list.
        if (e.kind != Kind::DropList) {
            EXPECT_EQ(c.rect.bottom - c.rect.top, px.bottom);
        }
    }

    uiauto::PostClick(dialog, IDCANCEL);
    EXPECT_TRUE(ui.WaitForExit());
}

TEST_F(ConfigDialogLayout, FirstStartWithoutSettingsFileShowsTheDefaults) {
    ConnectorUi ui;
    ASSERT_TRUE(ui.Start());
    HWND dialog = ui.WaitForDialog();
    ASSERT_NE(dialog, nullptr);

    EXPECT_EQ(uiauto::CheckState(dialog, IDC_PRINTER_DEFAULT), BST_CHECKED);
    for (int id : {IDC_PRINTER_SPECIFIC, IDC_PRINTER_BYUSER, IDC_PRINTER_BYTEMPLATE, IDC_PRINTER_MANUAL,
                   IDC_MSGBOX_DEBUG})
        EXPECT_EQ(uiauto::CheckState(dialog, id), BST_UNCHECKED) << id;
    EXPECT_EQ(uiauto::ItemText(dialog, IDC_PRINTER_NAME), "");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_PRINTER_NAME)));

    const uiauto::ComboState copies = uiauto::Combo(GetDlgItem(dialog, IDC_COPIES_TYPE));
    EXPECT_EQ(copies.items, (std::vector<std::string>{"Automatic Detection", "Always use last parameter",
                                                      "Always use parameter 21"}));
    EXPECT_EQ(copies.selected, 0);
    EXPECT_EQ(copies.selectedText, "Automatic Detection");
    const uiauto::ComboState runner = uiauto::Combo(GetDlgItem(dialog, IDC_RUN_API_TYPE));
    EXPECT_EQ(runner.items, (std::vector<std::string>{"Run API on ZUVEZAVI Label otherwise run Tarvel",
                                                      "Run Tarvel Only"}));
    EXPECT_EQ(runner.selected, 1);

    EXPECT_EQ(uiauto::ItemText(dialog, IDC_LASTJOB_COPIES), "1");
    EXPECT_EQ(uiauto::ItemText(dialog, IDC_LASTJOB_NUMLINES), "1");
    for (int id : {IDC_LASTJOB_CMDLINE, IDC_LASTJOB_TEMPLATE, IDC_LASTJOB_DATAFILE, IDC_LASTJOB_LASTUSER,
                   IDC_LASTJOB_TVLCMDLINE, IDC_TEMPLATES_FOLDER, IDC_API_PROXY_EXE, IDC_BARTENDER_EXE_PATH})
        EXPECT_EQ(uiauto::ItemText(dialog, id), "") << id;

    // 30 and 200 pixels at 96 DPI in Windows' dialog font (6 pixels a
    // horizontal base unit), grown with the base unit: with the DPI (the
    // test command runs this at 96 and at 144 DPI) and with Wine's wider
    // font. Wide enough for the titles and the header's margins.
    const uiauto::ListViewState list = uiauto::ListView(GetDlgItem(dialog, IDC_PARAMS));
    const int baseUnit = uiauto::DialogUnitsToPixels(0, 0, 4, 8).right;
    const int dpi = ScreenDpi();
    ASSERT_EQ(list.columns.size(), 2u);
    EXPECT_EQ(list.columns[0].title, "No.");
    EXPECT_EQ(list.columns[0].width, MulDiv(30, baseUnit, 6));
    EXPECT_EQ(list.columns[0].format, LVCFMT_LEFT);
    EXPECT_EQ(list.columns[1].title, "Value");
    EXPECT_EQ(list.columns[1].width, MulDiv(200, baseUnit, 6));
    EXPECT_EQ(list.columns[1].format, LVCFMT_LEFT);
    for (const uiauto::ListColumn& column : list.columns)
        EXPECT_GE(column.width, DialogTextWidth(column.title, dpi) + MulDiv(12, dpi, 96)) << column.title;
    EXPECT_TRUE(list.rows.empty());

    // (The window's icons cannot be asked for from here: Wine refuses to
    // send WM_GETICON and WM_QUERYDRAGICON to another process. The
    // screenshot shows the small icon in the caption.)

    // Opening wrote nothing; Cancel writes nothing either.
    uiauto::PostClick(dialog, IDCANCEL);
    EXPECT_TRUE(ui.WaitForExit());
    EXPECT_FALSE(ui.IniBytes().has_value());
}

}  // namespace
