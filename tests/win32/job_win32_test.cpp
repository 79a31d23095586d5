// Whole jobs in the Windows build: what only Windows can tell.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "job/event_report.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "support/build_paths.h"
#include "support/file_hold.h"
#include "support/policy.h"
#include "support/connector_install.h"
#include "support/temp_dir.h"
#include "support/test_text.h"
#include "support/ui_fixture.h"
#include "tools/win32/ui_automation.h"
#include "ui/progress_view.h"
#include "vantor_event_texts.h"

namespace {

using testsupport::ConnectorInstall;

using testsupport::Quoted;

TEST(RunnerWin32, StartedHiddenWithItsRecordsInPlace) {
    ConnectorInstall install;
    testsupport::WriteFileBytes(install.File("job.txt"), "one\t1\r\n");
    const std::string args = "/F=Box /D=" + Quoted(install.File("job.txt"));
    const auto result = install.RunConnector(args);
    ASSERT_TRUE(result.started);
    const auto runs = install.Runs("Tarvel");
    ASSERT_EQ(runs.size(), 1u);
    // STARTF_USESHOWWINDOW (1) with SW_HIDE (0).
    EXPECT_EQ(runs[0].show, "1 0");
    EXPECT_EQ(runs[0].cmdlineSource, "GetCommandLineA");
    EXPECT_EQ(runs[0].iniCmdLine, args);
    EXPECT_EQ(runs[0].iniTvlCmdLine, runs[0].cmdline);
}

TEST(RunnerWin32, JobWithoutStandardHandles) {
    // Started as the host starts it, with no standard output to write the
    // data file's open-failure messages to: the job still runs.
    ConnectorInstall install;
    uint32_t code = 99;
    ASSERT_TRUE(platform::RunHiddenAndWait(
        Quoted(install.Exe()) + " /F=Box /D=" + Quoted(install.File("missing.txt")), code));
    EXPECT_EQ(code, 0u);
    const auto runs = install.Runs("Tarvel");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].cmdline, Quoted(install.Folder() + "Tarvel.exe") + " " +
                                   Quoted(install.Folder() + "Box.tvl") + " /p /fm Param1 \"\"");
}

// A report sent to the null device (vantor.exe /CHECK >NUL, or to a serial
// port) goes there: neither onto a console nor into a box that waits for a
// click. Both are character devices to GetFileType; only a console answers
// GetConsoleMode.
TEST(RunnerWin32, CheckReportToTheNullDeviceGoesThere) {
    ConnectorInstall install;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(nul, INVALID_HANDLE_VALUE);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    std::string line = Quoted(install.Exe()) + " /CHECK";
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process));
    CloseHandle(nul);
    std::vector<std::string> boxes;
    for (int waited = 0; WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT && waited < 300; ++waited)
        for (const std::string& caption : testsupport::CancelDialogsOf(process.dwProcessId)) boxes.push_back(caption);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    EXPECT_NE(code, STILL_ACTIVE);
}

// A policy set with reg.exe holds instead of the settings file, in a job.
TEST(RunnerWin32, PolicyValuesHoldInAJob) {
    ConnectorInstall install;
    install.WriteIni("[Settings]\r\nPrinter=File Printer\r\nCopiesType=2\r\n");
    testsupport::WriteFileBytes(install.File("job.txt"), "one\t3\r\n");
    testsupport::PolicyScope policy;
    policy.SetText("Printer", "Policy Printer");
    policy.SetNumber("CopiesType", 1);
    ASSERT_TRUE(install.RunConnector("/F=Box /D=" + Quoted(install.File("job.txt"))).started);
    const auto runs = install.Runs("Tarvel");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].cmdline, Quoted(install.Folder() + "Tarvel.exe") + " " + Quoted(install.Folder() + "Box.tvl") +
                                   " /setpages 3 /pt \"Policy Printer\"  /fm Param1 \"one\"");
    EXPECT_EQ(install.RawIni("Settings", "Printer"), "File Printer");
}

// The connector ended at random moments of a long job, as a logoff, Task
// Manager or a session reset ends it: the operator's settings always survive
// byte for byte and the file always reads. Once with the file replaced at
// every write, once with another program holding it so that it cannot be
// replaced (each write then goes in place, from its first changed byte).
class KilledJob : public ::testing::TestWithParam<bool> {};

