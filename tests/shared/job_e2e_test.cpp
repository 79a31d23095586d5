// Whole jobs: the real connector, copied into a temporary folder with the
// stand-in runner beside it as Tarvel.exe, started with a command line; the
// runner's records and the LastJob section tell what happened.
#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/health_check.h"
#include "app/vantor_app.h"
#include "launch/printer.h"
#include "platform/platform.h"
#include "support/job_fixture.h"
#include "support/connector_install.h"
#include "support/policy.h"
#include "ui/host_config.h"

namespace {

using testsupport::ConnectorInstall;
using testsupport::RunRecord;

using testsupport::Quoted;

// 20 tab-ended parameter fields p<line>_1 .. p<line>_20.
std::string TwentyFields(int line) {
    std::string fields;
    for (int i = 1; i <= 20; ++i) fields += "p" + std::to_string(line) + "_" + std::to_string(i) + "\t";
    return fields;
}

class JobTest : public testsupport::JobFixture {
protected:
    std::string Job(const std::string& data, const std::string& templateToken = "/F=C:\\Labels\\Shelf.tvl") {
        return JobFixture::Job(data, templateToken);
    }
};

TEST_F(JobTest, ThreeLineJob) {
    const std::string args =
        Job("Box\t12\t2\r\n" "Bag\tA B\t1\r\n" "Tin\t\"hi\"\t3\r\n") + "  ";  // two trailing blanks
    Run(args);

    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].cmdline, LabelLine(" /setpages 2 /p /fm Param1 \"Box\" /fm Param2 \"12\""));
    EXPECT_EQ(runs[1].cmdline, LabelLine(" /p /fm Param1 \"Bag\" /fm Param2 \"A B\""));
    EXPECT_EQ(runs[2].cmdline, LabelLine(" /setpages 3 /p /fm Param1 \"Tin\" /fm Param2 \"''hi''\""));
    for (const RunRecord& run : runs) {
        // The job's records were in the file before each runner started.
        EXPECT_EQ(run.iniCmdLine, args);
        EXPECT_EQ(run.iniTvlCmdLine, run.cmdline);
    }

    EXPECT_EQ(LastJob("CmdLine"), args);
    EXPECT_EQ(LastJob("Template"), "Shelf");
    EXPECT_EQ(LastJob("DataFile"), install_.File("job.txt"));
    EXPECT_EQ(LastJob("NumLines"), "3");
    EXPECT_EQ(LastJob("Param1"), "Tin");
    EXPECT_EQ(LastJob("Param2"), "''hi''");
    EXPECT_EQ(LastJob("Param3"), "");
    EXPECT_EQ(LastJob("Param20"), "");
    // The copies text keeps the line's carriage return (see the Bartender
    // test); in the settings file that is a line end, so it reads back
    // without it.
    EXPECT_EQ(LastJob("Copies"), "3");
    EXPECT_EQ(LastJob("Copies_1"), "2");
    EXPECT_EQ(LastJob("Copies_2"), "1");
    EXPECT_EQ(LastJob("Copies_3"), "3");
    EXPECT_EQ(LastJob("TvlCmdLine"), runs[2].cmdline);
    EXPECT_EQ(install_.IniText("LastJob", "LastUser"), launch::CurrentUserName());
}

TEST_F(JobTest, RecordsAreWrittenInOrder) {
    Run(Job("a\tb\t1\n"));
    const std::string ini = install_.IniBytes();
    const char* order[] = {"CmdLine=",  "Template=", "DataFile=", "NumLines=", "Param1=", "Param20=",
                           "Copies=",   "Copies_1=", "LastUser=", "TvlCmdLine="};
    std::size_t last = 0;
    for (const char* key : order) {
        std::size_t at = ini.find(std::string("\n") + key);
        ASSERT_NE(at, std::string::npos) << key;
        EXPECT_GT(at, last) << key << " out of order in\n" << ini;
        last = at;
    }
}

TEST_F(JobTest, CopiesPolicies) {
    // Line 1: last field 4, no field 21. Line 2: field 21 is 6, last field 2.
    // Line 3: last field not a number, no field 21. Line 4: last field 0,
    // field 21 is 5.
    const std::string data = "a\tb\t4\r\n" + TwentyFields(2) + "6\t2\r\n" + "x\ty\tnone\r\n" +
                             TwentyFields(4) + "5\t0\r\n";
    struct Case {
        const char* policy;
        std::vector<std::string> copiesTexts;
        std::vector<std::string> setpages;  // the copies switch of each line's run
    };
    const std::vector<Case> cases = {
        // (A copies text read back from the file has lost its carriage return.)
        {"0", {"4", "2", "", "5"}, {" /setpages 4", " /setpages 2", "", " /setpages 5"}},
        {"7", {"4", "2", "", "5"}, {" /setpages 4", " /setpages 2", "", " /setpages 5"}},
        {"1", {"4", "2", "none", "0"}, {" /setpages 4", " /setpages 2", "", ""}},
        // Field 21: the copies number is carried over a line without one.
        {"2", {"", "6", "", "5"}, {"", " /setpages 6", " /setpages 6", " /setpages 5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("CopiesType ") + c.policy);
        install_.WriteIni(std::string("[Settings]\r\nCopiesType=") + c.policy + "\r\n");
        testsupport::WriteFileBytes(install_.File("Tarvel.log"), "");
        Run(Job(data));
        const auto runs = Tarvel();
        ASSERT_EQ(runs.size(), 4u);
        for (int line = 0; line < 4; ++line) {
            EXPECT_EQ(LastJob(("Copies_" + std::to_string(line + 1)).c_str()), c.copiesTexts[line]) << line;
            const std::string head = LabelLine(c.setpages[line] + " /p /fm Param1 ");
            EXPECT_EQ(runs[line].cmdline.substr(0, head.size()), head) << line;
        }
        EXPECT_EQ(LastJob("Copies"), c.copiesTexts[3]);
    }
}

TEST_F(JobTest, LastParameterIndexIsCarriedOver) {
    // Line 2 has no parameter at all: it passes on line 1's index (2).
    // Line 3's "1" is not tab-ended: only Param1 is set.
    Run(Job("a\tb\tc\t1\n" "\n" "x\t1\n"));
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].cmdline, LabelLine(" /p /fm Param1 \"a\" /fm Param2 \"b\" /fm Param3 \"c\""));
    EXPECT_EQ(runs[1].cmdline, LabelLine(" /p /fm Param1 \"\" /fm Param2 \"\" /fm Param3 \"\""));
    // Line 3's first parameter sets the index again, to 0.
    EXPECT_EQ(runs[2].cmdline, LabelLine(" /p /fm Param1 \"x\""));
}

