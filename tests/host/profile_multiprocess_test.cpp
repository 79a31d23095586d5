// The POSIX profile file layer under load and around a rewrite: several
// processes writing one settings file at once lose nothing and never show a
// reader a torn file; a rewrite keeps the file's permissions and leaves
// nothing beside it.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/policy.h"
#include "platform/posix/profile.h"
#include "support/connector_install.h"
#include "support/temp_dir.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

constexpr int kWriters = 4;
constexpr int kRounds = 60;
constexpr int kKeysPerWriter = 5;

std::string KeyOf(int writer, int k) {
    return "P" + std::to_string(writer) + "_K" + std::to_string(k);
}

std::string ValueOf(int writer, int round) {
    return std::to_string(writer) + ":" + std::to_string(round);
}

// Exit code 0 when every write reported success.
int WriterMain(const std::string& path, int writer) {
    int failures = 0;
    const auto write = [&](const std::string& section, const std::string& key,
                           const std::string& value) {
        if (!platform::ProfileWriteString(section, key, value, path)) ++failures;
    };
    for (int round = 0; round < kRounds; ++round) {
        for (int k = 0; k < kKeysPerWriter; ++k)
            write("Job", KeyOf(writer, k), ValueOf(writer, round));
        write("Writer" + std::to_string(writer), "Round", std::to_string(round));
        write("Shared", "Last", ValueOf(writer, round));
    }
    return failures == 0 ? 0 : 1;
}

// Reads a key written before the writers started until `stop` reaches end of
// file. Exit code 0 when it always read the stored value (a torn or
// half-written file would show the default instead), 2 when it never read.
int ReaderMain(const std::string& path, int stop) {
    long reads = 0;
    for (;;) {
        if (platform::ProfileGetString("Stable", "Key", "missing", 30000, path) != "present")
            return 1;
        if (platform::ProfileGetInt("stable", "number", -1, path) != 1234) return 1;
        ++reads;
        char c;
        const ssize_t got = read(stop, &c, 1);
        if (got == 0) break;  // the parent closed its end: the writers are done
    }
    return reads > 0 ? 0 : 2;
}

pid_t Spawn(const std::vector<int>& closeInChild, int (*body)(const std::string&, int),
            const std::string& path, int arg) {
    const pid_t pid = fork();
    if (pid == 0) {
        for (int fd : closeInChild) close(fd);
        _exit(body(path, arg));
    }
    return pid;
}

int ExitCodeOf(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Whether every line is blank, a [header] or a key=value line.
::testing::AssertionResult EveryLineParses(const std::string& bytes) {
    std::istringstream in(bytes);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const bool ok = line.empty() || (line.front() == '[' && line.back() == ']') ||
                        (line.find('=') != std::string::npos && line.front() != '[');
        if (!ok) return ::testing::AssertionFailure() << "line " << number << ": " << line;
    }
    if (!bytes.empty() && bytes.substr(bytes.size() - 2) != "\r\n")
        return ::testing::AssertionFailure() << "no final line end";
    return ::testing::AssertionSuccess();
}

