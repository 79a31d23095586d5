// Several jobs and a configuration save at once, against one settings file:
// connectors started together from one folder (so they share vantor.ini and
// the label program), while the test saves the seven Settings keys again and
// again. Every line of every job must reach the label program exactly once,
// the file must read, and the last save must be what the file holds.
//
// The label program is bench_runner (bench/), which appends each command line
// it receives to Tarvel.lines with one atomic append, so runners started at
// the same moment by different connectors never lose each other's lines. The
// jobs tell their lines apart by field 1: "J<job>L<line>".
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "support/build_paths.h"
#include "support/connector_install.h"
#include "support/wine.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ConnectorInstall;

#ifdef _WIN32
// Process starts are slow under Wine: a few jobs.
constexpr int kJobs = 3;
constexpr int kLines = 6;
#else
constexpr int kJobs = 8;
constexpr int kLines = 20;
#endif

const char* const kSettingsKeys[] = {"Printer",         "MsgBoxDebug", "CopiesType", "RunApiType",
                                     "TemplatesFolder", "ApiProxyExe", "BartenderExePath"};

// The values of save number `round`. Each of them lets a job print through
// the label program, whatever a job reads in the middle of the saves: a fixed
// printer or the default one, no debug box, any copies policy, the product
// only (run mode 3 with a template that never names the proxy), no Bartender.
std::vector<std::string> SavedValues(int round) {
    return {round % 2 ? "Load printer " + std::to_string(round) : "",
            round % 2 ? "0" : "00",
            std::to_string(round % 3),
            round % 2 ? "3" : "0",
            "C:\\Labels\\Round" + std::to_string(round),
            "proxy.exe /round " + std::to_string(round),
            ""};
}

// Field 1 of a label-program command line: the text of its first /fm.
std::string Param1Of(const std::string& commandLine) {
    const std::string mark = "/fm Param1 \"";
    const std::size_t at = commandLine.find(mark);
    if (at == std::string::npos) return "<none>";
    const std::size_t start = at + mark.size();
    return commandLine.substr(start, commandLine.find('"', start) - start);
}

TEST(FaultLoad, ConcurrentJobsAndSavesOnOneSettingsFile) {
    ConnectorInstall install;
    const std::string runner =
        testsupport::BuildDir() + (testsupport::ExeSuffix().empty() ? "/bench/bench_runner" : "\\bench\\bench_runner.exe");
    ASSERT_TRUE(testsupport::FileExists(runner)) << runner;
    fs::remove(fs::path(install.File("Tarvel.exe")));
    fs::copy_file(fs::path(runner), fs::path(install.File("Tarvel.exe")));
    fs::permissions(fs::path(install.File("Tarvel.exe")), fs::perms::owner_all, fs::perm_options::add);
    testsupport::WriteFileBytes(install.File("Tarvel.lines"), "");

    std::string settings = "[Settings]\r\n";
    const std::vector<std::string> initial = SavedValues(0);
    for (std::size_t k = 0; k < initial.size(); ++k) settings += std::string(kSettingsKeys[k]) + "=" + initial[k] + "\r\n";
    install.WriteIni(settings);

    std::vector<std::string> commandLines;
    for (int j = 0; j < kJobs; ++j) {
        std::string data;
        for (int l = 0; l < kLines; ++l)
            data += "J" + std::to_string(j) + "L" + std::to_string(l) + "\tload\t1\r\n";
        const std::string file = install.File("job" + std::to_string(j) + ".txt");
        testsupport::WriteFileBytes(file, data);
        commandLines.push_back("/F=Shelf /D=\"" + file + "\"");
    }

    std::atomic<int> running{kJobs};
    std::vector<testsupport::ProcessResult> results(kJobs);
    std::vector<std::thread> jobs;
    for (int j = 0; j < kJobs; ++j)
        jobs.emplace_back([&, j] {
            results[static_cast<std::size_t>(j)] = install.RunConnector(commandLines[static_cast<std::size_t>(j)]);
            running.fetch_sub(1);
        });
    // Save the seven keys as the configuration dialog's OK does, one key at a
    // time, for as long as the jobs run.
    int rounds = 0;
    std::vector<std::string> reverted;
    while (running.load() > 0 || rounds < 3) {
        ++rounds;
        const std::vector<std::string> values = SavedValues(rounds);
        for (std::size_t k = 0; k < values.size(); ++k)
            platform::ProfileWriteString("Settings", kSettingsKeys[k], values[k], install.Ini());
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        // The jobs' writes since then must not have brought back older values.
        // Read through the profile functions, which take their turn with the
        // jobs' writes (a raw read could meet a rewrite half done).
        for (std::size_t k = 0; k < values.size(); ++k)
            if (platform::ProfileGetString("Settings", kSettingsKeys[k], "<absent>", 30000,
                                           install.Ini()) != values[k])
                reverted.push_back(std::string(kSettingsKeys[k]) + " after save " + std::to_string(rounds));
    }
    for (std::thread& t : jobs) t.join();

    for (const auto& result : results) {
        EXPECT_TRUE(result.started);
        EXPECT_EQ(result.exitCode, 0u);
    }
    // Every (job, line) pair reached the label program exactly once.
    std::map<std::string, int> seen;
    const std::string log = testsupport::ReadFileBytes(install.File("Tarvel.lines"));
    for (const std::string& line : testsupport::LinesOf(log)) ++seen[Param1Of(line.substr(line.find(' ') + 1))];
    for (int j = 0; j < kJobs; ++j)
        for (int l = 0; l < kLines; ++l) {
            const std::string id = "J" + std::to_string(j) + "L" + std::to_string(l);
            EXPECT_EQ(seen[id], 1) << id;
        }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kJobs * kLines)) << log;

    // The file holds the last save and a whole job record.
    const std::string bytes = install.IniBytes();
    const std::vector<std::string> last = SavedValues(rounds);
    std::vector<std::string> lost = reverted;
    for (std::size_t k = 0; k < last.size(); ++k)
        if (testsupport::RawProfileValue(bytes, "Settings", kSettingsKeys[k]) != last[k])
            lost.push_back(std::string(kSettingsKeys[k]) + " at the end");
    for (const char* key : {"CmdLine", "NumLines", "Param1", "LastUser", "TvlCmdLine"})
        if (testsupport::RawProfileValue(bytes, "LastJob", key) == "<absent>")
            lost.push_back(std::string("LastJob ") + key + " at the end");
    // Windows' own profile functions take no lock between processes; ours
    // take turns on a named mutex there and lock the folder on POSIX.
    EXPECT_TRUE(lost.empty()) << lost.size() << " keys lost, the first: " << lost.front();
    EXPECT_EQ(install.IniText("LastJob", "NumLines"), std::to_string(kLines));
    const std::string cmdLine = install.IniText("LastJob", "CmdLine");
    bool known = false;
    for (const std::string& c : commandLines) known = known || c == cmdLine;
    EXPECT_TRUE(known) << cmdLine;
    RecordProperty("saves", rounds);
}

}  // namespace