TEST_F(JobTest, AllTwentyParameters) {
    Run(Job(TwentyFields(1) + "3\r\n"));
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 1u);
    std::string rest = " /setpages 3 /p";
    for (int i = 1; i <= 20; ++i)
        rest += " /fm Param" + std::to_string(i) + " \"p1_" + std::to_string(i) + "\"";
    EXPECT_EQ(runs[0].cmdline, LabelLine(rest));
    EXPECT_EQ(LastJob("Param20"), "p1_20");
}

TEST_F(JobTest, PrinterPolicies) {
    const std::string user = launch::CurrentUserName();
    ASSERT_FALSE(user.empty());
    struct Case {
        const char* name;
        std::string settings;
        std::string printerSwitch;
    };
    const std::vector<Case> cases = {
        {"by user", "[Settings]\r\nPrinter=ByUser\r\n[UserPrinter]\r\n" + user + "=Office Laser\r\n",
         " /pt \"Office Laser\" "},
        {"by template: the name as passed",
         "[Settings]\r\nPrinter=ByTemplate\r\nRunApiType=3\r\n[TemplatePrinter]\r\nShelf=Label1\r\n",
         " /pt \"Label1\" "},
        {"keyword in other letter case", "[Settings]\r\nPrinter=BYTEMPLATE\r\n[TemplatePrinter]\r\nShelf=Label1\r\n",
         " /pt \"BYTEMPLATE\" "},
        {"default", "", " /p"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        install_.WriteIni(c.settings);
        testsupport::WriteFileBytes(install_.File("Tarvel.log"), "");
        Run(Job("v\t1\n"));
        const auto runs = Tarvel();
        ASSERT_EQ(runs.size(), 1u);
        const std::string rest = c.printerSwitch + " /fm Param1 \"v\"";
        const bool upper = c.settings.find("RunApiType=3") != std::string::npos;
        EXPECT_EQ(runs[0].cmdline,
                  upper ? Quoted(install_.Folder() + "Tarvel.exe") + " " +
                              Quoted(platform::UpperCaseAnsi(install_.Folder() + "Shelf.tvl")) + rest
                        : LabelLine(rest));
        EXPECT_EQ(install_.IniText("LastJob", "LastUser"), user);
    }
}

TEST_F(JobTest, RunModesWithAProxy) {
    install_.InstallRunner("ApiProxy.exe");
    install_.SetExitCode("ApiProxy", 3);
    const std::string proxy = Quoted(install_.Folder() + "ApiProxy.exe") + " /job";
    struct Case {
        const char* mode;
        const char* templateToken;
        std::vector<std::string> order;
    };
    const std::vector<Case> cases = {
        {"0", "/F=C:\\Labels\\Shelf.tvl", {"Tarvel 0", "Tarvel 0"}},
        {"1", "/F=C:\\Labels\\Shelf.tvl", {"ApiProxy 3", "ApiProxy 3"}},
        {"2", "/F=C:\\Labels\\Shelf.tvl", {"ApiProxy 3", "Tarvel 0", "ApiProxy 3", "Tarvel 0"}},
        {"3", "/F=C:\\Labels\\Shelf.tvl", {"Tarvel 0", "Tarvel 0"}},
        {"3", "/F=C:\\Labels\\ZuveZavi_Shelf.tvl", {"ApiProxy 3", "ApiProxy 3"}},
        {"7", "/F=C:\\Labels\\ZuveZavi_Shelf.tvl", {"Tarvel 0", "Tarvel 0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("RunApiType ") + c.mode + " " + c.templateToken);
        install_.WriteIni(std::string("[Settings]\r\nRunApiType=") + c.mode + "\r\nApiProxyExe=" + proxy + "\r\n");
        testsupport::WriteFileBytes(install_.File("runners.log"), "");
        testsupport::WriteFileBytes(install_.File("ApiProxy.log"), "");
        Run(Job("a\t1\n" "b\t1\n", c.templateToken));
        EXPECT_EQ(install_.RunnerOrder(), c.order);
        for (const RunRecord& run : install_.Runs("ApiProxy")) {
            EXPECT_EQ(run.cmdline, proxy);
            EXPECT_EQ(run.iniTvlCmdLine, proxy);
        }
    }
    // Mode 3 without a match upper-cases the path the label program gets.
    install_.WriteIni("[Settings]\r\nRunApiType=3\r\n");
    testsupport::WriteFileBytes(install_.File("Tarvel.log"), "");
    Run(Job("a\t1\n"));
    ASSERT_EQ(Tarvel().size(), 1u);
    EXPECT_EQ(Tarvel()[0].argv.at(1), platform::UpperCaseAnsi(install_.Folder() + "Shelf.tvl"));
}

TEST_F(JobTest, BartenderPrintsOnlyTheFirstLine) {
    install_.InstallRunner("Bartend.exe");
    const std::string bartender = Quoted(install_.Folder() + "Bartend.exe") + " /AF";
    install_.WriteIni("[Settings]\r\nBartenderExePath=" + bartender +
                      "\r\n[LastJob]\r\nTvlCmdLine=earlier\r\nLastUser=earlier\r\n");
    const std::string args = Job("one\t1\r\n" "two\t2\r\n" "three\t3\r\n");
    Run(args);
    const auto runs = install_.Runs("Bartend");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].cmdline, bartender + " " + args);
    EXPECT_TRUE(Tarvel().empty());
    EXPECT_EQ(LastJob("NumLines"), "1");
    EXPECT_EQ(LastJob("Param1"), "one");
    EXPECT_EQ(LastJob("Copies_2"), "<absent>");
    // Copies_1 is the job's last write: the copies text "1<CR>" is stored
    // without the line's carriage return, which would end its line.
    const std::string ini = install_.IniBytes();
    EXPECT_NE(ini.find("Copies_1=1\r\n"), std::string::npos) << ini;
    EXPECT_EQ(LastJob("TvlCmdLine"), "earlier");
    EXPECT_EQ(LastJob("LastUser"), "earlier");
}

TEST_F(JobTest, MissingLabelProgram) {
    std::remove(install_.File("Tarvel.exe").c_str());
    Run(Job("first\t1\n" "second\t1\n"));
    // Both lines were launched: the second one's line is the last recorded.
    EXPECT_EQ(LastJob("TvlCmdLine"), LabelLine(" /p /fm Param1 \"second\""));
    EXPECT_EQ(LastJob("Copies_2"), "1");
    EXPECT_EQ(LastJob("NumLines"), "2");
}

TEST_F(JobTest, MissingDataFile) {
    const std::string path = install_.File("missing.txt");
    const auto result = Run("/F=C:\\Labels\\Shelf.tvl /D=" + Quoted(path));
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 1u);
    // Empty parameters, Param1 still passed; copies 0 under the automatic policy.
    EXPECT_EQ(runs[0].cmdline, LabelLine(" /p /fm Param1 \"\""));
    EXPECT_EQ(LastJob("NumLines"), "1");
    EXPECT_EQ(LastJob("DataFile"), path);
    EXPECT_EQ(LastJob("Copies_1"), "");
    // 20 parameters, the last field and field 21: 22 messages.
    const std::string message = "Can't open file: " + path + ", Error: " + path + " was not found.\n";
    std::string expected;
    for (int i = 0; i < 22; ++i) expected += message;
    EXPECT_EQ(result.output, expected);
}

