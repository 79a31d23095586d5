// The data file reader: lines, fields and encodings over bytes, and the same
// over real files with the open-failure message a job writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "job/data_reader.h"
#include "platform/platform.h"
#include "support/file_hold.h"
#include "support/temp_dir.h"
#include "support/test_text.h"

namespace {

using job::CountLinesIn;
using job::ReadFieldIn;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

// UTF-16 little-endian bytes of ASCII text (each character's high byte zero).
std::string Utf16(std::string_view ascii, bool mark = true) {
    std::string bytes = mark ? "\xFF\xFE" : "";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

using testsupport::NoLeadBytes;
using testsupport::ShiftJisLead;

const std::string kTwoCrLfLines = "A1\tA2\t5\r\nB1\tB2\t7\r\n";

TEST(DataReaderBytes, AnsiAndUtf16GiveTheSameFields) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {{"ansi", kTwoCrLfLines}, {"utf16", Utf16(kTwoCrLfLines)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CountLinesIn(c.bytes), 2);
        EXPECT_EQ(ReadFieldIn(c.bytes, 0, 1), "A1");
        EXPECT_EQ(ReadFieldIn(c.bytes, 1, 1), "B1");
        EXPECT_EQ(ReadFieldIn(c.bytes, 1, 2), "B2");
        EXPECT_EQ(ReadFieldIn(c.bytes, 1, 3), "");           // not ended by a tab
        EXPECT_EQ(ReadFieldIn(c.bytes, 1, -1), "7\r");       // the carriage return stays
        EXPECT_EQ(ReadFieldIn(c.bytes, 0, -1), "5\r");
        EXPECT_EQ(ReadFieldIn(c.bytes, 0, job::kLastField), "5\r");
        EXPECT_EQ(ReadFieldIn(c.bytes, 2, 1), "");           // past the last line
        EXPECT_EQ(ReadFieldIn(c.bytes, 2, -1), "");
        EXPECT_EQ(ReadFieldIn(c.bytes, -1, 1), "");
    }
}

TEST(DataReaderBytes, FieldsOfOneLine) {
    const std::string threeTabs = "a\tb\tc\td\n";
    struct Case {
        int field;
        const char* expected;
    };
    const Case cases[] = {{1, "a"}, {2, "b"}, {3, "c"}, {4, ""}, {5, ""}, {21, ""}, {-1, "d"},
                          {-7, "d"}, {0, ""}};
    for (const Case& c : cases) EXPECT_EQ(ReadFieldIn(threeTabs, 0, c.field), c.expected) << c.field;

    // No tab at all: the last field is the whole line, field 1 is empty.
    EXPECT_EQ(ReadFieldIn("whole line\r\n", 0, -1), "whole line\r");
    EXPECT_EQ(ReadFieldIn("whole line\r\n", 0, 1), "");

    // A line ending in a tab: the last field is only what follows it.
    EXPECT_EQ(ReadFieldIn("A\tB\t\r\n", 0, -1), "\r");
    EXPECT_EQ(ReadFieldIn("A\tB\t\r\n", 0, 2), "B");

    // Field 21: the one after the twenty parameter fields.
    std::string line;
    for (int i = 1; i <= 22; ++i) line += "f" + std::to_string(i) + "\t";
    EXPECT_EQ(ReadFieldIn(line + "\n", 0, 20), "f20");
    EXPECT_EQ(ReadFieldIn(line + "\n", 0, 21), "f21");
    EXPECT_EQ(ReadFieldIn(line + "\n", 0, -1), "");

    // Empty fields between tabs.
    EXPECT_EQ(ReadFieldIn("\t\tx\t\n", 0, 1), "");
    EXPECT_EQ(ReadFieldIn("\t\tx\t\n", 0, 3), "x");
}

TEST(DataReaderBytes, DoubleQuotesBecomeTwoApostrophes) {
    EXPECT_EQ(ReadFieldIn("\"hi\"\tx\n", 0, 1), "''hi''");
    EXPECT_EQ(ReadFieldIn("a\t say \"\"\r\n", 0, -1), " say ''''\r");
    EXPECT_EQ(ReadFieldIn(Utf16("\"hi\"\t\n"), 0, 1), "''hi''");
}

TEST(DataReaderBytes, TabsAreSearchedWholeCharacters) {
    // 0x81 0x09 cannot occur in Shift-JIS text, but the search must still
    // step over a double-byte character as a whole.
    const std::string line = "\x81\x09" "a\tb";
    EXPECT_EQ(job::PickField(line, 1, ShiftJisLead), "\x81\x09" "a");
    EXPECT_EQ(job::PickField(line, 1, NoLeadBytes), "\x81");
    EXPECT_EQ(job::PickField(line, -1, ShiftJisLead), "b");
}

TEST(DataReaderBytes, LineCounts) {
    struct Case {
        const char* name;
        std::string bytes;
        int lines;
    };
    const Case cases[] = {
        {"empty file", "", 0},
        {"one line feed", "\n", 1},
        {"LF lines", "a\nb\nc\n", 3},
        {"CRLF lines", "a\r\nb\r\n", 2},
        {"blank lines count", "a\n\n\nb\n", 4},
        // A final line without a line end counts when it holds a byte.
        {"unended last line", "a\nb", 2},
        {"unended only line", "a", 1},
        {"unended carriage return", "a\n\r", 2},
        {"UTF-16", Utf16("a\r\nb\r\n"), 2},
        {"UTF-16 unended last line", Utf16("a\r\nb"), 2},
        {"UTF-16 mark only", Utf16(""), 0},
        {"UTF-16 odd last byte", Utf16("a\n") + "x", 1},
        {"UTF-8 mark", "\xEF\xBB\xBFx\ny\n", 2},
        {"UTF-8 mark only", "\xEF\xBB\xBF", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(CountLinesIn(c.bytes), c.lines) << c.name;
}

TEST(DataReaderBytes, FinalLineWithoutLineEndIsRead) {
    EXPECT_EQ(ReadFieldIn("a\t1\nb\t2", 1, 1), "b");
    EXPECT_EQ(ReadFieldIn("a\t1\nb\t2", 1, -1), "2");
    EXPECT_EQ(ReadFieldIn(Utf16("a\t1\r\nb\t2"), 1, -1), "2");
}

TEST(DataReaderBytes, Utf16LinesEndOnlyAtLineFeedUnits) {
    // U+0A41 is stored as the bytes 41 0A: it must not end the line.
    std::string bytes = Utf16("x\t");
    bytes += std::string("\x41\x0A", 2);
    bytes += Utf16("y\t3\r\nz\t4\r\n", false);
    EXPECT_EQ(CountLinesIn(bytes), 2);
    EXPECT_EQ(ReadFieldIn(bytes, 0, 1), "x");
    EXPECT_EQ(ReadFieldIn(bytes, 0, 2), platform::Utf16ToAnsi(u"\u0A41y"));
    EXPECT_EQ(ReadFieldIn(bytes, 0, -1), "3\r");
    EXPECT_EQ(ReadFieldIn(bytes, 1, 1), "z");
    EXPECT_EQ(ReadFieldIn(bytes, 1, -1), "4\r");

    // A unit whose high byte is 0x0A (U+0A0A) neither.
    std::string high = Utf16("p\t") + std::string("\x0A\x0A", 2) + Utf16("\tq\n", false);
    EXPECT_EQ(CountLinesIn(high), 1);
    EXPECT_EQ(ReadFieldIn(high, 0, 3), "");
    EXPECT_EQ(ReadFieldIn(high, 0, -1), "q");
}

TEST(DataReaderBytes, Utf16ConvertedToAnsi) {
    // "Ä\tØ\n" in UTF-16.
    const std::string bytes = std::string("\xFF\xFE\xC4\x00\x09\x00\xD8\x00\x0A\x00", 10);
    EXPECT_EQ(ReadFieldIn(bytes, 0, 1), platform::Utf16ToAnsi(u"\u00C4"));
    EXPECT_EQ(ReadFieldIn(bytes, 0, -1), platform::Utf16ToAnsi(u"\u00D8"));
    EXPECT_FALSE(ReadFieldIn(bytes, 0, 1).empty());
}

TEST(DataReaderBytes, Utf8WithMarkConvertedAndMarkDropped) {
    const std::string bytes = "\xEF\xBB\xBF" "Box\t\xC3\x84pfel\t2\n" "Bag\t\xC3\x98l\t3\n";
    EXPECT_EQ(ReadFieldIn(bytes, 0, 1), "Box");  // no mark in the first field
    EXPECT_EQ(ReadFieldIn(bytes, 0, 2), platform::Utf8ToAnsi("\xC3\x84pfel"));
    EXPECT_EQ(ReadFieldIn(bytes, 1, 2), platform::Utf8ToAnsi("\xC3\x98l"));
    EXPECT_EQ(ReadFieldIn(bytes, 1, -1), "3");
    // Without a mark the same bytes are ANSI text, taken as they are.
    EXPECT_EQ(ReadFieldIn("Box\t\xC3\x84pfel\t2\n", 0, 2), "\xC3\x84pfel");
}

TEST(DataReaderBytes, UnicodeFieldsKeepEveryCharacter) {
    // "\u05D0" (Hebrew alef) and an emoji, whatever the ANSI code page.
    const std::string utf8 = "\xD7\x90\xF0\x9F\x93\xA6";
    using namespace std::string_literals;
    const std::string utf16 = "\xFF\xFE" "x\0\t\0\xD0\x05\x3D\xD8\xE6\xDC\t\0\"\0\n\0"s;
    for (const std::string& bytes : {utf16, "\xEF\xBB\xBF" "x\t" + utf8 + "\t\"\n"}) {
        const job::DataFile file = job::DataFile::FromBytes(bytes);
        EXPECT_TRUE(file.Unicode());
        EXPECT_EQ(file.UnicodeField(0, 1), "x");
        EXPECT_EQ(file.UnicodeField(0, 2), utf8);
        EXPECT_EQ(file.UnicodeField(0, -1), "''");
        EXPECT_EQ(file.Field(0, 2), platform::Utf8ToAnsi(utf8));
    }
    EXPECT_FALSE(job::DataFile::FromBytes("x\t" + utf8 + "\t\n").Unicode());
    EXPECT_EQ(job::DataFile::FromBytes("x\t" + utf8 + "\t\n").UnicodeField(0, 2), "");
}

TEST(DataReaderBytes, ZeroByteEndsAnAnsiLine) {
    const std::string bytes = std::string("a\tb\0c\td\n", 8);
    EXPECT_EQ(ReadFieldIn(bytes, 0, 1), "a");
    EXPECT_EQ(ReadFieldIn(bytes, 0, -1), "b");
}

TEST(DataReaderBytes, DecodeLine) {
    using job::DataEncoding;
    EXPECT_EQ(job::DecodeLine(Utf16("ab", false), DataEncoding::Utf16Le), "ab");
    EXPECT_EQ(job::DecodeLine(Utf16("ab", false) + std::string("\0\0c\0", 4), DataEncoding::Utf16Le),
              "ab");
    EXPECT_EQ(job::DecodeLine("ab", DataEncoding::Ansi), "ab");
    EXPECT_EQ(job::DecodeLine(std::string("ab\0cd", 5), DataEncoding::Utf8), "ab");
    EXPECT_EQ(job::ExtractLine(Utf16("a\nb\n"), 1), Utf16("b", false));
    EXPECT_EQ(job::ExtractLine(Utf16("a\nb\n"), 0), Utf16("a", false));  // no mark
    EXPECT_EQ(job::ExtractLine("a\r\nb\r\n", 1), "b\r");
    EXPECT_EQ(job::ExtractLine("a\r\nb\r\n", 5), "");
}

TEST(DataReaderBytes, AnsiLineStartingWithTheBytesOfAMarkStaysAnsi) {
    // The encoding is the file's: in an ANSI file, a line beginning with FF FE
    // or EF BB BF is ANSI text like any other.
    const std::string bytes = "a\tb\n\xFF\xFE" "c\td\n\xEF\xBB\xBF" "e\tf\n";
    EXPECT_EQ(ReadFieldIn(bytes, 1, 1), "\xFF\xFE" "c");
    EXPECT_EQ(ReadFieldIn(bytes, 1, -1), "d");
    EXPECT_EQ(ReadFieldIn(bytes, 2, 1), "\xEF\xBB\xBF" "e");
    const job::DataFile file = job::DataFile::FromBytes(bytes);
    EXPECT_EQ(file.Field(1, 1), "\xFF\xFE" "c");
    EXPECT_EQ(file.Field(2, 1), "\xEF\xBB\xBF" "e");
}

TEST(DataReaderBytes, LongFileReadWhole) {
    // Well past 30000 bytes: every line counts and can be read.
    std::string bytes;
    for (int i = 0; i < 3000; ++i) bytes += "label" + std::to_string(i) + "\tx\t" + std::to_string(i % 9 + 1) + "\r\n";
    ASSERT_GT(bytes.size(), 40000u);
    EXPECT_EQ(CountLinesIn(bytes), 3000);
    EXPECT_EQ(ReadFieldIn(bytes, 2999, 1), "label2999");
    const job::DataFile file = job::DataFile::FromBytes(bytes);
    EXPECT_EQ(file.LineCount(), 3000);
    EXPECT_EQ(file.Field(2500, 1), "label2500");
    EXPECT_EQ(file.Field(2500, -1), "8\r");
}

// ------------------------------------------------------------ real files

// The open-failure message a job writes for a file it cannot read ("" when it
// can).
std::string MessageFor(const std::string& path) {
    const job::DataFile file = job::DataFile::Read(path);
    return file.Opened() ? std::string() : job::OpenFailureMessage(path, file.Cause());
}

TEST(DataReaderFile, ReadsAFileByItsPath) {
    TempDir dir;
    const std::string path = dir.File("job.txt");
    WriteFileBytes(path, kTwoCrLfLines);
    EXPECT_EQ(job::DataFile::Read(path).LineCount(), 2);
    EXPECT_EQ(job::DataFile::Read(path).Field(1, 2), "B2");
    EXPECT_EQ(job::DataFile::Read(path).Field(1, -1), "7\r");

    WriteFileBytes(path, Utf16(kTwoCrLfLines));
    EXPECT_EQ(job::DataFile::Read(path).LineCount(), 2);
    EXPECT_EQ(job::DataFile::Read(path).Field(0, 2), "A2");
    EXPECT_EQ(job::DataFile::Read(path).Field(1, -1), "7\r");

    std::string big;
    for (int i = 0; i < 2000; ++i) big += std::string(20, 'x') + "\t" + std::to_string(i) + "\t\n";
    WriteFileBytes(path, big);
    const job::DataFile file = job::DataFile::Read(path);
    EXPECT_EQ(file.LineCount(), 2000);
    EXPECT_EQ(file.Field(1999, 2), "1999");
}

TEST(DataReaderFile, AJobsSnapshotKeepsOneVersionOfTheFile) {
    TempDir dir;
    const std::string path = dir.File("job.txt");
    WriteFileBytes(path, "old\t1\n");
    const job::DataFile file = job::DataFile::Read(path);
    WriteFileBytes(path, "new\t2\nmore\t3\n");
    EXPECT_TRUE(file.Opened());
    EXPECT_EQ(file.LineCount(), 1);
    EXPECT_EQ(file.Field(0, 1), "old");
    EXPECT_EQ(job::DataFile::Read(path).Field(0, 1), "new");  // a new read sees the new file
}

TEST(DataReaderFile, FileThatCannotBeReadCountsOneLineOfEmptyFields) {
    TempDir dir;
    for (const std::string& path : {dir.File("missing.txt"), std::string()}) {
        const job::DataFile file = job::DataFile::Read(path);
        EXPECT_FALSE(file.Opened());
        EXPECT_EQ(file.LineCount(), 1);
        EXPECT_EQ(file.Field(0, 1), "");
        EXPECT_EQ(file.Field(0, -1), "");
        EXPECT_EQ(file.Field(3, 21), "");
    }
    EXPECT_EQ(MessageFor(""), "Can't open file: , Error: an unnamed file contains an invalid path.\n");
    // Per cent signs in the path are written as they are.
    const std::string odd = dir.File("100%d %1 %s.txt");
    EXPECT_EQ(MessageFor(odd), "Can't open file: " + odd + ", Error: " + odd + " was not found.\n");
}

TEST(DataReaderFile, OpenFailureCauses) {
    using platform::FileErrorCause;
    TempDir dir;
    const char sep = platform::PathSeparator();
    const std::string missingFolder = dir.path() + sep + "no such folder" + sep + "job.txt";
    const std::string folder = dir.File("a folder");
    std::filesystem::create_directory(folder);
    const std::string held = dir.File("held.txt");
    WriteFileBytes(held, "a\tb\n");

    struct Case {
        const char* name;
        std::string path;
        FileErrorCause cause;
        std::string description;
    };
    const std::vector<Case> cases = {
        {"missing file", dir.File("none.txt"), FileErrorCause::FileNotFound,
         dir.File("none.txt") + " was not found."},
        {"missing folder", missingFolder, FileErrorCause::BadPath,
         missingFolder + " contains an invalid path."},
        {"empty path", "", FileErrorCause::BadPath, "an unnamed file contains an invalid path."},
        {"a folder", folder, FileErrorCause::AccessDenied, "Access to " + folder + " was denied."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const platform::FileReadResult read = platform::ReadFileDenyWrite(c.path, 100);
        EXPECT_FALSE(read.opened);
        EXPECT_EQ(read.cause, c.cause);
        EXPECT_EQ(MessageFor(c.path), "Can't open file: " + c.path + ", Error: " + c.description + "\n");
    }

    {
        testsupport::FileHold writer(held, testsupport::FileHold::Mode::WriterSharingRead);
        ASSERT_TRUE(writer.held());
        const platform::FileReadResult read = platform::ReadFileDenyWrite(held, 100);
        EXPECT_FALSE(read.opened);
        EXPECT_EQ(read.cause, FileErrorCause::SharingViolation);
        EXPECT_EQ(MessageFor(held), "Can't open file: " + held + ", Error: A sharing violation occurred while accessing " +
                                        held + ".\n");
    }
    // Released: readable again, and readers share.
    EXPECT_EQ(job::DataFile::Read(held).Field(0, 1), "a");
}

TEST(DataReaderMessages, EveryCauseHasItsDescription) {
    using platform::FileErrorCause;
    struct Case {
        FileErrorCause cause;
        const char* description;
    };
    const Case cases[] = {
        {FileErrorCause::Generic, "An unknown error occurred while accessing P."},
        {FileErrorCause::None, "An unknown error occurred while accessing P."},
        {FileErrorCause::FileNotFound, "P was not found."},
        {FileErrorCause::BadPath, "P contains an invalid path."},
        {FileErrorCause::TooManyOpenFiles, "P could not be opened because there are too many open files."},
        {FileErrorCause::AccessDenied, "Access to P was denied."},
        {FileErrorCause::InvalidFile, "An invalid file handle was associated with P."},
        {FileErrorCause::RemoveCurrentDir, "P could not be removed because it is the current directory."},
        {FileErrorCause::DirectoryFull, "P could not be created because the directory is full."},
        {FileErrorCause::BadSeek, "Seek failed on P"},
        {FileErrorCause::HardIO, "A hardware I/O error was reported while accessing P."},
        {FileErrorCause::SharingViolation, "A sharing violation occurred while accessing P."},
        {FileErrorCause::LockViolation, "A locking violation occurred while accessing P."},
        {FileErrorCause::DiskFull, "Disk full while accessing P."},
        {FileErrorCause::EndOfFile, "An attempt was made to access P past its end."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(job::OpenFailureDescription("P", c.cause), c.description);
        EXPECT_EQ(job::OpenFailureMessage("P", c.cause),
                  std::string("Can't open file: P, Error: ") + c.description + "\n");
    }
    EXPECT_EQ(job::OpenFailureDescription("", FileErrorCause::FileNotFound), "an unnamed file was not found.");
}

TEST(DataReaderMessages, DescriptionIsAtMost1023Bytes) {
    const std::string longPath(2000, 'p');
    const std::string description = job::OpenFailureDescription(longPath, platform::FileErrorCause::FileNotFound);
    EXPECT_EQ(description, std::string(1023, 'p'));
    // The path itself is written whole before it.
    EXPECT_EQ(job::OpenFailureMessage(longPath, platform::FileErrorCause::FileNotFound),
              "Can't open file: " + longPath + ", Error: " + std::string(1023, 'p') + "\n");
}

}  // namespace
