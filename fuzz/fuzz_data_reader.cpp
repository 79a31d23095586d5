// The job's data file over arbitrary bytes, in each of its encodings.
//
// The first input byte picks how the rest becomes the file: as it is; behind
// the UTF-16LE mark; behind the UTF-8 mark; or widened to UTF-16LE units
// behind the mark (bytes below 0x80 become their own character, others the
// unit 0xXXXX with both bytes equal, surrogates among them), which lets the
// fuzzer write tabs, quotes and line feeds in UTF-16 with single bytes.
//
// Invariants:
// - the line count is that of the line ends (LF bytes, or LF units at even
//   offsets in UTF-16) plus one for a non-empty unterminated last line, and the
//   same through the snapshot (DataFile) as through the pure functions;
// - the extracted lines with their line ends put back give the file again;
// - DecodeLine decodes an extracted line in the file's encoding (an ANSI
//   file's line stays ANSI even when it starts with the bytes of a mark);
//   a decoded line holds neither a line feed nor a NUL;
// - fields 1..22 and the last one of the first lines: the same through
//   ReadFieldIn and DataFile::Field (in any order of calls); none holds a tab
//   or a double quote; put back together with tabs they give the decoded line
//   (quotes doubled into apostrophes); lines and fields past the end are "".
// The field split is also checked with a Shift-JIS-like lead-byte rule, where
// a tab after a lead byte belongs to its character.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "job/data_reader.h"
#include "platform/platform.h"

namespace {

using fuzzcheck::Show;

constexpr int kFirstLines = 8;     // lines whose fields are read
constexpr int kFieldCount = 22;    // fields 1..22, as a job reads at most
constexpr int kLinesRebuilt = 64;  // lines checked against the file's bytes

bool NoLeadBytes(unsigned char) { return false; }
bool ShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::string MakeFile(const uint8_t* data, std::size_t size) {
    if (size == 0) return std::string();
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 4) {
        case 1:
            return "\xFF\xFE" + rest;
        case 2:
            return "\xEF\xBB\xBF" + rest;
        case 3: {
            std::string wide = "\xFF\xFE";
            for (char c : rest) {
                wide += c;
                wide += static_cast<unsigned char>(c) < 0x80 ? '\0' : c;
            }
            return wide;
        }
        default:
            return rest;
    }
}

// A line's bytes (without mark) as text, in the file's encoding: UTF-16 units
// up to a zero unit (an odd last byte is no unit), or bytes up to a zero byte.
std::string DecodeIn(job::DataEncoding encoding, std::string_view body) {
    if (encoding == job::DataEncoding::Utf16Le) {
        std::u16string units;
        for (std::size_t i = 0; i + 1 < body.size(); i += 2) {
            const char16_t u = static_cast<char16_t>(static_cast<unsigned char>(body[i]) |
                                                     static_cast<unsigned char>(body[i + 1]) << 8);
            if (u == 0) break;
            units += u;
        }
        return platform::Utf16ToAnsi(units);
    }
    body = body.substr(0, body.find('\0'));
    return encoding == job::DataEncoding::Utf8 ? platform::Utf8ToAnsi(body) : std::string(body);
}