TEST_F(JobTest, NoMarkersAtAll) {
    install_.WriteIni("[LastJob]\r\nTemplate=earlier\r\n");
    const auto result = Run("hello");
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].cmdline, LabelLine(" /p /fm Param1 \"\"", ""));
    EXPECT_EQ(LastJob("Template"), "earlier");
    EXPECT_EQ(LastJob("DataFile"), "<absent>");
    EXPECT_NE(result.output.find("Can't open file: , Error: an unnamed file contains an invalid path.\n"),
              std::string::npos);
}

TEST_F(JobTest, SecondJobKeepsKeysItDoesNotWrite) {
    Run(Job("a\t1\n" "b\t2\n"));
    EXPECT_EQ(LastJob("Copies_2"), "2");
    Run(Job("c\t3\n", "/F=C:\\Labels\\Box.Small.tvl"));
    EXPECT_EQ(LastJob("NumLines"), "1");
    EXPECT_EQ(LastJob("Template"), "Box.Small");
    EXPECT_EQ(LastJob("Copies_1"), "3");
    EXPECT_EQ(LastJob("Copies_2"), "2");  // from the first job
    EXPECT_EQ(LastJob("Param1"), "c");
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[2].cmdline, LabelLine(" /setpages 3 /p /fm Param1 \"c\"", "Box.Small"));
}

TEST_F(JobTest, MendedDataFileFaults) {
    // A UTF-8 mark, a line that takes the file past 30000 bytes (its fields
    // after the twentieth are never passed on) and a final line without a
    // line end beyond it.
    std::string filler;
    for (int i = 0; i < 16000; ++i) filler += "x\t";
    const std::string data = "\xEF\xBB\xBF" "first\t1\n" + filler + "1\n" + "last\t2";
    ASSERT_GT(data.size(), 30000u);
    Run(Job(data));
    EXPECT_EQ(LastJob("NumLines"), "3");
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].cmdline, LabelLine(" /p /fm Param1 \"first\""));
    EXPECT_EQ(runs[2].cmdline, LabelLine(" /setpages 2 /p /fm Param1 \"last\""));
    EXPECT_EQ(LastJob("Copies_3"), "2");
}

TEST_F(JobTest, Utf16DataFile) {
    std::string data = "\xFF\xFE";
    for (char c : std::string("A1\tA2\t2\r\nB1\tB2\t1\r\n")) {
        data += c;
        data += '\0';
    }
    Run(Job(data));
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].cmdline, LabelLine(" /setpages 2 /p /fm Param1 \"A1\" /fm Param2 \"A2\""));
    EXPECT_EQ(runs[1].cmdline, LabelLine(" /p /fm Param1 \"B1\" /fm Param2 \"B2\""));
    EXPECT_EQ(LastJob("Copies_2"), "1");
}

}  // namespace

namespace {

// The header lines ("[...]" after leading blanks) of a profile file's bytes,
// in order.
std::vector<std::string> HeadersOf(const std::string& bytes) {
    std::vector<std::string> headers;
    for (const std::string& line : testsupport::LinesOf(bytes, true)) {
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line[first] == '[') headers.push_back(line.substr(first));
    }
    return headers;
}