TEST_P(KilledJob, SettingsSurviveEveryKill) {
    const bool inPlace = GetParam();
    // No label program: every line writes its records without waiting for a
    // runner, so the kills meet the writes. (A kill during a runner's start
    // would also leave Wine with a half-made process that never ends.)
    ConnectorInstall install(false);
    const std::string settings =
        "[Settings]\r\nPrinter=Office Laser\r\nMsgBoxDebug=0\r\nCopiesType=2\r\nRunApiType=3\r\n"
        "TemplatesFolder=C:\\Labels\r\nApiProxyExe=proxy.exe /job\r\nBartenderExePath=\r\n";
    // An operator's table after the job's record: a tear after the record shows.
    install.WriteIni(settings + "[LastJob]\r\nCmdLine=earlier\r\n[TemplatePrinter]\r\nShelf=Zebra\r\n");
    std::string data;
    for (int i = 1; i <= 400; ++i) data += "line" + std::to_string(i) + "\t" + std::to_string(i % 7) + "\t1\r\n";
    testsupport::WriteFileBytes(install.File("job.txt"), data);
    std::optional<testsupport::FileHold> hold;
    if (inPlace) {
        hold.emplace(install.Ini(), testsupport::FileHold::Mode::ReaderNotSharingDelete);
        ASSERT_TRUE(hold->held());
    }

    std::mt19937 random(inPlace ? 11 : 5);
    std::uniform_int_distribution<int> delayMs(0, 600);
    int killedMidJob = 0;
    for (int round = 0; round < 50; ++round) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        std::string line = Quoted(install.Exe()) + " /F=Shelf /D=" + Quoted(install.File("job.txt"));
        ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &process));
        Sleep(static_cast<DWORD>(delayMs(random)));
        killedMidJob += WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);

        const std::string bytes = install.IniBytes();
        ASSERT_EQ(bytes.substr(0, settings.size()), settings) << "round " << round;
        // After it, the job's record.
        const std::string rest = bytes.substr(settings.size(), 11);
        ASSERT_EQ(std::string("[LastJob]\r\n").substr(0, rest.size()), rest) << "round " << round;
        EXPECT_EQ(install.IniText("Settings", "TemplatesFolder"), "C:\\Labels");
        ASSERT_EQ(install.RawIni("TemplatePrinter", "Shelf"), "Zebra") << "round " << round;
        const std::string lines = install.IniText("LastJob", "NumLines", "");
        ASSERT_TRUE(lines == "" || lines == "400") << "round " << round << ": " << lines;
    }
    EXPECT_GT(killedMidJob, 40) << "the kills must come while the job runs";
    RecordProperty("killed_mid_job", killedMidJob);
}

INSTANTIATE_TEST_SUITE_P(WritePaths, KilledJob, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("InPlace") : std::string("Replaced");
                         });

// The file's identity (volume and index): a replace gives a new one, a
// rewrite in place keeps it.
std::string FileIdOf(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION information{};
    const bool got = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &information);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!got) return "<none>";
    return std::to_string(information.dwVolumeSerialNumber) + ":" + std::to_string(information.nFileIndexHigh) +
           ":" + std::to_string(information.nFileIndexLow);
}

// The full path of `path`.
std::string FullPathOf(const std::string& path) {
    char full[MAX_PATH * 4];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return n > 0 && n < sizeof full ? std::string(full, n) : path;
}

// The name of our processes' machine-wide turn on the settings file whose
// final path is `finalPath`: a hash of it upper-cased.
std::string TurnMutexName(std::string finalPath) {
    CharUpperBuffA(finalPath.data(), static_cast<DWORD>(finalPath.size()));
    uint32_t hash = 2166136261u;
    for (unsigned char c : finalPath) hash = (hash ^ c) * 16777619u;
    char mutexName[64];
    std::snprintf(mutexName, sizeof mutexName, "Global\\vantor-profile-%08lx", static_cast<unsigned long>(hash));
    return mutexName;
}

