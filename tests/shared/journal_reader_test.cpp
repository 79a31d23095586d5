// The journal reader over the bytes the journal's writer writes: one table of
// journals, each with what the window must make of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/journal_reader.h"
#include "ui/jobs_view.h"
#include "ui/what_to_do.h"

namespace {

const char* kT1 = "2026-12-08T14:12:57.384+00:00";
const char* kT2 = "2026-12-08T14:12:58.001+00:00";

std::string Rec(const char* time, const char* pid, const std::string& rest) {
    return std::string(time) + "\t" + pid + "\t" + rest + "\n";
}

// What the window shows of a book: per job "template outcome lines/failed"
// and its runs "line runner outcome [exit] cmdline", then the problems and
// what was left out.
std::string Describe(const journal::Book& book) {
    std::string out;
    for (const journal::Job& job : book.jobs) {
        const std::vector<std::string> row = ui::JobRow(book, job);
        out += "[" + row[2] + " " + row[7] + " " + row[4] + "/" + row[5] + "]";
        for (const journal::Run& run : job.runs) {
            const std::vector<std::string> r = ui::RunRow(book, run);
            out += " (" + r[0] + " " + r[1] + " " + r[2] + (r[3].empty() ? "" : " " + r[3]) + " " +
                   r[6] + (run.CanRunAgain() ? "" : " no-again") + ")";
        }
        for (const journal::Note& note : job.notes) out += " {" + book.NoteText(note) + "}";
        out += "\n";
    }
    for (const journal::Problem& p : book.problems)
        out += book.files[p.file].name + ":" + std::to_string(p.lineNumber) + ":" +
               (p.damage == journal::Damage::Torn      ? "torn"
                : p.damage == journal::Damage::Foreign ? "foreign"
                                                       : "over-long") +
               "\n";
    for (std::size_t f = 0; f < book.leftOut.size(); ++f)
        if (book.leftOut[f] > 0) out += book.files[f].name + ": " + std::to_string(book.leftOut[f]) + " left out\n";
    return out;
}

struct Case {
    const char* name;
    std::string older;  // the rotated file
    std::string current;
    std::string expected;
    std::uint64_t currentSize = 0;  // the whole file's, when `current` is only its last part
};

const std::string kStart = "job-start\tuser=anna\tcmdline=/F=Shelf /D=job.txt\ttemplate=Shelf"
                           "\tdatafile=C:\\job.txt\tlines=2\tdata=read";
const std::string kRun1 = "run\tline=1\trunner=label-program\tcmdline=\"T.exe\" a\toutcome=exited\texit=0\tms=5";
const std::string kRun2Fail = "run\tline=2\trunner=label-program\tcmdline=\"T.exe\" b\toutcome=exited\texit=3\tms=5";
const std::string kEnd1 = "job-end\tlines=2\tfailed=1\tms=20";

TEST(JournalReader, ReadsWhatTheWriterWrites) {
    const std::vector<Case> cases = {
        {"clean job", "",
         Rec(kT1, "7", kStart) +
             Rec(kT1, "7", "run\tline=1\trunner=label-program\tcmdline=x\toutcome=exited\texit=0\tms=5") +
             Rec(kT1, "7", "run\tline=2\trunner=label-program\tcmdline=y\toutcome=exited\texit=0\tms=5") +
             Rec(kT1, "7", "job-end\tlines=2\tfailed=0\tms=20"),
         "[Shelf all printed 2/0] (1 label-program exited 0 x) (2 label-program exited 0 y)\n"},
        {"failing line, and a record that did not reach the settings file", "",
         Rec(kT1, "7", kStart) + Rec(kT1, "7", kRun1) + Rec(kT1, "7", kRun2Fail) +
             Rec(kT1, "7", "note\tabout=settings-unsaved\tkeys=LastJob/Param1...\terror=28 No space left") +
             Rec(kT1, "7", kEnd1),
         "[Shelf some lines failed 2/1] (1 label-program exited 0 \"T.exe\" a) "
         "(2 label-program exited 3 \"T.exe\" b) {settings-unsaved LastJob/Param1...: 28 No space left}\n"},
        {"escapes decoded, unknown escape kept", "",
         Rec(kT1, "7", kStart) +
             Rec(kT1, "7", "run\tline=1\trunner=label-program\tcmdline=a%09b%25c%0D%0Ad%zz%2\toutcome=timed-out\tms=9") +
             Rec(kT1, "7", "job-end\tlines=1\tfailed=1\tms=20"),
         "[Shelf nothing printed 1/1] (1 label-program timed out a\tb%c\r\nd%zz%2)\n"},
        {"not started, cancelled and unreadable data", "",
         Rec(kT1, "7", "job-start\tuser=u\tcmdline=c\ttemplate=T\tdatafile=d\tlines=1\tdata=unreadable\terror=gone") +
             Rec(kT1, "7", "run\tline=1\trunner=label-program\toutcome=cancelled") +
             Rec(kT1, "7", "run\tline=1\trunner=api-proxy\tcmdline=p\toutcome=not-started\terror=2 not found\tms=0") +
             Rec(kT1, "7", "run\tline=1\trunner=label-program\tcmdline=q\toutcome=end-unknown\terror=10 gone\tms=1") +
             Rec(kT1, "7", "job-end\tlines=1\tfailed=1\tms=3"),
         "[T data file unreadable 1/1] (1 label-program cancelled  no-again) (1 api-proxy not started p) "
         "(1 label-program end unknown q)\n"},
        {"interleaved jobs of two processes, one without its end", "",
         Rec(kT1, "7", kStart) + Rec(kT2, "8", kStart) + Rec(kT2, "8", kRun1) + Rec(kT1, "7", kRun2Fail) +
             Rec(kT2, "8", "job-end\tlines=2\tfailed=0\tms=20"),
         "[Shelf still running or ended without its end record 2/1] (2 label-program exited 3 \"T.exe\" b)\n"
         "[Shelf all printed 2/0] (1 label-program exited 0 \"T.exe\" a)\n"},
        {"a process id used again before the end: the first job has none", "",
         Rec(kT1, "7", kStart) + Rec(kT2, "7", kStart) + Rec(kT2, "7", kEnd1),
         "[Shelf still running or ended without its end record 2/0]\n[Shelf nothing printed 2/1]\n"},
        {"rotated file first, a job across the rotation",
         Rec(kT1, "7", kStart) + Rec(kT1, "7", kRun1),
         Rec(kT1, "7", kRun2Fail) + Rec(kT1, "7", kEnd1),
         "[Shelf some lines failed 2/1] (1 label-program exited 0 \"T.exe\" a) (2 label-program exited 3 \"T.exe\" b)\n"},
        {"re-run record joins its job", "",
         Rec(kT1, "7", kStart) + Rec(kT1, "7", kRun2Fail) + Rec(kT1, "7", kEnd1) +
             Rec(kT2, "99", "rerun\tof=" + std::string(kT1) + " 7\tline=2\trunner=label-program"
                            "\tcmdline=\"T.exe\" b\toutcome=exited\texit=0\tms=4") +
             Rec(kT2, "99", "rerun\tof=2000-01-01T00:00:00.000+00:00 7\tline=2\toutcome=exited"),
         "[Shelf nothing printed 2/1] (2 label-program exited 3 \"T.exe\" b) "
         "(2 label-program exited (run again 2026-12-08 14:12:58) 0 \"T.exe\" b)\njournal.log:5:foreign\n"},
        {"a re-run's start record, replaced by its outcome; one whose window was ended meanwhile", "",
         Rec(kT1, "7", kStart) + Rec(kT1, "7", kEnd1) +
             Rec(kT2, "99", "rerun-start\tof=" + std::string(kT1) + " 7\tline=1\trunner=label-program\tcmdline=x") +
             Rec(kT2, "99", "rerun\tof=" + std::string(kT1) + " 7\tline=1\trunner=label-program"
                            "\tcmdline=x\toutcome=not-started\terror=2 gone\tms=1") +
             Rec(kT2, "98", "rerun-start\tof=" + std::string(kT1) + " 7\tline=2\trunner=label-program\tcmdline=y"),
         "[Shelf nothing printed 2/1] (1 label-program not started (run again 2026-12-08 14:12:58) x) "
         "(2 label-program started, no end recorded (run again 2026-12-08 14:12:58) y)\n"},
        {"torn, foreign and over-long records are marked, the rest shown", "",
         "hello world\n" + Rec(kT1, "7", kStart) + Rec(kT1, "7", "run\tline=1\tru") +
             Rec(kT1, "x7", kRun1) + Rec(kT1, "7", "remark\ta=b") + Rec(kT1, "8", kRun1) +
             Rec(kT1, "7", "run\tcmdline=" + std::string(journal::kMaxRecordBytes, 'x')) +
             Rec(kT1, "7", kEnd1) + "\n\r\n" + std::string(kT2) + "\t7\tjob-st",
         "[Shelf nothing printed 2/1]\n"
         "journal.log:1:foreign\njournal.log:3:torn\njournal.log:4:foreign\njournal.log:5:foreign\n"
         "journal.log:6:foreign\njournal.log:7:over-long\njournal.log:11:torn\n"},
        {"a run whose end is unknown fails its line, also in the row of a job without an end", "",
         Rec(kT1, "7", kStart) + Rec(kT1, "7", kRun1) +
             Rec(kT1, "7", "run\tline=2\trunner=label-program\tcmdline=q\toutcome=end-unknown\terror=6 x\tms=1"),
         "[Shelf still running or ended without its end record 2/1] (1 label-program exited 0 \"T.exe\" a) "
         "(2 label-program end unknown q)\n"},
        {"the newest part of a larger file: from its first line end, the part line before not torn", "",
         "art\tuser=x\n" + Rec(kT1, "7", kStart) + Rec(kT1, "7", kRun1) + Rec(kT1, "7", kRun2Fail) +
             Rec(kT1, "7", kEnd1),
         "[Shelf some lines failed 2/1] (1 label-program exited 0 \"T.exe\" a) "
         "(2 label-program exited 3 \"T.exe\" b)\njournal.log: 5012 left out\n",
         5000 + 12 + (Rec(kT1, "7", kStart) + Rec(kT1, "7", kRun1) + Rec(kT1, "7", kRun2Fail) +
                      Rec(kT1, "7", kEnd1)).size()},
        {"a note without a system error gives what was found", "",
         Rec(kT1, "7", kStart) +
             Rec(kT1, "7", "note\tabout=data-without-mark\tdetail=C:\\job.txt looks like UTF-16%0D") +
             Rec(kT1, "7", "job-end\tlines=2\tfailed=0\tms=1"),
         "[Shelf all printed 2/0] {data-without-mark: C:\\job.txt looks like UTF-16\r}\n"},
        {"stopped on request, the running line ended on request", "",
         Rec(kT1, "7", kStart) + Rec(kT1, "7", kRun1) +
             Rec(kT1, "7", "run\tline=2\trunner=label-program\tcmdline=b\toutcome=ended-on-request\tms=9") +
             Rec(kT1, "7", "job-end\tlines=2\tfailed=1\tstopped-at=2\tms=20"),
         "[Shelf stopped on request after line 2 2/1] (1 label-program exited 0 \"T.exe\" a) "
         "(2 label-program ended on request b)\n"},
        {"CR LF line ends of a hand-edited copy", "",
         Rec(kT1, "7", kStart + "\r") + Rec(kT1, "7", "job-end\tlines=0\tfailed=0\tms=1\r"),
         "[Shelf nothing printed 0/0]\n"},
    };
    for (const Case& c : cases) {
        std::vector<journal::Source> sources;
        if (!c.older.empty()) sources.push_back({"journal.log.1", c.older});
        sources.push_back({"journal.log", c.current, c.currentSize});
        EXPECT_EQ(Describe(journal::ParseJournal(std::move(sources))), c.expected) << c.name;
    }
}

TEST(JournalReader, FilterCommandAndCopyText) {
    const std::string bytes =
        Rec(kT1, "7", kStart) + Rec(kT1, "7", kRun1) + Rec(kT1, "7", "job-end\tlines=1\tfailed=0\tms=1500") +
        Rec(kT2, "8", "job-start\tuser=bob\tcmdline=c\ttemplate=Box\tdatafile=D:\\box.txt\tlines=1\tdata=read") +
        Rec(kT2, "8", kRun2Fail);
    const journal::Book book = journal::ParseJournal({{"j", bytes}});
    ASSERT_EQ(book.jobs.size(), 2u);
    EXPECT_EQ(ui::ListedJobs(book, "", false), (std::vector<std::size_t>{1, 0}));  // newest first
    EXPECT_EQ(ui::ListedJobs(book, "", true), (std::vector<std::size_t>{1}));
    EXPECT_EQ(ui::ListedJobs(book, "SHELF", false), (std::vector<std::size_t>{0}));
    EXPECT_EQ(ui::ListedJobs(book, "box.TXT", false), (std::vector<std::size_t>{1}));
    EXPECT_EQ(ui::ListedJobs(book, "t.exe\" b", false), (std::vector<std::size_t>{1}));  // a runner's
    EXPECT_EQ(ui::ListedJobs(book, "ANNA", true), (std::vector<std::size_t>{}));
    EXPECT_EQ(ui::JobText(book, book.jobs[0]),
              "Started: 2026-12-08 14:12:57\r\nUser: anna\r\nTemplate: Shelf\r\nData file: C:\\job.txt\r\n"
              "Lines: 1\r\nFailed: 0\r\nDuration: 1.5 s\r\nOutcome: all printed\r\nProcess id: 7\r\n"
              "Command line: /F=Shelf /D=job.txt\r\n"
              "\r\nLine 1, label-program: exited, exit code 0, 5 ms\r\n  \"T.exe\" a\r\n");

    // The text form shows line breaks, control and hiding characters (and
    // bytes that are no UTF-8) as the journal writes them, never raw.
    EXPECT_EQ(ui::Shown("a\tb%c\r\n\x1B[2J\xE2\x80\xAEz\xFF\xC3\xA9"), "a%09b%25c%0D%0A%1B[2J%E2%80%AEz%FF\xC3\xA9");
    journal::Loaded loaded;
    loaded.configured = loaded.readable = true;
    loaded.book = journal::ParseJournal(
        {{"j", Rec(kT1, "7", kStart) +
                   Rec(kT1, "7", "run\tline=1\trunner=label-program\tcmdline=x%0D%0Ay\x1B[2J\toutcome=exited\texit=0")}});
    const std::string report = ui::JobsReport(loaded, "vantor.ini");
    EXPECT_NE(report.find("x%0D%0Ay%1B[2J"), std::string::npos) << report;
    EXPECT_EQ(report.find_first_of("\r\x1B"), std::string::npos) << report;

    // A failed run says what to do, in the text and for the window.
    EXPECT_NE(ui::JobText(book, book.jobs[1]).find("\"T.exe\" b\r\n  What to do: Tarvel reported a problem with "
                                                   "this label (exit code 3): run its command line by hand"),
              std::string::npos)
        << ui::JobText(book, book.jobs[1]);
    EXPECT_EQ(ui::RunWhatToDo(book, book.jobs[0].runs[0]), "");

    for (const char* yes : {"/JOBS", "/jobs", "a /Jobs b", "\"x y\" /JOBS"})
        EXPECT_TRUE(journal::IsJobsCommand(yes)) << yes;
    for (const char* no : {"", "/JOBS2", "x/JOBS", "\"/JOBS\"", "\"a /JOBS b\"", "/JOB"})
        EXPECT_FALSE(journal::IsJobsCommand(no)) << no;
}

// What to do after a run, from what the journal recorded of it.
TEST(JournalReader, WhatToDoAfterARun) {
    using journal::RunOutcome;
    struct Case {
        const char* runner;
        RunOutcome outcome;
        std::int64_t exit;  // -1: none recorded
        const char* error;
        bool windows;
        const char* expected;  // a part of the advice; "" for none
    };
    const std::vector<Case> cases = {
        {"label-program", RunOutcome::Exited, 0, "", true, ""},
        {"label-program", RunOutcome::Cancelled, -1, "", true, ""},
        {"label-program", RunOutcome::Exited, 3, "", true, "Tarvel reported a problem with this label (exit code 3)"},
        {"label-program", RunOutcome::Exited, 0xC0000135, "", true, "ended abnormally (exit code 0xC0000135, a Windows status"},
        {"api-proxy", RunOutcome::Exited, 4, "", false, "The API proxy reported a problem (exit code 4)"},
        {"label-program", RunOutcome::TimedOut, -1, "", true, "waits on a window of its own"},
        {"bartender", RunOutcome::NotStarted, -1, "2 The system cannot find the file specified.", true,
         "Bartender was not found where [Settings] BartenderExePath says"},
        {"label-program", RunOutcome::NotStarted, -1, "193 Bad EXE format for C:\\T\\Tarvel.exe.", true,
         "not a program this machine can start"},
        {"label-program", RunOutcome::NotStarted, -1, "8 Exec format error", false, "not a program this machine can start"},
        {"api-proxy", RunOutcome::NotStarted, -1, "5 Access denied.", true, "may not start the API proxy"},
        {"api-proxy", RunOutcome::NotStarted, -1, "its record did not reach the settings file", true,
         "did not start it, for the reason given"},
        {"label-program", RunOutcome::EndUnknown, -1, "6 The handle is invalid.", true, "may or may not have printed"},
        {"label-program", RunOutcome::Ended, -1, "", true, "ended Tarvel from the progress window"},
    };
    for (const Case& c : cases) {
        const std::string advice = ui::RunWhatToDo(c.runner, c.outcome, c.exit >= 0, c.exit, c.error, c.windows);
        if (*c.expected == '\0')
            EXPECT_EQ(advice, "") << c.runner << " " << c.error;
        else
            EXPECT_NE(advice.find(c.expected), std::string::npos) << advice;
    }
}

}  // namespace
