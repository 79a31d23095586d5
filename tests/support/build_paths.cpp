#include "support/build_paths.h"

namespace testsupport {

std::string NativePath(std::string_view linuxPath) {
#ifdef _WIN32
    std::string path(linuxPath);
    const bool hasDrive = path.size() >= 2 && path[1] == ':';
    for (char& c : path)
        if (c == '/') c = '\\';
    return hasDrive ? path : "Z:" + path;
#else
    return std::string(linuxPath);
#endif
}

std::string BuildDir() { return NativePath(VANTOR_BUILD_DIR); }
std::string SourceDir() { return NativePath(VANTOR_SOURCE_DIR); }

std::string ExeSuffix() {
#ifdef _WIN32
    return ".exe";
#else
    return "";
#endif
}

static std::string Separator() {
#ifdef _WIN32
    return "\\";
#else
    return "/";
#endif
}

std::string ConnectorProgram() { return BuildDir() + Separator() + "vantor" + ExeSuffix(); }

std::string ToolProgram(std::string_view name) {
    return BuildDir() + Separator() + "tools" + Separator() + std::string(name) + ExeSuffix();
}

}  // namespace testsupport