TEST_F(JobTest, StoredValuesCannotAddSectionsOrKeys) {
    const std::string user = launch::CurrentUserName();
    const std::string settings = "[Settings]\r\nPrinter=ByUser\r\nCopiesType=0\r\n[UserPrinter]\r\n" + user +
                                 "=Office Laser\r\n[TemplatePrinter]\r\nShelf=Label1\r\n";
    install_.WriteIni(settings);
    install_.InstallRunner("Evil.exe");
    const std::string clean = Job("a\tb\t2\r\n");
    Run(clean);
    const std::vector<RunRecord> cleanRuns = Tarvel();
    ASSERT_EQ(cleanRuns.size(), 1u);

    // Label values with CR-only line ends and CR LF pairs, and a command line
    // holding a line feed, each trying to add sections and keys that would
    // run another program, print elsewhere or show the debug box.
    const std::string evil = install_.Folder() + "Evil.exe";
    const std::string inject = "\r[Settings]\rBartenderExePath=" + evil + "\rMsgBoxDebug=1\r[UserPrinter]\r" +
                               user + "=Evil\r[TemplatePrinter]\rShelf=Evil\r";
    const std::string data = "x" + inject + "\ty\r\n" + "old\rmac\rlines\t1\r";
    const std::string args = Job(data) + " /X=\n[Settings]\nPrinter=Evil\nApiProxyExe=" + evil + inject;
    testsupport::WriteFileBytes(install_.File("Tarvel.log"), "");
    Run(args);
    // The runners get their lines as ever, line ends and all.
    const std::vector<RunRecord> runs = Tarvel();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].cmdline, LabelLine(" /pt \"Office Laser\"  /fm Param1 \"x" + inject + "\""));
    EXPECT_EQ(runs[1].cmdline, LabelLine(" /pt \"Office Laser\"  /fm Param1 \"old\rmac\rlines\""));

    // What was stored could not change the file's structure: the settings
    // and printer tables are byte for byte as they were, the job's record is
    // one section, and its values hold blanks for the line ends.
    const std::string ini = install_.IniBytes();
    EXPECT_EQ(ini.substr(0, settings.size()), settings);
    EXPECT_EQ(HeadersOf(ini),
              (std::vector<std::string>{"[Settings]", "[UserPrinter]", "[TemplatePrinter]", "[LastJob]"}));
    EXPECT_EQ(LastJob("Param1"), "old mac lines");
    EXPECT_EQ(LastJob("Copies_2"), "1");
    EXPECT_EQ(LastJob("CmdLine").find_first_of("\r\n"), std::string::npos);
    EXPECT_NE(LastJob("CmdLine").find(" /X= [Settings] Printer=Evil ApiProxyExe=" + evil +
                                      " [Settings] BartenderExePath="),
              std::string::npos);
    EXPECT_EQ(LastJob("TvlCmdLine"), LabelLine(" /pt \"Office Laser\"  /fm Param1 \"old mac lines\""));
    EXPECT_TRUE(install_.Runs("Evil").empty());

    // The next job runs exactly as a clean one.
    testsupport::WriteFileBytes(install_.File("Tarvel.log"), "");
    const auto result = Run(Job("a\tb\t2\r\n"));
    ASSERT_EQ(Tarvel().size(), 1u);
    EXPECT_EQ(Tarvel()[0].cmdline, cleanRuns[0].cmdline);
    EXPECT_EQ(result.output.find("Debug"), std::string::npos) << result.output;
}

}  // namespace

// ------------------------------------ the job journal, time-out, exit status, dry run

namespace {

using testsupport::JournalRecord;

bool LooksLikeLocalTime(const std::string& t) {
    // 2026-12-08T14:03:05.123+01:00
    static const std::string shape = "dddd-dd-ddTdd:dd:dd.ddd+dd:dd";
    if (t.size() != shape.size()) return false;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const bool ok = shape[i] == 'd' ? (t[i] >= '0' && t[i] <= '9')
                        : shape[i] == '+' ? (t[i] == '+' || t[i] == '-')
                                          : t[i] == shape[i];
        if (!ok) return false;
    }
    return true;
}

TEST_F(JobTest, JournalOfAJob) {
    install_.WriteIni("[Settings]\r\nJournalFile=journal.log\r\n");
    testsupport::WriteFileBytes(install_.File("Tarvel.exitcode"), "0 3 0");
    const std::string args = Job("one\t1\n" "two\t1\n" "three\t1\n");
    Run(args);
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 3u);
    const std::vector<JournalRecord> records = testsupport::ReadJournal(install_.File("journal.log"));
    ASSERT_EQ(records.size(), 5u);
    for (const JournalRecord& r : records) {
        EXPECT_TRUE(LooksLikeLocalTime(r.time)) << r.time;
        EXPECT_EQ(r.pid, records[0].pid);
    }
    EXPECT_EQ(records[0].kind, "job-start");
    EXPECT_EQ(records[0].fields, (std::map<std::string, std::string>{
                                     {"user", launch::CurrentUserName()}, {"cmdline", args},
                                     {"template", "Shelf"}, {"datafile", install_.File("job.txt")},
                                     {"lines", "3"}, {"data", "read"}}));
    for (int i = 0; i < 3; ++i) {
        const JournalRecord& r = records[static_cast<std::size_t>(i) + 1];
        EXPECT_EQ(r.kind, "run");
        EXPECT_EQ(r.fields.at("line"), std::to_string(i + 1));
        EXPECT_EQ(r.fields.at("runner"), "label-program");
        EXPECT_EQ(r.fields.at("cmdline"), runs[static_cast<std::size_t>(i)].cmdline);
        EXPECT_EQ(r.fields.at("outcome"), "exited");
        EXPECT_EQ(r.fields.at("exit"), i == 1 ? "3" : "0");
        EXPECT_GE(std::stoi(r.fields.at("ms")), 0);
    }
    EXPECT_EQ(records[4].kind, "job-end");
    EXPECT_EQ(records[4].fields.at("lines"), "3");
    EXPECT_EQ(records[4].fields.at("failed"), "1");

    // A job whose data file is missing and whose label program cannot start.
    std::remove(install_.File("Tarvel.exe").c_str());
    Run("/F=Shelf /D=" + Quoted(install_.File("missing.txt")));
    const std::vector<JournalRecord> more = testsupport::ReadJournal(install_.File("journal.log"));
    ASSERT_EQ(more.size(), 8u);
    EXPECT_EQ(more[5].fields.at("data"), "unreadable");
    EXPECT_EQ(more[5].fields.at("error"), install_.File("missing.txt") + " was not found.");
    EXPECT_EQ(more[6].fields.at("outcome"), "not-started");
    EXPECT_FALSE(more[6].fields.at("error").empty());
    EXPECT_EQ(more[7].fields.at("failed"), "1");
}

TEST_F(JobTest, ConcurrentJobsKeepTheirJournalRecordsWhole) {
    install_.WriteIni("[Settings]\r\nJournalFile=" + install_.File("journal.log") + "\r\n");
    constexpr int kLines = 12;
    std::vector<std::string> commandLines;
    for (int j = 0; j < 2; ++j) {
        std::string data;
        for (int l = 0; l < kLines; ++l) data += "J" + std::to_string(j) + "L" + std::to_string(l) + "\t1\n";
        const std::string file = install_.File("job" + std::to_string(j) + ".txt");
        testsupport::WriteFileBytes(file, data);
        commandLines.push_back("/F=Shelf /D=" + Quoted(file));
    }
    std::vector<std::thread> jobs;
    for (const std::string& line : commandLines) jobs.emplace_back([&, line] { install_.RunConnector(line); });
    for (std::thread& t : jobs) t.join();

    std::map<std::string, std::vector<std::string>> kindsByPid;
    for (const JournalRecord& r : testsupport::ReadJournal(install_.File("journal.log"))) {
        ASSERT_NE(r.kind, "<torn>");
        kindsByPid[r.pid].push_back(r.kind);
    }
    ASSERT_EQ(kindsByPid.size(), 2u);
    for (const auto& [pid, kinds] : kindsByPid) {
        ASSERT_EQ(kinds.size(), static_cast<std::size_t>(kLines + 2)) << pid;
        EXPECT_EQ(kinds.front(), "job-start");
        EXPECT_EQ(kinds.back(), "job-end");
    }
}

