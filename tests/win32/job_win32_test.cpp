// Whole jobs in the Windows build: what only Windows can tell.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "support/job_fixture.h"

namespace {

using testsupport::ConnectorInstall;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

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

}  // namespace
