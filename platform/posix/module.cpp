// The running program on POSIX.
#include <limits.h>
#include <unistd.h>

#include <vector>

#include "platform/platform.h"

namespace platform {

char PathSeparator() { return '/'; }

bool IsAbsolutePath(std::string_view path) { return !path.empty() && path.front() == '/'; }

std::string ModulePath() {
    std::vector<char> buffer(PATH_MAX + 1);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return std::string();
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

void InitCommonControls(uint32_t) {}

}  // namespace platform
