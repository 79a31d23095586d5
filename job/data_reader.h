// The job's data file: one label record per line, fields separated by tabs.
//
// Divisions:
//   1. pure functions over the file's bytes (encoding, lines, fields)
//   2. DataFile: one job's snapshot of the file, read once
//
// Encodings: a file that starts with the UTF-16 little-endian byte-order mark
// (FF FE) is UTF-16 and its lines end at 16-bit line-feed units; a file that
// starts with the UTF-8 mark (EF BB BF) is UTF-8; any other file is ANSI text
// in the system code page, its lines ending at line-feed bytes. A carriage
// return before a line feed stays part of its line. Decoded text is ANSI;
// the fields of a Unicode file can also be had as UTF-8 with every character
// kept (DataFile::UnicodeField), for the label program.
//
// The whole file is read, up to kMaxDataFileBytes (far beyond any label job;
// it keeps a runaway source such as a device from exhausting memory).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "platform/platform.h"

namespace job {

// Field number of the last field of a line: the text after its last tab.
// Any negative number means the same.
inline constexpr int kLastField = -1;

// The most of a data file a job reads: 256 MiB.
inline constexpr std::size_t kMaxDataFileBytes = std::size_t(256) << 20;

// ------------------------------------------------------------- 1. pure

enum class DataEncoding { Ansi, Utf16Le, Utf8 };

// The file's encoding, from its byte-order mark.
DataEncoding DetectEncoding(std::string_view bytes);

// The number of lines in `bytes`: the line ends, plus one for a last line
// without a line end that holds at least one byte (in UTF-16, one whole
// 16-bit unit). A byte-order mark is not a line's content: a file that holds
// only a mark has no lines.
int CountLinesIn(std::string_view bytes);

// The bytes of line `lineIndex` (0-based) without its line end and without
// the file's byte-order mark. A line past the end is empty.
std::string ExtractLine(std::string_view bytes, int lineIndex);

// One extracted line to ANSI text in the file's encoding (DetectEncoding of
// the whole file: the encoding belongs to the file, so an ANSI line that
// happens to start with the bytes of a mark stays ANSI): UTF-16 units up to
// the first zero unit, converted; UTF-8 bytes up to the first zero byte,
// converted; ANSI bytes up to the first zero byte.
std::string DecodeLine(std::string_view line, DataEncoding encoding);

// One extracted line as UTF-8 text, every character kept: the Unicode
// encodings decoded, ANSI text converted from the code page.
std::string DecodeLineUnicode(std::string_view line, DataEncoding encoding);

// Field `fieldNumber` of a decoded line, with each double quote replaced by
// two apostrophes. A negative number gives the text after the last tab (the
// whole line without tabs); field n >= 1 is the text that the n-th tab ends,
// "" when the line has fewer than n tabs. Tabs are searched with `isLead`, so
// the trail byte of a double-byte character is never taken for one.
std::string PickField(std::string_view decodedLine, int fieldNumber,
                      text::LeadByteRule isLead = text::SystemLeadByte);

// Field `fieldNumber` of line `lineIndex` of the file's bytes.
std::string ReadFieldIn(std::string_view bytes, int lineIndex, int fieldNumber);

// Whether `bytes` look like UTF-16 little-endian text written without its
// byte-order mark: no mark, and a zero byte at (nearly) every second
// position of the file's start, as ASCII characters give in UTF-16. Such a
// file is read as ANSI text, in which each value ends at its first zero byte
// and so comes out empty.
bool LooksLikeUtf16WithoutMark(std::string_view bytes);

// The number of fields of a decoded line: its tabs (searched with `isLead`)
// and one.
int FieldCountOf(std::string_view decodedLine, text::LeadByteRule isLead = text::SystemLeadByte);

// The open-failure message: "Can't open file: <path>, Error: <description>\n",
// the description chosen by `cause`, at most 1023 bytes, with %1 replaced by
// the path, or by "an unnamed file" when the path is empty.
std::string OpenFailureMessage(const std::string& path, platform::FileErrorCause cause);

// The description alone, as above.
std::string OpenFailureDescription(const std::string& path, platform::FileErrorCause cause);

// Why the data file at `path` could not be read, for the journal and the
// health check: the description, except for a folder, which the system
// reports as access denied and which is named a folder here.
std::string DataFileFailure(const std::string& path, platform::FileErrorCause cause);

// ------------------------------------------------------------ 2. snapshot

// One job's view of its data file: the file is opened, read whole and closed
// once, so a job costs time linear in the file's size and all its labels come
// from one version of the file.
class DataFile {
public:
    // Reads `path` (relative to the current folder when relative) while
    // others may read but not write it. An open failure is kept, not reported.
    static DataFile Read(const std::string& path);
    // A snapshot of bytes already in memory.
    static DataFile FromBytes(std::string bytes);

    bool Opened() const { return opened_; }
    platform::FileErrorCause Cause() const { return cause_; }

    // The number of lines; 1 when the file could not be opened, so that a
    // job still runs once.
    int LineCount() const;

    // Field `fieldNumber` (1 and up, or kLastField) of line `lineIndex`
    // (0-based), "" for an absent line or field, and for every field when the
    // file could not be opened (the job says why: OpenFailureMessage).
    std::string Field(int lineIndex, int fieldNumber) const;

    // Whether the file is Unicode text (UTF-16, or UTF-8 with its mark), whose
    // characters the ANSI code page may lack.
    bool Unicode() const { return opened_ && encoding_ != DataEncoding::Ansi; }
    DataEncoding Encoding() const { return encoding_; }
    // Whether the file looks like UTF-16 without its mark (LooksLikeUtf16WithoutMark).
    bool Utf16WithoutMark() const { return opened_ && LooksLikeUtf16WithoutMark(bytes_); }
    // The number of fields of line `lineIndex` (0 for an absent line).
    int FieldCount(int lineIndex) const;
    // The same field as Field in a Unicode file, as UTF-8 with every
    // character kept; "" for an ANSI file.
    std::string UnicodeField(int lineIndex, int fieldNumber) const;

private:
    DataFile() = default;
    void IndexLines();
    // Decodes line `lineIndex` into the cache below, unless it is there.
    void Decode(int lineIndex) const;

    std::string path_;
    bool opened_ = false;
    platform::FileErrorCause cause_ = platform::FileErrorCause::None;
    std::string bytes_;
    DataEncoding encoding_ = DataEncoding::Ansi;
    // Start and end (exclusive, line end not included) of every line, the
    // final line without a line end included when it is counted.
    std::vector<std::pair<std::size_t, std::size_t>> lines_;
    // The last line decoded, since a job reads 21 or 22 fields of one line in
    // a row.
    mutable int decodedIndex_ = -1;
    mutable std::string decoded_;         // ANSI
    mutable std::string decodedUnicode_;  // UTF-8, for a Unicode file
};

}  // namespace job
