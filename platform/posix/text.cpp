// Text on POSIX. The host build takes the locale's character set to be UTF-8,
// the usual one: its "ANSI code page" is UTF-8, which has no double-byte
// characters whose trail byte could be mistaken for an ASCII character.
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace platform {

bool IsLeadByte(unsigned char) { return false; }

std::string SystemErrorText(uint32_t code) { return std::strerror(static_cast<int>(code)); }

static void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf16ToUtf8(std::u16string_view text) { return Utf16ToAnsi(text); }

bool AnsiCanHold(std::string_view) { return true; }

std::string Utf16ToAnsi(std::u16string_view text) {
    // A lone surrogate has no character: it becomes '?', the default
    // character of Windows' code pages.
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        uint32_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            AppendUtf8(out, cp);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out += '?';
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

std::u16string AnsiToUtf16(std::string_view s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char lead = static_cast<unsigned char>(s[i++]);
        const int extra = lead < 0x80 ? 0
                          : (lead & 0xE0) == 0xC0 ? 1
                          : (lead & 0xF0) == 0xE0 ? 2
                          : (lead & 0xF8) == 0xF0 ? 3
                                                  : -1;
        char32_t cp = lead;
        bool ok = extra >= 0;
        if (extra > 0) {
            cp = lead & (0x3Fu >> extra);
            for (int n = 0; ok && n < extra; ++n) {
                ok = i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80;
                if (ok) cp = (cp << 6) | (static_cast<unsigned char>(s[i + n]) & 0x3F);
            }
            static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
            ok = ok && cp >= kSmallest[extra] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
            if (ok) i += extra;
        }
        if (!ok) cp = 0xFFFD;  // one replacement per bad byte; go on after it
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf8ToAnsi(std::string_view text) { return std::string(text); }

std::string AnsiToUtf8(std::string_view text) { return std::string(text); }

std::string UpperCaseAnsi(std::string_view text) {
    // ASCII letters only: bytes of multibyte UTF-8 characters stay as they are.
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

}  // namespace platform
