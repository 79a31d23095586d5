// Private-profile behaviour, run against the profile engine both builds keep
// their settings with (platform/profile_engine, through the platform's
// ProfileGetString / ProfileGetInt / ProfileWriteString) and, in the win32
// build, also against the system's own GetPrivateProfileStringA /
// GetPrivateProfileIntA / WritePrivateProfileStringA, which our engine
// replaced and which stay its reference. The expectations are Windows'
// behaviour, for our engine always. Where Wine's system functions are known
// to behave differently, a case says how and holds Wine's observed result,
// which the system functions are then held to under Wine.
#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/temp_dir.h"
#include "support/wine.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::RunningUnderWine;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

constexpr std::size_t kBuffer = 30000;  // the settings store's read buffer

enum class Op { Get, Int, Put };

// One call and its expected result, as text: Get gives the text, Int the
// number in decimal, Put "ok" or "failed".
struct Step {
    Op op = Op::Get;
    std::string section, key;
    std::string text;  // Get: the default; Put: the value
    int number = 0;    // Int: the default
    std::size_t size = kBuffer;
    std::string expect;
    std::optional<std::string> underWine;  // Wine's result where it differs from Windows
};

Step Get(std::string section, std::string key, std::string dflt, std::string expect,
         std::size_t size = kBuffer) {
    return Step{Op::Get, std::move(section), std::move(key), std::move(dflt), 0, size,
                std::move(expect), std::nullopt};
}

Step Int(std::string section, std::string key, int dflt, int expect) {
    return Step{Op::Int, std::move(section), std::move(key), "", dflt, 0, std::to_string(expect),
                std::nullopt};
}

Step Put(std::string section, std::string key, std::string value, bool ok = true) {
    return Step{Op::Put, std::move(section), std::move(key), std::move(value), 0, 0,
                ok ? "ok" : "failed", std::nullopt};
}

Step OnWine(Step step, std::string wineResult) {
    step.underWine = std::move(wineResult);
    return step;
}

// Which profile functions a step calls.
enum class Engine {
    Ours,    // the platform layer's, over our engine
    System,  // Windows' own (the win32 build only)
};

std::string Call(Engine engine, const Step& step, const std::string& path) {
#ifdef _WIN32
    if (engine == Engine::System) {
        switch (step.op) {
        case Op::Get: {
            std::vector<char> buffer(step.size + 1, '\0');
            GetPrivateProfileStringA(step.section.c_str(), step.key.c_str(), step.text.c_str(), buffer.data(),
                                     static_cast<DWORD>(step.size), path.c_str());
            return std::string(buffer.data());
        }
        case Op::Int:
            return std::to_string(static_cast<int>(
                GetPrivateProfileIntA(step.section.c_str(), step.key.c_str(), step.number, path.c_str())));
        case Op::Put:
            return WritePrivateProfileStringA(step.section.c_str(), step.key.c_str(), step.text.c_str(),
                                              path.c_str())
                       ? "ok"
                       : "failed";
        }
    }
#endif
    (void)engine;
    switch (step.op) {
    case Op::Get:
        return platform::ProfileGetString(step.section, step.key, step.text, step.size, path);
    case Op::Int:
        return std::to_string(platform::ProfileGetInt(step.section, step.key, step.number, path));
    case Op::Put:
        return platform::ProfileWriteString(step.section, step.key, step.text, path) ? "ok"
                                                                                      : "failed";
    }
    return "?";
}

std::string Describe(std::size_t index, const Step& step) {
    static const char* const kOps[] = {"Get", "Int", "Put"};
    return "step " + std::to_string(index + 1) + ": " + kOps[static_cast<int>(step.op)] + " [" +
           step.section + "] " + step.key + (step.op == Op::Put ? " = " + step.text : "") +
           (step.op == Op::Get ? " (buffer " + std::to_string(step.size) + ")" : "");
}

// The UTF-16LE bytes of ASCII text.
std::string Utf16Le(std::string_view ascii) {
    std::string bytes;
    for (char c : ascii) {
        bytes.push_back(c);
        bytes.push_back('\0');
    }
    return bytes;
}

const std::string kUtf16Mark = "\xFF\xFE";
const std::string kUtf8Mark = "\xEF\xBB\xBF";

struct Case {
    const char* name = "";
    std::optional<std::string> before = std::nullopt;  // the file's bytes; none: no file
    std::vector<Step> steps = {};
    std::optional<std::string> after = std::nullopt;  // the file's bytes after the steps
    // Where Wine departs from Windows: how, and its bytes after the steps.
    const char* wineDiffers = nullptr;
    std::optional<std::string> wineAfter = std::nullopt;
};

