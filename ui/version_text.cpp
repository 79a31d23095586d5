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
    std::string out(text::PrefixOfCharacters(found, bufferSize - 1, isLead));
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
