// The print launch in-process, starting real runners: the stand-in program
// copied as Tarvel.exe (and as a proxy and a Bartender) beside an application
// object whose executable lies in a temporary folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/vantor_app.h"
#include "job/journal.h"
#include "job/rerun.h"
#include "launch/launch.h"
#include "launch/printer.h"
#include "launch/product_run.h"
#include "platform/platform.h"
#include "platform/windows_args.h"
#include "settings/store.h"
#include "support/connector_install.h"
#include "support/policy.h"
#include "support/test_text.h"

namespace {

using testsupport::ConnectorInstall;
using testsupport::RunRecord;

// A person who answers the print dialog with a fixed name ("" is Cancel).
class PrinterPerson : public testsupport::NobodyThere {
public:
    std::string AskPrinter() override {
        ++asked;
        return answer;
    }
    std::string answer;
    int asked = 0;
};

using testsupport::Quoted;

class LaunchTest : public ::testing::Test {
protected:
    LaunchTest() : app_(install_.Exe(), "/F=x", person_) {}

    int Launch(const std::string& templateName, std::vector<std::string> params, int lastIndex,
               int copies, const std::string& host = "/F=x /D=y") {
        params.resize(20);
        return launch::LaunchPrintJob(app_, templateName, params, lastIndex, copies, host).ExitCode();
    }
    std::string TemplateIn(const std::string& name) const { return install_.Folder() + name + ".tvl"; }
    std::string LabelLine(const std::string& templatePath, const std::string& rest) const {
        return Quoted(install_.Folder() + "Tarvel.exe") + " " + Quoted(templatePath) + rest;
    }
    std::vector<RunRecord> Tarvel() const { return install_.Runs("Tarvel"); }

    ConnectorInstall install_;
    PrinterPerson person_;
    CVantorApp app_;
};

TEST_F(LaunchTest, LabelProgramGetsItsLineRecordedBeforeItStarts) {
    install_.SetExitCode("Tarvel", 7);
    const int result = Launch("Box", {"12", "A B"}, 1, 3);
    EXPECT_EQ(result, 7);

    const std::string expected = LabelLine(TemplateIn("Box"), " /setpages 3 /p /fm Param1 \"12\" /fm Param2 \"A B\"");
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].cmdline, expected);
    EXPECT_EQ(runs[0].iniTvlCmdLine, expected) << "TvlCmdLine was written before the start";
    EXPECT_EQ(install_.RawIni("LastJob", "TvlCmdLine"), expected);
    EXPECT_EQ(install_.IniText("LastJob", "LastUser"), launch::CurrentUserName());
    // The arguments the program sees are the ones Windows would give it.
    ASSERT_EQ(runs[0].argv.size(), 11u);
    EXPECT_EQ(runs[0].argv[1], TemplateIn("Box"));
    EXPECT_EQ(runs[0].argv[7], "12");
    EXPECT_EQ(runs[0].argv[10], "A B");
}

TEST_F(LaunchTest, ExitCodeOfTheRunnerIsReturnedUnchanged) {
    for (int code : {0, 3, 200}) {
        install_.SetExitCode("Tarvel", code);
        EXPECT_EQ(Launch("Box", {}, -1, 1), code);
    }
    EXPECT_EQ(Tarvel().size(), 3u);
}

TEST_F(LaunchTest, MissingLabelProgramStillRecordsItsLine) {
    ConnectorInstall bare(/*labelProgram=*/false);
    CVantorApp app(bare.Exe(), "/F=x", person_);
    bare.WriteIni("[LastJob]\r\nTvlCmdLine=earlier\r\n");
    std::vector<std::string> params(20);
    params[0] = "v";
    const launch::LaunchOutcome outcome = launch::LaunchPrintJob(app, "Box", params, 0, 1, "/F=x");
    EXPECT_EQ(outcome.ExitCode(), 0);
    ASSERT_EQ(outcome.runners.size(), 1u);
    EXPECT_EQ(outcome.runners[0].process.state, platform::ProcessOutcome::State::NotStarted);
    EXPECT_TRUE(outcome.Failed());
    EXPECT_EQ(bare.RawIni("LastJob", "TvlCmdLine"),
              Quoted(bare.Folder() + "Tarvel.exe") + " " + Quoted(bare.Folder() + "Box.tvl") +
                  " /p /fm Param1 \"v\"");
}

