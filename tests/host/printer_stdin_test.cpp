// The manual printer policy on the host build: the print dialog's place is
// taken by one line on standard input (an empty line or the end of input is
// Cancel). Through the real connector with a pipe on its standard input.
#include <gtest/gtest.h>

#include <string>

#include "launch/printer.h"
#include "support/connector_install.h"
#include "support/test_text.h"

namespace {

using testsupport::ConnectorInstall;

using testsupport::Quoted;

class ManualPrinterTest : public ::testing::Test {
protected:
    void SetUp() override {
        install_.WriteIni("[Settings]\r\nPrinter=Manual\r\n[LastJob]\r\nTvlCmdLine=earlier\r\nLastUser=earlier\r\n");
        testsupport::WriteFileBytes(install_.File("job.txt"), "one\t1\n" "two\t1\n");
    }
    testsupport::ProcessResult Job(const std::string& input) {
        return install_.RunConnector("/F=Box /D=" + Quoted(install_.File("job.txt")), input);
    }
    std::string Line(const std::string& printerSwitch, const std::string& param) const {
        return Quoted(install_.Folder() + "Tarvel.exe") + " " + Quoted(install_.Folder() + "Box.tvl") +
               printerSwitch + " /fm Param1 " + Quoted(param);
    }
    ConnectorInstall install_;
};

TEST_F(ManualPrinterTest, AnswerForEveryLine) {
    const auto result = Job("Label Printer 2\nShelf Printer\n");
    EXPECT_EQ(result.exitCode, 0u);
    const auto runs = install_.Runs("Tarvel");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].cmdline, Line(" /pt \"Label Printer 2\" ", "one"));
    EXPECT_EQ(runs[1].cmdline, Line(" /pt \"Shelf Printer\" ", "two"));
}

TEST_F(ManualPrinterTest, CancelStartsNothingForThatLine) {
    // Line 1 is cancelled (empty answer), line 2 gets a printer.
    Job("\nP2\n");
    auto runs = install_.Runs("Tarvel");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].cmdline, Line(" /pt \"P2\" ", "two"));
}

TEST_F(ManualPrinterTest, EndOfInputCancelsEveryLine) {
    const auto result = Job("");
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(install_.Runs("Tarvel").empty());
    EXPECT_EQ(install_.RawIni("LastJob", "TvlCmdLine"), "earlier");
    EXPECT_EQ(install_.IniText("LastJob", "LastUser"), launch::CurrentUserName());
    EXPECT_EQ(install_.RawIni("LastJob", "NumLines"), "2");
}

}  // namespace
