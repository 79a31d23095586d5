// Pictures of the real configuration dialog, About box and recent jobs
// window for a person to look at: build/<folder>/screenshots/dialog.png,
// about.png and jobs.png, or at another DPI than 96 dialog-<dpi>dpi.png and
// so on (the test command takes them at 96 and 144 DPI). Taken by the
// UI driver inside a Wine virtual desktop, where Wine draws the window
// frames and captions itself (plain Xvfb has no window manager to draw them).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>

#include "support/build_paths.h"
#include "support/connector_install.h"
#include "support/temp_dir.h"
#include "support/ui_fixture.h"
#include "tools/win32/ui_automation.h"

namespace {

using testsupport::UiTurn;

// Width and height from a PNG file's header, or 0 x 0 when it is no PNG.
std::pair<std::uint32_t, std::uint32_t> PngSize(const std::string& path) {
    const std::string bytes = testsupport::ReadFileBytes(path);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
    auto be32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

// Runs a command line (the UI driver on a virtual desktop) to its end, two
// minutes at the most; false when it had to be ended.
bool RunToTheEnd(std::string command) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    const bool ended = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
}

// The path of picture `name`: build/<folder>/screenshots/<name>.png, or at
// another DPI than 96 <name>-<dpi>dpi.png. Removed first.
std::string ShotPath(const std::string& name) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    // (Names built by appending: GCC 12 warns wrongly about chained +.)
    std::string png = testsupport::BuildDir();
    png += "\\screenshots";
    std::filesystem::create_directories(png);
    png += "\\";
    png += name;
    if (dpi != 96) {
        png += "-";
        png += std::to_string(dpi);
        png += "dpi";
    }
    png += ".png";
    std::filesystem::remove(png);
    return png;
}

// Runs the UI driver with `driverArguments` (a command that saves the
// picture FOLDER\<name>.png, FOLDER being `folder`) on a virtual desktop
// with room for a window of `cx` x `cy` dialog units, keeps the picture as
// ShotPath(name), and checks that it holds the whole window.
void ShootOnDesktop(const std::string& name, int cx, int cy, const std::string& driverArguments,
                    const std::string& folder) {
    const std::string png = ShotPath(name);
    const RECT needed = uiauto::DialogUnitsToPixels(0, 0, cx, cy);
    const std::string desktop = std::to_string(needed.right + 300) + "x" + std::to_string(needed.bottom + 200);
    std::string command = "C:\\windows\\explorer.exe /desktop=Vantor" + name + "," + desktop + " \"" +
                          testsupport::ToolProgram("uidriver") + "\" " + driverArguments;
    ASSERT_TRUE(RunToTheEnd(command));
    std::filesystem::copy_file(folder + "\\" + name + ".png", png);
    const auto [w, h] = PngSize(png);
    EXPECT_GE(w, static_cast<std::uint32_t>(needed.right));
    EXPECT_GT(h, static_cast<std::uint32_t>(needed.bottom));
}

