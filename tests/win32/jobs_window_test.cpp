// The recent jobs window (/JOBS) as a person uses it, over a journal of real
// jobs: the rows, the selected job's runs, "Copy" and "Run line again".
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "job/journal_reader.h"
#include "res/resource.h"
#include "support/connector_install.h"
#include "support/test_text.h"
#include "support/ui_fixture.h"
#include "tools/journal_pair.h"
#include "tools/win32/ui_automation.h"
#include "ui/jobs_view.h"

namespace {

using testsupport::JournalRecord;
using testsupport::Quoted;

// A value no Western code page holds: Greek omega and two CJK characters.
const std::string kUnicodeValue = "\xCE\xA9\xE6\x97\xA5\xE6\x9C\xAC";

int JobStarts(const std::string& journal) {
    int n = 0;
    for (const JournalRecord& r : testsupport::ReadJournal(journal)) n += r.kind == "job-start";
    return n;
}

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const wchar_t* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
            const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
            text.resize(n > 0 ? static_cast<std::size_t>(n) : 1u);
            WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), n, nullptr, nullptr);
            text.resize(text.size() - 1);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// `vantor.exe /JOBS` of an installed connector, started in its folder, with
// the dialog tests' turn; `window` once shown (null when it did not show).
// Closed with its Close button when the object goes, if not before.
class JobsWindowProcess {
public:
    explicit JobsWindowProcess(const testsupport::ConnectorInstall& install,
                               int timeoutMs = testsupport::kUiTimeoutMs) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine = Quoted(install.Exe()) + " /JOBS";
        if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           install.path().c_str(), &startup, &process_))
            window = uiauto::WaitForDialog(process_.dwProcessId, ui::kJobsCaption, timeoutMs);
        if (window != nullptr) uiauto::Send(window, WM_NULL);
    }
    ~JobsWindowProcess() {
        if (process_.hProcess == nullptr) return;
        if (!Close()) TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    // Clicks Close; whether the program then ended.
    bool Close() {
        if (window != nullptr) uiauto::PostClick(window, IDCANCEL);
        return WaitForSingleObject(process_.hProcess, testsupport::kUiTimeoutMs) == WAIT_OBJECT_0;
    }
    DWORD pid() const { return process_.dwProcessId; }
    HANDLE handle() const { return process_.hProcess; }

    HWND window = nullptr;

private:
    testsupport::UiTurn turn_;
    PROCESS_INFORMATION process_{};
};