TEST_F(LaunchTest, TemplatesFolderSetting) {
    const char sep = platform::PathSeparator();
    const std::string folder = install_.path() + sep + "labels";
    install_.WriteIni("[Settings]\r\nTemplatesFolder=" + folder + "\r\n");
    Launch("Shelf", {}, -1, 1);
    install_.WriteIni("[Settings]\r\nTemplatesFolder=" + folder + sep + "\r\n");
    Launch("Shelf", {}, -1, 1);
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 2u);
    // Tarvel.exe still comes from the connector's folder.
    EXPECT_EQ(runs[0].cmdline, LabelLine(folder + sep + "Shelf.tvl", " /p"));
    EXPECT_EQ(runs[1].cmdline, runs[0].cmdline);
}

// Run modes, with a stand-in proxy beside the label program.
TEST_F(LaunchTest, RunModes) {
    install_.InstallRunner("ApiProxy.exe");
    install_.SetExitCode("Tarvel", 5);
    install_.SetExitCode("ApiProxy", 9);
    const std::string proxyLine = Quoted(install_.Folder() + "ApiProxy.exe") + " --from-connector";

    struct Case {
        const char* mode;  // RunApiType as stored; nullptr: not stored
        const char* templateName;
        std::vector<std::string> order;
        int result;
        bool upperCasePath;
    };
    const std::vector<Case> cases = {
        {nullptr, "Box", {"Tarvel 5"}, 5, false},
        {"0", "Box", {"Tarvel 5"}, 5, false},
        {"1", "Box", {"ApiProxy 9"}, 9, false},
        {"2", "Box", {"ApiProxy 9", "Tarvel 5"}, 5, false},
        {"3", "Box", {"Tarvel 5"}, 5, true},
        {"3", "zuvezavi_box", {"ApiProxy 9"}, 9, true},
        {"3", "ZuveZavi01", {"ApiProxy 9"}, 9, true},
        {"7", "zuvezavi_box", {"Tarvel 5"}, 5, false},
        {"-1", "Box", {"Tarvel 5"}, 5, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("RunApiType ") + (c.mode ? c.mode : "(none)") + ", " + c.templateName);
        testsupport::WriteFileBytes(install_.File("runners.log"), "");
        testsupport::WriteFileBytes(install_.File("Tarvel.log"), "");
        install_.WriteIni(std::string("[Settings]\r\n") + (c.mode ? std::string("RunApiType=") + c.mode + "\r\n" : "") +
                          "ApiProxyExe=" + proxyLine + "\r\n[LastJob]\r\nTvlCmdLine=earlier\r\n");
        EXPECT_EQ(Launch(c.templateName, {"p1"}, 0, 1), c.result);
        EXPECT_EQ(install_.RunnerOrder(), c.order);

        std::string path = TemplateIn(c.templateName);
        if (c.upperCasePath) path = platform::UpperCaseAnsi(path);
        const std::string labelLine = LabelLine(path, " /p /fm Param1 \"p1\"");
        const bool product = c.order.back() == "Tarvel 5";
        EXPECT_EQ(install_.RawIni("LastJob", "TvlCmdLine"), product ? labelLine : proxyLine);
        if (product) {
            ASSERT_EQ(Tarvel().size(), 1u);
            EXPECT_EQ(Tarvel()[0].cmdline, labelLine);
        }
    }
    // The proxy found its own line recorded when it started, and got nothing else.
    for (const RunRecord& run : install_.Runs("ApiProxy")) {
        EXPECT_EQ(run.cmdline, proxyLine);
        EXPECT_EQ(run.iniTvlCmdLine, proxyLine);
    }
}

