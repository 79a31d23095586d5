// Windows' private-profile rules over a file's bytes, shared by both builds:
// each platform's profile.cpp reads and replaces the files and calls these.
//
// Map:
//   1. encodings   ANSI bytes, or UTF-16LE behind a byte-order mark
//   2. lines       splitting at CR / LF / CRLF and telling the kinds apart
//   3. lookup      finding a section and a key
//   4. reading     GetString, GetInt and the integer rule
//   5. writing     WriteString
//
// The rules, as Windows applies them (where Wine differs, we follow Windows):
// - A line ends at CR, LF or CRLF and is trimmed of space, tab, VT, CR and LF.
//   Blank lines are skipped. (CRs just before a CRLF count as part of the
//   line: the same for reading, tidier for writing; see NextLine.)
// - "[" opens a section header: the name runs to the first "]" and is
//   trimmed; text after it is ignored; a header without "]" still counts.
// - A line starting with ";" is a comment. There are no inline comments, and
//   "#" is an ordinary character.
// - Any other line is an entry: the key runs to the first "=", the value is
//   the rest; both trimmed. A line without "=" is no key: reading it gives
//   the default.
// - Lines before the first header belong to no section; "[]" is a section
//   named "".
// - Names match without regard to ASCII letter case. Of the names a program
//   passes, only spaces at the ends are ignored (a tab makes them miss).
// - With duplicates, the first section is the only one searched and the first
//   key wins; a write replaces only that first key.
// - Reading: a value of 2 or more characters enclosed in a matching pair of
//   ' or " loses that pair. A present but empty value is the empty text; the
//   default loses its trailing spaces only. The result is cut to fit the
//   buffer.
// - Writing: the names lose the spaces at their ends; the value is stored
//   exactly as given. A new file is "[S]\r\nk=v\r\n"; a new section goes at
//   the end with no blank line before it; a new key goes right after the last
//   entry of its section, before trailing comments and blank lines; an
//   existing key's line becomes "<key as stored>=<value>". Every other byte
//   stays as it was; a file whose last line has no line end gets CRLF before
//   text is added after it. Lines we add end in CRLF; a replaced line keeps
//   its own line end (none, if it was the file's unterminated last line).
// - A file beginning with the UTF-16LE byte-order mark is read and written
//   as UTF-16LE. A UTF-8 byte-order mark is not recognised: it stays part of
//   line 1, so a header there is lost.
#include "platform/profile_engine.h"

