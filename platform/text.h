// Byte-string helpers for 8-bit ANSI text.
//
// Positions are byte positions. The searches that must not mistake the trail
// byte of a double-byte character for an ASCII character take the code page's
// lead-byte rule as an argument, so they stay pure and a test can hand them
// any code page's rule.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

using LeadByteRule = bool (*)(unsigned char);

// The rule of the running system's ANSI code page.
bool SystemLeadByte(unsigned char c);

// Position of the last `c` in `s` that is not the trail byte of a
// double-byte character, or npos.
std::size_t FindLastChar(std::string_view s, char c, LeadByteRule isLead = SystemLeadByte);

// Position of the first such `c` at or after `from`, or npos.
std::size_t FindChar(std::string_view s, char c, std::size_t from = 0,
                     LeadByteRule isLead = SystemLeadByte);

// The longest prefix of `s` of at most `maxBytes` bytes that does not split a
// double-byte character (a lead byte at the very end of `s` counts alone).
std::string_view PrefixOfCharacters(std::string_view s, std::size_t maxBytes,
                                    LeadByteRule isLead = SystemLeadByte);

// Replaces every occurrence of `from` in `s` with `to`.
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);

// Whether `a` and `b` are the same text when ASCII letters are compared
// without regard to case, as the profile functions compare section and key
// names (no other character is folded).
bool SameIgnoringAsciiCase(std::string_view a, std::string_view b);

// "%d" of a 32-bit signed number.
std::string FormatInt(int value);

// `value` with '%', tab, CR and LF written as %25, %09, %0D and %0A, so that
// a record of tab-separated values stays on one line and reads back exactly.
inline std::string EscapeRecordValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '%': out += "%25"; break;
        case '\t': out += "%09"; break;
        case '\r': out += "%0D"; break;
        case '\n': out += "%0A"; break;
        default: out += c;
        }
    }
    return out;
}

// The leading decimal integer of `s` as the C runtime's atoi reads it: leading
// white space skipped, an optional sign, then digits up to the first non-digit;
// no digits give 0. Wraps to 32 bits instead of overflowing.
int LeadingInt(std::string_view s);

}  // namespace text
