// The terminal a job was started from, on POSIX: standard error and the
// signals a terminal (or a service manager) sends to stop the program.
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/platform.h"

namespace platform {

namespace {

volatile sig_atomic_t gStopRequests = 0;

void CountStop(int) {
    if (gStopRequests < 1000) gStopRequests = gStopRequests + 1;
}

}  // namespace

int StandardErrorColumns() {
    if (!isatty(STDERR_FILENO)) return 0;
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
    return size.ws_col;
}

void WriteStandardError(std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = write(STDERR_FILENO, text.data(), text.size());
        if (n <= 0) return;  // nobody reads it: nothing to be done
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

void CountStopRequests() {
    // Without SA_RESTART: a wait that the signal cuts short wakes at once.
    struct sigaction action {};
    action.sa_handler = CountStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int StopRequests() { return gStopRequests; }

}  // namespace platform
