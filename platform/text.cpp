#include "platform/text.h"

#include <cstdint>

#include "platform/platform.h"

namespace text {

bool SystemLeadByte(unsigned char c) { return platform::IsLeadByte(c); }

std::size_t FindChar(std::string_view s, char c, std::size_t from, LeadByteRule isLead) {
    // Walk from the start so that lead and trail bytes pair up correctly.
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (i >= from && s[i] == c) return i;
        if (isLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ++i;
    }
    return std::string_view::npos;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
        const char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
        if (x != y) return false;
    }
    return true;
}

std::size_t FindLastChar(std::string_view s, char c, LeadByteRule isLead) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == c) found = i;
        if (isLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ++i;
    }
    return found;
}

std::string_view PrefixOfCharacters(std::string_view s, std::size_t maxBytes,
                                    LeadByteRule isLead) {
    std::size_t end = 0;
    while (end < s.size()) {
        const std::size_t width =
            isLead(static_cast<unsigned char>(s[end])) && end + 1 < s.size() ? 2 : 1;
        if (end + width > maxBytes) break;
        end += width;
    }
    return s.substr(0, end);
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
    std::string out;
    if (from.empty()) return std::string(s);
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = s.find(from, pos);
        if (hit == std::string_view::npos) break;
        out.append(s.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(s.substr(pos));
    return out;
}

std::string FormatInt(int value) { return std::to_string(value); }

int LeadingInt(std::string_view s) {
    std::size_t i = 0;
    auto isSpace = [](char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); };
    while (i < s.size() && isSpace(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    uint32_t value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        value = value * 10u + static_cast<uint32_t>(s[i] - '0');
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

}  // namespace text
