// Our private-profile engine fed directly: the cases the shared conformance
// suite cannot show on both platforms (UTF-16 text beyond ASCII, whose ANSI
// form differs between the builds, and the readings of our own where Windows'
// behaviour is not pinned down) and larger files.
#include <gtest/gtest.h>

#include <string>

#include "platform/profile_engine.h"

namespace {

using profile::GetInt;
using profile::GetString;
using profile::WriteString;

constexpr std::size_t kBuffer = 30000;

// UTF-16LE bytes, with the byte-order mark, of UTF-16 text.
std::string Utf16File(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t u : text) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

TEST(ProfileEngineUtf16, NonAsciiValueComesBackAsUtf8) {
    const std::string file =
        Utf16File(u"[Printers]\r\nCaf\u00e9=Z\u00fcrich \u20ac \U0001F600\r\n");
    // "Café" in UTF-8; its bytes taken one by one (Latin-1) would not match.
    EXPECT_EQ(GetString(file, "printers", "Caf\xC3\xA9", "d", kBuffer),
              "Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9F\x98\x80");
}

TEST(ProfileEngineUtf16, WriteEncodesUtf8NamesAndValuesAndKeepsOtherUnits) {
    // A non-BMP character in a comment and a lone surrogate must survive a
    // rewrite untouched.
    const std::u16string text = u"; \U0001F600 \xD800 x\r\n[s]\r\nk=v\r\n";
    const std::string after =
        WriteString(Utf16File(text), "s", "Gr\xC3\xBC\xC3\x9F" "e", "\xE2\x82\xAC" "5");
    EXPECT_EQ(after,
              Utf16File(u"; \U0001F600 \xD800 x\r\n[s]\r\nk=v\r\nGr\u00fc\u00dfe=\u20ac5\r\n"));
    EXPECT_EQ(GetString(after, "S", "GR\xC3\xBC\xC3\x9F" "E", "d", kBuffer), "\xE2\x82\xAC" "5");
}

TEST(ProfileEngineUtf16, LoneSurrogateReadsAsQuestionMarkAndBadUtf8WritesReplacement) {
    const std::string file = Utf16File(u"[s]\r\nk=a\xDC00z\r\n");
    EXPECT_EQ(GetString(file, "s", "k", "", kBuffer), "a?z");
    // 0xFF starts no UTF-8 sequence; a cut-off sequence neither.
    EXPECT_EQ(WriteString(Utf16File(u""), "s", "k", "a\xFF" "b\xE2\x82"),
              Utf16File(u"[s]\r\nk=a\uFFFDb\uFFFD\uFFFD\r\n"));
}

TEST(ProfileEngineUtf16, ResultIsCutInAnsiBytes) {
    // "é" is two bytes of ANSI (UTF-8) text: the buffer counts bytes.
    const std::string file = Utf16File(u"[s]\r\nk=\u00e9\u00e9\r\n");
    EXPECT_EQ(GetString(file, "s", "k", "", 4), "\xC3\xA9\xC3");
    EXPECT_EQ(GetInt(Utf16File(u"[s]\r\nn=0x10\r\n"), "s", "n", 0), 16);
}

TEST(ProfileEngineUtf16, MarkAloneIsAnEmptyUtf16File) {
    EXPECT_EQ(WriteString("\xFF\xFE", "s", "k", "v"), Utf16File(u"[s]\r\nk=v\r\n"));
    EXPECT_EQ(GetString("\xFF\xFE", "s", "k", "d", kBuffer), "d");
}

// Writes whose exact bytes are our reading of Windows' rules.
struct WriteCase {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

const WriteCase kWriteCases[] = {
    {"HeaderWithoutBracketTakesNewKeys", "[nobr\r\nk=3\r\n", "nobr", "j", "4",
     "[nobr\r\nk=3\r\nj=4\r\n"},
    {"HeaderAtEndWithoutLineEnd", "[s]", "s", "k", "v", "[s]\r\nk=v\r\n"},
    {"SectionOfOnlyCommentsTakesKeyAfterHeader", "[s]\r\n;c\r\n\r\n[t]\r\n", "s", "k", "v",
     "[s]\r\nk=v\r\n;c\r\n\r\n[t]\r\n"},
    {"KeyAtEndWithoutLineEndStaysWithout", "[s]\r\nk=v", "s", "k", "longer", "[s]\r\nk=longer"},
    {"ReplacedLineKeepsItsLfEnd", "[s]\nk=v\nj=w\n", "s", "k", "new", "[s]\nk=new\nj=w\n"},
    {"ReplacedLineKeepsItsCrEnd", "[s]\rk=v\rj=w\r", "s", "j", "x", "[s]\rk=v\rj=x\r"},
    {"AddedLineEndsInCrLfEvenInLfFile", "[s]\nk=v\n\n[t]\n", "s", "n", "1",
     "[s]\nk=v\nn=1\r\n\n[t]\n"},
    {"LineWithoutEqualsCountsAsEntryForPlacement", "[s]\r\nflag\r\n;c\r\n", "s", "k", "v",
     "[s]\r\nflag\r\nk=v\r\n;c\r\n"},
    {"LineWithoutEqualsIsNotReplaced", "[s]\r\nflag\r\n", "s", "flag", "1",
     "[s]\r\nflag\r\nflag=1\r\n"},
    {"MissingKeyGoesToFirstOfDuplicateSections", "[s]\r\na=1\r\n[S]\r\nb=2\r\n", "s", "b", "3",
     "[s]\r\na=1\r\nb=3\r\n[S]\r\nb=2\r\n"},
    {"LinesBeforeFirstHeaderAreNotReplaced", "k=0\r\n[s]\r\nk=1\r\n", "s", "k", "2",
     "k=0\r\n[s]\r\nk=2\r\n"},
    {"EmptySectionNameGetsItsOwnHeader", "k=nosec\r\n", "", "k", "v", "k=nosec\r\n[]\r\nk=v\r\n"},
    {"CrsBeforeCrLfBelongToTheLine", "[s]\r\r\nk=1\r\r\r\nj=2\r\n", "s", "k", "3",
     "[s]\r\r\nk=3\r\nj=2\r\n"},
    {"CrsNotBeforeLfEndLines", "[s]\r\rk=1\r\r", "s", "n", "2", "[s]\r\rk=1\rn=2\r\n\r"},
    {"TabInPassedNameIsKept", "[s]\r\nk=v\r\n", "s", "\tk", "x", "[s]\r\nk=v\r\n\tk=x\r\n"},
    {"LastLineBlanksWithoutLineEnd", "[a]\r\nx=1\r\n  ", "b", "k", "v",
     "[a]\r\nx=1\r\n  \r\n[b]\r\nk=v\r\n"},
    {"Utf8MarkedFileGetsSectionAppended", "\xEF\xBB\xBF[s]\r\nk=v\r\n", "s", "k", "w",
     "\xEF\xBB\xBF[s]\r\nk=v\r\n[s]\r\nk=w\r\n"},
};

class ProfileEngineWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(ProfileEngineWrite, Bytes) {
    const WriteCase& c = GetParam();
    const std::string after = WriteString(c.before, c.section, c.key, c.value);
    EXPECT_EQ(after, c.after);
}

INSTANTIATE_TEST_SUITE_P(Readings, ProfileEngineWrite, testing::ValuesIn(kWriteCases),
                         [](const testing::TestParamInfo<WriteCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(ProfileEngineRead, ZeroBufferGivesNothing) {
    EXPECT_EQ(GetString("[s]\r\nk=v\r\n", "s", "k", "d", 0), "");
    EXPECT_EQ(GetString("", "s", "k", "d", 0), "");
}

TEST(ProfileEngineRead, OnlyTheDocumentedBlanksAreTrimmed) {
    // Space, tab, VT, CR and LF are trimmed from lines; a form feed is text.
    EXPECT_EQ(GetString("[s]\r\n\v k \v= \tv\v\r\n", "s", "k", "", kBuffer), "v");
    EXPECT_EQ(GetString("[s]\r\nk=v\f\r\n", "s", "k", "", kBuffer), "v\f");
    // The integer rule skips any leading character up to 0x20 before the sign.
    EXPECT_EQ(GetInt("[s]\r\nk=\f\x01-9\r\n", "s", "k", 0), -9);
    EXPECT_EQ(GetInt("[s]\r\nk=-2147483648\r\n", "s", "k", 0), -2147483647 - 1);
}

// What a read can find, listed: headers and key lines by line number; of a
// section written twice and a key written twice, the first.
TEST(ProfileEngineList, HeadersKeysAndWhatAReadFinds) {
    const std::string file = "k0=before\r\n[S]\r\n; Printer=comment\r\n \"Printer\" = a\r\nno equals\r\n"
                             "printer=b\r\n[T]\r\nx=1\r\n[s]\r\nLate=c\r\n";
    std::string listed;
    for (const profile::ListedLine& line : profile::ListLines(file))
        listed += std::to_string(line.number) + (line.header ? "[" + line.section + "] " : " " + line.key + " ");
    EXPECT_EQ(listed, "2[S] 4 \"Printer\" 6 printer 7[T] 8 x 9[s] 10 Late ");
    EXPECT_EQ(profile::KeysOf(file, "s"), (std::vector<std::string>{"\"Printer\"", "printer"}));
    EXPECT_EQ(GetString(file, "S", "printer", "", kBuffer), "b");  // the first "printer" line
    EXPECT_EQ(GetString(file, "S", "Late", "<none>", kBuffer), "<none>");
    const std::string utf16("\xFF\xFE[\0S\0]\0\n\0k\0=\0\n\0", 16);
    EXPECT_EQ(profile::KeysOf(utf16, "S"), (std::vector<std::string>{"k"}));
}

TEST(ProfileEngineRead, WholeNumbers) {
    for (const char* whole : {"12", " -5", "+7", "0x10", "2147483647", "-2147483648"})
        EXPECT_TRUE(profile::IsWholeInt(whole)) << whole;
    for (const char* other : {"", "abc", "12abc", "0x", "2147483648", "4294967296", "1 2", "0X1f"})
        EXPECT_FALSE(profile::IsWholeInt(other)) << other;
}

TEST(ProfileEngineLarge, ManySectionsAndKeys) {
    // 400 sections of 20 keys: reads find the right one, a write changes one line.
    std::string file = "; settings\r\n";
    for (int s = 0; s < 400; ++s) {
        file += "[Section" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 20; ++k)
            file += "Key" + std::to_string(k) + "=" + std::to_string(s * 100 + k) + "\r\n";
        file += "\r\n";
    }
    EXPECT_EQ(GetString(file, "section399", "key19", "", kBuffer), "39919");
    EXPECT_EQ(GetInt(file, "SECTION205", "KEY7", -1), 20507);
    EXPECT_EQ(GetInt(file, "Section400", "Key0", -1), -1);

    const std::string after = WriteString(file, "Section200", "Key3", "x");
    std::string expected = file;
    const std::string line = "Key3=20003\r\n";
    const std::size_t at = expected.find(line, expected.find("[Section200]\r\n"));
    ASSERT_NE(at, std::string::npos);
    expected.replace(at, line.size(), "Key3=x\r\n");
    EXPECT_EQ(after, expected);

    const std::string added = WriteString(file, "Section0", "New", "n");
    EXPECT_EQ(added.substr(0, added.find("[Section1]")),
              file.substr(0, file.find("\r\n\r\n[Section1]") + 2) + "New=n\r\n\r\n");
    EXPECT_EQ(GetString(added, "Section0", "New", "", kBuffer), "n");
}

}  // namespace