TEST_F(LaunchTest, ProxyResultStaysWhenTheProductCannotStart) {
    install_.InstallRunner("ApiProxy.exe");
    install_.SetExitCode("ApiProxy", 9);
    std::remove(install_.File("Tarvel.exe").c_str());
    install_.WriteIni("[Settings]\r\nRunApiType=2\r\nApiProxyExe=" + Quoted(install_.Folder() + "ApiProxy.exe") +
                      " x\r\n");
    EXPECT_EQ(Launch("Box", {}, -1, 1), 9);
    EXPECT_EQ(install_.RawIni("LastJob", "TvlCmdLine"), LabelLine(TemplateIn("Box"), " /p"));
}

TEST_F(LaunchTest, EmptyProxyCommandStartsNothing) {
    install_.WriteIni("[Settings]\r\nRunApiType=1\r\n[LastJob]\r\nTvlCmdLine=earlier\r\n");
    EXPECT_EQ(Launch("Box", {}, -1, 1), 0);
    EXPECT_EQ(install_.RawIni("LastJob", "TvlCmdLine"), "");
    EXPECT_TRUE(install_.RunnerOrder().empty());
}

// The policies the whole-job tests do not already cover.
TEST_F(LaunchTest, PrinterPolicies) {
    const std::string user = launch::CurrentUserName();
    ASSERT_FALSE(user.empty());
    struct Case {
        const char* name;
        std::string settings;  // extra lines of the file
        const char* answer;    // the person's choice in the print dialog
        std::string printerSwitch;
        int asked;
    };
    const std::vector<Case> cases = {
        {"specific", "[Settings]\r\nPrinter=Shipping Printer\r\n", "", " /pt \"Shipping Printer\" ", 0},
        {"by user, other letter case of the name",
         "[Settings]\r\nPrinter=ByUser\r\n[UserPrinter]\r\n" + platform::UpperCaseAnsi(user) + "=Office Laser\r\n",
         "", " /pt \"Office Laser\" ", 0},
        {"by user, no line", "[Settings]\r\nPrinter=ByUser\r\n[UserPrinter]\r\nsomeone else=X\r\n", "", " /p", 0},
        {"by template, no line", "[Settings]\r\nPrinter=ByTemplate\r\n", "", " /p", 0},
        {"MANUAL is a name", "[Settings]\r\nPrinter=MANUAL\r\n", "Label Printer 2", " /pt \"MANUAL\" ", 0},
        {"manual", "[Settings]\r\nPrinter=Manual\r\n", "Label Printer 2", " /pt \"Label Printer 2\" ", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        install_.WriteIni(c.settings + "[LastJob]\r\nLastUser=earlier\r\n");
        testsupport::WriteFileBytes(install_.File("Tarvel.log"), "");
        person_.answer = c.answer;
        person_.asked = 0;
        EXPECT_EQ(Launch("Box", {"1"}, 0, 1), 0);
        EXPECT_EQ(person_.asked, c.asked);
        const auto runs = Tarvel();
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].cmdline, LabelLine(TemplateIn("Box"), c.printerSwitch + " /fm Param1 \"1\""));
        EXPECT_EQ(install_.IniText("LastJob", "LastUser"), user);
    }
}

TEST_F(LaunchTest, CancelledManualChoiceStartsNothing) {
    install_.WriteIni("[Settings]\r\nPrinter=Manual\r\n[LastJob]\r\nTvlCmdLine=earlier\r\nLastUser=earlier\r\n");
    person_.answer = "";
    EXPECT_EQ(Launch("Box", {"1"}, 0, 2), launch::kCancelled);
    EXPECT_EQ(person_.asked, 1);
    EXPECT_TRUE(Tarvel().empty());
    EXPECT_EQ(install_.RawIni("LastJob", "TvlCmdLine"), "earlier");
    EXPECT_EQ(install_.IniText("LastJob", "LastUser"), launch::CurrentUserName());

    // The dialog opens again for every launch.
    person_.answer = "P";
    EXPECT_EQ(Launch("Box", {"1"}, 0, 2), 0);
    EXPECT_EQ(person_.asked, 2);
    EXPECT_EQ(Tarvel().size(), 1u);
}

