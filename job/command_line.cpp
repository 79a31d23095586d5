#include "job/command_line.h"

#include "platform/platform.h"

namespace job {

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> tokens;
    std::string current;
    bool inQuotes = false;
    for (char c : commandLine) {
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ' ' && !inQuotes) {
            tokens.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    tokens.push_back(std::move(current));
    return tokens;
}

bool IsTemplateToken(std::string_view token) {
    return token.find(kTemplateMarker) != std::string_view::npos;
}

bool IsDataFileToken(std::string_view token) {
    return token.find(kDataFileMarker) != std::string_view::npos;
}

std::string TemplateNameOf(std::string_view token, std::string_view separators,
                           text::LeadByteRule isLead) {
    std::size_t start = 0;
    std::size_t marker = token.find(kTemplateMarker);
    if (marker != std::string_view::npos) start = marker + kTemplateMarker.size();
    for (char separator : separators) {
        std::size_t last = text::FindLastChar(token, separator, isLead);
        if (last != std::string_view::npos && last + 1 > start) start = last + 1;
    }
    std::size_t end = token.size();
    std::size_t dot = text::FindLastChar(token, '.', isLead);
    if (dot != std::string_view::npos && dot >= start) end = dot;
    return std::string(token.substr(start, end - start));
}

std::string TemplateSeparators() {
    std::string separators = "\\";
    if (platform::PathSeparator() != '\\') separators += platform::PathSeparator();
    return separators;
}

std::string DataFilePathOf(std::string_view token) {
    return text::ReplaceAll(token, kDataFileMarker, "");
}

}  // namespace job
