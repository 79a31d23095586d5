// Whole jobs under hostile conditions: the real connector with the stand-in
// runner beside it, as in job_e2e_test.cpp. Whatever goes wrong around it,
// the connector must not crash or hang, must not lose settings, and must
// start the runner for every line it can.
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "support/job_fixture.h"
#include "support/file_hold.h"
#include "support/connector_install.h"

namespace {

using testsupport::ConnectorInstall;
using testsupport::RunRecord;

using testsupport::Quoted;


class FaultJobTest : public testsupport::JobFixture {
protected:
    std::string Job(const std::string& data, const std::string& templateToken = "/F=Shelf") {
        return JobFixture::Job(data, templateToken);
    }
};

// ------------------------------------------------------------ runner faults

TEST_F(FaultJobTest, FailingRunnerDoesNotStopTheJob) {
    // Exit codes of a runner that failed, one that ran out of memory and one
    // that crashed (0xC0000005 as Windows reports an access violation).
    for (int code : {3, 255, -1073741819}) {
        SCOPED_TRACE(code);
        testsupport::WriteFileBytes(install_.File("Tarvel.log"), "");
        install_.SetExitCode("Tarvel", code);
        Run(Job("first\t1\n" "second\t1\n" "third\t1\n"));
        const auto runs = Tarvel();
        ASSERT_EQ(runs.size(), 3u);
        EXPECT_EQ(runs[0].cmdline, LabelLine(" /p /fm Param1 \"first\""));
        EXPECT_EQ(runs[1].cmdline, LabelLine(" /p /fm Param1 \"second\""));
        EXPECT_EQ(runs[2].cmdline, LabelLine(" /p /fm Param1 \"third\""));
        EXPECT_EQ(LastJob("Copies_3"), "1");
    }
}

// ---------------------------------------------------------- data-file faults

TEST_F(FaultJobTest, DataFileLockedAgainstReading) {
    const std::string args = Job("one\t2\n" "two\t3\n");
    const std::string path = install_.File("job.txt");
    testsupport::ProcessResult result;
    {
        testsupport::FileHold lock(path, testsupport::FileHold::Mode::Exclusive);
        ASSERT_TRUE(lock.held());
        result = Run(args);
    }
    // The job runs once, without data, and says why on standard output:
    // once for each of the twenty parameters, the last field and field 21.
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].cmdline, LabelLine(" /p /fm Param1 \"\""));
    EXPECT_EQ(LastJob("NumLines"), "1");
    const std::string message = "Can't open file: " + path +
                                ", Error: A sharing violation occurred while accessing " + path + ".\n";
    std::string expected;
    for (int i = 0; i < 22; ++i) expected += message;
    EXPECT_EQ(result.output, expected);

    // Once the other program lets go, the same job prints both lines.
    testsupport::WriteFileBytes(install_.File("Tarvel.log"), "");
    Run(args);
    EXPECT_EQ(Tarvel().size(), 2u);
}

// A data file that is no file: reading a device or a pipe nobody writes to
// would hold the job (and the host waiting for it) for ever. The null device
// reads as an empty file.
TEST_F(FaultJobTest, DataFileThatIsNotAFile) {
    struct Case {
        std::string path;
        bool nullDevice;
    };
#ifdef _WIN32
    // A pipe that nobody writes to: this test holds its server end.
    const std::string pipeName = "\\\\.\\pipe\\vantor-test-" + std::to_string(GetCurrentProcessId());
    HANDLE pipe = CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 4,
                                   4096, 4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    const std::vector<Case> cases = {{"NUL", true}, {pipeName, false}};
#else
    const std::string fifo = install_.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<Case> cases = {{"/dev/null", true}, {fifo, false}, {"/dev/zero", false}};
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        testsupport::WriteFileBytes(install_.File("Tarvel.log"), "");
        const auto result = Run("/F=Shelf /D=" + c.path);
        if (c.nullDevice) {
            EXPECT_TRUE(Tarvel().empty());
            EXPECT_EQ(LastJob("NumLines"), "0");
            EXPECT_EQ(result.output, "");
            continue;
        }
        ASSERT_EQ(Tarvel().size(), 1u);
        EXPECT_EQ(Tarvel()[0].cmdline, LabelLine(" /p /fm Param1 \"\""));
        const std::string message =
            "Can't open file: " + c.path + ", Error: " + c.path + " is a device or a pipe, not a file.\n";
        EXPECT_EQ(result.output.substr(0, message.size()), message);
    }
