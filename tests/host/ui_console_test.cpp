// Configuration mode of the host build: the real program, started without
// arguments, prints what the dialog would show and writes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "job/journal_reader.h"
#include "platform/platform.h"
#include "support/build_paths.h"
#include "tools/journal_pair.h"
#include "support/connector_install.h"
#include "support/temp_dir.h"

namespace {

using testsupport::ReadFileBytes;

TEST(ConsoleConfig, PrintsTheFormAndTheSettingsFileAndWritesNothing) {
    testsupport::TempDir dir;
    const std::string exe = dir.File("vantor");
    std::filesystem::copy_file(testsupport::ConnectorProgram(), exe);
    const std::string ini =
        "[LastJob]\r\nCmdLine=/F=Shelf.tvl /D=job.txt\r\nParam1=A-100\r\nParam2=Shelf 4\r\n"
        "Param3=\r\nParam4=hidden\r\n[Settings]\r\nPrinter=byuser\r\nCopiesType=2\r\n"
        "RunApiType=2\r\nMsgBoxDebug=2\r\n";
    testsupport::WriteFileBytes(dir.File("vantor.ini"), ini);

    const testsupport::ProcessResult run = testsupport::RunProgram("\"" + exe + "\"");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    const std::string& out = run.output;
    for (const std::string& expected :
         {"Settings file: " + dir.File("vantor.ini"), std::string("Use Specific Printer:"),
          std::string("byuser"), std::string("Always use parameter 21"),
          std::string("Run API on ZUVEZAVI Label otherwise run Tarvel"), std::string("on"),
          std::string("/F=Shelf.tvl /D=job.txt"), std::string("01   A-100"),
          std::string("02   Shelf 4")})
        EXPECT_NE(out.find(expected), std::string::npos) << "missing: " << expected << "\n" << out;
    EXPECT_EQ(out.find("hidden"), std::string::npos) << "rows stop at the first empty value";
    EXPECT_EQ(out.find("Tabule.ini"), std::string::npos) << "no host-file question";
    EXPECT_EQ(ReadFileBytes(dir.File("vantor.ini")), ini);
}

TEST(ConsoleConfig, NoSettingsFileShowsDefaultsAndCreatesNone) {
    testsupport::TempDir dir;
    const std::string exe = dir.File("vantor");
    std::filesystem::copy_file(testsupport::ConnectorProgram(), exe);
    const testsupport::ProcessResult run = testsupport::RunProgram("\"" + exe + "\"   ");
    ASSERT_TRUE(run.started);
    for (const char* expected : {"Use Default Windows Printer", "Automatic Detection", "Run Tarvel Only",
                                 "Copies:              1", "Num Lines:           1"})
        EXPECT_NE(run.output.find(expected), std::string::npos) << expected << "\n" << run.output;
    EXPECT_FALSE(testsupport::FileExists(dir.File("vantor.ini")));
}

}  // namespace