// Temporary files a killed writer left behind, read-only, hidden and system
// as a kill may leave them, under the old shared name and under this
// process's id, stop no atomic replace; and writers take turns on a
// machine-wide mutex, named after the hash of the upper-cased full path.
TEST(SettingsFileWin32, LeftoversStopNoReplaceAndTurnsAreMachineWide) {
    testsupport::TempDir dir;
    const std::string ini = dir.File("vantor.ini");
    testsupport::WriteFileBytes(ini, "[s]\r\nk=v\r\n");
    const std::string leftovers[] = {ini + ".tmp", ini + "." + std::to_string(GetCurrentProcessId()) + ".tmp"};
    for (const std::string& leftover : leftovers) {
        testsupport::WriteFileBytes(leftover, "[s]\r\nk=leftover\r\n");
        ASSERT_TRUE(SetFileAttributesA(leftover.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                             FILE_ATTRIBUTE_SYSTEM));
    }
    const std::string before = FileIdOf(ini);
    ASSERT_TRUE(platform::ProfileWriteString("s", "k", "w", ini));
    EXPECT_EQ(testsupport::ReadFileBytes(ini), "[s]\r\nk=w\r\n");
    EXPECT_NE(FileIdOf(ini), before) << "written in place, not replaced";
    EXPECT_EQ(GetFileAttributesA(leftovers[1].c_str()), INVALID_FILE_ATTRIBUTES);
    SetFileAttributesA(leftovers[0].c_str(), FILE_ATTRIBUTE_NORMAL);

    const std::string mutexName = TurnMutexName(FullPathOf(ini));
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, mutexName.c_str());
    EXPECT_NE(mutex, nullptr) << mutexName << ": " << GetLastError();
    if (mutex) CloseHandle(mutex);
    EXPECT_EQ(platform::ProfileTurnShortfall().code, 0u);
}