#ifdef _WIN32
    CloseHandle(pipe);
    // The console does not hold the job either, whatever it gives.
    testsupport::WriteFileBytes(install_.File("Tarvel.log"), "");
    Run("/F=Shelf /D=CON");
    EXPECT_EQ(Tarvel().size(), 1u);
#endif
}

TEST_F(FaultJobTest, ZeroBytesInTheDataFile) {
    // A line ends for the job at its first zero byte; the line count still
    // follows the line feeds. The last line holds every other byte value.
    std::string binary = "bin\t";
    for (int b = 1; b < 256; ++b)
        if (b != '\n' && b != '\t') binary += static_cast<char>(b);
    std::string data = std::string("a\0b\tc\t2\n", 8) + std::string("\0\0\0\n", 4) +
                       std::string("x\ty\0\tz\t3\n", 9) + binary + "\n";
    const auto result = Run(Job(data));
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 4u) << result.output;
    EXPECT_EQ(runs[0].cmdline, LabelLine(" /p /fm Param1 \"\""));
    EXPECT_EQ(runs[1].cmdline, LabelLine(" /p /fm Param1 \"\""));
    EXPECT_EQ(runs[2].cmdline, LabelLine(" /p /fm Param1 \"x\""));
    EXPECT_EQ(runs[3].cmdline, LabelLine(" /p /fm Param1 \"bin\""));
    EXPECT_EQ(LastJob("NumLines"), "4");
}

TEST_F(FaultJobTest, LinesOfAHundredTabs) {
    std::string tabs(100, '\t');
    std::string values;
    for (int i = 0; i < 100; ++i) values += "v\t";
    Run(Job(tabs + "\n" + values + "\n" + tabs));
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 3u);
    // No value: only Param1, empty. Twenty values: all twenty; the copies come
    // from field 21 ("v", no number), so no copies switch.
    EXPECT_EQ(runs[0].cmdline, LabelLine(" /p /fm Param1 \"\""));
    std::string twenty = " /p";
    for (int i = 1; i <= 20; ++i) twenty += " /fm Param" + std::to_string(i) + " \"v\"";
    EXPECT_EQ(runs[1].cmdline, LabelLine(twenty));
    // The third line passes on the second line's parameter count.
    std::string empties = " /p";
    for (int i = 1; i <= 20; ++i) empties += " /fm Param" + std::to_string(i) + " \"\"";
    EXPECT_EQ(runs[2].cmdline, LabelLine(empties));
    EXPECT_EQ(LastJob("Copies_2"), "v");
}

// ------------------------------------------------------- oversized inputs

TEST_F(FaultJobTest, SettingsValueLongerThanTheReadBuffer) {
    // A printer name of 40000 bytes: the job reads the first 29999 of them and
    // prints; the stored value is kept whole.
    const std::string longName(40000, 'P');
    install_.WriteIni("[Settings]\r\nPrinter=" + longName + "\r\nCopiesType=0\r\n");
    Run(Job("one\t1\n" "two\t1\n"));
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 2u);
    for (const RunRecord& run : runs) {
        ASSERT_GE(run.argv.size(), 4u);
        EXPECT_EQ(run.argv[2], "/pt");
        EXPECT_EQ(run.argv[3], std::string(29999, 'P'));
    }
    EXPECT_EQ(install_.RawIni("Settings", "Printer"), longName);
    EXPECT_EQ(install_.RawIni("Settings", "CopiesType"), "0");
    EXPECT_EQ(LastJob("Param1"), "two");
}

TEST_F(FaultJobTest, FiveThousandCharacterCommandLine) {
    const std::string name(4000, 'T');
    std::string args = Job("one\t1\n", "/F=" + name);
    while (args.size() < 5000) args += " x";
    ASSERT_GE(args.size(), 5000u);
    Run(args);
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].cmdline, LabelLine(" /p /fm Param1 \"one\"", name));
    EXPECT_EQ(LastJob("CmdLine"), args);
    EXPECT_EQ(LastJob("Template"), name);
}

// ------------------------------------------------------ settings file faults