TEST_F(LaunchTest, BartenderGetsTheHostLineAndNothingIsRecorded) {
    install_.InstallRunner("Bartend.exe");
    install_.SetExitCode("Bartend", 4);
    const std::string bartender = Quoted(install_.Folder() + "Bartend.exe") + " /AF";
    install_.WriteIni("[Settings]\r\nBartenderExePath=" + bartender +
                      "\r\nPrinter=Manual\r\n[LastJob]\r\nTvlCmdLine=earlier\r\nLastUser=earlier\r\n");
    const std::string host = "/F=C:\\t\\job.txt  /D=\"x y\" ";
    EXPECT_EQ(Launch("Box", {"1"}, 0, 3, host), 4);
    const auto runs = install_.Runs("Bartend");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].cmdline, bartender + " " + host);
    EXPECT_TRUE(Tarvel().empty());
    EXPECT_EQ(person_.asked, 0) << "no printer is chosen for Bartender";
    EXPECT_EQ(install_.RawIni("LastJob", "TvlCmdLine"), "earlier");
    EXPECT_EQ(install_.RawIni("LastJob", "LastUser"), "earlier");
}

// A label value from a Unicode data file whose look-alike characters the
// system's ANSI form of the line turns into quotes and backslashes (best
// fit): a program that reads its command line as ANSI must still get the
// arguments a Unicode one gets, not another printer and 999 copies.
TEST_F(LaunchTest, LookAlikeQuotesCannotAddArgumentsForAnsiReaders) {
    const std::string quote = "\uFF02", backslash = "\uFF3C";  // fullwidth " and \ .
    // Windows' best fit for code page 1252, and Wine 8's too (the test
    // prefix's code page; the host build's stand-in table says the same).
    EXPECT_EQ(platform::AnsiFormOfUnicodeLine(quote + "/" + backslash), "\"/\\");
    std::vector<std::string> values(20), ansi(20);
    values[0] = "A" + quote + " /pt " + quote + "\\\\server\\q" + quote + " /setpages " + quote + "999";
    values[1] = "x" + backslash;
    values[2] = "\u05E9\u05DC\u05D5\u05DD";  // nothing a best fit makes a quote of: kept
    for (std::size_t i = 0; i < 3; ++i) ansi[i] = platform::Utf8ToAnsi(values[i]);  // as the data reader gives them
    const launch::LaunchOutcome outcome = launch::LaunchPrintJob(app_, "Box", ansi, 2, 1, "/F=x", &values);

    const std::string first = "A? /pt ?\\\\server\\q? /setpages ?999";
    ASSERT_EQ(outcome.runners.size(), 1u);
    EXPECT_EQ(outcome.runners[0].neutralised, "Param1 Param2");
    EXPECT_EQ(outcome.runners[0].unicodeCommandLine,
              LabelLine(TemplateIn("Box"), " /p /fm Param1 \"" + first + "\" /fm Param2 \"x?\" /fm Param3 \"" +
                                               values[2] + "\""));
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 1u);
    // The arguments of the command line it got as ANSI (Win32:
    // GetCommandLineA), split as the C runtime splits it. (Wine's runtime
    // builds argv from the Unicode line's arguments, so argv alone would not
    // show the fault there; Windows' splits the ANSI line.)
    const std::vector<std::string> expected = {install_.Folder() + "Tarvel.exe", TemplateIn("Box"), "/p",
                                               "/fm", "Param1", first, "/fm", "Param2", "x?", "/fm", "Param3", ansi[2]};
    EXPECT_EQ(winargs::Split(runs[0].cmdline, text::SystemLeadByte), expected);
    ASSERT_FALSE(runs[0].argv.empty());
    EXPECT_EQ(std::vector<std::string>(runs[0].argv.begin() + 1, runs[0].argv.end()),
              std::vector<std::string>(expected.begin() + 1, expected.end()));
    EXPECT_EQ(install_.RawIni("LastJob", "TvlCmdLine"),
              LabelLine(TemplateIn("Box"), " /p /fm Param1 \"" + first + "\" /fm Param2 \"x?\" /fm Param3 \"" +
                                               ansi[2] + "\""));
    EXPECT_TRUE(launch::SameArgumentsForAnsiReaders(outcome.runners[0].unicodeCommandLine));
}