// Settings/ShowProgress=1: the progress window of a three-line job, driven
// as a person would while a line runs. Stop (the button, Escape, the close
// box) lets the running label program end by itself and starts no further
// line; "End it now" ends a line that goes on after Stop. Without the
// setting, or for a one-line job, no window appears.
TEST(ProgressWin32, StopEndsTheJobAfterTheRunningLine) {
    testsupport::UiTurn turn;
    enum class Press { Stop, Escape, CloseBox, Nothing };
    struct Case {
        const char* name;
        const char* settings;
        const char* data;
        const char* sleeps;   // the stand-in's seconds per run
        Press press;          // once line 2 runs
        bool endNow;          // then "End it now" as soon as it shows
        std::size_t runs;     // label program runs
        uint32_t exitCode;
        const char* line2Outcome;  // "" when the job has no line 2
    };
    const char* on = "[Settings]\r\nShowProgress=1\r\nExitStatus=1\r\nJournalFile=journal.log\r\n";
    const char* three = "one\t1\ntwo\t1\nthree\t1\n";
    const std::vector<Case> cases = {
        {"Stop button", on, three, "2", Press::Stop, false, 2, 13, "exited"},
        {"Escape, then End it now", on, three, "2 30", Press::Escape, true, 2, 13, "ended-on-request"},
        {"close box", on, three, "2", Press::CloseBox, false, 2, 13, "exited"},
        {"off", "[Settings]\r\nExitStatus=1\r\nJournalFile=journal.log\r\n", three, "1", Press::Nothing, false, 3, 0,
         "exited"},
        {"one line", on, "one\t1\n", "2.5", Press::Nothing, false, 1, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectorInstall install;
        install.WriteIni(c.settings);
        testsupport::WriteFileBytes(install.File("Tarvel.sleep"), c.sleeps);
        testsupport::WriteFileBytes(install.File("job.txt"), c.data);
        bool windowSeen = false, pressed = false, endNowPressed = false, focused = false;
        std::string before, after;
        const auto result = install.RunConnector("/F=Shelf /D=" + Quoted(install.File("job.txt")), "", [&](unsigned long pid) {
            HWND window = nullptr;
            for (HWND w : uiauto::TopLevelWindows(pid, "#32770", ui::kProgressCaption))
                if (IsWindowVisible(w)) window = w;
            if (window == nullptr) return;
            windowSeen = true;
            focused = focused || GetForegroundWindow() == window;
            if (c.press == Press::Nothing) return;
            if (!pressed && install.Runs("Tarvel").size() == 2) {
                before = uiauto::ItemText(window, IDC_PROGRESS_LABEL);
                if (c.press == Press::Stop) uiauto::PostClick(window, IDCANCEL);
                if (c.press == Press::Escape) PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
                if (c.press == Press::CloseBox) uiauto::PostSysCommand(window, SC_CLOSE);
                pressed = true;
                uiauto::WaitFor([&] { return uiauto::ItemText(window, IDC_PROGRESS_LABEL) != before; }, 2000);
                after = uiauto::ItemText(window, IDC_PROGRESS_LABEL);
            }
            if (pressed && c.endNow && !endNowPressed && IsWindowVisible(GetDlgItem(window, IDC_PROGRESS_END_NOW))) {
                uiauto::PostClick(window, IDC_PROGRESS_END_NOW);
                endNowPressed = true;
            }
        });
        ASSERT_TRUE(result.started);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(windowSeen, c.press != Press::Nothing);
        EXPECT_FALSE(focused) << "the window took the focus";
        EXPECT_EQ(pressed, c.press != Press::Nothing);
        EXPECT_EQ(endNowPressed, c.endNow);
        if (pressed) {
            EXPECT_EQ(before, "Label 2 of 3");
            EXPECT_EQ(after, "Stopping after label 2 of 3...");
        }
        EXPECT_EQ(install.Runs("Tarvel").size(), c.runs);
        const auto journal = testsupport::ReadJournal(install.File("journal.log"));
        ASSERT_EQ(journal.size(), c.runs + 2);
        const auto& end = journal.back().fields;
        EXPECT_EQ(end.count("stopped-at") ? end.at("stopped-at") : "<none>",
                  c.press == Press::Nothing ? "<none>" : std::to_string(c.runs));
        if (*c.line2Outcome) {
            EXPECT_EQ(journal[2].fields.at("line"), "2");
            EXPECT_EQ(journal[2].fields.at("outcome"), c.line2Outcome);
            // Ended by itself after its two seconds, or at once on request.
            const int ms = std::stoi(journal[2].fields.at("ms"));
            if (c.endNow) EXPECT_LT(ms, 20000);
            else EXPECT_GE(ms, 900);
        }
    }
}

// Settings/EventLog: a job's event reaches ReportEventW, which Wine 8 only
// traces: the call's type and ID on its advapi channel, each insert on its
// eventlog channel. The connector gets those channels through WINEDEBUG in
// its environment and writes the trace to the Unix standard error it
// inherits from this test program, which tests/win32/run-with-trace.sh has
// made the file VANTOR_TRACE_FILE names (docs/toolchain-notes.md); CTest runs
// this test only through that script.
TEST(EventLogTrace, JobsReachReportEventW) {
    const char* traceFile = std::getenv("VANTOR_TRACE_FILE");
    if (traceFile == nullptr) GTEST_SKIP() << "run it through tests/win32/run-with-trace.sh";
    std::string trace = std::string("Z:") + traceFile;  // the Unix path on Wine's drive for /
    for (char& c : trace)
        if (c == '/') c = '\\';
    struct Case {
        const char* name;
        const char* level;
        const char* exitCodes;
        std::vector<std::string> calls;  // "<type> <id>" as Wine traces them
        const char* outcome;
    };
    const std::vector<Case> cases = {
        {"a failed line, EventLog=1", "1", "0 3", {"0x0002 0x000003e9"}, "some lines failed"},
        {"a clean job, EventLog=1", "1", "0", {}, ""},
        {"a clean job, EventLog=2", "2", "0", {"0x0004 0x000003e8"}, "all labels printed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectorInstall install;
        install.WriteIni(std::string("[Settings]\r\nEventLog=") + c.level + "\r\n");
        testsupport::WriteFileBytes(install.File("Tarvel.exitcode"), c.exitCodes);
        testsupport::WriteFileBytes(install.File("job.txt"), "one\t1\ntwo\t1\n");
        const std::size_t before = testsupport::ReadFileBytes(trace).size();
        SetEnvironmentVariableA("WINEDEBUG", "fixme+advapi,+eventlog");
        const auto result = install.RunConnector("/F=Shelf /D=" + Quoted(install.File("job.txt")));
        SetEnvironmentVariableA("WINEDEBUG", "-all");
        ASSERT_TRUE(result.started);
        EXPECT_EQ(result.exitCode, 0u) << "reporting changes no exit code";
        const std::string written = testsupport::ReadFileBytes(trace).substr(before);
        std::vector<std::string> calls, inserts;
        for (const std::string& line : testsupport::LinesOf(written, true)) {
            // fixme:advapi:ReportEventW (CAFE4242,0x0002,0x0000,0x000003e9,...
            const std::size_t call = line.find("advapi:ReportEventW (");
            if (call != std::string::npos) {
                const std::size_t type = line.find(',', call) + 1, id = line.find(',', line.find(',', type) + 1) + 1;
                calls.push_back(line.substr(type, 6) + " " + line.substr(id, 10));
            }
            // warn:eventlog:ReportEventW L"Shelf"
            const std::size_t insert = line.find("eventlog:ReportEventW L\"");
            if (insert != std::string::npos) {
                const std::size_t start = insert + 24;
                inserts.push_back(line.substr(start, line.rfind('"') - start));
            }
        }
        EXPECT_EQ(calls, c.calls) << written;
        if (c.calls.empty()) continue;
        ASSERT_EQ(inserts.size(), 16u) << written;
        EXPECT_EQ(inserts[0], c.outcome);
        EXPECT_EQ((std::vector<std::string>{inserts[1], inserts[4], inserts[5]}), (std::vector<std::string>{"Shelf", "2", "2"}));
        EXPECT_EQ(inserts[6], c.calls[0] == "0x0002 0x000003e9" ? "1" : "0");
    }
}

// The message table compiled into vantor.exe gives each event's sentence
// with its inserts, as the host build writes it to the system log.
TEST(EventLogWin32, TheMessageTableHasEachEventsSentence) {
    HMODULE table = LoadLibraryExA(testsupport::ConnectorProgram().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(table, nullptr);
    std::vector<std::string> inserts;
    std::vector<std::wstring> wide;
    for (int i = 1; i <= 16; ++i) {
        inserts.push_back("v" + std::to_string(i));
        wide.push_back(L"v" + std::to_wstring(i));
    }
    std::vector<DWORD_PTR> arguments;
    for (const std::wstring& w : wide) arguments.push_back(reinterpret_cast<DWORD_PTR>(w.c_str()));
    for (const VantorEventText& entry : kVantorEventTexts) {
        SCOPED_TRACE(entry.id);
        wchar_t buffer[8192];
        const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, table, entry.id, 0,
                                       buffer, 8192, reinterpret_cast<va_list*>(arguments.data()));
        ASSERT_GT(n, 0u) << GetLastError();
        std::string text;
        for (DWORD i = 0; i < n; ++i) text += static_cast<char>(buffer[i]);  // ASCII
        EXPECT_EQ(text, events::EventText(entry.id, inserts));
    }
    // A job's outcome names an ID the table holds, every one of them.
    EXPECT_EQ(std::size(kVantorEventTexts), 8u);
    FreeLibrary(table);
}

// The host system's path of a Windows path (Wine's own function).
std::string UnixPathOf(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(path.c_str()) : nullptr;
    const std::string result = unix ? unix : "";
    if (unix) HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Starts a program of the host system, as Wine starts Linux programs too;
// Wine does not tell when it ends, so the caller waits for what it does.
// Whether it was started.
bool StartHostProgram(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// A settings file that is a link (here one of the host system, which Wine
// shows as the file it names; Wine makes no links of its own) to a file in a
// folder named in characters the ANSI code page lacks: the write reaches
// that file by its final path, kept wide, and our processes take their turn
// on it by that path, so every name of the file meets the same turn. (A
// target longer than MAX_PATH takes the same road; Wine cannot tell the final
// path of one, so only a real Windows shows it.)
TEST(SettingsFileWin32, LinkedFileIsWrittenAndTakenTurnsOnByItsFinalPath) {
    testsupport::TempDir dir;
    const std::string full = FullPathOf(dir.path());
    std::wstring folder(full.begin(), full.end());
    folder += L"\\\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac";  // Greek, outside code page 1252
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
    const std::wstring target = folder + L"\\vantor.ini";
    const std::string link = dir.File("vantor.ini");
    const std::string unixDir = UnixPathOf(std::wstring(full.begin(), full.end()));
    if (unixDir.empty()) GTEST_SKIP() << "not under Wine: no host links to make";
    struct Remove {  // Wine cannot remove a link whose file is gone: the host removes all
        std::string unixDir, folder;
        ~Remove() {
            StartHostProgram("Z:\\bin\\rm -rf " + unixDir);
            for (int i = 0; i < 100 && GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
        }
    } remove{unixDir, dir.path()};
    ASSERT_TRUE(StartHostProgram("Z:\\bin\\sh -c \"cd '" + unixDir + "' && for f in */; do printf " +
                                 "'[s]\\r\\nk=v\\r\\n' > ${f}vantor.ini; ln -s ${f}vantor.ini vantor.ini; done\""));
    for (int i = 0; i < 100 && GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
    ASSERT_EQ(testsupport::ReadFileBytes(link), "[s]\r\nk=v\r\n") << "no link made";

    ASSERT_TRUE(platform::ProfileWriteString("s", "k", "linked", link));
    HANDLE written = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(written, INVALID_HANDLE_VALUE);
    char bytes[64] = {};
    DWORD got = 0;
    ReadFile(written, bytes, sizeof bytes, &got, nullptr);
    CloseHandle(written);
    EXPECT_EQ(std::string(bytes, got), "[s]\r\nk=linked\r\n");

    char typed[MAX_PATH * 4];
    const int n = WideCharToMultiByte(CP_ACP, 0, target.c_str(), static_cast<int>(target.size()), typed,
                                      sizeof typed, nullptr, nullptr);
    HANDLE byTarget = OpenMutexA(SYNCHRONIZE, FALSE, TurnMutexName(std::string(typed, n)).c_str());
    HANDLE byLink = OpenMutexA(SYNCHRONIZE, FALSE, TurnMutexName(FullPathOf(link)).c_str());
    EXPECT_NE(byTarget, nullptr) << "no turn named after the final path";
    EXPECT_EQ(byLink, nullptr) << "a turn named after the link";
    if (byTarget) CloseHandle(byTarget);
    if (byLink) CloseHandle(byLink);
}

// A job has one budget for all its waits on others: with our processes'
// turn on the settings file held by another for the whole job (any logged-on
// user may hold it), a job's reads and writes, each bounded by 30 seconds,
// are done within the budget (here 1 second), and the job can tell what was
// held.
TEST(SettingsFileWin32, AJobsWaitsOnTheTurnHaveOneBudget) {
    testsupport::TempDir dir;
    const std::string ini = dir.File("vantor.ini");
    ASSERT_TRUE(platform::ProfileWriteString("s", "k", "v", ini));  // makes the turn
    HANDLE held = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::thread holder([&] {
        HANDLE turn = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, TurnMutexName(FullPathOf(ini)).c_str());
        if (turn) WaitForSingleObject(turn, INFINITE);
        SetEvent(held);
        WaitForSingleObject(release, INFINITE);
        if (turn) {
            ReleaseMutex(turn);
            CloseHandle(turn);
        }
    });
    WaitForSingleObject(held, INFINITE);
    struct Unlimited {
        ~Unlimited() { platform::LimitWaitsForOthers(std::chrono::milliseconds::max()); }
    } unlimited;
    platform::LimitWaitsForOthers(std::chrono::milliseconds(1000));
    const DWORD start = GetTickCount();
    EXPECT_EQ(platform::ProfileGetString("s", "k", "", 100, ini), "v");
    EXPECT_TRUE(platform::ProfileWriteString("s", "k", "w", ini));
    const DWORD took = GetTickCount() - start;
    SetEvent(release);
    holder.join();
    CloseHandle(held);
    CloseHandle(release);
    EXPECT_LT(took, 5000u);
    EXPECT_EQ(testsupport::ReadFileBytes(ini), "[s]\r\nk=w\r\n");
    const platform::WaitsSpent spent = platform::WaitsForOthersSpent();
    EXPECT_TRUE(spent.spent);
    EXPECT_NE(spent.held.find(ini), std::string::npos) << spent.held;
}

}  // namespace