namespace {

// /JOBS on the host build: the window's two tables from a journal of real
// jobs; nothing is run or written.
TEST(ConsoleJobs, PrintsTheJobsAndTheirRunsAndWritesNothing) {
    testsupport::ConnectorInstall install;
    const std::string quotedExe = "\"" + install.Exe() + "\"";
    testsupport::ProcessResult off = testsupport::RunProgram(quotedExe + " /jobs");
    EXPECT_NE(off.output.find("The job journal is off: no JournalFile is set."), std::string::npos)
        << off.output;

    install.WriteIni("[Settings]\r\nJournalFile=journal.log\r\n");
    testsupport::WriteFileBytes(install.File("Tarvel.exitcode"), "0 3");
    testsupport::WriteFileBytes(install.File("job.txt"), "one\t1\ntwo\t1\n");
    install.RunConnector("/F=Shelf /D=" + install.File("job.txt"));
    install.RunConnector("/F=Box /D=" + install.File("missing.txt"));
    const std::vector<testsupport::RunRecord> runs = install.Runs("Tarvel");
    ASSERT_EQ(runs.size(), 3u);
    const std::string journal = ReadFileBytes(install.File("journal.log"));
    const std::string ini = install.IniBytes();

    const testsupport::ProcessResult run = install.RunConnector("/JOBS");
    const std::string& out = run.output;
    const std::size_t jobs = out.find("Jobs, newest first\nJob  Started");
    const std::size_t box = out.find("data file unreadable");
    const std::size_t shelf = out.find("some lines failed");
    ASSERT_NE(jobs, std::string::npos) << out;
    EXPECT_TRUE(jobs < box && box < shelf) << out;
    const std::size_t runs1 = out.find("Runs of job 2\n  Line  Runner         Outcome  Exit code");
    ASSERT_NE(runs1, std::string::npos) << out;
    EXPECT_NE(out.find("  2     label-program  exited   3", runs1), std::string::npos) << out;
    EXPECT_NE(out.find(runs[1].cmdline, runs1), std::string::npos) << out;
    EXPECT_EQ(install.Runs("Tarvel").size(), 3u);
    EXPECT_EQ(ReadFileBytes(install.File("journal.log")), journal);
    EXPECT_EQ(install.IniBytes(), ini);
}

// A journal pair of 2 x 64 MB, many jobs and one of 110,000 runs: /JOBS
// prints the newest job first and says what the cap left out, and its peak
// memory stays under three times the bytes it read. Measured in a forked
// child that runs only /JOBS (getrusage of its children), its output read
// through a pipe of which the first part is kept.
TEST(ConsoleJobs, AJournalPairOf128MbStaysUnderThreeTimesTheBytesRead) {
#ifdef __SANITIZE_ADDRESS__
    // The sanitizer's shadow memory and quarantine triple any figure, and its
    // unoptimised build takes minutes over 128 MB: the release builds check it.
    GTEST_SKIP() << "memory bound of the product: not measured in a sanitizer build";
#endif
    testsupport::ConnectorInstall install;
    install.WriteIni("[Settings]\r\nJournalFile=journal.log\r\n");
    const journalpair::Written pair = journalpair::WritePair(install.File("journal.log"), journal::kMaxFileBytes, 110000);
    // Both files are larger than the cap: of each its newest part is read.
    const double bytesRead = 2.0 * (journal::kMaxFileBytes + 1);

    int output[2], report[2];
    ASSERT_EQ(pipe(output), 0);
    ASSERT_EQ(pipe(report), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(output[1], 1);
        close(output[0]);
        close(output[1]);
        close(report[0]);
        uint32_t code = 0;
        rusage usage{};
        const bool ran = platform::RunHiddenAndWait("\"" + install.Exe() + "\" /JOBS", code);
        getrusage(RUSAGE_CHILDREN, &usage);
        const long kb = ran && code == 0 ? usage.ru_maxrss : -1;
        (void)!write(report[1], &kb, sizeof kb);
        _exit(0);
    }
    close(output[1]);
    close(report[1]);
    std::string head;
    char chunk[65536];
    for (ssize_t got; (got = read(output[0], chunk, sizeof chunk)) != 0;)
        if (got > 0 && head.size() < (1u << 20)) head.append(chunk, static_cast<std::size_t>(got));
    long kb = -1;
    EXPECT_EQ(read(report[0], &kb, sizeof kb), static_cast<ssize_t>(sizeof kb));
    close(output[0]);
    close(report[0]);
    waitpid(child, nullptr, 0);

    ASSERT_GT(kb, 0) << "/JOBS did not run to its end";
    EXPECT_LT(static_cast<double>(kb) * 1024.0, 3.0 * bytesRead) << kb / 1024 << " MB at its peak";
    EXPECT_NE(head.find("bytes of older records were left out"), std::string::npos) << head.substr(0, 2000);
    const std::size_t table = head.find("Jobs, newest first\n");
    ASSERT_NE(table, std::string::npos) << head.substr(0, 2000);
    const std::size_t firstRow = head.find("\n1 ", table);
    ASSERT_NE(firstRow, std::string::npos);
    EXPECT_NE(head.substr(firstRow, head.find('\n', firstRow + 1) - firstRow).find(pair.newestDataFile),
              std::string::npos)
        << head.substr(table, 1000);
}

}  // namespace