// "Run line again" starts the program the settings give, never the one the
// journal names (anyone who prints may write the journal); only the
// arguments come from the journal.
TEST_F(LaunchTest, RunAgainTakesTheProgramFromTheSettings) {
    install_.InstallRunner("ApiProxy.exe");
    install_.InstallRunner("Evil.exe");
    const std::string proxy = Quoted(install_.Folder() + "ApiProxy.exe") + " --from-connector";
    install_.WriteIni("[Settings]\r\nApiProxyExe=" + proxy + "\r\nRunTimeoutSeconds=30\r\n");
    const std::string tarvel = Quoted(install_.Folder() + "Tarvel.exe");
    const std::string evil = Quoted(install_.Folder() + "Evil.exe");
    struct Case {
        const char* name;
        const char* runner;
        std::string recorded;
        const char* started;  // the runner that ran, or nullptr
        std::vector<std::string> arguments;
    };
    const std::vector<Case> cases = {
        {"as a job built it", "label-program", tarvel + " \"B.tvl\" /fm Param1 \"x y\"", "Tarvel",
         {"B.tvl", "/fm", "Param1", "x y"}},
        {"path in other letter case: the settings' one runs", "label-program",
         platform::UpperCaseAnsi(tarvel) + " a", "Tarvel", {"a"}},
        {"a planted program", "label-program", evil + " \"B.tvl\"", nullptr, {}},
        {"a program that only begins like it", "label-program", tarvel.substr(0, tarvel.size() - 1) + "2\" a",
         nullptr, {}},
        {"the proxy as set, one more argument", "api-proxy", proxy + " extra", "ApiProxy",
         {"--from-connector", "extra"}},
        {"another proxy", "api-proxy", evil + " --from-connector", nullptr, {}},
        {"Bartender is not set", "bartender", evil + " /F=x", nullptr, {}},
    };
    const std::string journalPath = install_.File("journal.log");
    const std::string jobStart = "2026-12-08T14:12:57.384+00:00\t7\tjob-start\tuser=u\tlines=2\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::WriteFileBytes(install_.File("runners.log"), "");
        std::remove(journalPath.c_str());
        // The run as a journal holds it.
        const journal::Book book = journal::ParseJournal(
            {{"j", jobStart + "2026-12-08T14:12:58.000+00:00\t7\trun\tline=2\trunner=" + c.runner +
                       "\tcmdline=" + c.recorded + "\toutcome=exited\texit=1\n"}});
        ASSERT_EQ(book.jobs.size(), 1u);
        ASSERT_EQ(book.jobs[0].runs.size(), 1u);
        const job::Rerun rerun = job::PrepareRerun(app_, journalPath, book, book.jobs[0], book.jobs[0].runs[0]);
        const launch::RunnerOutcome outcome = job::RunAgain(rerun);
        const std::vector<testsupport::JournalRecord> records = testsupport::ReadJournal(journalPath);
        if (c.started == nullptr) {
            EXPECT_TRUE(install_.RunnerOrder().empty());
            EXPECT_EQ(outcome.process.state, platform::ProcessOutcome::State::NotStarted);
            ASSERT_EQ(records.size(), 1u);
            EXPECT_EQ(records[0].kind, "rerun");
            EXPECT_EQ(records[0].fields.at("outcome"), "not-started");
            EXPECT_EQ(records[0].fields.at("cmdline"), c.recorded);
            EXPECT_EQ(records[0].fields.at("reason"), rerun.refused);
            // It names both programs (or the setting that is not set).
            EXPECT_NE(rerun.refused.find(c.recorded.substr(0, c.recorded.find(' '))), std::string::npos);
            EXPECT_NE(rerun.refused.find(std::string(c.runner) == "bartender" ? "BartenderExePath" : rerun.program),
                      std::string::npos);
            continue;
        }
        ASSERT_EQ(install_.RunnerOrder(), std::vector<std::string>{std::string(c.started) + " 0"});
        const RunRecord ran = install_.Runs(c.started).back();
        EXPECT_EQ(std::vector<std::string>(ran.argv.begin() + 1, ran.argv.end()), c.arguments);
        EXPECT_EQ(ran.cwd + platform::PathSeparator(), install_.Folder());
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0].kind, "rerun-start");
        EXPECT_EQ(records[0].fields.at("of"), "2026-12-08T14:12:57.384+00:00 7");
        EXPECT_EQ(records[0].fields.at("cmdline"), rerun.commandLine);
        EXPECT_EQ(records[1].kind, "rerun");
        EXPECT_EQ(records[1].fields.at("outcome"), "exited");
        EXPECT_EQ(records[1].fields.at("cmdline"), rerun.commandLine);
    }
}

