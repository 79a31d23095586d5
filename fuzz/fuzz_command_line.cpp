// The host's command line: SplitCommandLine, then the template name and the
// data-file path taken from its tokens, as the job run does.
//
// The input is the command line after the program name. Invariants:
// - no token holds a double quote; the tokens joined by blanks give the line
//   without its quotes; there is one token more than blanks outside quotes;
// - the template name is the part of its token after the last folder separator
//   (or the first "/F=") and before the last dot after that; it holds no
//   separator. Checked with the host's rule (no double-byte characters) and
//   with a Shift-JIS-like lead-byte rule, as the Windows build may run with;
// - the data-file path is its token with each "/D=" taken out.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "job/command_line.h"

namespace {

using fuzzcheck::Show;

bool NoLeadBytes(unsigned char) { return false; }

// Lead bytes of code page 932.
bool ShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Which byte positions of `s` start a character under `isLead`, walking from
// the start: a lead byte and the byte after it are one character.
std::vector<bool> CharStarts(std::string_view s, text::LeadByteRule isLead) {
    std::vector<bool> starts(s.size(), false);
    for (std::size_t i = 0; i < s.size(); ++i) {
        starts[i] = true;
        if (isLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ++i;
    }
    return starts;
}

void CheckTokens(std::string_view line, const std::vector<std::string>& tokens) {
    std::size_t blanks = 0;
    bool quoted = false;
    std::string unquoted;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (c == ' ' && !quoted) ++blanks;
        unquoted += c;
    }
    FUZZ_CHECK(tokens.size() == blanks + 1,
               "tokens " + std::to_string(tokens.size()) + ", blanks " + std::to_string(blanks));
    std::string joined;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        FUZZ_CHECK(tokens[i].find('"') == std::string::npos, "token " + Show(tokens[i]));
        if (i > 0) joined += ' ';
        joined += tokens[i];
    }
    FUZZ_CHECK(joined == unquoted, "joined " + Show(joined) + " vs " + Show(unquoted));
}

void CheckTemplateName(std::string_view token, std::string_view separators,
                       text::LeadByteRule isLead) {
    const std::string name = job::TemplateNameOf(token, separators, isLead);
    const std::size_t marker = token.find(job::kTemplateMarker);
    const std::size_t afterMarker = marker + job::kTemplateMarker.size();
    const std::vector<bool> starts = CharStarts(token, isLead);
    auto isSeparatorAt = [&](std::size_t i) {
        return starts[i] && separators.find(token[i]) != std::string_view::npos;
    };
    auto isDotAt = [&](std::size_t i) { return starts[i] && token[i] == '.'; };

    // The name sits either before the token's last dot or at its end. It
    // starts right after the first marker or after a separator, and no
    // separator follows in the token. It ends at the last dot after its start,
    // or at the token's end when there is none.
    auto fits = [&](std::size_t end) {
        if (end < name.size() || token.substr(end - name.size(), name.size()) != name) return false;
        const std::size_t begin = end - name.size();
        if (marker == std::string_view::npos || begin < afterMarker) return false;
        if (begin != afterMarker && !isSeparatorAt(begin - 1)) return false;
        for (std::size_t i = begin; i < token.size(); ++i)
            if (isSeparatorAt(i)) return false;
        if (end < token.size()) {
            if (!isDotAt(end)) return false;
            for (std::size_t i = end + 1; i < token.size(); ++i)
                if (isDotAt(i)) return false;
        } else {
            for (std::size_t i = begin; i < token.size(); ++i)
                if (isDotAt(i)) return false;
        }
        return true;
    };
    std::size_t lastDot = token.size();
    for (std::size_t i = token.size(); i-- > 0;) {
        if (isDotAt(i)) {
            lastDot = i;
            break;
        }
    }
    FUZZ_CHECK(fits(token.size()) || fits(lastDot), "token " + Show(token) + " name " + Show(name));
}

void CheckDataPath(std::string_view token) {
    const std::string path = job::DataFilePathOf(token);
    std::size_t markers = 0;
    for (std::size_t at = token.find(job::kDataFileMarker); at != std::string_view::npos;
         at = token.find(job::kDataFileMarker, at + job::kDataFileMarker.size()))
        ++markers;
    const auto detail = [&] { return std::string("token " + Show(token) + " path " + Show(path)); };
    FUZZ_CHECK(path.size() + markers * job::kDataFileMarker.size() == token.size(), detail());
    // What is left keeps its order.
    std::size_t at = 0;
    for (char c : path) {
        while (at < token.size() && token[at] != c) ++at;
        FUZZ_CHECK(at < token.size(), detail());
        ++at;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> tokens = job::SplitCommandLine(line);
    CheckTokens(line, tokens);

    const std::string separators = job::TemplateSeparators();
    FUZZ_CHECK(separators.find('\\') != std::string::npos, Show(separators));
    for (const std::string& token : tokens) {
        if (job::IsTemplateToken(token)) {
            CheckTemplateName(token, separators, NoLeadBytes);
            CheckTemplateName(token, "\\", ShiftJisLead);
        }
        if (job::IsDataFileToken(token)) CheckDataPath(token);
    }
    return 0;
}
