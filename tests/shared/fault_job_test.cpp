// Whole jobs under hostile conditions: the real connector with the stand-in
// runner beside it, as in job_e2e_test.cpp. Whatever goes wrong around it,
// the connector must not crash or hang, must not lose settings, and must
// start the runner for every line it can.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/connector_test.h"
#include "support/file_hold.h"
#include "support/job_fixture.h"
#include "support/wine.h"

namespace {

using testsupport::ConnectorInstall;
using testsupport::RunRecord;

using testsupport::Quoted;


class FaultJobTest : public testsupport::ConnectorTest {
protected:
    std::string Job(const std::string& data, const std::string& templateToken = "/F=Shelf") {
        return ConnectorTest::Job(data, templateToken);
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
    // Nothing could be recorded, and nothing was lost.
#ifdef _WIN32
    // Windows refuses to write a read-only file even to an administrator;
    // Wine running as root does not, and writes it.
    if (std::ofstream(install_.Ini(), std::ios::app)) {
        EXPECT_EQ(install_.RawIni("Settings", "Printer"), "Office");
        return;
    }
#endif
    for (const RunRecord& run : runs) EXPECT_EQ(run.iniCmdLine, "earlier");
    EXPECT_EQ(install_.IniBytes(), ini);
}

}  // namespace
