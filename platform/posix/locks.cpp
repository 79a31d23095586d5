#include "platform/posix/locks.h"

#include <errno.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/waits.h"

namespace platform::posix {

bool LockWithin(int fd, int operation, std::chrono::milliseconds bound, const std::string& path) {
    if (flock(fd, operation | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;  // no locks here
    const auto start = std::chrono::steady_clock::now();
    const auto until = start + waits::Allowance(bound);
    std::chrono::milliseconds pause{1};
    bool got = false;
    int error = EWOULDBLOCK;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= until) break;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, until - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
        if (flock(fd, operation | LOCK_NB) == 0) {
            got = true;
            break;
        }
        error = errno;
        if (error != EWOULDBLOCK && error != EINTR) break;
    }
    waits::Waited(waits::Since(start), got,
                  [&] {
                      const std::string holder = LockHolderOf(fd);
                      return "the lock on " + path + (holder.empty() ? "" : ", " + holder);
                  },
                  static_cast<uint32_t>(error));
    return got;
}

std::string LockHolderOf(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return std::string();
    char device[64];
    std::snprintf(device, sizeof device, "%02x:%02x:%lu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long>(st.st_ino));
    // "1: FLOCK  ADVISORY  WRITE 4711 fd:01:1234 0 EOF"; waiters have "->".
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, where;
        if (!(fields >> number >> kind) || kind == "->") continue;
        if (!(fields >> mode >> access >> pid >> where) || where != device) continue;
        std::string who = "held by process " + pid;
        struct stat proc {};
        if (stat(("/proc/" + pid).c_str(), &proc) == 0)
            if (const passwd* user = getpwuid(proc.st_uid)) who += std::string(" (") + user->pw_name + ")";
        return who;
    }
    return std::string();
}

}  // namespace platform::posix