// A policy value the reader cannot take locks nothing, and the job's journal
// names it.
TEST_F(LaunchTest, UnreadablePolicyIsNamedInTheJournal) {
    install_.WriteIni("[Settings]\r\nPrinter=File Printer\r\nCopiesType=1\r\n");
    for (const char* type : {"REG_MULTI_SZ", "REG_QWORD"}) {
        SCOPED_TRACE(type);
        testsupport::PolicyScope policy;
        const std::string name = policy.SetUnreadable("Printer", type);
        EXPECT_EQ(ReadSettingText(app_, "Settings", "Printer", ""), "File Printer");
        std::remove(install_.File("journal.log").c_str());
        JobJournal(install_.File("journal.log")).JobStarted(JobStart{});
        const auto records = testsupport::ReadJournal(install_.File("journal.log"));
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].fields.count("policy-unreadable") ? records[0].fields.at("policy-unreadable") : "<none>",
                  name);
    }
#ifndef _WIN32
    // A byte-order mark before the host's policy file's first section.
    testsupport::PolicyScope policy;
    policy.SetFileBytes("\xEF\xBB\xBF[Settings]\r\nCopiesType=2\r\n");
    EXPECT_EQ(ReadSettingInt(app_, "Settings", "CopiesType", 0), 2);
#endif
}

}  // namespace

namespace {

TEST(RunHidden, OutcomeOfAProcessRun) {
    testsupport::ConnectorInstall install;
    const std::string runner = "\"" + install.File("Tarvel.exe") + "\" a";
    install.SetExitCode("Tarvel", 42);
    const platform::ProcessOutcome ran = platform::RunHidden(runner);
    EXPECT_EQ(ran.state, platform::ProcessOutcome::State::Exited);
    EXPECT_EQ(ran.exitCode, 42u);
    EXPECT_LE(ran.started, ran.ended);
    uint32_t code = 1234;
    EXPECT_TRUE(platform::RunHiddenAndWait(runner, code));
    EXPECT_EQ(code, 42u);

    // A program that cannot be started says why, and leaves an exit code as
    // it was.
    for (const std::string& line : {"\"" + install.File("None.exe") + "\" a", std::string()}) {
        const platform::ProcessOutcome missing = platform::RunHidden(line);
        EXPECT_EQ(missing.state, platform::ProcessOutcome::State::NotStarted) << line;
        EXPECT_EQ(missing.error.code, 2u) << line;  // ERROR_FILE_NOT_FOUND, ENOENT
#ifdef _WIN32
        // Windows' text, and Wine's.
        EXPECT_TRUE(missing.error.text == "The system cannot find the file specified." ||
                    missing.error.text == "File not found.")
            << missing.error.text;
#else
        EXPECT_EQ(missing.error.text, "No such file or directory");
#endif
        code = 1234;
        EXPECT_FALSE(platform::RunHiddenAndWait(line, code));
        EXPECT_EQ(code, 1234u);
    }
    EXPECT_EQ(install.Runs("Tarvel").size(), 2u);
}

}  // namespace
