// A label program that really crashes: the connector waits for it, reads
// its end and goes on with the next line. (The Windows build's tests give the
// stand-in a crash's exit code instead: a real crash under Wine would open
// the debugger.)
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/connector_install.h"

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
