// Start-up of the real host program: exit code, the command-line text it
// derives from its arguments, and the orderly stop on an over-long path.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
    int exitCode = -1;
    std::string err;
};

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args) {
    fs::path errFile = fs::temp_directory_path() / ("vantor-err-" + std::to_string(getpid()));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ProgramRun run;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    std::ifstream in(errFile);
    std::stringstream s;
    s << in.rdbuf();
    run.err = s.str();
    fs::remove(errFile);
    return run;
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class HostProgram : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("vantor-host-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path Install(const fs::path& dir) {
        fs::create_directories(dir);
        fs::copy_file(fs::path(VANTOR_BUILD_DIR) / "vantor", dir / "vantor");
        return dir / "vantor";
    }
    fs::path folder_;
};

TEST_F(HostProgram, ArgumentsBecomeTheJobsCommandLine) {
    fs::path exe = Install(folder_);
    // An argument with a blank is quoted, as Windows would hand it over, so
    // that the job's tokenizer keeps it whole and drops the quotes.
    ProgramRun run = RunProgram(exe, {"/F=/labels/Shelf.tvl", "/D=/tmp/job files/a.txt"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(ReadAll(folder_ / "vantor.ini")
                  .find("CmdLine=/F=/labels/Shelf.tvl \"/D=/tmp/job files/a.txt\"\r\n"),
              std::string::npos)
        << ReadAll(folder_ / "vantor.ini");
}

TEST_F(HostProgram, NoArgumentsIsConfigurationModeAndWritesNothing) {
    fs::path exe = Install(folder_);
    ProgramRun run = RunProgram(exe, {});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(fs::exists(folder_ / "vantor.ini"));
}

TEST_F(HostProgram, OverlongProgramPathStopsWithAMessage) {
    // 259 characters are accepted; 260 and more are not.
    auto deepFolder = [&](std::size_t exeLength) {
        fs::path dir = folder_;
        std::string name = "d";
        while (dir.string().size() + 1 + 100 + std::string("/vantor").size() < exeLength)
            dir /= std::string(100, 'x');
        std::size_t rest = exeLength - dir.string().size() - std::string("/vantor").size() - 1;
        return dir / std::string(rest, 'y');
    };
    fs::path ok = Install(deepFolder(259));
    ASSERT_EQ(ok.string().size(), 259u);
    ProgramRun accepted = RunProgram(ok, {"/F=x", "/D=y"});
    EXPECT_EQ(accepted.exitCode, 0) << accepted.err;
    EXPECT_TRUE(fs::exists(ok.parent_path() / "vantor.ini"));

    fs::path tooLong = Install(deepFolder(260));
    ASSERT_EQ(tooLong.string().size(), 260u);
    ProgramRun refused = RunProgram(tooLong, {"/F=x", "/D=y"});
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_NE(refused.err.find("path of its program file is longer than 259"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(tooLong.parent_path() / "vantor.ini"));
}

}  // namespace
