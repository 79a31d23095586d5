#include "platform/framework.h"

#include <utility>

CAppBase::CAppBase(std::string exePath, std::string commandLineText,
                   platform::Interaction& interaction)
    : exePath_(std::move(exePath)),
      helpFilePath_(HelpFilePathOf(exePath_)),
      profilePath_(PathWithExtension(".ini")),
      commandLineText_(std::move(commandLineText)),
      interaction_(interaction) {}

CAppBase::~CAppBase() = default;

std::string CAppBase::PathWithExtension(std::string_view extension) const {
    // The help-file path always ends in ".HLP"; everything before its last
    // dot is the executable's path without extension.
    const std::size_t dot = text::FindLastChar(helpFilePath_, '.');
    std::string path = dot == std::string::npos ? std::string() : helpFilePath_.substr(0, dot);
    path += extension;
    return path;
}

std::string CommandLineText(std::string_view raw, text::LeadByteRule isLead) {
    std::size_t i = 0;
    bool inQuotes = false;
    while (i < raw.size()) {
        unsigned char c = static_cast<unsigned char>(raw[i]);
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c <= 0x20 && !inQuotes) {
            break;
        } else if (isLead(c) && i + 1 < raw.size()) {
            ++i;  // the trail byte belongs to this character
        }
        ++i;
    }
    while (i < raw.size() && static_cast<unsigned char>(raw[i]) <= 0x20) ++i;
    return std::string(raw.substr(i));
}

std::string HelpFilePathOf(std::string_view exePath) {
    // The extension starts at the last dot of the file name (after the last
    // path separator); a name without a dot has none.
    std::size_t sep = text::FindLastChar(exePath, platform::PathSeparator());
    std::size_t dot = text::FindLastChar(exePath, '.');
    std::string_view base = exePath;
    if (dot != std::string_view::npos && (sep == std::string_view::npos || dot > sep))
        base = exePath.substr(0, dot);
    std::string help(base);
    help += ".HLP";
    return help;
}

int RunApplication(CAppBase& app) {
    // No message loop: the application ends when InitInstance returns,
    // whatever it returned.
    (void)app.InitInstance();
    return app.ExitCode();
}
