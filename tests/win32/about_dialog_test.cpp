// The About box of the real vantor.exe under Wine: opened by the "About"
// button, by the system-menu command 16 and by the system menu's own entry;
// its controls and the version line read from the executable.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "support/ui_fixture.h"
#include "tools/win32/ui_automation.h"
#include "vantor_version.h"

namespace {

using testsupport::ConnectorUi;
using testsupport::UiTurn;

class AboutBox : public ::testing::Test {
protected:
    void SetUp() override {
        UiTurn::SetHostFile("[Labels]\r\nApplication=C:\\Host\\labels.exe\r\n");
        ASSERT_TRUE(ui_.Start());
        dialog_ = ui_.WaitForDialog();
        ASSERT_NE(dialog_, nullptr);
    }
    void TearDown() override {
        if (dialog_ != nullptr) {
            uiauto::PostClick(dialog_, IDCANCEL);
            EXPECT_TRUE(ui_.WaitForExit());
        }
    }

    // Waits for the About box, checks it is modal over the dialog and shows
    // the version, and closes it with OK.
    void ExpectAboutBoxAndClose() {
        HWND about = ui_.WaitForAbout();
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(GetWindow(about, GW_OWNER), dialog_);
        EXPECT_FALSE(IsWindowEnabled(dialog_)) << "modal over the configuration dialog";
        EXPECT_EQ(uiauto::ItemText(about, IDC_ABOUT_VERSION), "Version: " VANTOR_VERSION_TEXT);
        EXPECT_TRUE(uiauto::Answer(about, IDOK));
        EXPECT_TRUE(uiauto::WaitFor([&] { return IsWindowEnabled(dialog_) != FALSE; }, 5000));
    }

    UiTurn turn_;
    ConnectorUi ui_;
    HWND dialog_ = nullptr;
};

TEST_F(AboutBox, AboutButtonShowsTheTemplateAndTheFileVersion) {
    uiauto::PostClick(dialog_, IDC_ABOUT_BUTTON);
    HWND about = ui_.WaitForAbout();
    ASSERT_NE(about, nullptr);

    const DWORD style = static_cast<DWORD>(GetWindowLongA(about, GWL_STYLE));
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU));
    RECT client;
    GetClientRect(about, &client);
    const RECT size = uiauto::DialogUnitsToPixels(0, 0, 235, 55);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    struct Expected {
        int id;
        const char* className;
        DWORD type;  // SS_TYPEMASK or BS_TYPEMASK part
        bool group;
        const char* text;  // nullptr: not compared
        int x, y, cx, cy;
    };
    const Expected expected[] = {
        {-1, "Static", SS_ICON, false, nullptr, 11, 17, 20, 20},
        {-1, "Static", SS_LEFT, true, "Priority Tarvel connector (VANTOR)", 40, 10, 119, 8},
        {1, "Button", BS_DEFPUSHBUTTON, true, "OK", 178, 7, 50, 16},
        {1013, "Static", SS_LEFT, true, "Version: " VANTOR_VERSION_TEXT, 40, 40, 119, 8},
    };
    const std::vector<uiauto::ControlInfo> controls = uiauto::Controls(about);
    ASSERT_EQ(controls.size(), std::size(expected));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const Expected& e = expected[i];
        const uiauto::ControlInfo& c = controls[i];
        SCOPED_TRACE(testing::Message() << "control #" << i + 1);
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(c.className, e.className);
        const DWORD mask = c.className == "Static" ? SS_TYPEMASK : BS_TYPEMASK;
        EXPECT_EQ(c.style & mask, e.type);
        EXPECT_EQ((c.style & WS_GROUP) != 0, e.group);
        if (c.className == "Static" && e.type == SS_LEFT) {
            EXPECT_NE(c.style & SS_NOPREFIX, 0u);
        }
        if (e.text) {
            EXPECT_EQ(c.text, e.text);
        }
        const RECT px = uiauto::DialogUnitsToPixels(e.x, e.y, e.cx, e.cy);
        EXPECT_EQ(c.rect.left, px.left);
        EXPECT_EQ(c.rect.top, px.top);
        if (e.type != SS_ICON) {  // an icon control takes its icon's size
            EXPECT_EQ(c.rect.right - c.rect.left, px.right);
            EXPECT_EQ(c.rect.bottom - c.rect.top, px.bottom);
        }
    }
    // The icon control shows an icon.
    EXPECT_NE(uiauto::Send(controls[0].hwnd, STM_GETICON), 0);

    // Escape closes it as OK does.
    PostMessageA(controls[2].hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(uiauto::WaitFor([&] { return !IsWindow(about); }, 5000));
    EXPECT_TRUE(IsWindowVisible(dialog_));
}

TEST_F(AboutBox, SystemCommandSixteenOpensItWithItsLowBitsMasked) {
    for (WPARAM command : {WPARAM{0x10}, WPARAM{0x13}, WPARAM{0x1F}}) {
        SCOPED_TRACE(command);
        uiauto::PostSysCommand(dialog_, command);
        ExpectAboutBoxAndClose();
    }
    // Opened twice in a row, and the button still works afterwards.
    uiauto::PostClick(dialog_, IDC_ABOUT_BUTTON);
    ExpectAboutBoxAndClose();
}

TEST_F(AboutBox, SystemMenuHasTheAboutEntry) {
    // Open the system menu with the keyboard (Alt+Space) and choose its last
    // entry (Up from the first item), as an operator would. Not by the
    // mnemonic A: Wine's system menus carry an "About Wine" entry of their
    // own that the letter reaches first.
    SetForegroundWindow(dialog_);
    uiauto::PostSysCommand(dialog_, SC_KEYMENU, ' ');
    ASSERT_TRUE(uiauto::WaitFor(
        [&] {
            for (HWND menu : uiauto::TopLevelWindows(ui_.pid(), "#32768", nullptr))
                if (IsWindowVisible(menu)) return true;
            return false;
        },
        5000))
        << "the system menu did not open";
    PostMessageA(dialog_, WM_KEYDOWN, VK_UP, 0);
    PostMessageA(dialog_, WM_KEYDOWN, VK_RETURN, 0);
    ExpectAboutBoxAndClose();
}

}  // namespace