// Test names and failure messages show a case by its name.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::vector<Case> Cases() {
    return {
        {.name = "MissingFileGivesDefaults",
         .before = std::nullopt,
         .steps = {Get("s", "k", "dflt", "dflt"), Int("s", "k", 7, 7), Int("s", "k", -3, -3)}},
        {.name = "MissingSectionOrKeyGivesDefaults",
         .before = "[s]\r\nk=v\r\n",
         .steps = {Get("t", "k", "dflt", "dflt"), Get("s", "j", "dflt", "dflt"),
                   Int("t", "k", 5, 5), Int("s", "j", -5, -5), Get("s", "k", "dflt", "v")}},
        {.name = "WritesCreateFileAndSections",
         .before = std::nullopt,
         .steps = {Put("App", "key", "val"), Put("App", "k2", "v2"), Put("Other", "x", "1"),
                   Get("App", "key", "", "val"), Get("Other", "x", "", "1")},
         .after = "[App]\r\nkey=val\r\nk2=v2\r\n[Other]\r\nx=1\r\n"},
        {.name = "NamesMatchInAnyCaseAndWriteKeepsStoredLetters",
         .before = "[Sec]\r\nName=v\r\n",
         .steps = {Get("sEC", "nAME", "", "v"), Put("SEC", "NAME", "w"),
                   Get("sec", "name", "", "w")},
         .after = "[Sec]\r\nName=w\r\n"},
        {.name = "ValueComesBackInStoredLetters",
         .before = "[s]\r\nk=MiXeD Case\r\n",
         .steps = {Get("S", "K", "", "MiXeD Case")}},
        {.name = "BlanksAroundKeyAndValueAreTrimmed",
         .before = "[s]\r\n\t k  =  v  \r\n",
         .steps = {Get("s", "k", "", "v")}},
        {.name = "OnePairOfMatchingQuotesIsRemoved",
         .before = "[s]\r\na=\"x y\"\r\nb='x y'\r\nc=\"x y'\r\ne=\"\"\r\nf= \" pad \" \r\n"
                   "g=\"\"q\"\"\r\nh=\"\r\n",
         .steps = {Get("s", "a", "d", "x y"), Get("s", "b", "d", "x y"),
                   Get("s", "c", "d", "\"x y'"), Get("s", "e", "d", ""),
                   Get("s", "f", "d", " pad "), Get("s", "g", "d", "\"q\""),
                   Get("s", "h", "d", "\"")}},
        {.name = "ValueIsCutToTheBuffer",
         .before = "[s]\r\nk=abcdef\r\n",
         .steps = {Get("s", "k", "", "abc", 4), Get("s", "k", "", "abcdef", 7),
                   Get("s", "k", "", "abcdef", 8), Get("s", "k", "", "abcde", 6),
                   Get("s", "k", "", "", 1)}},
        {.name = "DefaultLosesOnlyTrailingSpacesAndIsCut",
         .before = "[s]\r\nk=v\r\n",
         .steps = {Get("s", "missing", "dflt  ", "dflt"), Get("s", "missing", "  d\t ", "  d\t"),
                   Get("s", "missing", "abcdef", "abc", 4), Get("none", "k", "x ", "x")}},
        {.name = "NulByteEndsTheValue",
         .before = std::string("[s]\r\nk=ab\0cd\r\nj=x\r\n", 19),
         .steps = {Get("s", "k", "d", "ab"), Get("s", "j", "d", "x")}},
        {.name = "EmptyValueIsNotTheDefault",
         .before = "[s]\r\nempty=\r\nflag\r\n",
         .steps = {Get("s", "empty", "d", ""), Get("s", "flag", "d", "d")}},
        {.name = "IntegersAreParsedLikeWindows",
         .before = "[n]\r\nspace= 42\r\nplus=+7\r\nminus=-5\r\ntail=12abc\r\nletters=abc\r\n"
                   "zero=010\r\nwrap=4294967297\r\nquoted=\"12\"\r\nhex=0x1F\r\noct=0o17\r\n"
                   "bin=0b101\r\nneghex=-0x10\r\nbighex=0X1f\r\nmin=2147483648\r\n"
                   "all=4294967295\r\nbare=0x\r\nbadbin=0b102\r\ngap=12 34\r\nsq=' 7 '\r\n"
                   "badoct=0o8\r\nexp=1e3\r\nsigns=+-5\r\nnegwrap=-4294967295\r\nempty=\r\n"
                   "emptyq=\"\"\r\n",
         .steps = {Int("n", "space", 99, 42),   Int("n", "plus", 99, 7),
                   Int("n", "minus", 99, -5),   Int("n", "tail", 99, 12),
                   Int("n", "letters", 99, 0),  Int("n", "zero", 99, 10),
                   Int("n", "wrap", 99, 1),     Int("n", "quoted", 99, 12),
                   Int("n", "hex", 99, 31),     Int("n", "oct", 99, 15),
                   Int("n", "bin", 99, 5),      Int("n", "neghex", 99, -16),
                   Int("n", "bighex", 99, 0),   Int("n", "min", 99, -2147483647 - 1),
                   Int("n", "all", 99, -1),     Int("n", "bare", 99, 0),
                   Int("n", "badbin", 99, 2),   Int("n", "gap", 99, 12),
                   Int("n", "sq", 99, 7),       Int("n", "badoct", 99, 0),
                   Int("n", "exp", 99, 1),      Int("n", "signs", 99, 0),
                   Int("n", "negwrap", 99, 1),  Int("n", "empty", 99, 99),
                   Int("n", "emptyq", 99, 99),  Int("n", "missing", 99, 99),
                   Int("N", "HEX", 99, 31)}},
        {.name = "FirstDuplicateWins",
         .before = "[s]\r\nk=first\r\nk=second\r\n[S]\r\nk=third\r\nonly2=x\r\n",
         .steps = {Get("s", "k", "d", "first"), Get("s", "only2", "d", "d"), Put("s", "k", "new"),
                   Get("s", "k", "d", "new")},
         .after = "[s]\r\nk=new\r\nk=second\r\n[S]\r\nk=third\r\nonly2=x\r\n"},
        {.name = "EqualsAndSemicolonInValues",
         .before = "[s]\r\nk=a=b\r\nv=x ; y\r\nk2 = a=b ; c \r\nhash=#x\r\n#h=1\r\n",
         .steps = {Get("s", "k", "", "a=b"), Get("s", "v", "", "x ; y"),
                   Get("s", "k2", "", "a=b ; c"), Get("s", "hash", "", "#x"),
                   Get("s", "#h", "", "1")}},
        {.name = "WrittenEqualsAndSemicolonAreHarmless",
         .before = std::nullopt,
         .steps = {Put("s", "a;b", "x=y;z"), Put("s", "k", "=;="), Get("s", "a;b", "d", "x=y;z"),
                   Get("s", "k", "d", "=;=")},
         .after = "[s]\r\na;b=x=y;z\r\nk==;=\r\n"},
        {.name = "KeyWithEqualsIsWrittenButNotFound",
         .before = std::nullopt,
         .steps = {Put("s", "a=b", "v"), Get("s", "a=b", "d", "d"), Get("s", "a", "d", "b=v")},
         .after = "[s]\r\na=b=v\r\n"},
        {.name = "SectionWithBracketIsWrittenButNotFound",
         .before = std::nullopt,
         .steps = {Put("a]b", "k", "v"), OnWine(Get("a]b", "k", "d", "d"), "v"),
                   OnWine(Get("a", "k", "d", "v"), "d")},
         .after = "[a]b]\r\nk=v\r\n",
         .wineDiffers = "Wine ends a header name at its last ']'"},
        {.name = "SemicolonKeyIsAComment",
         .before = "[s]\r\n;k2=hidden\r\n",
         .steps = {OnWine(Get("s", ";k2", "d", "d"), "hidden")},
         .wineDiffers = "Wine reads a line starting with ';' as a key"},
        {.name = "KeyStartingWithSemicolonIsWrittenButNotFound",
         .before = "[s]\r\nk=v\r\n",
         .steps = {Put("s", ";c", "v"), OnWine(Get("s", ";c", "d", "d"), "v")},
         .after = "[s]\r\nk=v\r\n;c=v\r\n",
         .wineDiffers = "Wine reads a line starting with ';' as a key"},
        {.name = "HeaderNameRunsToFirstBracketAndNeedsNone",
         .before = "[a]b]\r\nk=1\r\n[nobr\r\nk=3\r\n",
         .steps = {OnWine(Get("a", "k", "d", "1"), "d"), OnWine(Get("nobr", "k", "d", "3"), "d")},
         .wineDiffers = "Wine ends a header name at its last ']' and ignores a header without ']'"},
        {.name = "LinesBeforeFirstHeaderAreUnreachable",
         .before = "k=nosec\r\n[]\r\nk=empty\r\n",
         .steps = {OnWine(Get("", "k", "d", "empty"), "nosec")},
         .wineDiffers = "Wine serves the lines before the first header as section \"\""},
        {.name = "ReplaceInPlaceKeepsEveryOtherByte",
         .before = "; h\r\n\r\n[ Sec ] x\r\n  Key1 = v1  \r\n\r\n;c\r\nK2=v2\r\n",
         .steps = {Put("SEC", "KEY1", "new"), Get("sec", "key1", "", "new"),
                   Get("sec", "k2", "", "v2")},
         .after = "; h\r\n\r\n[ Sec ] x\r\nKey1=new\r\n\r\n;c\r\nK2=v2\r\n",
         .wineDiffers = "Wine rewrites the whole file, normalising spacing and blank lines",
         .wineAfter = "; h\r\n[Sec]\r\nKey1=new\r\n;c\r\nK2=v2\r\n"},
        {.name = "NewKeyGoesBeforeTrailingCommentsAndBlankLines",
         .before = "[a]\r\nk=v\r\n;tail\r\n\r\n[b]\r\nx=1\r\n",
         .steps = {Put("a", "new", "n"), Put("a", "new2", "m")},
         .after = "[a]\r\nk=v\r\nnew=n\r\nnew2=m\r\n;tail\r\n\r\n[b]\r\nx=1\r\n",
         .wineDiffers = "Wine adds new keys after the section's comments",
         .wineAfter = "[a]\r\nk=v\r\n;tail\r\nnew=n\r\nnew2=m\r\n[b]\r\nx=1\r\n"},
        {.name = "NewKeyInMiddleSectionKeepsLaterSections",
         .before = "[a]\r\nx=1\r\n[b]\r\ny=2\r\n",
         .steps = {Put("a", "z", "3"), Get("b", "y", "", "2")},
         .after = "[a]\r\nx=1\r\nz=3\r\n[b]\r\ny=2\r\n"},
        {.name = "MissingFinalNewlineGetsCrLfBeforeAppendedText",
         .before = "[a]\r\nk=v",
         .steps = {Put("b", "k", "v"), Get("a", "k", "", "v")},
         .after = "[a]\r\nk=v\r\n[b]\r\nk=v\r\n"},
        {.name = "EmptyValuesAreWrittenInOrder",
         .before = "",
         .steps = {Put("s", "z", ""), Put("s", "a", ""), Put("s", "y", ""),
                   Get("s", "a", "1", ""), Int("s", "a", 1, 1)},
         .after = "[s]\r\nz=\r\na=\r\ny=\r\n"},
        // The job writes copies texts that end in the data line's CR. A CR is
        // a line end, so the value reads back without it; a rewrite must not
        // leave a blank line behind each time. (The reads are Windows' rule;
        // the exact bytes are our engine's reading.)
        {.name = "ValueEndingInCrIsReplacedWhole",
         .before = std::nullopt,
         .steps = {Put("s", "Copies", "2\r"), Put("s", "Copies", "3\r"),
                   Put("s", "Copies_1", "1\r"), Put("s", "Copies", "4\r"),
                   Get("s", "Copies", "d", "4"), Get("s", "Copies_1", "d", "1")},
         .after = "[s]\r\nCopies=4\r\r\nCopies_1=1\r\r\n",
         .wineDiffers = "Wine rewrites the whole file: only the value written last keeps its CR",
         .wineAfter = "[s]\r\nCopies=4\r\r\nCopies_1=1\r\n"},
        {.name = "ValueIsWrittenWithItsBlanks",
         .before = std::nullopt,
         .steps = {Put("s", "k", "  v  "), Get("s", "k", "d", "v")},
         .after = "[s]\r\nk=  v  \r\n",
         .wineDiffers = "Wine drops the blanks before a value it writes (not those after it)",
         .wineAfter = "[s]\r\nk=v  \r\n"},
        {.name = "QuotedValueKeepsItsBlanksThroughAWrite",
         .before = std::nullopt,
         .steps = {Put("s", "k", "\" v \""), Get("s", "k", "d", " v ")},
         .after = "[s]\r\nk=\" v \"\r\n"},
        {.name = "BlanksAroundWrittenNamesAreDropped",
         .before = std::nullopt,
         .steps = {Put(" s ", " k ", "v"), Get("s", "k", "d", "v")},
         .after = "[s]\r\nk=v\r\n",
         .wineDiffers = "Wine drops only the blanks before the names it writes",
         .wineAfter = "[s ]\r\nk =v\r\n"},
        {.name = "Utf16FileIsReadAndWrittenAsUtf16",
         .before = kUtf16Mark + Utf16Le("[s]\r\nk=v\r\n"),
         .steps = {Get("s", "k", "d", "v"), Put("s", "k2", "v2"), Put("s", "k", "w"),
                   Get("s", "k2", "d", "v2"), Get("s", "k", "d", "w")},
         .after = kUtf16Mark + Utf16Le("[s]\r\nk=w\r\nk2=v2\r\n")},
        {.name = "Utf8MarkSticksToFirstLine",
         .before = kUtf8Mark + "[s]\r\nk=v\r\n[t]\r\nk=w\r\n",
         .steps = {OnWine(Get("s", "k", "d", "d"), "v"), Get("t", "k", "d", "w")},
         .wineDiffers = "Wine recognises the UTF-8 byte-order mark"},
        {.name = "CrAloneAndLfAloneEndLines",
         .before = "[s]\rk=cr\r[t]\nk=lf\n",
         .steps = {Get("s", "k", "d", "cr"), Get("t", "k", "d", "lf")}},
        {.name = "OnlySpacesAroundPassedNamesAreIgnored",
         .before = "[s]\r\nk=v\r\n",
         .steps = {OnWine(Get("\ts", "k", "d", "d"), "v"), OnWine(Get("s", "k\t", "d", "d"), "v"),
                   Get(" s ", " k ", "d", "v"), Get("  s", "k  ", "d", "v")},
         .wineDiffers = "Wine ignores all white space around the names a program passes"},
    };
}

