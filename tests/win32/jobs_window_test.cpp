// The recent jobs window (/JOBS) as a person uses it, over a journal of real
// jobs: the rows, the selected job's runs, "Copy" and "Run line again".
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "res/resource.h"
#include "support/connector_install.h"
#include "support/test_text.h"
#include "support/ui_fixture.h"
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

TEST(JobsWindow, ShowsTheJournalOfRealJobsCopiesAndRunsALineAgain) {
    testsupport::ConnectorInstall install;
    const std::string journal = install.File("journal.log");
    install.WriteIni("[Settings]\r\nJournalFile=journal.log\r\nRunTimeoutSeconds=2\r\n");
    // Tarvel's runs in turn: clean; failing job (0, 3); hangs past the
    // time-out; Unicode; hangs while its job is ended; the line run again.
    testsupport::WriteFileBytes(install.File("Tarvel.exitcode"), "0 0 3 0 0 0 0");
    testsupport::WriteFileBytes(install.File("Tarvel.sleep"), "0 0 0 10 0 4 0");
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

    testsupport::UiTurn turn;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string commandLine = Quoted(install.Exe()) + " /jobs";
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               install.path().c_str(), &startup, &process));
    HWND window = uiauto::WaitForDialog(process.dwProcessId, ui::kJobsCaption, testsupport::kUiTimeoutMs);
    ASSERT_NE(window, nullptr);
    uiauto::Send(window, WM_NULL);
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

    // Run line 2 again: asked first, then started once with its command line.
    // The selected failed run says what to do; a run that printed, nothing.
    ASSERT_TRUE(uiauto::SelectListRow(lines, 0));
    EXPECT_EQ(uiauto::ItemText(window, IDC_JOBS_WHAT_TO_DO), "");
    ASSERT_TRUE(uiauto::SelectListRow(lines, 1));
    EXPECT_EQ(uiauto::ItemText(window, IDC_JOBS_WHAT_TO_DO).rfind("What to do: Tarvel reported a problem with this label (exit code 3)", 0), 0u)
        << uiauto::ItemText(window, IDC_JOBS_WHAT_TO_DO);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_JOBS_RUN_AGAIN)));
    uiauto::PostClick(window, IDC_JOBS_RUN_AGAIN);
    HWND question = uiauto::WaitForDialog(process.dwProcessId, testsupport::kConfigCaption,
                                          testsupport::kUiTimeoutMs);
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(uiauto::HasButton(question, IDYES));
    ASSERT_TRUE(uiauto::Answer(question, IDYES));
    ASSERT_TRUE(uiauto::WaitFor([&] { return install.Runs("Tarvel").size() == 7u; }, testsupport::kUiTimeoutMs));
    EXPECT_EQ(install.Runs("Tarvel")[6].cmdline, runs[2].cmdline);
    EXPECT_EQ(install.Runs("Tarvel")[6].show, "1 0");  // hidden, as a job starts it
    std::vector<JournalRecord> after;
    ASSERT_TRUE(uiauto::WaitFor([&] {
        after = testsupport::ReadJournal(journal);
        return after.size() == written.size() + 1;
    }, testsupport::kUiTimeoutMs));
    const JournalRecord& rerun = after.back();
    EXPECT_EQ(rerun.kind, "rerun");
    EXPECT_EQ(written[3].kind, "job-start");  // the failing job's
    EXPECT_EQ(rerun.fields.at("of"), written[3].time + " " + written[3].pid);
    EXPECT_EQ(rerun.fields.at("line"), "2");
    EXPECT_EQ(rerun.fields.at("cmdline"), runs[2].cmdline);
    EXPECT_EQ(rerun.fields.at("outcome"), "exited");
    EXPECT_EQ(rerun.fields.at("exit"), "0");
    // The window read the journal again and shows the re-run under its job.
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

    uiauto::PostClick(window, IDCANCEL);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, testsupport::kUiTimeoutMs), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(install.Runs("Tarvel").size(), 7u);
}

}  // namespace
