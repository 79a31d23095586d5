// Settings an administrator locks by policy, on POSIX: section [Settings] of
// a profile file that only root may write.
#include <sys/stat.h>

#include "platform/platform.h"
#include "platform/posix/policy.h"

namespace platform {

namespace {

std::string& PolicyFile() {
    static std::string path = posix::kPolicyFile;
    return path;
}

}  // namespace

void posix::SetPolicyFileForTests(const std::string& path) { PolicyFile() = path; }

std::optional<std::string> PolicyValue(const std::string& name) {
    const std::string& path = PolicyFile();
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    // A file anyone but root could have written is no policy.
    if (path == posix::kPolicyFile && (st.st_uid != 0 || (st.st_mode & 022) != 0)) return std::nullopt;
    static constexpr const char* kAbsent = "\x01<absent>";
    const std::string value = ProfileGetString("Settings", name, kAbsent, 30000, path);
    if (value == kAbsent) return std::nullopt;
    return value;
}

}  // namespace platform