class ProfileConformance : public testing::TestWithParam<Case> {};

TEST_P(ProfileConformance, Case) {
    const Case& c = GetParam();
    const bool wineResults =
        c.wineAfter || std::any_of(c.steps.begin(), c.steps.end(),
                                   [](const Step& step) { return step.underWine.has_value(); });
    ASSERT_EQ(wineResults, c.wineDiffers != nullptr) << "Wine's results and the reason go together";
    const bool wine = RunningUnderWine();
    if (wine && c.wineDiffers) RecordProperty("wine_differs", c.wineDiffers);
#ifdef _WIN32
    const Engine engines[] = {Engine::Ours, Engine::System};
#else
    const Engine engines[] = {Engine::Ours};
#endif
    for (const Engine engine : engines) {
        SCOPED_TRACE(engine == Engine::Ours ? "our engine" : "the system's functions");
        // Wine's own results count only for the system's functions under Wine.
        const bool wineRules = wine && engine == Engine::System;
        TempDir dir;
        const std::string path = dir.File("settings.ini");
        if (c.before) WriteFileBytes(path, *c.before);

        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            SCOPED_TRACE(Describe(i, step));
            if (wineRules && step.underWine) {
                SCOPED_TRACE(std::string("Wine differs from Windows: ") + c.wineDiffers);
                EXPECT_EQ(Call(engine, step, path), *step.underWine);
            } else {
                EXPECT_EQ(Call(engine, step, path), step.expect);
            }
        }
        if (c.after) {
            const bool wineBytes = wineRules && c.wineAfter;
            SCOPED_TRACE(wineBytes ? std::string("Wine differs from Windows: ") + c.wineDiffers
                                   : std::string("file bytes"));
            EXPECT_EQ(ReadFileBytes(path), wineBytes ? *c.wineAfter : *c.after);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, ProfileConformance, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// ---------------------------------------------------- beyond the step tables

TEST(ProfileConformanceFiles, LongValueIsCutToTheBuffer) {
    TempDir dir;
    const std::string path = dir.File("settings.ini");
    std::string value;
    for (int i = 0; value.size() < 30050; ++i) value += std::to_string(i % 10);
    WriteFileBytes(path, "[s]\r\nlong=" + value + "\r\nfit=" + value.substr(0, 29999) +
                             "\r\nafter=ok\r\n");

    EXPECT_EQ(platform::ProfileGetString("s", "long", "", kBuffer, path), value.substr(0, 29999));
    EXPECT_EQ(platform::ProfileGetString("s", "fit", "", kBuffer, path), value.substr(0, 29999));
    EXPECT_EQ(platform::ProfileGetString("s", "long", "", 10, path), value.substr(0, 9));
    EXPECT_EQ(platform::ProfileGetString("s", "after", "", kBuffer, path), "ok");
}

TEST(ProfileConformanceFiles, LongValueWrittenComesBackCut) {
    TempDir dir;
    const std::string path = dir.File("settings.ini");
    const std::string value(30005, 'v');
    ASSERT_TRUE(platform::ProfileWriteString("s", "k", value, path));
    EXPECT_EQ(ReadFileBytes(path), "[s]\r\nk=" + value + "\r\n");
    EXPECT_EQ(platform::ProfileGetString("s", "k", "", kBuffer, path), value.substr(0, 29999));
}

TEST(ProfileConformanceFiles, WriteIntoMissingFolderFails) {
    TempDir dir;
    const std::string path = dir.File("missing/settings.ini");
    EXPECT_FALSE(platform::ProfileWriteString("s", "k", "v", path));
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(platform::ProfileGetString("s", "k", "dflt", kBuffer, path), "dflt");
    EXPECT_EQ(platform::ProfileGetInt("s", "k", 4, path), 4);
}

TEST(ProfileConformanceFiles, WriteToReadOnlyFileFailsAndLeavesIt) {
    namespace fs = std::filesystem;
    TempDir dir;
    const std::string path = dir.File("settings.ini");
    const std::string before = "[s]\r\nk=v\r\n";
    WriteFileBytes(path, before);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                    fs::perm_options::replace);

    // Refused to root as well, as Windows' read-only attribute refuses an
    // administrator.
    EXPECT_FALSE(platform::ProfileWriteString("s", "k", "changed", path));
    EXPECT_FALSE(platform::ProfileWriteString("s", "new", "x", path));
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(platform::ProfileGetString("s", "k", "", kBuffer, path), "v");
}

TEST(ProfileConformanceFiles, WrittenValuesAreSeenByTheNextRead) {
    // Nothing is cached between calls: every read sees the latest write.
    TempDir dir;
    const std::string path = dir.File("settings.ini");
    for (int i = 0; i < 20; ++i) {
        const std::string key = "Param" + std::to_string(i % 7);
        ASSERT_TRUE(platform::ProfileWriteString("LastJob", key, std::to_string(i), path));
        EXPECT_EQ(platform::ProfileGetString("LastJob", key, "", kBuffer, path), std::to_string(i));
        EXPECT_EQ(platform::ProfileGetInt("lastjob", key, -1, path), i);
    }
    EXPECT_EQ(ReadFileBytes(path),
              "[LastJob]\r\nParam0=14\r\nParam1=15\r\nParam2=16\r\nParam3=17\r\nParam4=18\r\n"
              "Param5=19\r\nParam6=13\r\n");
}

// A settings file that is another name of a shared file (a hard link, a
// symbolic link) is written through to that file, as Windows' own functions
// write it: a replace would leave the shared file without the change.
TEST(ProfileConformanceFiles, WriteGoesThroughLinksToTheSharedFile) {
    namespace fs = std::filesystem;
    TempDir dir;
    fs::create_directory(dir.File("shared"));
    const std::string target = dir.File("shared/settings.ini");
    WriteFileBytes(target, "[s]\r\nk=v\r\n");
    const std::string hard = dir.File("hard.ini");
    fs::create_hard_link(target, hard);
    ASSERT_TRUE(platform::ProfileWriteString("s", "k", "hard", hard));
    EXPECT_EQ(ReadFileBytes(target), "[s]\r\nk=hard\r\n");
    EXPECT_EQ(ReadFileBytes(hard), "[s]\r\nk=hard\r\n");

    const std::string named = dir.File("shared/named.ini");  // one name only: it could be replaced
    WriteFileBytes(named, "[s]\r\nk=v\r\n");
    const std::string symbolic = dir.File("symbolic.ini");
    std::error_code error;
    fs::create_symlink(named, symbolic, error);
    // Wine makes none (it shows the host system's links as the files they name).
    if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
    ASSERT_TRUE(platform::ProfileWriteString("s", "k2", "symbolic", symbolic));
    EXPECT_TRUE(fs::is_symlink(symbolic));
    EXPECT_EQ(ReadFileBytes(named), "[s]\r\nk=v\r\nk2=symbolic\r\n");
    EXPECT_EQ(ReadFileBytes(symbolic), "[s]\r\nk=v\r\nk2=symbolic\r\n");
}

}  // namespace
