#include "ui/version_text.h"

#include <cstdio>

namespace ui {

std::string FileVersionSubBlock(std::uint16_t language, std::uint16_t codePage) {
    char name[64];
    std::snprintf(name, sizeof name, "\\StringFileInfo\\%04X%04X\\FileVersion",
                  static_cast<unsigned>(language), static_cast<unsigned>(codePage));
    return name;
}

std::string StoredFileVersion(std::string_view found, std::size_t bufferSize,
                              text::LeadByteRule isLead) {
    if (bufferSize == 0) return std::string();
    const std::size_t limit = bufferSize - 1;
    std::size_t end = 0;
    while (end < found.size()) {
        std::size_t width =
            isLead(static_cast<unsigned char>(found[end])) && end + 1 < found.size() ? 2 : 1;
        if (end + width > limit) break;
        end += width;
    }
    std::string out(found.substr(0, end));
    for (char& c : out) {
        if (c == '(') c = '{';
        else if (c == ')') c = '}';
    }
    return out;
}

std::string VersionLine(std::string_view fileVersion) {
    std::string version;
    for (char c : fileVersion) {
        if (c == ' ') continue;
        version += c == ',' ? '.' : c;
    }
    return "Version: " + version;
}

}  // namespace ui
