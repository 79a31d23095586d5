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

bool TakeDryRunToken(std::string& commandLine) { return TakeSwitchToken(commandLine, kDryRunToken); }

bool TakeCheckToken(std::string& commandLine) { return TakeSwitchToken(commandLine, kCheckToken); }

bool TakeSwitchToken(std::string& commandLine, std::string_view switchToken) {
    auto isSwitch = [switchToken](std::string_view token) {
        if (token.size() != switchToken.size()) return false;
        for (std::size_t i = 0; i < token.size(); ++i) {
            char c = token[i];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            if (c != switchToken[i]) return false;
        }
        return true;
    };
    // The command line is its tokens joined by single blanks (two blanks in
    // a row hold an empty token), so leaving a token out of the join removes
    // it with one blank beside it.
    std::vector<std::string_view> kept;
    bool found = false;
    bool inQuotes = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= commandLine.size(); ++i) {
        if (i < commandLine.size()) {
            if (commandLine[i] == '"') inQuotes = !inQuotes;
            if (commandLine[i] != ' ' || inQuotes) continue;
        }
        const std::string_view token = std::string_view(commandLine).substr(start, i - start);
        if (isSwitch(token))
            found = true;
        else
            kept.push_back(token);
        start = i + 1;
    }
    if (!found) return false;
    std::string rest;
    for (std::size_t k = 0; k < kept.size(); ++k) {
        if (k > 0) rest += ' ';
        rest += kept[k];
    }
    commandLine = std::move(rest);
    return true;
}

}  // namespace job
