// The private-profile engine over arbitrary file contents and a sequence of
// reads and writes decoded from the input.
//
// Input: a mode byte (the file as given; behind the UTF-16LE mark; or widened
// to UTF-16LE units behind the mark), the file's bytes, then operations: read
// a text, read an integer, write a text, write a decimal number. A name is
// either fuzzed text or a section or key found in the current file, possibly
// with its letters' case swapped and blanks put around it.
//
// Invariants:
// - reads: a smaller buffer gives a prefix of what a large one gives; a
//   missing key gives the default without trailing spaces; a present key does
//   not depend on the default; spaces around names and the case of ASCII
//   letters do not matter; the integer read of a missing key is the default;
// - writes, for "sane" names (no "]" in the section, no "=" in the key and no
//   ";" or "[" at its start, no CR, LF or NUL, no blanks at the ends once the
//   spaces are gone): the value reads back as written when it has no blanks
//   or quotes around it and no CR, LF or NUL; a decimal number reads back as
//   that integer; every other section and key of the file reads as before;
// - writes of anything: at most one line of the old file changes (the
//   replaced one, or the unterminated last line that gets its CRLF), every
//   other line stays byte for byte; for a sane write of a clean value, the
//   lines that change are exactly the replaced line "<stored key>=<value>", or
//   the added "key=value", or the added "[section]" and "key=value";
// - a UTF-16 file stays UTF-16: the mark first, whole 16-bit units.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "platform/profile_engine.h"