#include "platform/platform.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace profile {
namespace {

template <class Ch>
using View = std::basic_string_view<Ch>;
template <class Ch>
using Text = std::basic_string<Ch>;

// ---------------------------------------------------------------- 1. encodings
//
// A UTF-16 file is worked on as UTF-16 code units, so its untouched parts go
// back unchanged. The ANSI names and values of the calls are converted with the
// platform's AnsiToUtf16 and back with its Utf16ToAnsi, as Windows converts
// them with the ANSI code page (POSIX: UTF-8).

bool HasUtf16Mark(std::string_view bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xFE;
}

// The code units of UTF-16LE bytes; an odd last byte counts as a unit of its
// own (a write then stores it as two bytes).
std::u16string DecodeUtf16Le(std::string_view bytes) {
    std::u16string units;
    units.reserve((bytes.size() + 1) / 2);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        unsigned lo = static_cast<unsigned char>(bytes[i]);
        unsigned hi = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        units.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
    return units;
}

std::string EncodeUtf16Le(std::u16string_view units) {
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t u : units) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

// -------------------------------------------------------------------- 2. lines

enum class Kind { Blank, Comment, Header, Entry };

template <class Ch>
struct Line {
    Kind kind = Kind::Blank;
    std::size_t begin = 0;   // offset of the line's first unit
    std::size_t end = 0;     // offset just past its text, before the line end
    std::size_t next = 0;    // offset of the next line (past CR, LF or CRLF)
    View<Ch> name;           // Header: the section; Entry: the key
    View<Ch> value;          // Entry with "=": the value, quotes still on
    bool hasEquals = false;  // an Entry that is a key line
};

template <class Ch>
bool IsLineBlank(Ch c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\r' || c == '\n';
}

template <class Ch>
View<Ch> TrimBlanks(View<Ch> s) {
    while (!s.empty() && IsLineBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsLineBlank(s.back())) s.remove_suffix(1);
    return s;
}

template <class Ch>
void Classify(Line<Ch>& line, View<Ch> text) {
    if (text.empty()) {
        line.kind = Kind::Blank;
    } else if (text.front() == Ch('[')) {
        line.kind = Kind::Header;
        line.name = TrimBlanks(text.substr(1, text.find(Ch(']'), 1) - 1));  // npos - 1: to the end
    } else if (text.front() == Ch(';')) {
        line.kind = Kind::Comment;
    } else {
        line.kind = Kind::Entry;
        const std::size_t eq = text.find(Ch('='));
        line.hasEquals = eq != View<Ch>::npos;
        line.name = TrimBlanks(text.substr(0, eq));
        if (line.hasEquals) line.value = TrimBlanks(text.substr(eq + 1));
    }
}

// A line ends at LF, CRLF or a CR that no LF follows. Extra CRs right before
// a CRLF stay in the line, where trimming drops them: for reading this is the
// same as ending a line at each CR (the CRs would only make blank lines), but
// a value written with a trailing CR (the product writes copies texts that
// way) then sits on one line, "k=3\r\r\n", which the next write replaces
// whole instead of leaving a blank line behind each time.
template <class Ch>
bool NextLine(View<Ch> text, std::size_t& pos, Line<Ch>& line) {
    if (pos >= text.size()) return false;
    line = Line<Ch>();
    line.begin = pos;
    while (pos < text.size() && text[pos] != Ch('\r') && text[pos] != Ch('\n')) ++pos;
    std::size_t crs = pos;
    while (crs < text.size() && text[crs] == Ch('\r')) ++crs;
    if (crs > pos + 1 && crs < text.size() && text[crs] == Ch('\n')) pos = crs - 1;
    line.end = pos;
    if (pos < text.size()) {
        const bool crlf =
            text[pos] == Ch('\r') && pos + 1 < text.size() && text[pos + 1] == Ch('\n');
        pos += crlf ? 2 : 1;
    }
    line.next = pos;
    Classify(line, TrimBlanks(text.substr(line.begin, line.end - line.begin)));
    return true;
}

// ------------------------------------------------------------------- 3. lookup

template <class Ch>
Ch FoldAscii(Ch c) {
    return c >= Ch('a') && c <= Ch('z') ? static_cast<Ch>(c - 'a' + 'A') : c;
}

template <class Ch>
bool SameName(View<Ch> a, View<Ch> b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

// A name as a program passes it: only spaces at its ends are ignored.
std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// Where a section and a key are.
template <class Ch>
struct Place {
    std::optional<Line<Ch>> header;  // the first header naming the section
    std::optional<Line<Ch>> key;     // the section's first key line naming the key
    Line<Ch> lastEntry;              // the section's last entry, or its header
};

// The start of the first line at or after the line start `pos` whose first
// character after blanks is "[" (the size of `text` when there is none).
// Only such a line can be a header; every other line is passed over without
// being split. CR and LF both end lines, so a run of them starts no line of
// its own that could hold a "[" (NextLine's extra CRs before a CRLF included).
template <class Ch>
std::size_t NextHeaderCandidate(View<Ch> text, std::size_t pos) {
    // From one "[" to the next (a fast search over a long file), each
    // checked for standing first on its line after blanks.
    while (pos < text.size()) {
        const std::size_t bracket = text.find(Ch('['), pos);
        if (bracket == View<Ch>::npos) return text.size();
        std::size_t start = bracket;
        while (start > pos && (text[start - 1] == Ch(' ') || text[start - 1] == Ch('\t') || text[start - 1] == Ch('\v')))
            --start;
        if (start == pos || text[start - 1] == Ch('\r') || text[start - 1] == Ch('\n')) return start;
        // Inside a line: on from the next line's start.
        std::size_t p = bracket;
        while (p < text.size() && text[p] != Ch('\r') && text[p] != Ch('\n')) ++p;
        while (p < text.size() && (text[p] == Ch('\r') || text[p] == Ch('\n'))) ++p;
        pos = p;
    }
    return pos;
}

// Lines are split as the search goes, and it stops as soon as it knows enough:
// at the key when it is there (a read takes its value, a write replaces it
// where it stands), else at the end of the section (where a new key goes).
// Settings near the top of a long file are found without splitting the rest,
// and until the section's header only header lines are looked at.
template <class Ch>
Place<Ch> Find(View<Ch> text, View<Ch> section, View<Ch> key) {
    Place<Ch> place;
    Line<Ch> line;
    for (std::size_t pos = 0;;) {
        if (!place.header) pos = NextHeaderCandidate(text, pos);
        if (!NextLine(text, pos, line)) break;
        if (!place.header) {
            if (line.kind == Kind::Header && SameName(line.name, section)) {
                place.header = line;
                place.lastEntry = line;
            }
            continue;
        }
        if (line.kind == Kind::Header) break;
        if (line.kind != Kind::Entry) continue;
        place.lastEntry = line;
        if (line.hasEquals && SameName(line.name, key)) {
            place.key = line;
            break;
        }
    }
    return place;
}

// The stored value of section/key with one pair of enclosing quotes removed.
template <class Ch>
std::optional<Text<Ch>> Lookup(View<Ch> text, View<Ch> section, View<Ch> key) {
    const Place<Ch> place = Find(text, section, key);
    if (!place.key) return std::nullopt;
    View<Ch> value = place.key->value;
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == Ch('"') || value.front() == Ch('\''))) {
        value = value.substr(1, value.size() - 2);
    }
    return Text<Ch>(value);
}

