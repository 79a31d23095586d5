// The manual printer policy in the Windows build: the real print dialog,
// answered with Cancel from this test. Where no printer is installed (as in
// the test's Wine prefix) the dialog shows a box saying so instead; that box
// is answered the same way, and the dialog's failure counts as a cancel too.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launch/printer.h"
#include "support/connector_install.h"
#include "support/test_text.h"

namespace {

using testsupport::ConnectorInstall;

using testsupport::Quoted;

TEST(ManualPrinterWin32, CancelStartsNothing) {
    ConnectorInstall install;
    install.WriteIni("[Settings]\r\nPrinter=Manual\r\n[LastJob]\r\nTvlCmdLine=earlier\r\nLastUser=earlier\r\n");
    testsupport::WriteFileBytes(install.File("job.txt"), "one\t1\r\ntwo\t1\r\n");
    std::vector<std::string> captions;
    const auto result = install.RunConnector("/F=Box /D=" + Quoted(install.File("job.txt")), "",
                                             [&](unsigned long pid) {
                                                 for (const std::string& c : testsupport::CancelDialogsOf(pid))
                                                     captions.push_back(c);
                                             });
    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 0u);
    // One dialog for each of the two lines (a dialog may be seen twice
    // before it closes).
    EXPECT_GE(captions.size(), 2u) << "a dialog was not shown";
    EXPECT_TRUE(install.Runs("Tarvel").empty());
    EXPECT_EQ(install.RawIni("LastJob", "TvlCmdLine"), "earlier");
    EXPECT_EQ(install.IniText("LastJob", "LastUser"), launch::CurrentUserName());
    EXPECT_EQ(install.RawIni("LastJob", "Copies_2"), "1");  // the second line was reached
}

}  // namespace
