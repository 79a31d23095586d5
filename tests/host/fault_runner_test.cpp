// A label program that really crashes: the connector waits for it, reads
// its end and goes on with the next line. (The Windows build's tests give the
// stand-in a crash's exit code instead: a real crash under Wine would open
// the debugger.)
#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

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

namespace {

// Settings/ShowProgress=1 in a terminal: one line of progress on standard
// error, and a Ctrl-C typed there while line 2 runs. The terminal sends
// SIGINT to its foreground process group, the connector's; the label
// program, in a group of its own, runs on and ends by itself, and line 3
// never starts.
TEST(FaultRunner, CtrlCInTheTerminalStopsTheJobAfterTheRunningLine) {
    ConnectorInstall install;
    install.WriteIni("[Settings]\r\nShowProgress=1\r\nExitStatus=1\r\nJournalFile=journal.log\r\n");
    testsupport::WriteFileBytes(install.File("Tarvel.sleep"), "2");
    testsupport::WriteFileBytes(install.File("job.txt"), "one\t1\ntwo\t1\nthree\t1\n");
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0)
        GTEST_SKIP() << "no pseudo-terminal here (posix_openpt: " << errno << ")";
    const std::string side = ptsname(terminal);
    const std::string exe = install.Exe(), data = "/D=" + install.File("job.txt");

    // The connector alone in a new session, whose controlling terminal its
    // standard input, output and error are.
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        const int tty = open(side.c_str(), O_RDWR);
        if (tty < 0 || ioctl(tty, TIOCSCTTY, 0) != 0) _exit(126);
        dup2(tty, 0);
        dup2(tty, 1);
        dup2(tty, 2);
        execl(exe.c_str(), exe.c_str(), "/F=Shelf", data.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    std::string screen;
    bool typed = false;
    int status = -1;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < give_up) {
        pollfd p{terminal, POLLIN, 0};
        if (poll(&p, 1, 50) > 0) {
            char chunk[512];
            const ssize_t n = read(terminal, chunk, sizeof chunk);
            if (n > 0) screen.append(chunk, static_cast<std::size_t>(n));
        }
        if (!typed && install.Runs("Tarvel").size() == 2) {
            ASSERT_EQ(write(terminal, "\x03", 1), 1);  // Ctrl-C
            typed = true;
        }
        if (waitpid(pid, &status, WNOHANG) == pid) break;
    }
    close(terminal);
    if (!WIFEXITED(status)) kill(pid, SIGKILL), waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 126 && !typed)
        GTEST_SKIP() << "the pseudo-terminal cannot be made a controlling terminal here";
    ASSERT_TRUE(typed) << screen;
    ASSERT_TRUE(WIFEXITED(status)) << screen;
    EXPECT_EQ(WEXITSTATUS(status), 13) << "stopped\n" << screen;
    EXPECT_EQ(install.Runs("Tarvel").size(), 2u);
    const auto journal = testsupport::ReadJournal(install.File("journal.log"));
    ASSERT_EQ(journal.size(), 4u) << screen;
    EXPECT_EQ(journal[2].fields.at("outcome"), "exited");
    EXPECT_EQ(journal[2].fields.at("exit"), "0") << "the label program was not interrupted";
    EXPECT_GE(std::stoi(journal[2].fields.at("ms")), 1500);
    EXPECT_EQ(journal[3].fields.at("stopped-at"), "2");
    // The line, rewritten in place, then its last state.
    EXPECT_NE(screen.find("\rShelf: Label 2 of 3 - Elapsed"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Shelf: Stopping after label 2 of 3..."), std::string::npos) << screen;
    EXPECT_NE(screen.find("\rShelf: Stopped after label 2 of 3"), std::string::npos) << screen;
}

}  // namespace

namespace {

// Settings/EventLog=1: a job with a failed line leaves one entry in the
// system log (ident vantor, facility user, priority warning: "<12>"), the
// message table's sentence with its inserts on one line; a clean job none.
// The test listens on a log socket of its own, which the connector sees as
// /dev/log in a private mount namespace (unshare -rm) whose /dev holds only
// that socket and the usual devices.
TEST(FaultRunner, FailingJobReachesTheSystemLog) {
    ConnectorInstall install;
    install.WriteIni("[Settings]\r\nEventLog=1\r\nJournalFile=journal.log\r\n");
    testsupport::WriteFileBytes(install.File("Tarvel.exitcode"), "0 3 0 0");
    testsupport::WriteFileBytes(install.File("job.txt"), "one\t1\ntwo\t1\n");
    const int log = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(log, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, install.File("log.sock").c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(log, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << errno;
    ASSERT_EQ(mkdir(install.File("devices").c_str(), 0755), 0);
    testsupport::WriteFileBytes(install.File("namespace.sh"),
                                "set -e\n"
                                "mount --rbind /dev \"$1/devices\"\n"
                                "mount -t tmpfs none /dev\n"
                                "for d in null zero full random urandom tty; do\n"
                                "  touch /dev/$d; mount --bind \"$1/devices/$d\" /dev/$d\n"
                                "done\n"
                                "touch /dev/log; mount --bind \"$1/log.sock\" /dev/log\n"
                                "shift; exec \"$@\"\n");
    if (testsupport::RunProgram("unshare -rm true").exitCode != 0)
        GTEST_SKIP() << "unshare -rm is not allowed here: no private /dev/log to listen on";
    auto job = [&] {
        return testsupport::RunProgram("unshare -rm sh " + testsupport::Quoted(install.File("namespace.sh")) + " " +
                                       testsupport::Quoted(install.path()) + " " + testsupport::Quoted(install.Exe()) +
                                       " /F=Shelf /D=" + testsupport::Quoted(install.File("job.txt")));
    };
    auto entries = [&] {
        std::vector<std::string> received;
        char buffer[65536];
        for (ssize_t n; (n = recv(log, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
            received.emplace_back(buffer, static_cast<std::size_t>(n));
        return received;
    };
    const auto failing = job();
    ASSERT_EQ(failing.exitCode, 0u) << failing.output;
    const std::vector<std::string> logged = entries();
    ASSERT_EQ(logged.size(), 1u) << failing.output;
    EXPECT_EQ(logged[0].substr(0, 4), "<12>") << logged[0];
    for (const std::string& part :
         {std::string(" vantor["), std::string("]: Some lines of a print job failed; the others printed. | Outcome: "
                                               "some lines failed | Template: Shelf | Data file: ") +
                                       install.File("job.txt") + " | User: ",
          std::string(" | Lines: 2 of 2 ran, 1 failed | First failed line: 2, label-program, exited, exit code 3, "
                      "error - | Its command line: ")})
        EXPECT_NE(logged[0].find(part), std::string::npos) << part << "\n" << logged[0];
    for (const auto& record : testsupport::ReadJournal(install.File("journal.log")))
        EXPECT_NE(record.kind, "note") << "the entry was written";

    const auto clean = job();  // every label printed: EventLog=1 says nothing
    ASSERT_EQ(clean.exitCode, 0u) << clean.output;
    EXPECT_TRUE(entries().empty());
    close(log);
}

}  // namespace

