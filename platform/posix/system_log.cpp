// The system's log on POSIX: syslog(3).
#include <errno.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <cstring>

#include "platform/platform.h"

namespace platform {

namespace {

int PriorityOf(LogEntryType type) {
    switch (type) {
    case LogEntryType::Error:
        return LOG_ERR;
    case LogEntryType::Warning:
        return LOG_WARNING;
    case LogEntryType::Information:
        break;
    }
    return LOG_INFO;
}

// Whether a system logger listens on the log socket: syslog(3) itself
// drops an entry silently when none does. 0, or the errno of the attempt.
int LogSocketError() {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, "/dev/log", sizeof address.sun_path - 1);
    int error = 0;
    for (int kind : {SOCK_DGRAM, SOCK_STREAM}) {
        const int fd = socket(AF_UNIX, kind | SOCK_CLOEXEC, 0);
        if (fd < 0) return errno;
        const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        error = connected ? 0 : errno;
        close(fd);
        if (connected || error != EPROTOTYPE) break;
    }
    return error;
}

}  // namespace

SystemError WriteSystemLog(LogEntryType type, uint32_t, const std::vector<std::string>&, const std::string& text) {
    const int error = LogSocketError();
    openlog(kSyslogIdent, LOG_PID, LOG_USER);
    syslog(PriorityOf(type), "%s", text.c_str());
    closelog();
    return error == 0 ? SystemError{} : SystemErrorOf(static_cast<uint32_t>(error));
}

EventSourceState EventSourceRegistration() {
    EventSourceState state;
    state.applies = false;
    return state;
}

}  // namespace platform
