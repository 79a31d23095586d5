// The settings file when its writers die or may not write: a writer killed at
// any moment leaves the file whole, holding the key's old value or its new
// one; a job whose folder refuses writes still prints every line.
#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/profile_engine.h"
#include "support/connector_install.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testsupport::ConnectorInstall;

// The value written in the n-th write: its number and a length that changes
// from write to write, so a torn or short file cannot pass for a whole one.
std::string CounterValue(long n) { return "v" + std::to_string(n) + "." + std::string(static_cast<std::size_t>(n * 37 % 2500), 'x'); }

long CounterOf(const std::string& value) {
    if (value.size() < 2 || value[0] != 'v') return -1;
    const std::size_t dot = value.find('.');
    if (dot == std::string::npos) return -1;
    const long n = std::stol(value.substr(1, dot - 1));
    return CounterValue(n) == value ? n : -1;
}

// What the writer in the child is doing, shared with the parent.
struct WriterProgress {
    std::atomic<long> attempting;  // the counter of the write under way
    std::atomic<long> failures;
};

// Settings that must survive every write around them.
const char* const kSettingsKeys[][2] = {
    {"Printer", "ByUser"},         {"MsgBoxDebug", "0"},
    {"CopiesType", "2"},           {"RunApiType", "3"},
    {"TemplatesFolder", "/srv/labels"}, {"ApiProxyExe", "proxy.exe /job"},
    {"BartenderExePath", ""},
};