// ------------------------------------------------------------------ 4. reading

std::optional<std::string> ReadValue(std::string_view fileBytes, std::string_view section,
                                     std::string_view key) {
    section = TrimSpaces(section);
    key = TrimSpaces(key);
    if (HasUtf16Mark(fileBytes)) {
        const std::u16string text = DecodeUtf16Le(fileBytes.substr(2));
        const std::u16string sectionW = platform::AnsiToUtf16(section);
        const std::u16string keyW = platform::AnsiToUtf16(key);
        std::optional<std::u16string> value = Lookup<char16_t>(text, sectionW, keyW);
        if (!value) return std::nullopt;
        return platform::Utf16ToAnsi(*value);
    }
    return Lookup<char>(fileBytes, section, key);
}

}  // namespace

// GetPrivateProfileIntA's conversion (that of RtlUnicodeStringToInteger with
// base 0): skip leading characters up to 0x20, take one optional "+" or "-",
// then a lower-case "0x", "0o" or "0b" picks base 16, 8 or 2 (else base 10),
// then digits of that base up to the first other character, the sum wrapping
// at 32 bits. No digits give 0.
// Our reading of the unconfirmed cases: an upper-case "0X1f" has no prefix, so
// it reads as the decimal "0" followed by a stop: 0. A sign goes before the
// prefix ("-0x10" is -16). Hex digits may be either case after "0x". Wine's
// GetPrivateProfileIntA gives the same results for all of these.
namespace {

struct IntParse {
    int value = 0;
    bool whole = false;  // every character after the leading blanks was used, and the number fits
};

IntParse ParseIntText(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= 0x20) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    unsigned base = 10;
    const std::string_view prefix = s.substr(i, 2);
    if (prefix == "0x") base = 16;
    if (prefix == "0o") base = 8;
    if (prefix == "0b") base = 2;
    if (base != 10) i += 2;
    std::uint32_t sum = 0;
    std::uint64_t exact = 0;  // the magnitude without wrapping, up to just past 2^31
    std::size_t digits = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        const unsigned digit = c >= '0' && c <= '9'   ? unsigned(c - '0')
                               : c >= 'a' && c <= 'z' ? unsigned(c - 'a' + 10)
                               : c >= 'A' && c <= 'Z' ? unsigned(c - 'A' + 10)
                                                      : 99u;
        if (digit >= base) break;
        sum = sum * base + digit;
        if (exact <= (std::uint64_t(1) << 32)) exact = exact * base + digit;
        ++digits;
    }
    if (negative) sum = 0u - sum;
    IntParse parse;
    parse.value = static_cast<int>(sum);  // two's complement, as Windows returns it
    parse.whole = digits > 0 && i == s.size() &&
                  exact <= (negative ? (std::uint64_t(1) << 31) : (std::uint64_t(1) << 31) - 1);
    return parse;
}

}  // namespace

int ParseInt(std::string_view s) { return ParseIntText(s).value; }

bool IsWholeInt(std::string_view s) { return ParseIntText(s).whole; }

std::string GetString(std::string_view fileBytes, std::string_view section, std::string_view key,
                      std::string_view defaultText, std::size_t bufferSize) {
    if (bufferSize == 0) return std::string();
    std::optional<std::string> value = ReadValue(fileBytes, section, key);
    if (!value) {
        while (!defaultText.empty() && defaultText.back() == ' ') defaultText.remove_suffix(1);
        value = std::string(defaultText);
    }
    if (value->size() > bufferSize - 1) value->resize(bufferSize - 1);
    // The caller of GetPrivateProfileStringA sees the buffer up to its first
    // NUL: a NUL byte stored in a value ends it.
    value->resize(std::min(value->size(), value->find('\0')));
    return *value;
}

// A present but empty value (also `""`) gives the default. Wine does so; for
// Windows it is unconfirmed, and the product never stores an empty value under
// a key it reads as an integer.
int GetInt(std::string_view fileBytes, std::string_view section, std::string_view key,
           int defaultValue) {
    const std::optional<std::string> value = ReadValue(fileBytes, section, key);
    if (!value || value->empty()) return defaultValue;
    return ParseInt(*value);
}