TEST(JobsWindow, ShowsTheJournalOfRealJobsCopiesAndRunsALineAgain) {
    testsupport::ConnectorInstall install;
    const std::string journal = install.File("journal.log");
    install.WriteIni("[Settings]\r\nJournalFile=journal.log\r\nRunTimeoutSeconds=2\r\n");
    // Tarvel's runs in turn: clean; failing job (0, 3); hangs past the
    // time-out; Unicode; hangs while its job is ended; the line run again
    // (for 2 seconds).
    testsupport::WriteFileBytes(install.File("Tarvel.exitcode"), "0 0 3 0 0 0 0");
    testsupport::WriteFileBytes(install.File("Tarvel.sleep"), "0 0 0 10 0 4 2");
    auto job = [&](const std::string& data) {
        testsupport::WriteFileBytes(install.File("job.txt"), data);
        return "/F=Shelf /D=" + Quoted(install.File("job.txt"));
    };
    install.RunConnector(job("clean\t1\n"));
    install.RunConnector(job("one\t1\ntwo\t1\n"));
    install.RunConnector(job("hangs\t1\n"));
    install.RunConnector(job("\xEF\xBB\xBF" "A\t" + kUnicodeValue + "\t1\r\n"));
    // Ended while its runner runs (no time-out now, so nothing ends it first).
    install.WriteIni("[Settings]\r\nJournalFile=journal.log\r\n");
    install.RunConnector(job("killed\t1\n"), "", [&](unsigned long pid) {
        if (JobStarts(journal) < 5 || install.Runs("Tarvel").size() < 6) return;
        if (HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
            TerminateProcess(p, 9);
            CloseHandle(p);
        }
    });
    install.RunConnector("/DRYRUN " + job("planned\t1\n"));
    std::this_thread::sleep_for(std::chrono::seconds(5));  // the hanging runner ends
    const std::vector<testsupport::RunRecord> runs = install.Runs("Tarvel");
    ASSERT_EQ(runs.size(), 6u);
    const std::vector<JournalRecord> written = testsupport::ReadJournal(journal);

    JobsWindowProcess process(install);
    HWND window = process.window;
    ASSERT_NE(window, nullptr);
    HWND jobs = GetDlgItem(window, IDC_JOBS_LIST);
    HWND lines = GetDlgItem(window, IDC_JOBS_RUNS);

    // Newest first; the dry run wrote nothing, so it has no row.
    const uiauto::ListViewState list = uiauto::ListView(jobs, true);
    ASSERT_EQ(list.rows.size(), 5u);
    const std::vector<std::vector<std::string>> expected = {
        {"1", "0", "still running or ended without its end record"},
        {"1", "0", "all printed"},
        {"1", "1", "nothing printed"},
        {"2", "1", "some lines failed"},
        {"1", "0", "all printed"}};
    for (std::size_t r = 0; r < 5; ++r) {
        EXPECT_EQ(list.rows[r][2], "Shelf");
        EXPECT_EQ((std::vector<std::string>{list.rows[r][4], list.rows[r][5], list.rows[r][7]}), expected[r]) << r;
    }
    // Columns grow with the dialog's font and DPI, as the dialog's do.
    const LONG unit = uiauto::DialogUnitsToPixels(0, 0, 4, 8).right;
    EXPECT_EQ(list.columns[0].title, "Started");
    EXPECT_EQ(list.columns[0].width, MulDiv(ui::kJobColumns[0].width, unit, 6));
    EXPECT_EQ(uiauto::SelectedListRow(jobs), 0);
    EXPECT_TRUE(uiauto::ListView(lines).rows.empty());  // killed before its run ended
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_JOBS_RUN_AGAIN)));

    // The Unicode line, every character.
    ASSERT_TRUE(uiauto::SelectListRow(jobs, 1));
    const uiauto::ListViewState unicode = uiauto::ListView(lines, true);
    ASSERT_EQ(unicode.rows.size(), 1u);
    EXPECT_EQ(unicode.rows[0][6], runs[4].cmdlineW);
    EXPECT_NE(unicode.rows[0][6].find(kUnicodeValue), std::string::npos);
    // The timed-out runner.
    ASSERT_TRUE(uiauto::SelectListRow(jobs, 2));
    EXPECT_EQ(uiauto::ListView(lines).rows.at(0)[2], "timed out");

    // The failing job: its runs, its text on the clipboard.
    ASSERT_TRUE(uiauto::SelectListRow(jobs, 3));
    const uiauto::ListViewState failing = uiauto::ListView(lines);
    ASSERT_EQ(failing.rows.size(), 2u);
    EXPECT_EQ((std::vector<std::string>(failing.rows[1].begin(), failing.rows[1].begin() + 4)),
              (std::vector<std::string>{"2", "label-program", "exited", "3"}));
    EXPECT_EQ(failing.rows[1][6], runs[2].cmdline);
    uiauto::Click(window, IDC_JOBS_COPY);
    const std::string copied = ClipboardText();
    for (const std::string& part :
         {std::string("Template: Shelf\r\nData file: ") + install.File("job.txt") + "\r\n",
          std::string("Lines: 2\r\nFailed: 1\r\n"), std::string("Outcome: some lines failed\r\n"),
          std::string("Line 2, label-program: exited, exit code 3, "), "\r\n  " + runs[2].cmdline + "\r\n"})
        EXPECT_NE(copied.find(part), std::string::npos) << part << "\n" << copied;

    // Run line 2 again: asked first, with the line that starts, then started
    // once with its command line, while the window answers and waits.
    // The selected failed run says what to do; a run that printed, nothing.
    ASSERT_TRUE(uiauto::SelectListRow(lines, 0));
    EXPECT_EQ(uiauto::ItemText(window, IDC_JOBS_WHAT_TO_DO), "");
    ASSERT_TRUE(uiauto::SelectListRow(lines, 1));
    EXPECT_EQ(uiauto::ItemText(window, IDC_JOBS_WHAT_TO_DO).rfind("What to do: Tarvel reported a problem with this label (exit code 3)", 0), 0u)
        << uiauto::ItemText(window, IDC_JOBS_WHAT_TO_DO);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_JOBS_RUN_AGAIN)));
    uiauto::PostClick(window, IDC_JOBS_RUN_AGAIN);
    HWND question = uiauto::WaitForDialog(process.pid(), testsupport::kConfigCaption,
                                          testsupport::kUiTimeoutMs);
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(uiauto::HasButton(question, IDYES));
    const std::string asked = uiauto::MessageBoxText(question, true);
    EXPECT_EQ(asked.rfind("Run line 2 again?", 0), 0u) << asked;
    EXPECT_EQ(asked.substr(asked.size() - runs[2].cmdline.size() - 2), "\n\n" + runs[2].cmdline) << asked;
    ASSERT_TRUE(uiauto::Answer(question, IDYES));
    ASSERT_TRUE(uiauto::WaitFor([&] { return install.Runs("Tarvel").size() == 7u; }, testsupport::kUiTimeoutMs));
    EXPECT_EQ(uiauto::ItemText(window, IDC_JOBS_STATUS).rfind("Running line 2 again", 0), 0u);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDCANCEL)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_JOBS_RUN_AGAIN)));
    uiauto::PostClick(window, IDCANCEL);  // waits for the run: the window stays
    EXPECT_EQ(install.Runs("Tarvel")[6].cwd + "\\", install.Folder());
    EXPECT_EQ(install.Runs("Tarvel")[6].cmdline, runs[2].cmdline);
    EXPECT_EQ(install.Runs("Tarvel")[6].show, "1 0");  // hidden, as a job starts it
    std::vector<JournalRecord> after;
    ASSERT_TRUE(uiauto::WaitFor([&] {
        after = testsupport::ReadJournal(journal);
        return after.size() == written.size() + 2;
    }, testsupport::kUiTimeoutMs));
    EXPECT_EQ(after[written.size()].kind, "rerun-start");
    EXPECT_EQ(after[written.size()].fields.at("cmdline"), runs[2].cmdline);
    const JournalRecord& rerun = after.back();
    EXPECT_EQ(rerun.kind, "rerun");
    EXPECT_EQ(written[3].kind, "job-start");  // the failing job's
    EXPECT_EQ(rerun.fields.at("of"), written[3].time + " " + written[3].pid);
    EXPECT_EQ(rerun.fields.at("line"), "2");
    EXPECT_EQ(rerun.fields.at("cmdline"), runs[2].cmdline);
    EXPECT_EQ(rerun.fields.at("outcome"), "exited");
    EXPECT_EQ(rerun.fields.at("exit"), "0");
    // The window read the journal again and shows the re-run under its job.
    ASSERT_TRUE(uiauto::WaitFor([&] { return IsWindowEnabled(GetDlgItem(window, IDCANCEL)) != FALSE; },
                                testsupport::kUiTimeoutMs));
    EXPECT_TRUE(IsWindow(window));
    uiauto::Send(window, WM_NULL);
    const uiauto::ListViewState again = uiauto::ListView(lines);
    ASSERT_EQ(again.rows.size(), 3u);
    EXPECT_EQ(again.rows[2][2].rfind("exited (run again ", 0), 0u) << again.rows[2][2];
    EXPECT_EQ(uiauto::ListView(jobs).rows.at(uiauto::SelectedListRow(jobs))[7], "some lines failed");

    // "Only failed jobs" and the filter.
    uiauto::Click(window, IDC_JOBS_ONLY_FAILED);
    EXPECT_EQ(uiauto::ListView(jobs).rows.size(), 3u);
    uiauto::Click(window, IDC_JOBS_ONLY_FAILED);
    uiauto::Type(window, IDC_JOBS_FILTER, "in no field");
    EXPECT_EQ(uiauto::ListView(jobs).rows.size(), 0u);
    uiauto::Type(window, IDC_JOBS_FILTER, "\"TWO\"");  // line 2's command line
    EXPECT_EQ(uiauto::ListView(jobs).rows.size(), 1u);

    EXPECT_TRUE(process.Close());
    EXPECT_EQ(install.Runs("Tarvel").size(), 7u);
}

