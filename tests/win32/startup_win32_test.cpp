// Start-up of the real vantor.exe under Windows: the debug box is a real
// message box, shown before the job's first write, and only for exactly 1.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/connector_install.h"

namespace {

using testsupport::ConnectorInstall;

struct DebugBoxSeen {
    DWORD pid = 0;
    HWND box = nullptr;
};

BOOL CALLBACK FindDebugBox(HWND hwnd, LPARAM param) {
    auto* seen = reinterpret_cast<DebugBoxSeen*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char caption[64] = {};
    GetWindowTextA(hwnd, caption, sizeof(caption));
    if (pid == seen->pid && std::string(caption) == "Debug" && IsWindowVisible(hwnd)) {
        seen->box = hwnd;
        return FALSE;
    }
    return TRUE;
}

// What a person saw of the debug box, who then pressed OK.
struct BoxAnswer {
    int shown = 0;
    std::string text;
    bool hasCancel = false;
    std::string iniWhenShown;
};

std::function<void(unsigned long)> PressOkOnDebugBox(const ConnectorInstall& install,
                                                     BoxAnswer& answer) {
    return [&install, &answer](unsigned long pid) {
        DebugBoxSeen seen{static_cast<DWORD>(pid), nullptr};
        EnumWindows(FindDebugBox, reinterpret_cast<LPARAM>(&seen));
        if (!seen.box) return;
        char text[512] = {};
        GetDlgItemTextA(seen.box, 0xFFFF, text, sizeof(text));  // the box's static text
        ++answer.shown;
        answer.text = text;
        answer.hasCancel = GetDlgItem(seen.box, IDCANCEL) != nullptr;
        answer.iniWhenShown = install.IniBytes();
        PostMessageA(seen.box, WM_COMMAND, IDOK, 0);
        Sleep(200);  // let the box close before looking again
    };
}

TEST(RealStartup, DebugBoxShowsTheCommandLineBeforeTheJobStarts) {
    ConnectorInstall install;
    install.WriteIni("[Settings]\r\nMsgBoxDebug=1\r\n");
    const std::string arguments = "/F=C:\\Labels\\Shelf.tvl /D=missing.txt  ";
    BoxAnswer answer;
    auto result = install.RunConnector("   " + arguments, "", PressOkOnDebugBox(install, answer));

    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 0u);
    ASSERT_EQ(answer.shown, 1);
    EXPECT_EQ(answer.text, arguments);  // leading blanks gone, trailing kept
    EXPECT_FALSE(answer.hasCancel);     // a single OK button
    EXPECT_EQ(answer.iniWhenShown.find("CmdLine"), std::string::npos)
        << "the job wrote before the box was closed";
    // Every later write of the job keeps the bytes it does not change.
    EXPECT_EQ(install.RawIni("LastJob", "CmdLine"), arguments);
}

TEST(RealStartup, NoDebugBoxUnlessExactlyOne) {
    for (const char* stored : {"0", "2", "-1"}) {
        ConnectorInstall install;
        install.WriteIni(std::string("[Settings]\r\nMsgBoxDebug=") + stored + "\r\n");
        BoxAnswer answer;
        auto result =
            install.RunConnector("/F=a.tvl /D=missing.txt", "", PressOkOnDebugBox(install, answer));
        EXPECT_EQ(answer.shown, 0) << stored;
        EXPECT_EQ(result.exitCode, 0u) << stored;
        EXPECT_EQ(install.RawIni("LastJob", "CmdLine"), "/F=a.tvl /D=missing.txt") << stored;
    }
}

}  // namespace