TEST(FaultKilledWriter, SettingsFileHoldsTheOldOrTheNewValue) {
    testsupport::TempDir dir;
    const std::string ini = dir.File("vantor.ini");
    for (const auto& kv : kSettingsKeys) ASSERT_TRUE(platform::ProfileWriteString("Settings", kv[0], kv[1], ini));
    ASSERT_TRUE(platform::ProfileWriteString("LastJob", "Counter", CounterValue(0), ini));
    ASSERT_TRUE(platform::ProfileWriteString("LastJob", "After", "stays", ini));
    const std::string baseline = testsupport::ReadFileBytes(ini);

    auto* progress = static_cast<WriterProgress*>(mmap(nullptr, sizeof(WriterProgress), PROT_READ | PROT_WRITE,
                                                       MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(progress, MAP_FAILED);
    new (progress) WriterProgress{};

    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> delayUs(0, 40000);  // a write flushes to the disk: ms each
    long last = 0;  // the counter the file holds
    long writesDone = 0;
    const int rounds = 150;
    for (int round = 0; round < rounds; ++round) {
        progress->attempting.store(last);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (long n = last + 1;; ++n) {
                progress->attempting.store(n);
                if (!platform::ProfileWriteString("LastJob", "Counter", CounterValue(n), ini))
                    progress->failures.fetch_add(1);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        kill(pid, SIGKILL);
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        const long attempting = progress->attempting.load();

        const std::string bytes = testsupport::ReadFileBytes(ini);
        const std::string value = profile::GetString(bytes, "LastJob", "Counter", "<none>", 100000);
        const long n = CounterOf(value);
        ASSERT_TRUE(n == attempting || n == attempting - 1 || (n == last && attempting == last))
            << "round " << round << ": the file holds " << value.substr(0, 40) << ", the writer was at "
            << attempting;
        // The whole file is exactly the old one with this one value replaced.
        ASSERT_EQ(bytes, profile::WriteString(baseline, "LastJob", "Counter", CounterValue(n)))
            << "round " << round;
        writesDone += n - last;
        last = n;
    }
    EXPECT_EQ(progress->failures.load(), 0);
    // The rounds must have killed writers in the middle of their work, not
    // only before their first write.
    EXPECT_GT(writesDone, rounds);
    for (const auto& kv : kSettingsKeys) EXPECT_EQ(platform::ProfileGetString("Settings", kv[0], "<none>", 30000, ini), kv[1]);
    munmap(progress, sizeof(WriterProgress));
}

// The real connector killed at random moments of a job: the operator's
// settings are never touched, the file always reads.
TEST(FaultKilledWriter, ConnectorKilledDuringAJob) {
    ConnectorInstall install;
    std::string settings = "[Settings]\r\n";
    for (const auto& kv : kSettingsKeys) settings += std::string(kv[0]) + "=" + kv[1] + "\r\n";
    // An operator's table after the job's record: a tear after the record shows.
    install.WriteIni(settings + "[LastJob]\r\nCmdLine=earlier\r\n[TemplatePrinter]\r\nShelf=Zebra\r\n");
    std::string data;
    for (int i = 1; i <= 400; ++i) data += "line" + std::to_string(i) + "\t1\n";
    testsupport::WriteFileBytes(install.File("job.txt"), data);

    std::mt19937 random(7);
    std::uniform_int_distribution<int> delayUs(0, 40000);
    for (int round = 0; round < 25; ++round) {
        std::vector<std::string> args = {install.Exe(), "/F=Shelf", "/D=" + install.File("job.txt")};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        // In a process group of its own, so that its runner goes with it.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        kill(-pid, SIGKILL);
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }

        const std::string bytes = install.IniBytes();
        for (const auto& kv : kSettingsKeys)
            ASSERT_EQ(testsupport::RawProfileValue(bytes, "Settings", kv[0]), kv[1]) << "round " << round;
        ASSERT_EQ(testsupport::RawProfileValue(bytes, "TemplatePrinter", "Shelf"), "Zebra") << "round " << round;
        const std::string lines = testsupport::RawProfileValue(bytes, "LastJob", "NumLines", "");
        ASSERT_TRUE(lines == "" || lines == "400") << lines;
    }
    // A job run to its end after all that prints every line.
    testsupport::WriteFileBytes(install.File("job.txt"), "last-a\t1\nlast-b\t1\n");
    const auto result = install.RunConnector("/F=Shelf /D=" + install.File("job.txt"));
    EXPECT_EQ(result.exitCode, 0u);
    int printed = 0;
    for (const auto& run : install.Runs("Tarvel"))
        printed += run.cmdline.find("Param1 \"last-") != std::string::npos;
    EXPECT_EQ(printed, 2);
}

// ---------------------------------------------------------- permissions

// Runs the connector with `arguments` in a child that first calls `prepare`
// (exit status 120 when it fails). Its exit status.
int RunConnectorWith(const std::string& exe, const std::vector<std::string>& arguments,
                     const std::function<bool()>& prepare) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (!prepare()) _exit(120);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<std::string> args = {exe};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(121);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// As the user `nobody` when this process is root (root may write anywhere),
// else as ourselves.
int RunConnectorUnprivileged(const std::string& exe, const std::vector<std::string>& arguments,
                             uid_t uid, gid_t gid) {
    return RunConnectorWith(exe, arguments, [&] {
        return geteuid() != 0 || (setgroups(0, nullptr) == 0 && setgid(gid) == 0 && setuid(uid) == 0);
    });
}

TEST(FaultPermissions, SettingsFolderWithoutWritePermission) {
    uid_t uid = geteuid();
    gid_t gid = getegid();
    if (uid == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody) GTEST_SKIP() << "running as root and there is no user 'nobody' to drop to";
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
    }
    ConnectorInstall install;
    const std::string ini = "[Settings]\r\nPrinter=Office\r\n[LastJob]\r\nCmdLine=earlier\r\n";
    // The settings file itself is writable and belongs to the user the
    // connector runs as, and so do the runner's logs and the data file; only
    // the folder refuses new files.
    const std::pair<const char*, std::string> files[] = {
        {"vantor.ini", ini}, {"Tarvel.log", ""}, {"runners.log", ""}, {"job.txt", "one\t1\ntwo\t1\nthree\t1\n"}};
    for (const auto& [name, bytes] : files) {
        testsupport::WriteFileBytes(install.File(name), bytes);
        ASSERT_EQ(chown(install.File(name).c_str(), uid, gid), 0);
    }
    ASSERT_EQ(chmod(install.path().c_str(), 0555), 0);
    struct Restore {
        std::string path;
        ~Restore() { chmod(path.c_str(), 0755); }
    } restore{install.path()};

    // The folder really refuses the user the connector runs as.
    if (geteuid() != 0) {
        const int probe = open(install.File("probe").c_str(), O_CREAT | O_WRONLY, 0644);
        if (probe >= 0) {
            close(probe);
            GTEST_SKIP() << "this file system lets us create files in a folder without write permission";
        }
    }

    const int status = RunConnectorUnprivileged(install.Exe(), {"/F=Shelf", "/D=" + install.File("job.txt")}, uid, gid);
    if (status == 120 || status == 121)
        GTEST_SKIP() << "cannot run the connector as user " << uid << " here (status " << status
                     << "): the temporary folder is out of its reach";
    EXPECT_EQ(status, 0);
    const auto runs = install.Runs("Tarvel");
    ASSERT_EQ(runs.size(), 3u);
    const std::string head = "\"" + install.Folder() + "Tarvel.exe\" \"" + install.Folder() + "Shelf.tvl\" /pt \"Office\"  /fm Param1 ";
    EXPECT_EQ(runs[0].cmdline, head + "\"one\"");
    EXPECT_EQ(runs[1].cmdline, head + "\"two\"");
    EXPECT_EQ(runs[2].cmdline, head + "\"three\"");
    // The file itself may be written: the records went in, in place, as
    // Windows writes a file in a folder that refuses new files; nothing was
    // lost and nothing left behind.
    const std::string bytes = install.IniBytes();
    EXPECT_EQ(testsupport::RawProfileValue(bytes, "Settings", "Printer"), "Office");
    EXPECT_EQ(testsupport::RawProfileValue(bytes, "LastJob", "NumLines"), "3");
    EXPECT_EQ(testsupport::RawProfileValue(bytes, "LastJob", "Param1"), "three");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(install.path())) names.push_back(entry.path().filename().string());
    for (const std::string& name : names) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

// ------------------------------------------------------------ a full disk

// A job on a disk that takes no more bytes (a file size limit of 4096 bytes,
// which fails a write past it with EFBIG as a full disk fails it with
// ENOSPC, and needs no mount rights): the settings file, just under 4096
// bytes with an operator's table after the job's record, stays byte for
// byte, the labels print, and the journal says which records were lost and
// why. Once with the file replaced, once with a folder that refuses new
// files (in place).
class FaultFullDisk : public ::testing::TestWithParam<bool> {
protected:
    // Runs a job over `data` with vantor.ini holding `ini`, on the full disk,
    // with the folder refusing new files for InPlace. Its exit status.
    int RunOnAFullDisk(const std::string& ini, const std::string& data) {
        install_.WriteIni(ini);
        for (const char* name : {"journal.log", "Tarvel.log", "ApiProxy.log", "runners.log"})
            testsupport::WriteFileBytes(install_.File(name), "");
        testsupport::WriteFileBytes(install_.File("job.txt"), data);
        if (GetParam()) {
            EXPECT_EQ(chmod(install_.path().c_str(), 0555), 0);
        }
        struct Restore {
            std::string path;
            ~Restore() { chmod(path.c_str(), 0755); }
        } restore{install_.path()};
        return RunConnectorWith(install_.Exe(), {"/F=Shelf", "/D=" + install_.File("job.txt")}, [] {
            const rlimit limit{4096, 4096};
            return signal(SIGXFSZ, SIG_IGN) != SIG_ERR && setrlimit(RLIMIT_FSIZE, &limit) == 0;
        });
    }
    // `head` and an operator's table after it, just under 4096 bytes.
    static std::string NearlyFull(std::string head) {
        head += "[TemplatePrinter]\r\nShelf=Zebra\r\nCrate=";
        return head + std::string(4090 - head.size() - 2, 'x') + "\r\n";
    }
    ConnectorInstall install_;
};

TEST_P(FaultFullDisk, SettingsFileStaysWholeAndTheJournalSaysWhy) {
    const std::string ini =
        NearlyFull("[Settings]\r\nPrinter=Office\r\nJournalFile=journal.log\r\n[LastJob]\r\nCmdLine=earlier\r\n");
    const int status = RunOnAFullDisk(ini, "one\t1\n");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(install_.IniBytes() == ini) << install_.IniBytes().substr(0, 300);
    EXPECT_EQ(install_.Runs("Tarvel").size(), 1u);
    std::vector<std::string> notes;
    for (const auto& record : testsupport::ReadJournal(install_.File("journal.log")))
        if (record.kind == "note") notes.push_back(record.fields.at("about") + " " + record.fields.at("keys") + " " + record.fields.at("error"));
    const std::string tooLarge = std::to_string(EFBIG) + " File too large";
    EXPECT_EQ(notes, (std::vector<std::string>{"settings-unsaved LastJob/CmdLine " + tooLarge,
                                                "settings-unsaved LastJob/Template " + tooLarge,
                                                "settings-unsaved LastJob/DataFile " + tooLarge,
                                                "settings-unsaved LastJob/NumLines " + tooLarge,
                                                "settings-unsaved LastJob/Param1... " + tooLarge}));
}

// The API proxy reads its job from [LastJob] alone: when the job's record
// cannot be saved it is not started (it would print the previous job's
// values), and its lines count as failed.
TEST_P(FaultFullDisk, ApiProxyIsNotStartedWithoutItsRecord) {
    install_.InstallRunner("ApiProxy.exe");
    const std::string ini = NearlyFull("[Settings]\r\nRunApiType=1\r\nApiProxyExe=\"" + install_.Folder() +
                                       "ApiProxy.exe\" /job\r\nExitStatus=1\r\nJournalFile=journal.log\r\n"
                                       "[LastJob]\r\nParam1=previous\r\n");
    EXPECT_EQ(RunOnAFullDisk(ini, "one\t1\ntwo\t1\n"), 11);
    EXPECT_TRUE(install_.IniBytes() == ini);
    EXPECT_TRUE(install_.Runs("ApiProxy").empty());
    std::vector<std::string> runs;
    std::string failed;
    for (const auto& record : testsupport::ReadJournal(install_.File("journal.log"))) {
        if (record.kind == "run")
            runs.push_back(record.fields.at("runner") + " " + record.fields.at("outcome") + " " +
                           (record.fields.count("reason") ? record.fields.at("reason") : "<no reason>"));
        if (record.kind == "job-end") failed = record.fields.at("failed");
    }
    const std::string refused = "api-proxy not-started the job's record did not reach " + install_.Ini() +
                                " (File too large), and the API proxy reads its job from there";
    EXPECT_EQ(runs, (std::vector<std::string>{refused, refused}));
    EXPECT_EQ(failed, "2");
}

INSTANTIATE_TEST_SUITE_P(WritePaths, FaultFullDisk, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("InPlace") : std::string("Replaced");
                         });