// ------------------------------------------------------------------ listing

namespace {

template <class Ch>
std::string AnsiName(View<Ch> name) {
    if constexpr (sizeof(Ch) == 1) {
        return std::string(name);
    } else {
        return platform::Utf16ToAnsi(std::u16string(name.begin(), name.end()));
    }
}

template <class Ch>
std::vector<ListedLine> List(View<Ch> text) {
    std::vector<ListedLine> listed;
    std::string section;
    bool inSection = false;
    Line<Ch> line;
    int number = 0;
    for (std::size_t pos = 0; NextLine(text, pos, line);) {
        ++number;
        if (line.kind == Kind::Header) {
            section = AnsiName(line.name);
            inSection = true;
            listed.push_back({number, true, section, std::string()});
        } else if (line.kind == Kind::Entry && line.hasEquals && inSection) {
            listed.push_back({number, false, section, AnsiName(line.name)});
        }
    }
    return listed;
}

}  // namespace

std::vector<ListedLine> ListLines(std::string_view fileBytes) {
    if (HasUtf16Mark(fileBytes)) {
        const std::u16string text = DecodeUtf16Le(fileBytes.substr(2));
        return List<char16_t>(text);
    }
    return List<char>(fileBytes);
}

std::vector<std::string> KeysOf(std::string_view fileBytes, std::string_view section) {
    section = TrimSpaces(section);
    std::vector<std::string> keys;
    int headers = 0;  // headers of `section` seen
    for (const ListedLine& line : ListLines(fileBytes)) {
        const bool ours = SameName<char>(line.section, section);
        if (line.header) {
            headers += ours;
            continue;
        }
        if (!ours || headers != 1) continue;
        bool known = false;
        for (const std::string& key : keys) known = known || SameName<char>(key, line.key);
        if (!known) keys.push_back(line.key);
    }
    return keys;
}

// ------------------------------------------------------------------ 5. writing

namespace {

template <class Ch>
void Append(Text<Ch>& out, std::string_view ascii) {
    for (char c : ascii) out.push_back(static_cast<Ch>(c));
}

template <class Ch>
Text<Ch> Write(View<Ch> text, View<Ch> section, View<Ch> key, View<Ch> value) {
    const Place<Ch> place = Find(text, section, key);
    Text<Ch> out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);

    if (place.key) {
        // Replace the line's text, keeping the key's letters and the line end.
        const Line<Ch>& line = *place.key;
        out.append(text.substr(0, line.begin)).append(line.name);
        out.push_back(Ch('='));
        out.append(value).append(text.substr(line.end));
    } else if (place.header) {
        // Insert after the section's last entry (or its header).
        const Line<Ch>& after = place.lastEntry;
        out.append(text.substr(0, after.next));
        if (after.next == after.end) Append(out, "\r\n");  // the unterminated last line
        out.append(key);
        out.push_back(Ch('='));
        out.append(value);
        Append(out, "\r\n");
        out.append(text.substr(after.next));
    } else {
        // A new section at the end.
        out.append(text);
        if (!text.empty() && text.back() != Ch('\n') && text.back() != Ch('\r'))
            Append(out, "\r\n");
        out.push_back(Ch('['));
        out.append(section);
        Append(out, "]\r\n");
        out.append(key);
        out.push_back(Ch('='));
        out.append(value);
        Append(out, "\r\n");
    }
    return out;
}

}  // namespace

std::string WriteString(std::string_view fileBytes, std::string_view section, std::string_view key,
                        std::string_view value) {
    section = TrimSpaces(section);
    key = TrimSpaces(key);
    if (HasUtf16Mark(fileBytes)) {
        const std::u16string text = DecodeUtf16Le(fileBytes.substr(2));
        const std::u16string sectionW = platform::AnsiToUtf16(section);
        const std::u16string keyW = platform::AnsiToUtf16(key);
        const std::u16string valueW = platform::AnsiToUtf16(value);
        return std::string(fileBytes.substr(0, 2)) +
               EncodeUtf16Le(Write<char16_t>(text, sectionW, keyW, valueW));
    }
    return Write<char>(fileBytes, section, key, value);
}

std::string WriteStrings(std::string fileBytes, const std::vector<platform::ProfileEntry>& entries) {
    for (const platform::ProfileEntry& entry : entries)
        fileBytes = WriteString(fileBytes, entry.section, entry.key, entry.value);
    return fileBytes;
}

}  // namespace profile