TEST_F(JobTest, LargeJournalIsRotatedAtTheJobsStart) {
    install_.WriteIni("[Settings]\r\nJournalFile=journal.log\r\nJournalMaxKB=1\r\n");
    const std::string old(2000, 'o');
    testsupport::WriteFileBytes(install_.File("journal.log"), old);
    testsupport::WriteFileBytes(install_.File("journal.log.1"), "older");
    Run(Job("one\t1\n"));
    EXPECT_EQ(testsupport::ReadFileBytes(install_.File("journal.log.1")), old);
    EXPECT_EQ(testsupport::ReadJournal(install_.File("journal.log")).size(), 3u);
    Run(Job("two\t1\n"));  // still small: appended to
    EXPECT_EQ(testsupport::ReadJournal(install_.File("journal.log")).size(), 6u);
}

TEST_F(JobTest, RunnerPastTheTimeOutIsEndedWithItsHelper) {
    install_.WriteIni("[Settings]\r\nRunTimeoutSeconds=1\r\nJournalFile=journal.log\r\n");
    // The first line's runner starts a helper, then hangs; the second's ends at once.
    testsupport::WriteFileBytes(install_.File("Tarvel.sleep"), "60 0");
    testsupport::WriteFileBytes(install_.File("Tarvel.helper"), "2 0");
    const auto started = std::chrono::steady_clock::now();
    Run(Job("hangs\t1\n" "prints\t1\n"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    ASSERT_EQ(Tarvel().size(), 2u);
    EXPECT_EQ(Tarvel()[1].cmdline, LabelLine(" /p /fm Param1 \"prints\""));
    const std::vector<JournalRecord> records = testsupport::ReadJournal(install_.File("journal.log"));
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1].fields.at("outcome"), "timed-out");
    EXPECT_EQ(records[2].fields.at("outcome"), "exited");
    // The helper went with the runner: it never writes.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_FALSE(testsupport::FileExists(install_.File("Tarvel.helper.log")));

    // A runner that ends in time leaves its helper running, as without a time-out.
    testsupport::WriteFileBytes(install_.File("Tarvel.sleep"), "0");
    testsupport::WriteFileBytes(install_.File("Tarvel.helper"), "0.3");
    Run(Job("one\t1\n"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(testsupport::FileExists(install_.File("Tarvel.helper.log")));
}

TEST_F(JobTest, ExitStatusTellsTheHostWhatHappened) {
    struct Case {
        const char* name;
        const char* exitStatus;
        const char* exitCodes;
        std::string data;  // "<missing>": no data file
        uint32_t expected;
    };
    const std::vector<Case> cases = {
        {"off", "", "3", "a\t1\n", 0},
        {"every line printed", "1", "0", "a\t1\nb\t1\n", 0},
        {"some lines failed", "1", "0 3", "a\t1\nb\t1\n", 10},
        {"no line printed", "1", "3", "a\t1\nb\t1\n", 11},
        {"no data line", "1", "0", "", 11},
        {"unreadable data file", "1", "0", "<missing>", 12},
        {"only exactly 1 turns it on", "2", "3", "a\t1\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        install_.WriteIni(std::string("[Settings]\r\nExitStatus=") + c.exitStatus + "\r\n");
        testsupport::WriteFileBytes(install_.File("Tarvel.log"), "");
        testsupport::WriteFileBytes(install_.File("Tarvel.exitcode"), c.exitCodes);
        const std::string args = c.data == "<missing>" ? "/F=Shelf /D=" + Quoted(install_.File("none.txt")) : Job(c.data);
        const auto result = install_.RunConnector(args);
        ASSERT_TRUE(result.started);
        EXPECT_EQ(result.exitCode, c.expected);
    }
}

// The runner lines of a dry run's plan ("  <runner>: <command line>"), read back.
std::vector<std::string> PlannedLines(const std::string& plan) {
    std::vector<std::string> lines;
    for (const std::string& line : testsupport::LinesOf(plan)) {
        for (const char* runner : {"  api-proxy: ", "  label-program: ", "  bartender: "})
            if (line.rfind(runner, 0) == 0)
                lines.push_back(testsupport::UnescapeRecordValue(line.substr(std::string(runner).size())));
    }
    return lines;
}

TEST_F(JobTest, DryRunPlansTheLinesARealRunStarts) {
    install_.InstallRunner("ApiProxy.exe");
    install_.InstallRunner("Bartend.exe");
    const std::string proxy = Quoted(install_.Folder() + "ApiProxy.exe") + " /job";
    struct Case {
        const char* name;
        std::string settings;
        const char* dryRun;  // the token as written, and where
        const char* templateToken;
        std::vector<std::string> planLines;  // lines the plan holds, as written
    };
    // A template that is not there and a printer the system does not list are
    // marked; values are escaped as the plan's header says.
    const bool printersKnown = platform::InstalledPrinters().known;
    const std::vector<Case> cases = {
        {"proxy, then the label program on the template's printer",
         "[Settings]\r\nRunApiType=2\r\nApiProxyExe=" + proxy +
             "\r\nPrinter=ByTemplate\r\nJournalFile=journal.log\r\n[TemplatePrinter]\r\n100%Shelf=Label%1\r\n",
         "/DRYRUN ", "/F=C:\\Labels\\100%Shelf.tvl",
         {"Template: 100%25Shelf",
          "  printer: by template 100%25Shelf in [TemplatePrinter] -> \"Label%251\"" +
              std::string(printersKnown ? "  [NOT INSTALLED on this machine]" : ""),
          "  template: " + install_.Folder() + "100%25Shelf.tvl  [NOT FOUND]"}},
        {"Bartender gets the command line without the token",
         "[Settings]\r\nBartenderExePath=" + Quoted(install_.Folder() + "Bartend.exe") + " /AF\r\n", " /dryRun",
         "/F=C:\\Labels\\Shelf.tvl", {"Template: Shelf"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        install_.WriteIni(c.settings + "[LastJob]\r\nCmdLine=earlier\r\n");
        for (const char* log : {"Tarvel.log", "ApiProxy.log", "Bartend.log", "runners.log"})
            testsupport::WriteFileBytes(install_.File(log), "");
        std::remove(install_.File("journal.log").c_str());
        const std::string args = Job("a\tx\t2\r\n" "b\ty\t1\r\n", c.templateToken);
        const std::string before = install_.IniBytes();
        const std::string token = c.dryRun;
        const auto plan = Run(token.front() == ' ' ? args + token : token + args);
        EXPECT_TRUE(install_.RunnerOrder().empty()) << "a dry run starts nothing";
        EXPECT_EQ(install_.IniBytes(), before) << "a dry run writes nothing";
        EXPECT_FALSE(testsupport::FileExists(install_.File("journal.log")));
        EXPECT_NE(plan.output.find("Dry run"), std::string::npos) << plan.output;
        const std::vector<std::string> lines = testsupport::LinesOf(plan.output);
        for (const std::string& line : c.planLines)
            EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n" << plan.output;

        Run(args);
        std::vector<std::string> started;
        for (const char* runner : {"ApiProxy", "Tarvel", "Bartend"})
            for (const RunRecord& run : install_.Runs(runner)) started.push_back(run.cmdline);
        std::vector<std::string> planned = PlannedLines(plan.output);
        std::sort(started.begin(), started.end());
        std::sort(planned.begin(), planned.end());
        EXPECT_EQ(planned, started) << plan.output;
        EXPECT_FALSE(started.empty());
    }
}

// Every file under `folder` with its bytes: what a check must leave as it was.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        files[entry.path().string()] = entry.is_regular_file() ? testsupport::ReadFileBytes(entry.path().string()) : "<folder>";
    return files;
}

// The label program's file with the header of a program for a processor
// this machine does not run: an ARM64 Windows program (Win32), or an ELF
// program for another machine than the connector's (host).
std::string ForeignProgram(const std::string& ownProgram) {
    std::string bytes = testsupport::ReadFileBytes(ownProgram);
#ifdef _WIN32
    const std::size_t pe = static_cast<unsigned char>(bytes[0x3C]) | static_cast<unsigned char>(bytes[0x3D]) << 8;
    bytes[pe + 4] = '\x64', bytes[pe + 5] = '\xAA';
#else
    const bool arm64 = bytes[18] == '\xB7';
    bytes[18] = arm64 ? '\x3E' : '\xB7', bytes[19] = '\0';  // x86-64 or ARM64
#endif
    return bytes;
}

TEST_F(JobTest, HealthCheckFindsEachFaultWithItsSetting) {
    namespace fs = std::filesystem;
    const std::string sep(1, platform::PathSeparator());
    fs::create_directory(install_.File("templates"));
    testsupport::WriteFileBytes(install_.File("templates") + sep + "Shelf.tvl", "label");
    // The host's file, as it stands on this machine, comes back afterwards.
    const bool hadHostFile = testsupport::FileExists(ui::kHostConfigFile);
    const std::string hostBytes = hadHostFile ? testsupport::ReadFileBytes(ui::kHostConfigFile) : "";
    const std::string elsewhere = sep + "old" + sep + "vantor.exe";
    std::string printer;  // a printer the system lists, where a test can add one
#ifdef _WIN32
    // Wine lists a key under Print\Printers with a Name value as an installed
    // printer (docs/toolchain-notes.md); the second stands for one a
    // terminal-server client brought into its session.
    std::vector<std::string> printerKeys;
    for (const char* name : {"Vantor Check", "Vantor Dock (redirected 2)"}) {
        printerKeys.push_back("\"HKLM\\System\\CurrentControlSet\\Control\\Print\\Printers\\" + std::string(name) + "\"");
        ASSERT_EQ(testsupport::RunProgram("reg.exe add " + printerKeys.back() + " /v Name /d \"" + name + "\" /f").exitCode, 0u);
        ASSERT_EQ(testsupport::RunProgram("reg.exe add " + printerKeys.back() + " /v Port /d FILE: /f").exitCode, 0u);
    }
    printer = "Printer=vantor check\r\n";  // names are compared without regard to case
#endif
    const bool printersKnown = platform::InstalledPrinters().known;
    // Data files: UTF-16 without its mark, a line with more fields than a
    // label takes, a folder where the file should be.
    std::string utf16;
    for (char c : std::string("A1\tA2\t2\r\nB1\tB2\t1\r\n")) utf16 += std::string(1, c) + '\0';
    testsupport::WriteFileBytes(install_.File("utf16.txt"), utf16);
    std::string wide = "a\tb\t1\r\n";
    for (int i = 1; i <= 25; ++i) wide += "f" + std::to_string(i) + (i < 25 ? "\t" : "\r\n");
    testsupport::WriteFileBytes(install_.File("wide.txt"), wide);
    fs::create_directory(install_.File("folder.txt"));
    struct Case {
        const char* fault;
        std::string settings;    // [Settings] lines after TemplatesFolder
        std::string hostEntry;   // Labels/Application
        std::string tokens;
        // Findings that must be there: each line's start and what it must name.
        std::vector<std::pair<std::string, std::string>> expected;  // none: a clean installation
    };
    const std::string ok = "TemplatesFolder=" + install_.File("templates") + "\r\nJournalFile=journal.log\r\n";
    const std::string notInstalled = printersKnown ? "FAIL printer: " : "WARN printer: ";
    std::vector<Case> cases = {
        {"clean installation", ok + printer, install_.Exe(), "/F=Shelf", {}},
        {"missing label program", ok, install_.Exe(), "/F=Shelf", {{"FAIL label-program: ", install_.Folder() + "Tarvel.exe"}}},
        {"missing templates folder", "TemplatesFolder=" + install_.File("gone") + "\r\n", install_.Exe(), "",
         {{"FAIL templates-folder: ", "[Settings] TemplatesFolder"}}},
        {"missing template", ok, install_.Exe(), "/F=C:\\Labels\\Crate.tvl", {{"FAIL template: ", "Crate.tvl"}}},
        {"printer not installed", ok + "Printer=No Such Printer\r\n", install_.Exe(), "",
         {{notInstalled, "\"No Such Printer\" ([Settings] Printer)"}}},
        {"unwritable settings file", ok, install_.Exe(), "", {{"FAIL settings-file: ", "not written by this user"}}},
        {"host entry for another folder", ok, elsewhere, "", {{"FAIL host-registration: ", "names " + elsewhere}}},
        {"unwritable journal folder", "JournalFile=" + install_.File("gone") + sep + "journal.log\r\n", install_.Exe(), "",
         {{"FAIL journal: ", "[Settings] JournalFile"}}},
        {"values that do not mean what was written", ok + "CopiesType=7\r\nRunTimeoutSeconds=-5\r\nExitStatus=yes\r\n",
         install_.Exe(), "",
         {{"WARN value: ", "[Settings] CopiesType is \"7\""},
          {"WARN value: ", "takes it as 0 (Automatic Detection). Accepted values: 0 (Automatic Detection), 1 "},
          {"WARN value: ", "[Settings] RunTimeoutSeconds is \"-5\""},
          {"WARN value: ", "[Settings] ExitStatus is \"yes\""}}},
        {"a key written twice, a data file in UTF-16 without its mark", ok + "TemplatesFolder=elsewhere\r\n",
         install_.Exe(), "/D=" + Quoted(install_.File("utf16.txt")),
         {{"WARN settings-file: ", "[Settings] TemplatesFolder is written twice"},
          {"WARN settings-file: ", "lines 2 and 4: line 2 counts"},
          {"WARN data-file: ", install_.File("utf16.txt") + " looks like UTF-16 text without its byte-order mark"}}},
        {"a data line with more fields than a label takes", ok, install_.Exe(), "/D=" + Quoted(install_.File("wide.txt")),
         {{"WARN data-file: ", "line 2 of " + install_.File("wide.txt") + " has 25 fields: fields 22 to 24 never reach"}}},
        {"a label program for another processor", ok, install_.Exe(), "",
#ifdef _WIN32
         {{"FAIL label-program: ", "is a Windows program built for ARM64 processors, and this machine ("}}},
#else
         {{"FAIL label-program: ", "is an ELF program for "}}},
#endif
        {"a policy's printer not installed, a folder for a data file", ok, install_.Exe(),
         "/D=" + Quoted(install_.File("folder.txt")),
         {{notInstalled, "\"No Such Printer\" (policy "},
          {notInstalled, printersKnown ? "correct the policy " : "cannot be looked up"},
          {"FAIL data-file: ", install_.File("folder.txt") + " is a folder, not a file."},
          {"FAIL data-file: ", "the path it passes with /D="}}},
    };
#ifdef _WIN32
    cases.push_back({"a printer of one terminal-server session", ok + "Printer=Vantor Dock (redirected 5)\r\n",
                     install_.Exe(), "", {{"WARN printer: ", "installed here only as \"Vantor Dock (redirected 2)\""}}});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        const std::string fault = c.fault;
        if (fault == "missing label program") fs::remove(install_.File("Tarvel.exe"));
        if (fault == "a label program for another processor")
            testsupport::WriteFileBytes(install_.File("Tarvel.exe"), ForeignProgram(install_.File("Tarvel.exe")));
        testsupport::WriteFileBytes(ui::kHostConfigFile, "[Labels]\r\nApplication=" + c.hostEntry + "\r\n");
        install_.WriteIni("[Settings]\r\n" + c.settings + "[LastJob]\r\nCmdLine=earlier\r\n");
        if (fault == "unwritable settings file")
            fs::permissions(fs::path(install_.Ini()), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        const auto before = Snapshot(install_.path());
        testsupport::ProcessResult result;
        if (fault.rfind("a policy", 0) == 0) {
            // The host build's tests keep their policy file to themselves:
            // the check runs in this process, as the connector runs it.
            testsupport::PolicyScope policy;
            policy.SetText("Printer", "No Such Printer");
            testsupport::NobodyThere nobody;
            CVantorApp app(install_.Exe(), "", nobody);
            const auto findings = health::CheckInstallation(app, c.tokens);
            result = {true, static_cast<uint32_t>(health::ExitCodeOf(findings)), health::ReportText(app, findings)};
        } else {
            result = install_.RunConnector("/check " + c.tokens);
        }
        EXPECT_EQ(Snapshot(install_.path()), before) << "a check writes nothing";
        EXPECT_EQ(testsupport::ReadFileBytes(ui::kHostConfigFile), "[Labels]\r\nApplication=" + c.hostEntry + "\r\n");
        const std::vector<std::string> lines = testsupport::LinesOf(result.output);
        bool fails = false;
        for (const auto& [start, named] : c.expected) {
            fails = fails || start[0] == 'F';
            bool found = false;
            for (const std::string& line : lines)
                found = found || (line.rfind(start, 0) == 0 &&
                                  testsupport::UnescapeRecordValue(line).find(named) != std::string::npos);
            EXPECT_TRUE(found) << start << "... " << named << "\n" << result.output;
        }
        if (!c.expected.empty()) {
            EXPECT_EQ(result.exitCode, fails ? 21u : 20u) << result.output;
        } else {
            std::string found;  // every line that is not OK
            for (const std::string& line : lines)
                if (line.rfind("WARN", 0) == 0 || line.rfind("FAIL", 0) == 0) found += line + "\n";
            EXPECT_EQ(found, "") << result.output;
            EXPECT_EQ(result.exitCode, 0u) << result.output;
#ifdef _WIN32
            // The stand-in is built as the connector is: a Windows program of its width.
            const std::string program = sizeof(void*) == 8 ? "Windows program (64-bit, x64)" : "Windows program (32-bit, x86)";
            EXPECT_NE(result.output.find("Tarvel.exe (beside the connector, [Settings] BartenderExePath empty): " + program),
                      std::string::npos) << result.output;
#endif
        }
        if (fault == "a label program for another processor") {
            // The job fails to start it, and its journal says so in the
            // system's words, the program named where the text has "%1".
            std::remove(install_.File("journal.log").c_str());
            (void)install_.RunConnector("/F=Shelf /D=" + Quoted(install_.File("wide.txt")));
            const std::vector<JournalRecord> journal = testsupport::ReadJournal(install_.File("journal.log"));
            ASSERT_GE(journal.size(), 2u);
            EXPECT_EQ(journal[1].fields.at("outcome"), "not-started");
            const std::string error = journal[1].fields.at("error");
            EXPECT_EQ(error.find("%1"), std::string::npos) << error;
#ifdef _WIN32
            EXPECT_NE(error.find(install_.Folder() + "Tarvel.exe"), std::string::npos) << error;
#endif
        }
        fs::permissions(fs::path(install_.Ini()), fs::perms::owner_read | fs::perms::owner_write);
        if (fault == "missing label program" || fault == "a label program for another processor")
            install_.InstallRunner("Tarvel.exe");
    }
#ifdef _WIN32
    for (const std::string& key : printerKeys) (void)testsupport::RunProgram("reg.exe delete " + key + " /f");
#endif
    if (hadHostFile) testsupport::WriteFileBytes(ui::kHostConfigFile, hostBytes);
    else std::remove(ui::kHostConfigFile);
}

}  // namespace

// --------------------------------------------- characters beyond the code page

namespace {

// A label value in Hebrew, Chinese, Greek and an emoji (a surrogate pair in
// UTF-16), as UTF-16 and as UTF-8.
const std::u16string kWideValue = u"\u05E9\u05DC\u05D5\u05DD \u4E2D\u6587 \u03B1\u03B2\u03B3 \U0001F4E6";
const std::string kUtf8Value = "\u05E9\u05DC\u05D5\u05DD \u4E2D\u6587 \u03B1\u03B2\u03B3 \U0001F4E6";

std::string Utf16LeFile(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

TEST_F(JobTest, CharactersOfAUnicodeDataFileReachTheLabelProgram) {
    install_.WriteIni("[Settings]\r\nJournalFile=journal.log\r\n");
    struct Case {
        const char* name;
        std::string data;
    };
    // The first line's values hold characters a Western code page lacks, the
    // second's are plain; the copies come from a tab-separated field.
    const std::vector<Case> cases = {
        {"UTF-16", Utf16LeFile(u"A\t" + kWideValue + u"\t2\r\nplain\tB\t1\r\n")},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" "A\t" + kUtf8Value + "\t2\r\nplain\tB\t1\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* log : {"Tarvel.log", "journal.log"}) testsupport::WriteFileBytes(install_.File(log), "");
        Run(Job(c.data));
        const auto runs = Tarvel();
        ASSERT_EQ(runs.size(), 2u);
        const std::string lossless = LabelLine(" /setpages 2 /p /fm Param1 \"A\" /fm Param2 \"" + kUtf8Value + "\"");
        const std::vector<JournalRecord> journal = testsupport::ReadJournal(install_.File("journal.log"));
        ASSERT_EQ(journal.size(), 4u);
        EXPECT_EQ(journal[1].fields.at("cmdline"), lossless);
        EXPECT_EQ(runs[1].cmdline, LabelLine(" /p /fm Param1 \"plain\" /fm Param2 \"B\""));
#ifdef _WIN32
        // Unicode for a program that reads it so; for one that reads ANSI, the
        // line it always got, the one the settings file records.
        EXPECT_EQ(runs[0].cmdlineW, lossless);
        const std::string ansi = LabelLine(" /setpages 2 /p /fm Param1 \"A\" /fm Param2 \"" +
                                           platform::Utf16ToAnsi(kWideValue) + "\"");
        EXPECT_EQ(runs[0].cmdline, ansi);
        EXPECT_EQ(runs[0].iniTvlCmdLine, ansi);
        EXPECT_EQ(runs[1].cmdlineW, runs[1].cmdline);  // a plain line stays ANSI
#else
        EXPECT_EQ(runs[0].cmdline, lossless);
#endif
    }
}

TEST_F(JobTest, CharactersOfAnAnsiDataFileReachTheLabelProgramAsBefore) {
#ifdef _WIN32
    // Shift-JIS under a double-byte code page (a trail byte that is a
    // backslash, and a lead byte without its trail byte), Latin-1 letters
    // under the Western one.
    const bool doubleByte = GetACP() == 932;
    const std::string value = doubleByte ? "\x93\xFA\x96\x7B\x95\x5C x\x82 y" : "caf\xE9 \xC6\xD8\xDF";
#else
    const std::string value = "caf\xC3\xA9";
#endif
    Run(Job("A\t" + value + "\t1\r\n"));
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 1u);
    const std::string line = LabelLine(" /p /fm Param1 \"A\" /fm Param2 \"" + value + "\"");
    EXPECT_EQ(LastJob("TvlCmdLine"), line);
    // The label program gets that ANSI line, and its arguments, as the
    // system hands them on. The system passes a command line on in Unicode:
    // under 932 the lead byte without a trail byte and the blank after it
    // come back as one default character, 0x81 0x45 (U+30FB), as Wine does
    // it; the connector started the line as recorded.
    std::string received = value;
#ifdef _WIN32
    if (doubleByte) received = "\x93\xFA\x96\x7B\x95\x5C x\x81\x45y";
#endif
    EXPECT_EQ(runs[0].cmdline, LabelLine(" /p /fm Param1 \"A\" /fm Param2 \"" + received + "\""));
    ASSERT_FALSE(runs[0].argv.empty());
    const std::vector<std::string> args(runs[0].argv.begin() + 1, runs[0].argv.end());
    EXPECT_EQ(args, (std::vector<std::string>{install_.Folder() + "Shelf.tvl", "/p", "/fm", "Param1", "A", "/fm",
                                              "Param2", received}));
#ifdef _WIN32
    // Its Unicode form is the system's reading of the same bytes.
    if (!doubleByte) {
        EXPECT_EQ(runs[0].cmdlineW, LabelLine(" /p /fm Param1 \"A\" /fm Param2 \"caf\u00E9 \u00C6\u00D8\u00DF\""));
    }
#endif
}

}  // namespace