// The field split of one decoded line, checked against the line itself.
void CheckFields(std::string_view decoded, text::LeadByteRule isLead,
                 const std::function<std::string(int)>& field,
                 const std::function<std::string()>& where) {
    // Tabs that start a character; a tab after a lead byte is its trail byte.
    auto tabsIn = [&](std::string_view s) {
        std::size_t tabs = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\t') ++tabs;
            if (isLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ++i;
        }
        return tabs;
    };
    std::string quoted;  // the line as fields show it
    for (char c : decoded) quoted += c == '"' ? std::string("''") : std::string(1, c);
    const std::size_t tabs = tabsIn(decoded);

    std::string rebuilt;
    for (int n = 1; n <= kFieldCount; ++n) {
        const std::string f = field(n);
        const auto detail = [&] {
            return std::string(where() + " field " + std::to_string(n) + " " + Show(f));
        };
        FUZZ_CHECK(f.find('"') == std::string::npos, detail());
        FUZZ_CHECK(tabsIn(f) == 0, detail());
        if (static_cast<std::size_t>(n) > tabs) {
            FUZZ_CHECK(f.empty(), detail());
        } else {
            rebuilt += f;
            rebuilt += '\t';
        }
    }
    const std::string last = field(job::kLastField);
    const auto detail = [&] {
        return std::string(where() + " line " + Show(quoted) + " last " + Show(last) +
                           " first fields " + Show(rebuilt));
    };
    FUZZ_CHECK(last.find('"') == std::string::npos, detail());
    FUZZ_CHECK(tabsIn(last) == 0, detail());
    FUZZ_CHECK(field(-7) == last, detail());  // any negative number is the last field
    FUZZ_CHECK(quoted.starts_with(rebuilt), detail());
    FUZZ_CHECK(quoted.ends_with(tabs == 0 ? last : "\t" + last), detail());
    if (tabs <= static_cast<std::size_t>(kFieldCount)) {
        if (tabs > 0) rebuilt.pop_back();  // the tab before the last field
        FUZZ_CHECK(quoted == (tabs == 0 ? last : rebuilt + "\t" + last), detail());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string bytes = MakeFile(data, size);
    const job::DataEncoding encoding = job::DetectEncoding(bytes);
    const bool utf16 = bytes.starts_with("\xFF\xFE");
    const std::size_t markSize = utf16 ? 2 : bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    FUZZ_CHECK((encoding == job::DataEncoding::Utf16Le) == utf16, Show(bytes));
    FUZZ_CHECK((encoding == job::DataEncoding::Utf8) == (markSize == 3), Show(bytes));
    const std::string lineEnd = utf16 ? std::string("\n\0", 2) : std::string("\n");
    const std::size_t unit = utf16 ? 2 : 1;

    // Line count.
    std::size_t ends = 0;
    std::size_t afterLastEnd = markSize;
    for (std::size_t i = markSize; i + unit <= bytes.size(); i += unit) {
        if (bytes.compare(i, unit, lineEnd) == 0) {
            ++ends;
            afterLastEnd = i + unit;
        }
    }
    const std::size_t expectedLines = ends + (bytes.size() - afterLastEnd >= unit ? 1 : 0);
    const int lines = job::CountLinesIn(bytes);
    const job::DataFile file = job::DataFile::FromBytes(bytes);
    FUZZ_CHECK(file.Opened(), Show(bytes));
    FUZZ_CHECK(lines >= 0 && static_cast<std::size_t>(lines) == expectedLines,
               Show(bytes) + " lines " + std::to_string(lines));
    FUZZ_CHECK(file.LineCount() == lines, Show(bytes));

    // The lines put back together.
    std::size_t pos = markSize;
    for (int l = 0; l < lines && l < kLinesRebuilt; ++l) {
        const std::string line = job::ExtractLine(bytes, l);
        const auto detail = [&] {
            return std::string(Show(bytes) + " line " + std::to_string(l) + " " + Show(line));
        };
        const std::string_view body = line;
        for (std::size_t i = 0; i + unit <= body.size(); i += unit)
            FUZZ_CHECK(body.compare(i, unit, lineEnd) != 0, detail());
        FUZZ_CHECK(bytes.compare(pos, body.size(), body) == 0, detail());
        pos += body.size();
        if (bytes.compare(pos, unit, lineEnd) == 0)
            pos += unit;
        else
            FUZZ_CHECK(l == lines - 1 && pos == bytes.size(), detail());
    }
    if (lines <= kLinesRebuilt) {
        // Only an odd byte after the last line end of a UTF-16 file is no line.
        const bool rest = utf16 && pos + 1 == bytes.size();
        FUZZ_CHECK(pos == bytes.size() || rest, Show(bytes) + " rebuilt to " + std::to_string(pos));
    }
    FUZZ_CHECK(job::ExtractLine(bytes, lines).empty(), Show(bytes));
    FUZZ_CHECK(job::ExtractLine(bytes, -1).empty(), Show(bytes));

    // Fields of the first lines, and of the lines just outside the file.
    for (int l = -1; l <= lines && l < kFirstLines; ++l) {
        const auto where = [&] { return std::string(Show(bytes) + " line " + std::to_string(l)); };
        const std::string line = job::ExtractLine(bytes, l);
        const std::string decoded = DecodeIn(encoding, line);
        FUZZ_CHECK(decoded.find('\n') == std::string::npos, where() + " " + Show(decoded));
        FUZZ_CHECK(decoded.find('\0') == std::string::npos, where() + " " + Show(decoded));
        if (l < 0 || l == lines) FUZZ_CHECK(decoded.empty(), where() + " " + Show(decoded));

        CheckFields(
            decoded, NoLeadBytes,
            [&](int n) {
                const std::string pure = job::ReadFieldIn(bytes, l, n);
                const std::string snapshot = file.Field(l, n);
                FUZZ_CHECK(pure == snapshot, where() + " field " + std::to_string(n) +
                                                 " ReadFieldIn " + Show(pure) + " DataFile " +
                                                 Show(snapshot));
                return snapshot;
            },
            where);
        CheckFields(
            decoded, ShiftJisLead, [&](int n) { return job::PickField(decoded, n, ShiftJisLead); },
            [&] { return where() + " (Shift-JIS rule)"; });

        // DecodeLine in the file's encoding.
        const std::string viaLine = job::DecodeLine(line, encoding);
        FUZZ_CHECK(viaLine == decoded, where() + " DecodeLine " + Show(viaLine) +
                                           " in the file's encoding " + Show(decoded));
    }

    // The snapshot's cache of the last decoded line: fields read line by line
    // above, now field by field across lines.
    for (int n = 1; n <= 3; ++n) {
        for (int l = 0; l < lines && l < kFirstLines; ++l) {
            const std::string body = job::ExtractLine(bytes, l);
            FUZZ_CHECK(file.Field(l, n) == job::PickField(DecodeIn(encoding, body), n),
                       Show(bytes) + " line " + std::to_string(l) + " field " + std::to_string(n));
        }
    }
    return 0;
}