TEST(DialogScreenshots, DialogAndAboutBoxArePictured) {
    UiTurn turn;
    UiTurn::SetHostFile("[Labels]\r\nApplication=C:\\Host\\labels.exe\r\n");
    testsupport::TempDir dir;
    const std::string exe = dir.File("vantor.exe");
    std::filesystem::copy_file(testsupport::ConnectorProgram(), exe);
    testsupport::WriteFileBytes(
        dir.File("vantor.ini"),
        "[LastJob]\r\nCmdLine=/F=C:\\Labels\\Shelf.tvl /D=C:\\Data\\job.txt\r\nTemplate=Shelf\r\n"
        "DataFile=C:\\Data\\job.txt\r\nNumLines=2\r\nCopies=3\r\nLastUser=anna\r\n"
        "TvlCmdLine=\"C:\\Labels\\Tarvel.exe\" \"C:\\Labels\\Shelf.tvl\" /setpages 3 /p\r\n"
        "Param1=A-100\r\nParam2=Shelf 4\r\nParam3=12.50\r\n"
        "[Settings]\r\nPrinter=Zebra ZT410\r\nMsgBoxDebug=0\r\nCopiesType=1\r\nRunApiType=3\r\n"
        "TemplatesFolder=C:\\Labels\r\nApiProxyExe=C:\\Api\\proxy.exe\r\nBartenderExePath=\r\n");

    const std::string dialogPng = ShotPath("dialog");
    const std::string aboutPng = ShotPath("about");
    const std::string shots = dir.File("shots");
    std::filesystem::create_directories(shots);

    // A virtual desktop with room for the dialog at this DPI (the dialog is
    // about 740 pixels high at 96 DPI, 1110 at 144).
    const RECT needed = uiauto::DialogUnitsToPixels(0, 0, 309, 455);
    const std::string desktop = std::to_string(std::max<LONG>(800, needed.right + 200)) + "x" +
                                std::to_string(std::max<LONG>(900, needed.bottom + 160));
    std::string command = "C:\\windows\\explorer.exe /desktop=VantorShots," + desktop + " \"" +
                          testsupport::ToolProgram("uidriver") + "\" shoot \"" + exe + "\" \"" +
                          shots + "\"";
    ASSERT_TRUE(RunToTheEnd(command));
    std::filesystem::copy_file(shots + "\\dialog.png", dialogPng);
    std::filesystem::copy_file(shots + "\\about.png", aboutPng);

    // Frame and caption included: at least the client area's size.
    const RECT dialogSize = uiauto::DialogUnitsToPixels(0, 0, 309, 455);
    const auto [dw, dh] = PngSize(dialogPng);
    EXPECT_GE(dw, static_cast<std::uint32_t>(dialogSize.right));
    EXPECT_GT(dh, static_cast<std::uint32_t>(dialogSize.bottom));
    const RECT aboutSize = uiauto::DialogUnitsToPixels(0, 0, 235, 55);
    const auto [aw, ah] = PngSize(aboutPng);
    EXPECT_GE(aw, static_cast<std::uint32_t>(aboutSize.right));
    EXPECT_GT(ah, static_cast<std::uint32_t>(aboutSize.bottom));
}

// The recent jobs window over a journal of three real jobs: one clean, one
// with a failed line, one without its data file.
TEST(DialogScreenshots, JobsWindowIsPictured) {
    UiTurn turn;
    testsupport::ConnectorInstall install;
    install.WriteIni("[Settings]\r\nJournalFile=journal.log\r\n");
    testsupport::WriteFileBytes(install.File("Tarvel.exitcode"), "0 0 0 3 0");
    testsupport::WriteFileBytes(install.File("job.txt"), "ITEM-100\t2\nITEM-101\t1\n");
    const std::string job = "/F=Shelf /D=\"" + install.File("job.txt") + "\"";
    install.RunConnector(job);
    testsupport::WriteFileBytes(install.File("job.txt"), "ITEM-102\t1\nITEM-103\t1\nITEM-104\t1\n");
    install.RunConnector(job);
    install.RunConnector("/F=Box /D=\"" + install.File("missing.txt") + "\"");

    ShootOnDesktop("jobs", 500, 310, "shootjobs \"" + install.Exe() + "\" \"" + install.path() + "\"", install.path());
}

// The progress window (Settings/ShowProgress=1) of a three-line job whose
// label program takes two seconds a line.
TEST(DialogScreenshots, ProgressWindowIsPictured) {
    UiTurn turn;
    testsupport::ConnectorInstall install;
    install.WriteIni("[Settings]\r\nShowProgress=1\r\n");
    testsupport::WriteFileBytes(install.File("Tarvel.sleep"), "2");
    testsupport::WriteFileBytes(install.File("job.txt"), "ITEM-100\t2\nITEM-101\t1\nITEM-102\t1\n");
    // The job's arguments are one argument of the driver's: quotes escaped.
    ShootOnDesktop("progress", 260, 100,
                   "shootprogress \"" + install.Exe() + "\" \"" + install.path() +
                       "\" \"/F=C:\\Labels\\Shelf.tvl /D=\\\"" + install.File("job.txt") + "\\\"\"",
                   install.path());
    // Stopped after the line the picture was taken in.
    EXPECT_LT(install.Runs("Tarvel").size(), 3u);
}

}  // namespace
