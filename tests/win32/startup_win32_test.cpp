// Start-up of the real vantor.exe under Windows: the debug box is a real
// message box, shown before the job's first write, and only for exactly 1.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "support/wine.h"

namespace {

namespace fs = std::filesystem;

std::string NativeBuildDir() {
    // The build folder as Wine sees it: /x/y is Z:\x\y.
    std::string dir = VANTOR_BUILD_DIR;
    for (char& c : dir)
        if (c == '/') c = '\\';
    return "Z:" + dir;
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct FoundWindow {
    DWORD pid;
    HWND hwnd;
};

BOOL CALLBACK FindDebugBox(HWND hwnd, LPARAM param) {
    auto* found = reinterpret_cast<FoundWindow*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char caption[64] = {};
    GetWindowTextA(hwnd, caption, sizeof(caption));
    if (pid == found->pid && std::string(caption) == "Debug" && IsWindowVisible(hwnd)) {
        found->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

class RealStartup : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("vantor-start-" + std::to_string(GetCurrentProcessId()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        fs::copy_file(NativeBuildDir() + "\\vantor.exe", folder_ / "vantor.exe");
    }
    void TearDown() override {
        if (process_.hProcess) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 5000);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    void Start(const std::string& arguments) {
        std::string line = "\"" + (folder_ / "vantor.exe").string() + "\" " + arguments;
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   folder_.string().c_str(), &si, &process_));
    }
    // Waits up to `ms` for the process's debug box.
    HWND WaitForDebugBox(int ms) {
        FoundWindow found{process_.dwProcessId, nullptr};
        for (int waited = 0; waited < ms && !found.hwnd; waited += 50) {
            EnumWindows(FindDebugBox, reinterpret_cast<LPARAM>(&found));
            if (found.hwnd) break;
            if (WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0) break;
        }
        return found.hwnd;
    }
    DWORD WaitForExit() {
        EXPECT_EQ(WaitForSingleObject(process_.hProcess, 20000), WAIT_OBJECT_0);
        DWORD code = 12345;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

    fs::path folder_;
    PROCESS_INFORMATION process_{};
};

TEST_F(RealStartup, DebugBoxShowsTheCommandLineBeforeTheJobStarts) {
    std::ofstream(folder_ / "vantor.ini", std::ios::binary) << "[Settings]\r\nMsgBoxDebug=1\r\n";
    const std::string arguments = "/F=C:\\Labels\\Shelf.tvl /D=missing.txt  ";
    Start("   " + arguments);

    HWND box = WaitForDebugBox(15000);
    ASSERT_NE(box, nullptr) << "no Debug box appeared";
    char text[512] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));  // the message box's static text
    EXPECT_EQ(std::string(text), arguments);           // leading blanks gone, trailing kept
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);     // a single OK button
    EXPECT_EQ(ReadAll(folder_ / "vantor.ini").find("CmdLine"), std::string::npos)
        << "the job wrote before the box was closed";

    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitForExit(), 0u);
    // Wine rewrites the whole file on each later write of the job and drops
    // the trailing blanks there; Windows keeps the bytes.
    const std::string stored = testsupport::RunningUnderWine()
                                   ? arguments.substr(0, arguments.find_last_not_of(' ') + 1)
                                   : arguments;
    EXPECT_NE(ReadAll(folder_ / "vantor.ini").find("CmdLine=" + stored + "\r\n"),
              std::string::npos)
        << ReadAll(folder_ / "vantor.ini");
}

TEST_F(RealStartup, NoDebugBoxUnlessExactlyOne) {
    for (const char* stored : {"0", "2", "-1"}) {
        std::ofstream(folder_ / "vantor.ini", std::ios::binary)
            << "[Settings]\r\nMsgBoxDebug=" << stored << "\r\n";
        Start("/F=a.tvl /D=missing.txt");
        EXPECT_EQ(WaitForDebugBox(1500), nullptr) << stored;
        EXPECT_EQ(WaitForExit(), 0u) << stored;
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
        EXPECT_NE(ReadAll(folder_ / "vantor.ini").find("CmdLine=/F=a.tvl /D=missing.txt\r\n"),
                  std::string::npos);
    }
}

}  // namespace