TEST_F(FaultJobTest, ReadOnlySettingsFile) {
    const std::string ini =
        "[Settings]\r\nPrinter=Office\r\nCopiesType=0\r\n[LastJob]\r\nCmdLine=earlier\r\n";
    install_.WriteIni(ini);
    namespace fs = std::filesystem;
    fs::permissions(fs::path(install_.Ini()), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    Run(Job("one\t1\n" "two\t2\n" "three\t1\n"));
    const auto runs = Tarvel();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].cmdline, LabelLine(" /pt \"Office\"  /fm Param1 \"one\""));
    EXPECT_EQ(runs[1].cmdline, LabelLine(" /setpages 2 /pt \"Office\"  /fm Param1 \"two\""));
    EXPECT_EQ(runs[2].cmdline, LabelLine(" /pt \"Office\"  /fm Param1 \"three\""));
    // Nothing could be recorded, and nothing was lost. (A read-only file
    // refuses an administrator too, as Windows' read-only attribute does.)
    for (const RunRecord& run : runs) EXPECT_EQ(run.iniCmdLine, "earlier");
    EXPECT_EQ(install_.IniBytes(), ini);
}

// ------------------------------------------------------------ the journal

// Programs reading the journal and the settings file over and over while a
// job of many lines writes them: shared readers, as the recent jobs window
// and the health check read, and readers that let others only read while
// they hold the file, for a moment at a time, as another program may.
// Every record arrives.
TEST_F(FaultJobTest, ReadersOfTheJournalAndTheSettingsLoseNoRecord) {
    install_.WriteIni("[Settings]\r\nJournalFile=journal.log\r\n");
    const std::string journal = install_.File("journal.log");
    testsupport::WriteFileBytes(journal, "");
    constexpr int kLines = 16;
    std::string data;
    for (int line = 1; line <= kLines; ++line) data += "L" + std::to_string(line) + "\t1\n";
    const std::string args = Job(data);
    std::atomic<bool> done{false};
    std::thread readers([&] {
        for (int i = 0; !done.load(); ++i) {
            (void)platform::ReadFileShared(journal, 1u << 20);
            {
                testsupport::FileHold hold(i % 2 ? journal : install_.Ini(),
                                           testsupport::FileHold::Mode::ReaderDenyingWrite);
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    Run(args);
    done = true;
    readers.join();
    EXPECT_EQ(Tarvel().size(), static_cast<std::size_t>(kLines));
    std::vector<std::string> kinds;
    for (const testsupport::JournalRecord& record : testsupport::ReadJournal(journal)) kinds.push_back(record.kind);
    std::vector<std::string> expected = {"job-start"};
    expected.insert(expected.end(), kLines, "run");
    expected.push_back("job-end");
    EXPECT_EQ(kinds, expected);
    EXPECT_EQ(LastJob("Param1"), "L" + std::to_string(kLines));
    EXPECT_EQ(LastJob(("Copies_" + std::to_string(kLines)).c_str()), "1");
}

// A reader holding the journal when it is due for rotation (POSIX: a shared
// lock; Win32: open without delete sharing, so it cannot be renamed) holds
// no job up and costs no record: the rotation is left to a later job.
TEST_F(FaultJobTest, JournalHeldByAReaderWhenItIsDueForRotation) {
    install_.WriteIni("[Settings]\r\nJournalFile=journal.log\r\nJournalMaxKB=1\r\n");
    const std::string journal = install_.File("journal.log");
    testsupport::WriteFileBytes(journal, std::string(2000, 'o') + "\n");
    testsupport::WriteFileBytes(journal + ".1", "older");
#ifdef _WIN32
    const auto mode = testsupport::FileHold::Mode::ReaderNotSharingDelete;
#else
    const auto mode = testsupport::FileHold::Mode::ReaderDenyingWrite;
#endif
    auto hold = std::make_unique<testsupport::FileHold>(journal, mode);
    ASSERT_TRUE(hold->held());
    const auto start = std::chrono::steady_clock::now();
    const auto result = install_.RunConnector(Job("one\t1\n"), "", [&](unsigned long) {
        // A job still waiting after 15 seconds gets the file: the test ends.
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(15)) hold.reset();
    });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    hold.reset();
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(testsupport::ReadFileBytes(journal + ".1"), "older");
    std::vector<std::string> kinds;
    for (const testsupport::JournalRecord& record : testsupport::ReadJournal(journal)) kinds.push_back(record.kind);
    EXPECT_EQ(kinds, (std::vector<std::string>{"<torn>", "job-start", "run", "job-end"}));
}

}  // namespace