TEST(ProfileMultiProcess, ConcurrentWritersLoseNoKeyAndReadersNeverSeeTornFile) {
    TempDir dir;
    const std::string path = dir.File("vantor.ini");
    WriteFileBytes(path, "[Stable]\r\nKey=present\r\nNumber=1234\r\n\r\n");

    int stop[2];
    ASSERT_EQ(pipe(stop), 0);
    fcntl(stop[0], F_SETFL, O_NONBLOCK);
    const pid_t reader = Spawn({stop[1]}, ReaderMain, path, stop[0]);
    ASSERT_GT(reader, 0);
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.push_back(Spawn({stop[0], stop[1]}, WriterMain, path, w));
        ASSERT_GT(writers.back(), 0);
    }
    close(stop[0]);
    for (int w = 0; w < kWriters; ++w) EXPECT_EQ(ExitCodeOf(writers[w]), 0) << "writer " << w;
    close(stop[1]);
    EXPECT_EQ(ExitCodeOf(reader), 0) << "1: the reader saw a file without the stable key";

    // Each key has one writer, so it holds that writer's last value; the
    // shared key holds some writer's last value.
    for (int w = 0; w < kWriters; ++w) {
        for (int k = 0; k < kKeysPerWriter; ++k)
            EXPECT_EQ(platform::ProfileGetString("Job", KeyOf(w, k), "lost", 30000, path),
                      ValueOf(w, kRounds - 1));
        EXPECT_EQ(platform::ProfileGetInt("Writer" + std::to_string(w), "Round", -1, path),
                  kRounds - 1);
    }
    std::set<std::string> lastValues;
    for (int w = 0; w < kWriters; ++w) lastValues.insert(ValueOf(w, kRounds - 1));
    const std::string shared = platform::ProfileGetString("Shared", "Last", "lost", 30000, path);
    EXPECT_EQ(lastValues.count(shared), 1u) << shared;

    const std::string bytes = ReadFileBytes(path);
    EXPECT_TRUE(EveryLineParses(bytes)) << bytes;
    EXPECT_EQ(bytes.rfind("[Stable]\r\nKey=present\r\nNumber=1234\r\n\r\n", 0), 0u) << bytes;
    // One line per key: nothing was added twice.
    std::size_t lines = 0;
    for (char c : bytes) lines += c == '\n';
    EXPECT_EQ(lines, 4u + 1 + kWriters * kKeysPerWriter + 2u * kWriters + 2) << bytes;
}

// ------------------------------------------------- what a rewrite keeps

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(ProfileFiles, RewriteKeepsPermissionBitsAndLeavesNothingBeside) {
    TempDir dir;
    const std::string path = dir.File("vantor.ini");
    WriteFileBytes(path, "[s]\r\nk=v\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(platform::ProfileWriteString("s", "k", std::to_string(i), path));
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_EQ(NamesIn(dir.path()), std::set<std::string>{"vantor.ini"});
}

TEST(ProfileFiles, NewFileGetsTheUsualModeUnderTheUmask) {
    TempDir dir;
    const std::string path = dir.File("vantor.ini");
    const mode_t mask = umask(022);
    const bool written = platform::ProfileWriteString("s", "k", "v", path);
    umask(mask);
    ASSERT_TRUE(written);
    EXPECT_EQ(ModeOf(path), 0644u);
}

TEST(ProfileFiles, WriteGoesThroughSymbolicLink) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("real"));
    const std::string target = dir.File("real/vantor.ini");
    const std::string link = dir.File("vantor.ini");
    WriteFileBytes(target, "[s]\r\nk=v\r\n");
    std::filesystem::create_symlink(target, link);

    ASSERT_TRUE(platform::ProfileWriteString("s", "k", "w", link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(target), "[s]\r\nk=w\r\n");
    EXPECT_EQ(NamesIn(dir.File("real")), std::set<std::string>{"vantor.ini"});
}

