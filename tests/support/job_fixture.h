// The fixture of the whole-job tests: a connector installed in a fresh
// folder (ConnectorInstall), a data file beside it, and the runner's records.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/connector_install.h"
#include "support/test_text.h"

namespace testsupport {

class JobFixture : public ::testing::Test {
protected:
    // Writes the data file and returns the job's command line.
    std::string Job(const std::string& data, const std::string& templateToken) {
        WriteFileBytes(install_.File("job.txt"), data);
        return templateToken + " /D=" + Quoted(install_.File("job.txt"));
    }
    // Runs the connector; its exit code never depends on the job.
    ProcessResult Run(const std::string& arguments) {
        ProcessResult result = install_.RunConnector(arguments);
        EXPECT_TRUE(result.started);
        EXPECT_EQ(result.exitCode, 0u) << "the connector's exit code never depends on the job\n"
                                       << result.output;
        return result;
    }
    // The label program's command line for a template in the connector's
    // folder, followed by `rest`.
    std::string LabelLine(const std::string& rest, const std::string& templateName = "Shelf") const {
        return Quoted(install_.Folder() + "Tarvel.exe") + " " +
               Quoted(install_.Folder() + templateName + ".tvl") + rest;
    }
    std::vector<RunRecord> Tarvel() const { return install_.Runs("Tarvel"); }
    std::string LastJob(const char* key) const { return install_.RawIni("LastJob", key); }

    ConnectorInstall install_;
};

}  // namespace testsupport