namespace {

using fuzzcheck::Show;

constexpr std::size_t kLargeBuffer = std::size_t(1) << 20;
constexpr int kMaxOperations = 16;
constexpr int kMaxWrites = 6;
constexpr std::size_t kMaxPairs = 24;  // names of the file checked after a write

const std::string kUtf16Mark = "\xFF\xFE";

// ------------------------------------------------------------ text helpers

bool IsBlank(char32_t c) { return c == ' ' || c == '\t' || c == '\v' || c == '\r' || c == '\n'; }

std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

template <class S>
S TrimBlanks(const S& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

template <class S>
bool SameAscii(const S& a, const S& b) {
    if (a.size() != b.size()) return false;
    auto fold = [](auto c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

std::string SwapCase(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

// Strict UTF-8 to UTF-16; nullopt for anything that is not valid UTF-8.
std::optional<std::u16string> StrictUtf16(std::string_view s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        int extra;
        char32_t cp;
        if (b < 0x80)
            extra = 0, cp = b;
        else if ((b & 0xE0) == 0xC0)
            extra = 1, cp = b & 0x1F;
        else if ((b & 0xF0) == 0xE0)
            extra = 2, cp = b & 0x0F;
        else if ((b & 0xF8) == 0xF0)
            extra = 3, cp = b & 0x07;
        else
            return std::nullopt;
        if (i + extra >= s.size()) return std::nullopt;
        for (int n = 1; n <= extra; ++n) {
            const unsigned char t = static_cast<unsigned char>(s[i + n]);
            if ((t & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (t & 0x3F);
        }
        static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kSmallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return std::nullopt;
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += 1 + extra;
    }
    return out;
}

// UTF-16 units to UTF-8, a lone surrogate as '?'.
std::string ToUtf8(std::u16string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[++i] - 0xDC00);
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = '?';
        }
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
    return out;
}

// The units of a UTF-16LE file after its mark; an odd last byte is a unit.
std::u16string Units(std::string_view bytes) {
    std::u16string units;
    for (std::size_t i = 2; i < bytes.size(); i += 2) {
        const unsigned lo = static_cast<unsigned char>(bytes[i]);
        const unsigned hi = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        units += static_cast<char16_t>(lo | (hi << 8));
    }
    return units;
}

// --------------------------------------------------------------- the lines

// One line: its text and its line end, which is LF after any number of CRs,
// or a CR that no LF follows, or nothing for an unterminated last line.
template <class Ch>
struct Line {
    std::basic_string<Ch> text, end;
    bool operator==(const Line&) const = default;
};

template <class Ch>
std::vector<Line<Ch>> SplitLines(const std::basic_string<Ch>& s) {
    std::vector<Line<Ch>> lines;
    for (std::size_t pos = 0; pos < s.size();) {
        Line<Ch> line;
        std::size_t e = pos;
        while (e < s.size() && s[e] != Ch('\r') && s[e] != Ch('\n')) ++e;
        line.text = s.substr(pos, e - pos);
        std::size_t crs = e;
        while (crs < s.size() && s[crs] == Ch('\r')) ++crs;
        std::size_t next = crs < s.size() && s[crs] == Ch('\n') ? crs + 1
                           : e < s.size()                       ? e + 1
                                                                : e;
        line.end = s.substr(e, next - e);
        lines.push_back(std::move(line));
        pos = next;
    }
    return lines;
}

template <class Ch>
std::string ShowLines(const std::vector<Line<Ch>>& lines) {
    std::string out;
    for (const Line<Ch>& l : lines) {
        std::string t, e;
        for (Ch c : l.text) t += static_cast<char>(c);  // enough to read a report
        for (Ch c : l.end) e += static_cast<char>(c);
        out += "  " + Show(t) + " " + Show(e) + "\n";
    }
    return out;
}

template <class Ch>
std::basic_string<Ch> Widen(std::string_view ascii) {
    return std::basic_string<Ch>(ascii.begin(), ascii.end());
}

// The old and the new lines, and what changed between them: the lines left
// once the longest common beginning and end are taken away.
template <class Ch, class Detail>
void CheckLines(const std::basic_string<Ch>& before, const std::basic_string<Ch>& after,
                const std::basic_string<Ch>* section, const std::basic_string<Ch>* key,
                const std::basic_string<Ch>* value, const Detail& detail) {
    const auto oldLines = SplitLines(before);
    const auto newLines = SplitLines(after);
    std::size_t head = 0;
    while (head < oldLines.size() && head < newLines.size() && oldLines[head] == newLines[head])
        ++head;
    std::size_t tail = 0;
    while (tail < oldLines.size() - head && tail < newLines.size() - head &&
           oldLines[oldLines.size() - 1 - tail] == newLines[newLines.size() - 1 - tail])
        ++tail;
    const std::vector<Line<Ch>> gone(oldLines.begin() + head, oldLines.end() - tail);
    const std::vector<Line<Ch>> came(newLines.begin() + head, newLines.end() - tail);
    const auto where = [&] {
        return std::string(detail() + "\nold lines:\n" + ShowLines(oldLines) + "new lines:\n" +
                           ShowLines(newLines));
    };
    FUZZ_CHECK(gone.size() <= 1, where());
    if (!section) return;  // not a sane write of a clean value

    const auto crlf = Widen<Ch>("\r\n");
    const Line<Ch> entry{*key + Ch('=') + *value, crlf};
    if (came.empty()) {
        FUZZ_CHECK(gone.empty(), where());  // the key held the value already
        return;
    }
    if (gone.size() == 1 && came.size() == 1) {
        // The key's line replaced, its stored name and line end kept (extra
        // CRs before a CRLF go).
        const auto& old = gone[0].text;
        const std::size_t eq = old.find(Ch('='));
        FUZZ_CHECK(eq != std::basic_string<Ch>::npos, where());
        const auto storedKey = TrimBlanks(old.substr(0, eq));
        FUZZ_CHECK(SameAscii(storedKey, *key), where());
        FUZZ_CHECK(came[0].text == storedKey + Ch('=') + *value, where());
        const bool extraCrs = gone[0].end.size() > 2;
        FUZZ_CHECK(came[0].end == (extraCrs ? crlf : gone[0].end), where());
        return;
    }
    // Added lines: the unterminated last line gets its CRLF first.
    std::size_t at = 0;
    if (gone.size() == 1) {
        FUZZ_CHECK(gone[0].end.empty() && head + 1 == oldLines.size(), where());
        FUZZ_CHECK(came[0] == (Line<Ch>{gone[0].text, crlf}), where());
        at = 1;
    }
    if (came.size() - at == 1) {
        FUZZ_CHECK(came[at] == entry, where());  // a key added to its section
    } else {
        FUZZ_CHECK(came.size() - at == 2 && tail == 0, where());  // a section added at the end
        FUZZ_CHECK(came[at] == (Line<Ch>{Widen<Ch>("[") + *section + Ch(']'), crlf}), where());
        FUZZ_CHECK(came[at + 1] == entry, where());
    }
}

// ----------------------------------------------------------- the fuzz run

bool SaneSection(std::string_view s) {
    s = TrimSpaces(s);
    if (s.find_first_of(std::string_view("]\r\n\0", 4)) != std::string_view::npos) return false;
    return s.empty() || (!IsBlank(s.front()) && !IsBlank(s.back()));
}

bool SaneKey(std::string_view k) {
    k = TrimSpaces(k);
    if (k.find_first_of(std::string_view("=\r\n\0", 4)) != std::string_view::npos) return false;
    if (!k.empty() && (k.front() == ';' || k.front() == '[')) return false;
    return k.empty() || (!IsBlank(k.front()) && !IsBlank(k.back()));
}

// A value that reads back exactly as written.
bool CleanValue(std::string_view v) {
    if (v.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
    if (v.empty()) return true;
    if (IsBlank(v.front()) || IsBlank(v.back())) return false;
    return !(v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\''));
}

// A value whose line ends, if any, are all at its end: it adds no line that
// could be read as a section or a key.
bool EndsOnlyAtEnd(std::string_view v) {
    while (!v.empty() && (v.back() == '\r' || v.back() == '\n')) v.remove_suffix(1);
    return v.find_first_of("\r\n") == std::string_view::npos;
}

// VANTOR_FUZZ_TRACE=1 in the environment prints each operation (for running
// one input by hand).
const bool kTrace = std::getenv("VANTOR_FUZZ_TRACE") != nullptr;

void Trace(const std::string& what) {
    if (kTrace) std::fprintf(stderr, "%s\n", what.c_str());
}

struct Run {
    FuzzedDataProvider& in;
    std::string file;
    std::vector<std::string> sections, keys;
    std::vector<std::pair<std::string, std::string>> pairs;

    bool Utf16() const { return file.starts_with(kUtf16Mark); }

    // The sections and keys the current file holds, as ANSI text.
    void Harvest() {
        sections.clear();
        keys.clear();
        pairs.clear();
        auto take = [&](const auto& text, auto toAnsi) {
            std::string section;
            for (const auto& line : SplitLines(text)) {
                const auto t = TrimBlanks(line.text);
                if (t.empty()) continue;
                if (t[0] == '[') {
                    const std::size_t close = t.find(']', 1);
                    section = toAnsi(TrimBlanks(t.substr(1, close == t.npos ? t.npos : close - 1)));
                    sections.push_back(section);
                } else if (t[0] != ';' && t.find('=') != t.npos) {
                    const std::string key = toAnsi(TrimBlanks(t.substr(0, t.find('='))));
                    keys.push_back(key);
                    if (pairs.size() < kMaxPairs) pairs.emplace_back(section, key);
                }
            }
        };
        if (Utf16())
            take(Units(file), [](const std::u16string& s) { return ToUtf8(s); });
        else
            take(file, [](const std::string& s) { return s; });
    }

    std::string Name(const std::vector<std::string>& found) {
        const uint8_t how = in.ConsumeIntegral<uint8_t>();
        if (!(how & 0x80) || found.empty()) return in.ConsumeRandomLengthString(24);
        std::string name = found[how % found.size()];
        if (how & 0x40) name = SwapCase(name);
        if (how & 0x20) name = "  " + name + " ";
        return name;
    }

    std::string Read(const std::string& s, const std::string& k, const std::string& d,
                     std::size_t size = kLargeBuffer) const {
        return profile::GetString(file, s, k, d, size);
    }

    void CheckRead(const std::string& s, const std::string& k) {
        const std::string d = in.ConsumeRandomLengthString(16);
        const std::size_t size = in.ConsumeIntegralInRange<std::size_t>(0, 80);
        const auto detail = [&] {
            return std::string("file " + Show(file) + "\nsection " + Show(s) + " key " + Show(k) +
                               " default " + Show(d));
        };
        Trace("read " + Show(s) + " " + Show(k) + " default " + Show(d) + " buffer " +
              std::to_string(size));
        const std::string whole = Read(s, k, d);
        const std::string cut = Read(s, k, d, size);
        FUZZ_CHECK(whole.find('\0') == std::string::npos, detail());
        FUZZ_CHECK(cut == (size == 0 ? std::string() : whole.substr(0, size - 1)),
                   detail() + " buffer " + std::to_string(size) + " " + Show(cut));

        const std::string one = Read(s, k, "\x01"), two = Read(s, k, "\x02");
        const bool present = one == two;
        if (!present) {
            FUZZ_CHECK(one == "\x01" && two == "\x02", detail());
            // The default loses its trailing spaces; the caller sees it up to
            // a NUL.
            std::string expected = d;
            while (!expected.empty() && expected.back() == ' ') expected.pop_back();
            expected.resize(std::min(expected.size(), expected.find('\0')));
            FUZZ_CHECK(whole == expected, detail() + " read " + Show(whole));
            FUZZ_CHECK(profile::GetInt(file, s, k, -77) == -77, detail());
        } else {
            FUZZ_CHECK(whole == one, detail() + " read " + Show(whole));
            if (!one.empty())
                FUZZ_CHECK(profile::GetInt(file, s, k, 5) == profile::GetInt(file, s, k, 6),
                           detail());
        }
        // Names: spaces at the ends and the case of ASCII letters do not count.
        FUZZ_CHECK(Read(" " + s + "  ", SwapCase(k) + " ", d) == whole, detail());
        FUZZ_CHECK(Read(SwapCase(s), " " + k, d) == whole, detail());
    }

    // Whether a read of (s2, k2) may see the write of (s, k).
    bool MaySee(const std::string& s, const std::string& k, const std::string& s2,
                const std::string& k2) const {
        if (Utf16() && (!StrictUtf16(s2) || !StrictUtf16(k2) || !StrictUtf16(s) || !StrictUtf16(k)))
            return true;  // names the conversion could merge
        return SameAscii(TrimSpaces(s), TrimSpaces(s2)) && SameAscii(TrimSpaces(k), TrimSpaces(k2));
    }

    void Write(const std::string& s, const std::string& k, const std::string& v,
               std::optional<int> number) {
        const std::string before = file;
        const std::string after = profile::WriteString(before, s, k, v);
        Trace("write " + Show(s) + " " + Show(k) + " " + Show(v) + "\n  " + Show(before) + "\n  " +
              Show(after));
        const auto detail = [&] {
            return std::string("file " + Show(before) + "\nsection " + Show(s) + " key " + Show(k) +
                               " value " + Show(v) + "\nwritten " + Show(after));
        };
        const bool sane = SaneSection(s) && SaneKey(k);
        bool clean = sane && CleanValue(v);
        const std::string ts(TrimSpaces(s)), tk(TrimSpaces(k));

        if (Utf16()) {
            FUZZ_CHECK(after.starts_with(kUtf16Mark) && after.size() % 2 == 0, detail());
            const auto sw = StrictUtf16(ts), kw = StrictUtf16(tk), vw = StrictUtf16(v);
            clean = clean && sw && kw && vw;
            CheckLines<char16_t>(Units(before), Units(after), clean ? &*sw : nullptr,
                                 clean ? &*kw : nullptr, clean ? &*vw : nullptr, detail);
        } else {
            CheckLines<char>(before, after, clean ? &ts : nullptr, clean ? &tk : nullptr,
                             clean ? &v : nullptr, detail);
        }

        // What other names read, before and after.
        std::vector<std::string> others;
        const bool keepsOthers = sane && EndsOnlyAtEnd(v);
        if (keepsOthers) {
            for (const auto& [s2, k2] : pairs)
                if (!MaySee(s, k, s2, k2)) others.push_back(Read(s2, k2, "\x01"));
        }
        file = after;
        if (clean) {
            const std::string back = Read(s, k, "\x01");
            FUZZ_CHECK(back == v, detail() + "\nread back " + Show(back));
            if (number) {
                const int got = profile::GetInt(file, s, k, -1);
                FUZZ_CHECK(got == *number, detail() + "\nread back " + std::to_string(got));
            }
        }
        if (keepsOthers) {
            std::size_t i = 0;
            for (const auto& [s2, k2] : pairs) {
                if (MaySee(s, k, s2, k2)) continue;
                const std::string now = Read(s2, k2, "\x01");
                FUZZ_CHECK(now == others[i], detail() + "\nother section " + Show(s2) + " key " +
                                                 Show(k2) + " was " + Show(others[i]) + " is " +
                                                 Show(now));
                ++i;
            }
        }
        Harvest();
    }
};

std::string Widened(const std::string& bytes) {
    std::string wide = kUtf16Mark;
    for (char c : bytes) {
        wide += c;
        wide += static_cast<unsigned char>(c) < 0x80 ? '\0' : c;
    }
    return wide;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const uint8_t mode = in.ConsumeIntegral<uint8_t>();
    std::string file = in.ConsumeRandomLengthString(4096);
    if (mode % 3 == 1) file = kUtf16Mark + file;
    if (mode % 3 == 2) file = Widened(file);

    Trace("file " + Show(file));
    Run run{in, file, {}, {}, {}};
    run.Harvest();
    int writes = 0;
    for (int op = 0; op < kMaxOperations && in.remaining_bytes() > 0; ++op) {
        const uint8_t what = in.ConsumeIntegral<uint8_t>();
        const std::string s = run.Name(run.sections);
        const std::string k = run.Name(run.keys);
        switch (what % 4) {
            case 0:
                run.CheckRead(s, k);
                break;
            case 1: {
                const int d = in.ConsumeIntegral<int>();
                Trace("read int " + Show(s) + " " + Show(k) + " default " + std::to_string(d));
                const bool missing = run.Read(s, k, "\x01") != run.Read(s, k, "\x02");
                if (missing) FUZZ_CHECK(profile::GetInt(run.file, s, k, d) == d, Show(run.file));
                break;
            }
            case 2:
                if (writes++ < kMaxWrites)
                    run.Write(s, k, in.ConsumeRandomLengthString(24), std::nullopt);
                break;
            default:
                if (writes++ < kMaxWrites) {
                    const int number = in.ConsumeIntegral<int>();
                    run.Write(s, k, std::to_string(number), number);
                }
                break;
        }
    }
    return 0;
}
