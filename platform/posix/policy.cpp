// Settings an administrator locks by policy, on POSIX: section [Settings] of
// a profile file that only root may write.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/policy.h"
#include "platform/profile_engine.h"

namespace platform {

namespace {

std::string& PolicyFile() {
    static std::string path = posix::kPolicyFile;
    return path;
}

// The policy file as read now: absent (or no policy: not root's alone), read,
// or there but unreadable.
struct PolicyFileRead {
    enum class State { Absent, Read, Unreadable } state = State::Absent;
    std::string bytes;  // Read: without a leading UTF-8 byte-order mark
};

PolicyFileRead ReadPolicyFile() {
    PolicyFileRead result;
    const std::string& path = PolicyFile();
    // Never locked: whoever may read it must not be able to hold the job up.
    // Without blocking, in case something else than a file stands there.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT && errno != ENOTDIR) result.state = PolicyFileRead::State::Unreadable;
        return result;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        result.state = PolicyFileRead::State::Unreadable;
        return result;
    }
    // A file anyone but root could have written is no policy.
    if (path == posix::kPolicyFile && (st.st_uid != 0 || (st.st_mode & 022) != 0)) {
        close(fd);
        return result;
    }
    constexpr std::size_t kMaxBytes = 1 << 20;  // far more than a policy holds
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            close(fd);
            result.state = PolicyFileRead::State::Unreadable;
            return result;
        }
        if (got == 0 || result.bytes.size() >= kMaxBytes) break;
        result.bytes.append(chunk, static_cast<std::size_t>(got));
    }
    close(fd);
    if (result.bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) result.bytes.erase(0, 3);
    result.state = PolicyFileRead::State::Read;
    return result;
}

}  // namespace

void posix::SetPolicyFileForTests(const std::string& path) { PolicyFile() = path; }

std::optional<std::string> PolicyValue(const std::string& name) {
    const PolicyFileRead file = ReadPolicyFile();
    if (file.state != PolicyFileRead::State::Read) return std::nullopt;
    static constexpr const char* kAbsent = "\x01<absent>";
    const std::string value = profile::GetString(file.bytes, "Settings", name, kAbsent, 30000);
    if (value == kAbsent) return std::nullopt;
    return value;
}

std::string PolicyPlace(const std::string& name) { return PolicyFile() + " [Settings] " + name; }

std::vector<std::string> UnreadablePolicies() {
    if (ReadPolicyFile().state == PolicyFileRead::State::Unreadable) return {PolicyFile()};
    return {};
}

}  // namespace platform