TEST(ProfileFiles, UnchangedWriteLeavesTheFileAlone) {
    TempDir dir;
    const std::string path = dir.File("vantor.ini");
    WriteFileBytes(path, "[s]\r\nk=v\r\n");
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    ASSERT_TRUE(platform::ProfileWriteString("S", "K", "v", path));
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST(ProfileFiles, FolderInPlaceOfFileFailsWriteAndReadsDefault) {
    TempDir dir;
    const std::string path = dir.File("vantor.ini");
    std::filesystem::create_directory(path);
    EXPECT_FALSE(platform::ProfileWriteString("s", "k", "v", path));
    EXPECT_EQ(platform::ProfileGetString("s", "k", "d", 30000, path), "d");
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

}  // namespace

// A folder without any write permission bit refuses a new file, to root too,
// as Windows' folder rights refuse an administrator; a writable file in it is
// rewritten in place (same inode), whoever we are.
TEST(ProfileFiles, FolderThatRefusesNewFiles) {
    TempDir dir;
    const std::string folder = dir.File("locked");
    std::filesystem::create_directory(folder);
    const std::string existing = folder + "/vantor.ini";
    WriteFileBytes(existing, "[Settings]\r\nPrinter=Office\r\n[LastJob]\r\nParam1=long old value\r\n");
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    struct Restore {
        std::string path;
        ~Restore() { chmod(path.c_str(), 0755); }
    } restore{folder};
    struct stat before {};
    ASSERT_EQ(stat(existing.c_str(), &before), 0);

    const platform::SystemError refused =
        platform::ProfileWrite(folder + "/new.ini", {{"s", "k", "v"}});
    EXPECT_EQ(refused.code, static_cast<uint32_t>(EACCES));
    EXPECT_EQ(refused.text, platform::SystemErrorText(EACCES));
    EXPECT_FALSE(testsupport::FileExists(folder + "/new.ini"));

    ASSERT_FALSE(platform::ProfileWrite(existing, {{"LastJob", "Param1", "new"}, {"LastJob", "Param2", "x"}})
                     .failed());
    EXPECT_EQ(ReadFileBytes(existing),
              "[Settings]\r\nPrinter=Office\r\n[LastJob]\r\nParam1=new\r\nParam2=x\r\n");
    struct stat after {};
    ASSERT_EQ(stat(existing.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(NamesIn(folder), std::set<std::string>{"vantor.ini"});
}

// A call in a child, which the parent ends after 20 seconds: how long it
// took, in tenths of a second; -1 when it did not do what it should, -2 when
// it was still waiting after 20 seconds.
static int Timed(const std::function<bool()>& call) {
    using Clock = std::chrono::steady_clock;
    const pid_t pid = fork();
    if (pid == 0) {
        const auto start = Clock::now();
        const bool ok = call();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        _exit(ok ? static_cast<int>(std::min<long long>(ms / 100, 100)) : 200);
    }
    int status = 0;
    for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) == 0; ++i) usleep(100000);
    if (kill(pid, 0) == 0 && waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -2;
    }
    return WEXITSTATUS(status) == 200 ? -1 : WEXITSTATUS(status);
}

// An exclusive flock() on `path` opened with `flags`, as another process
// could hold it: the open file, which holds the lock until it is closed.
static int LockOf(const std::string& path, int flags) {
    const int fd = open(path.c_str(), flags | O_CLOEXEC);
    EXPECT_GE(fd, 0) << path;
    EXPECT_EQ(flock(fd, LOCK_EX), 0) << path;
    return fd;
}

// Whoever may read the settings file, its folder or the policy file can lock
// it; no one may hold up a job by doing so. Each call, with another process
// holding the lock it would take (here our own second open file), is done
// within the bound (shortened to 200 ms), and the policy file, which only
// root writes, is read without a lock at all (within 100 ms of a bound of
// 5 seconds).
TEST(ProfileFiles, LocksHeldByOthersHoldNoCallUp) {
    TempDir dir;
    const std::string ini = dir.File("vantor.ini");
    const std::string policy = dir.File("policy.ini");
    WriteFileBytes(ini, "[s]\r\nk=v\r\n");
    WriteFileBytes(policy, "[Settings]\r\nPrinter=Locked\r\n");
    if (geteuid() == 0) {
        ASSERT_EQ(chown(policy.c_str(), 0, 0), 0);
    }
    ASSERT_EQ(chmod(policy.c_str(), 0644), 0);
    platform::posix::SetPolicyFileForTests(policy);
    struct Restore {
        ~Restore() {
            platform::posix::SetPolicyFileForTests(platform::posix::kPolicyFile);
            platform::posix::SetProfileLockWaitForTests(std::chrono::milliseconds(30000));
        }
    } restore;

    platform::posix::SetProfileLockWaitForTests(std::chrono::milliseconds(200));
    const int folderLock = LockOf(dir.path(), O_RDONLY | O_DIRECTORY);
    const int write = Timed([&] { return platform::ProfileWriteString("s", "k", "w", ini); });
    EXPECT_TRUE(write >= 0 && write <= 10) << write;
    close(folderLock);
    const int fileLock = LockOf(ini, O_RDONLY);
    const int read = Timed([&] { return platform::ProfileGetString("s", "k", "", 100, ini) == "w"; });
    EXPECT_TRUE(read >= 0 && read <= 10) << read;
    close(fileLock);

    if (geteuid() != 0) return;  // only root can make a file only root may write
    platform::posix::SetProfileLockWaitForTests(std::chrono::milliseconds(5000));
    const int policyLock = LockOf(policy, O_RDONLY);
    EXPECT_EQ(Timed([&] { return platform::PolicyValue("Printer") == std::optional<std::string>("Locked"); }), 0);
    close(policyLock);
}

// A job has one budget for all its waits on others: with a user holding an
// exclusive lock on the settings file and its folder for the whole job, a
// job's reads and writes (each bounded by 30 seconds) are done within the
// budget (here 1 second) and its writes arrive; the job can tell who held
// what.
TEST(ProfileFiles, AJobsWaitsOnOthersHaveOneBudget) {
    TempDir dir;
    const std::string ini = dir.File("vantor.ini");
    WriteFileBytes(ini, "[s]\r\nk=v\r\n");
    const int folderLock = LockOf(dir.path(), O_RDONLY | O_DIRECTORY);
    const int fileLock = LockOf(ini, O_RDONLY);
    const std::string holder = "held by process " + std::to_string(getpid());
    const int tenths = Timed([&] {
        platform::LimitWaitsForOthers(std::chrono::milliseconds(1000));
        for (int i = 0; i < 10; ++i) {
            if (platform::ProfileGetString("s", "k", "", 100, ini).empty()) return false;
            if (!platform::ProfileWriteString("LastJob", "Param" + std::to_string(i), "x", ini)) return false;
        }
        const platform::WaitsSpent spent = platform::WaitsForOthersSpent();
        return spent.spent && spent.held.find(holder) != std::string::npos &&
               platform::ProfileGetString("LastJob", "Param9", "", 100, ini) == "x";
    });
    EXPECT_TRUE(tenths >= 0 && tenths <= 30) << tenths;
    close(fileLock);
    close(folderLock);
}

// Without the folder's lock, a write checks the file just before its
// replace: a change another writer made since it read the file is kept,
// and the write applies to the file as it is then.
TEST(ProfileFiles, AWriteWithoutTheLockKeepsAChangeMadeMeanwhile) {
    TempDir dir;
    const std::string ini = dir.File("vantor.ini");
    WriteFileBytes(ini, "[s]\r\nk=v\r\n");
    const int folderLock = LockOf(dir.path(), O_RDONLY | O_DIRECTORY);
    const int tenths = Timed([&] {
        platform::LimitWaitsForOthers(std::chrono::milliseconds(0));
        bool once = true;
        platform::posix::SetProfileBeforeReplaceForTests([&] {
            if (!std::exchange(once, false)) return;
            WriteFileBytes(ini + ".other", "[s]\r\nk=v\r\n[other]\r\nx=1\r\n");
            rename((ini + ".other").c_str(), ini.c_str());
        });
        return platform::ProfileWriteString("s", "mine", "1", ini) &&
               ReadFileBytes(ini) == "[s]\r\nk=v\r\nmine=1\r\n[other]\r\nx=1\r\n";
    });
    EXPECT_EQ(tenths, 0);
    close(folderLock);
}

// A job replaces the settings file once for each key of its own (CmdLine,
// Template, DataFile, NumLines) and once per data line: the line's record,
// the user and the label program's command line go in as one update.
TEST(ProfileFiles, AJobReplacesTheSettingsFileOncePerLine) {
    testsupport::ConnectorInstall install;
    WriteFileBytes(install.File("job.txt"), "a\t1\nb\t2\nc\t1\n");
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, install.path().c_str(), IN_MOVED_TO | IN_CREATE), 0);
    const auto result = install.RunConnector("/F=Shelf /D=" + install.File("job.txt"));
    EXPECT_EQ(result.exitCode, 0u);
    int replaces = 0;
    alignas(inotify_event) char events[65536];
    for (ssize_t got; (got = read(watch, events, sizeof events)) > 0;)
        for (char* at = events; at < events + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            replaces += event->len > 0 && std::string(event->name) == "vantor.ini";
            at += sizeof(inotify_event) + event->len;
        }
    close(watch);
    EXPECT_EQ(replaces, 4 + 3);
    EXPECT_EQ(install.Runs("Tarvel").size(), 3u);
}