// A user other than the file's owner cannot give a new file the owner's
// name: the file is written in place and keeps its owner and group, so the
// next user of the group can still write it. Needs root to set it up.
TEST(FaultPermissions, OtherUserKeepsOwnerAndGroup) {
    const passwd* nobody = getpwnam("nobody");
    const group* users = getgrnam("users");
    if (geteuid() != 0 || !nobody || !users || users->gr_gid == nobody->pw_gid)
        GTEST_SKIP() << "needs root, a user 'nobody' and a group 'users' that is not nobody's own";
    testsupport::TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    const std::string ini = dir.File("vantor.ini");
    testsupport::WriteFileBytes(ini, "[Settings]\r\nPrinter=Office\r\n");
    ASSERT_EQ(chown(ini.c_str(), 0, users->gr_gid), 0);
    ASSERT_EQ(chmod(ini.c_str(), 0664), 0);

    const pid_t pid = fork();
    if (pid == 0) {
        const gid_t groups[] = {users->gr_gid};
        if (setgroups(1, groups) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(120);
        _exit(platform::ProfileWriteString("LastJob", "Param1", "new", ini) ? 0 : 1);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    struct stat st {};
    ASSERT_EQ(stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_gid, users->gr_gid);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    EXPECT_EQ(testsupport::ReadFileBytes(ini), "[Settings]\r\nPrinter=Office\r\n[LastJob]\r\nParam1=new\r\n");
}

}  // namespace