// Anyone who prints may write the journal: a planted run record chooses no
// program, even one that looks like the label program, and the question shows
// the line that would start with every character, hidden ones escaped.
TEST(JobsWindow, RunLineAgainStartsOnlyTheProgramTheSettingsGive) {
    testsupport::ConnectorInstall install;
    install.InstallRunner("Evil.exe");
    const std::string journal = install.File("journal.log");
    install.WriteIni("[Settings]\r\nJournalFile=journal.log\r\n");
    // The connector's folder with its "v" as a fullwidth letter, holding a
    // label program of its own.
    std::string lookAlike = install.Folder();
    lookAlike.replace(lookAlike.rfind("vantor-"), 1, "\uFF56");
    const auto lookAlikeFolder = std::filesystem::path(std::u8string(lookAlike.begin(), lookAlike.end()));
    std::filesystem::create_directory(lookAlikeFolder);
    std::filesystem::copy_file(install.File("Tarvel.exe"), lookAlikeFolder / "Tarvel.exe");
    const std::string evilLine = Quoted(install.Folder() + "Evil.exe") + " \"x\"";
    const std::string lookAlikeLine = Quoted(lookAlike + "Tarvel.exe") + " \"y\"";
    const std::string hiddenLine = Quoted(install.Folder() + "Tarvel.exe") + " \"a\u202Eb\"";
    auto record = [](const std::string& fields) { return "2026-12-08T14:12:57.384+00:00\t4242\t" + fields + "\n"; };
    auto run = [&](int line, const std::string& cmdline) {
        return record("run\tline=" + std::to_string(line) + "\trunner=label-program\tcmdline=" + cmdline +
                      "\toutcome=exited\texit=1\tms=1");
    };
    testsupport::WriteFileBytes(
        journal, record("job-start\tuser=mallory\tcmdline=x\ttemplate=Planted\tdatafile=p.txt\tlines=3\tdata=read") +
                     run(1, evilLine) + run(2, lookAlikeLine) + run(3, hiddenLine) +
                     record("job-end\tlines=3\tfailed=3\tms=3"));

    JobsWindowProcess process(install);
    HWND window = process.window;
    ASSERT_NE(window, nullptr);
    HWND lines = GetDlgItem(window, IDC_JOBS_RUNS);
    // Each planted line in turn: what the box says, and the button it has.
    struct Row {
        int run;
        std::vector<std::string> said;
        int button;
    };
    const std::vector<Row> rows = {
        {0, {"not run again", Quoted(install.Folder() + "Evil.exe"), Quoted(install.Folder() + "Tarvel.exe")}, IDOK},
        {1, {"not run again", Quoted(lookAlike + "Tarvel.exe"), Quoted(install.Folder() + "Tarvel.exe")}, IDOK},
        {2, {"Run line 3 again?", "\"a%E2%80%AEb\""}, IDNO},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.run);
        uiauto::Send(window, WM_NULL);
        ASSERT_TRUE(uiauto::SelectListRow(lines, row.run));
        uiauto::PostClick(window, IDC_JOBS_RUN_AGAIN);
        HWND box = uiauto::WaitForDialog(process.pid(), testsupport::kConfigCaption, testsupport::kUiTimeoutMs);
        ASSERT_NE(box, nullptr);
        const std::string text = uiauto::MessageBoxText(box, true);
        for (const std::string& part : row.said) EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
        EXPECT_TRUE(uiauto::HasButton(box, row.button));
        ASSERT_TRUE(uiauto::Answer(box, row.button));
    }
    EXPECT_TRUE(process.Close());

    // Nothing ran; the two refusals are in the journal.
    EXPECT_TRUE(install.Runs("Evil").empty());
    EXPECT_TRUE(install.Runs("Tarvel").empty());
    EXPECT_FALSE(std::filesystem::exists(lookAlikeFolder / "Tarvel.log"));
    const std::vector<JournalRecord> after = testsupport::ReadJournal(journal);
    ASSERT_EQ(after.size(), 7u);
    for (std::size_t i : {5u, 6u}) {
        EXPECT_EQ(after[i].kind, "rerun");
        EXPECT_EQ(after[i].fields.at("outcome"), "not-started");
        EXPECT_FALSE(after[i].fields.at("reason").empty());
    }
    EXPECT_EQ(after[6].fields.at("cmdline"), lookAlikeLine);
    std::filesystem::remove_all(lookAlikeFolder);
}

