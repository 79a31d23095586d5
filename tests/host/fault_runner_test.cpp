// A label program that really crashes: the connector waits for it, reads
// its end and goes on with the next line. (The Windows build's tests give the
// stand-in a crash's exit code instead: a real crash under Wine would open
// the debugger.)
#include <gtest/gtest.h>

#include <errno.h>
#include <signal.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/connector_install.h"
#include "support/test_text.h"

namespace {

using testsupport::ConnectorInstall;

TEST(FaultRunner, CrashingLabelProgram) {
    for (const char* signal : {"SEGV", "KILL", "ABRT"}) {
        SCOPED_TRACE(signal);
        ConnectorInstall install;
        // Records its parameter, then dies of `signal` on the line that asks.
        testsupport::WriteFileBytes(install.File("Tarvel.exe"),
                                    std::string("#!/bin/sh\n"
                                                "printf '%s\\n' \"$5\" >> \"$(dirname \"$0\")/crash.log\"\n"
                                                "case \"$5\" in crash*) kill -") +
                                        signal + " $$ ;; esac\nexit 0\n");
        ASSERT_EQ(chmod(install.File("Tarvel.exe").c_str(), 0755), 0);
        testsupport::WriteFileBytes(install.File("job.txt"), "one\t1\ncrash-2\t1\nthree\t1\ncrash-4\t1\n");
        const auto result = install.RunConnector("/F=Shelf /D=" + install.File("job.txt"));
        ASSERT_TRUE(result.started);
        EXPECT_EQ(result.exitCode, 0u) << result.output;
        EXPECT_EQ(testsupport::ReadFileBytes(install.File("crash.log")), "one\ncrash-2\nthree\ncrash-4\n");
        EXPECT_EQ(install.RawIni("LastJob", "Copies_4"), "1");
        EXPECT_EQ(install.RawIni("LastJob", "Param1"), "crash-4");
    }
}

}  // namespace

namespace {

// A parent that ignores SIGCHLD (a perl or Python service with
// SIGCHLD set to IGNORE) hands that on to the connector: a failing runner must still fail.
TEST(FaultRunner, ParentIgnoringChildSignals) {
    ConnectorInstall install;
    install.WriteIni("[Settings]\r\nExitStatus=1\r\nJournalFile=journal.log\r\n");
    install.SetExitCode("Tarvel", 1);
    // (dash's `trap '' CHLD` leaves the signal as it is: perl sets it.)
    testsupport::WriteFileBytes(install.File("ignore-chld.sh"),
                                "#!/usr/bin/perl\n$SIG{CHLD} = 'IGNORE'; exec @ARGV or die;\n");
    ASSERT_EQ(chmod(install.File("ignore-chld.sh").c_str(), 0755), 0);
    testsupport::WriteFileBytes(install.File("job.txt"), "one\t1\n");
    const auto result = testsupport::RunProgram(testsupport::Quoted(install.File("ignore-chld.sh")) + " " + testsupport::Quoted(install.Exe()) +
                                                " /F=Shelf /D=" + testsupport::Quoted(install.File("job.txt")));
    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 11u) << "no line printed\n" << result.output;
    const auto journal = testsupport::ReadJournal(install.File("journal.log"));
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[1].fields.at("exit"), "1");

    // Where the end cannot be read, the run is a failure, not exit 0.
    struct sigaction ignore {}, before {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGCHLD, &ignore, &before), 0);
    const platform::ProcessOutcome lost = platform::RunHidden(install.File("Tarvel.exe") + " x");
    sigaction(SIGCHLD, &before, nullptr);
    EXPECT_EQ(lost.state, platform::ProcessOutcome::State::EndUnknown);
    EXPECT_EQ(lost.error.code, static_cast<uint32_t>(ECHILD));
}

}  // namespace