// A journal pair of 2 x 64 MB, many jobs and one of 110,000 runs: the
// window opens on the newest job, lists the big job's runs, says what the cap
// left out, and its peak memory stays under three times the bytes it read.
// (Wine takes PeakWorkingSetSize from the process's peak resident set; its
// PeakPagefileUsage is the current use, not the peak.)
TEST(JobsWindow, AJournalPairOf128MbStaysUnderThreeTimesTheBytesRead) {
    testsupport::ConnectorInstall install;
    install.WriteIni("[Settings]\r\nJournalFile=journal.log\r\n");
    const journalpair::Written pair = journalpair::WritePair(install.File("journal.log"), journal::kMaxFileBytes, 110000);
    const double bytesRead = 2.0 * (journal::kMaxFileBytes + 1);

    JobsWindowProcess process(install, 4 * testsupport::kUiTimeoutMs);
    HWND window = process.window;
    ASSERT_NE(window, nullptr);
    HWND jobs = GetDlgItem(window, IDC_JOBS_LIST);
    HWND lines = GetDlgItem(window, IDC_JOBS_RUNS);
    EXPECT_GT(uiauto::Send(jobs, LVM_GETITEMCOUNT), pair.jobs * 9 / 10);
    EXPECT_EQ(uiauto::ListViewCell(jobs, 0, 3), pair.newestDataFile);
    EXPECT_NE(uiauto::ItemText(window, IDC_JOBS_STATUS).find("bytes of older records were left out"),
              std::string::npos);
    ASSERT_TRUE(uiauto::SelectListRow(jobs, pair.jobsAfterBigJob));
    EXPECT_EQ(uiauto::Send(lines, LVM_GETITEMCOUNT), 110000);
    EXPECT_EQ(uiauto::ListViewCell(lines, 109999, 0), "110000");
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ASSERT_TRUE(GetProcessMemoryInfo(process.handle(), &counters, sizeof counters));
    EXPECT_LT(static_cast<double>(counters.PeakWorkingSetSize), 3.0 * bytesRead)
        << counters.PeakWorkingSetSize / (1024 * 1024) << " MB at its peak";
}

}  // namespace
