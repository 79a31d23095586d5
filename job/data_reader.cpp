#include "job/data_reader.h"

#include <algorithm>
#include <limits>
#include <new>
#include <utility>

namespace job {

namespace {

constexpr std::string_view kUtf16Mark = "\xFF\xFE";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The longest description of an open failure, in bytes.
constexpr std::size_t kMaxDescription = 1023;

std::string_view MarkOf(DataEncoding encoding) {
    switch (encoding) {
    case DataEncoding::Utf16Le:
        return kUtf16Mark;
    case DataEncoding::Utf8:
        return kUtf8Mark;
    case DataEncoding::Ansi:
        break;
    }
    return {};
}

using LineTable = std::vector<std::pair<std::size_t, std::size_t>>;

// Start and end of every line of `bytes`.
LineTable IndexLinesOf(std::string_view bytes, DataEncoding encoding) {
    LineTable lines;
    std::size_t start = MarkOf(encoding).size();
    if (encoding == DataEncoding::Utf16Le) {
        // Line feeds are whole 16-bit units: a character such as U+0A41 (whose
        // low byte is 0x41 and high byte 0x0A) does not end a line.
        std::size_t i = start;
        for (; i + 1 < bytes.size(); i += 2) {
            if (bytes[i] == '\n' && bytes[i + 1] == '\0') {
                lines.emplace_back(start, i);
                start = i + 2;
            }
        }
        if (bytes.size() >= start + 2) lines.emplace_back(start, bytes.size());
        return lines;
    }
    for (std::size_t i = start; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            lines.emplace_back(start, i);
            start = i + 1;
        }
    }
    if (start < bytes.size()) lines.emplace_back(start, bytes.size());
    return lines;
}

}  // namespace

DataEncoding DetectEncoding(std::string_view bytes) {
    if (bytes.starts_with(kUtf16Mark)) return DataEncoding::Utf16Le;
    if (bytes.starts_with(kUtf8Mark)) return DataEncoding::Utf8;
    return DataEncoding::Ansi;
}

int CountLinesIn(std::string_view bytes) {
    return static_cast<int>(IndexLinesOf(bytes, DetectEncoding(bytes)).size());
}

std::string ExtractLine(std::string_view bytes, int lineIndex) {
    const LineTable lines = IndexLinesOf(bytes, DetectEncoding(bytes));
    if (lineIndex < 0 || static_cast<std::size_t>(lineIndex) >= lines.size()) return std::string();
    const auto [start, end] = lines[static_cast<std::size_t>(lineIndex)];
    return std::string(bytes.substr(start, end - start));
}

namespace {

// The UTF-16 units of a line's bytes, up to the first zero unit.
std::u16string Utf16UnitsOf(std::string_view body) {
    std::u16string units;
    units.reserve(body.size() / 2);
    for (std::size_t i = 0; i + 1 < body.size(); i += 2) {
        char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(body[i]) |
                                              (static_cast<unsigned char>(body[i + 1]) << 8));
        if (unit == 0) break;
        units += unit;
    }
    return units;
}

// A narrow line's bytes up to the first zero byte.
std::string_view UpToZero(std::string_view body) {
    const std::size_t zero = body.find('\0');
    return zero == std::string_view::npos ? body : body.substr(0, zero);
}

}  // namespace

std::string DecodeLine(std::string_view body, DataEncoding encoding) {
    switch (encoding) {
    case DataEncoding::Utf16Le:
        return platform::Utf16ToAnsi(Utf16UnitsOf(body));
    case DataEncoding::Utf8:
        return platform::Utf8ToAnsi(UpToZero(body));
    case DataEncoding::Ansi:
        break;
    }
    return std::string(UpToZero(body));
}

std::string DecodeLineUnicode(std::string_view body, DataEncoding encoding) {
    switch (encoding) {
    case DataEncoding::Utf16Le:
        return platform::Utf16ToUtf8(Utf16UnitsOf(body));
    case DataEncoding::Utf8:
        return std::string(UpToZero(body));
    case DataEncoding::Ansi:
        break;
    }
    return platform::AnsiToUtf8(UpToZero(body));
}

std::string PickField(std::string_view line, int fieldNumber, text::LeadByteRule isLead) {
    std::string_view field;
    if (fieldNumber < 0) {
        std::size_t tab = text::FindLastChar(line, '\t', isLead);
        field = tab == std::string_view::npos ? line : line.substr(tab + 1);
    } else {
        // Numbered fields are ended by a tab: move past n - 1 tabs, then the
        // field runs to the next one.
        std::size_t pos = 0;
        for (int move = 1; move < fieldNumber; ++move) {
            std::size_t tab = pos < line.size() ? text::FindChar(line, '\t', pos, isLead)
                                                : std::string_view::npos;
            if (tab == std::string_view::npos) return std::string();
            pos = tab + 1;
        }
        std::size_t end = fieldNumber >= 1 ? text::FindChar(line, '\t', pos, isLead)
                                           : std::string_view::npos;
        if (end == std::string_view::npos) return std::string();
        field = line.substr(pos, end - pos);
    }
    return text::ReplaceAll(field, "\"", "''");
}

std::string ReadFieldIn(std::string_view bytes, int lineIndex, int fieldNumber) {
    return PickField(DecodeLine(ExtractLine(bytes, lineIndex), DetectEncoding(bytes)), fieldNumber);
}

std::string OpenFailureDescription(const std::string& path, platform::FileErrorCause cause) {
    using platform::FileErrorCause;
    const char* pattern = "An unknown error occurred while accessing %1.";
    switch (cause) {
    case FileErrorCause::FileNotFound:
        pattern = "%1 was not found.";
        break;
    case FileErrorCause::BadPath:
        pattern = "%1 contains an invalid path.";
        break;
    case FileErrorCause::TooManyOpenFiles:
        pattern = "%1 could not be opened because there are too many open files.";
        break;
    case FileErrorCause::AccessDenied:
        pattern = "Access to %1 was denied.";
        break;
    case FileErrorCause::InvalidFile:
        pattern = "An invalid file handle was associated with %1.";
        break;
    case FileErrorCause::RemoveCurrentDir:
        pattern = "%1 could not be removed because it is the current directory.";
        break;
    case FileErrorCause::DirectoryFull:
        pattern = "%1 could not be created because the directory is full.";
        break;
    case FileErrorCause::BadSeek:
        pattern = "Seek failed on %1";
        break;
    case FileErrorCause::HardIO:
        pattern = "A hardware I/O error was reported while accessing %1.";
        break;
    case FileErrorCause::SharingViolation:
        pattern = "A sharing violation occurred while accessing %1.";
        break;
    case FileErrorCause::LockViolation:
        pattern = "A locking violation occurred while accessing %1.";
        break;
    case FileErrorCause::DiskFull:
        pattern = "Disk full while accessing %1.";
        break;
    case FileErrorCause::EndOfFile:
        pattern = "An attempt was made to access %1 past its end.";
        break;
    case FileErrorCause::NotAFile:
        pattern = "%1 is a device or a pipe, not a file.";
        break;
    case FileErrorCause::None:
    case FileErrorCause::Generic:
        break;
    }
    std::string description =
        text::ReplaceAll(pattern, "%1", path.empty() ? std::string("an unnamed file") : path);
    // Cut at a character boundary: a double-byte character stays whole or
    // goes whole.
    description.resize(text::PrefixOfCharacters(description, kMaxDescription).size());
    return description;
}

std::string DataFileFailure(const std::string& path, platform::FileErrorCause cause) {
    if (cause == platform::FileErrorCause::AccessDenied && !path.empty() &&
        platform::InspectPath(path).kind == platform::PathKind::Folder)
        return path + " is a folder, not a file.";
    return OpenFailureDescription(path, cause);
}

bool LooksLikeUtf16WithoutMark(std::string_view bytes) {
    if (DetectEncoding(bytes) != DataEncoding::Ansi) return false;
    // The first 4 KB tell: ANSI text holds no zero byte at all.
    const std::size_t pairs = std::min<std::size_t>(bytes.size(), 4096) / 2;
    if (pairs < 2) return false;
    std::size_t oddZeros = 0;
    std::size_t evenZeros = 0;
    for (std::size_t i = 0; i < pairs; ++i) {
        evenZeros += bytes[2 * i] == '\0';
        oddZeros += bytes[2 * i + 1] == '\0';
    }
    return oddZeros * 4 >= pairs * 3 && evenZeros * 4 < pairs;
}

int FieldCountOf(std::string_view line, text::LeadByteRule isLead) {
    int fields = 1;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\t') ++fields;
        if (isLead(static_cast<unsigned char>(line[i])) && i + 1 < line.size()) ++i;  // its trail byte
    }
    return fields;
}

std::string OpenFailureMessage(const std::string& path, platform::FileErrorCause cause) {
    std::string message = "Can't open file: ";
    message += path;
    message += ", Error: ";
    message += OpenFailureDescription(path, cause);
    message += "\n";
    return message;
}

// ------------------------------------------------------------- DataFile

DataFile DataFile::Read(const std::string& path) {
    platform::FileReadResult read;
    try {
        read = platform::ReadFileDenyWrite(path, kMaxDataFileBytes);
    } catch (const std::bad_alloc&) {
        // No memory for the whole file: it cannot be read, like a file that
        // cannot be opened (the job still runs once, with empty fields).
        read = platform::FileReadResult{};
        read.cause = platform::FileErrorCause::Generic;
    }
    DataFile file;
    file.path_ = path;
    file.opened_ = read.opened;
    file.cause_ = read.opened ? platform::FileErrorCause::None : read.cause;
    if (read.opened) {
        file.bytes_ = std::move(read.bytes);
        file.IndexLines();
    }
    return file;
}

DataFile DataFile::FromBytes(std::string bytes) {
    DataFile file;
    file.opened_ = true;
    file.bytes_ = std::move(bytes);
    file.IndexLines();
    return file;
}

void DataFile::IndexLines() {
    encoding_ = DetectEncoding(bytes_);
    lines_ = IndexLinesOf(bytes_, encoding_);
}

int DataFile::LineCount() const { return opened_ ? static_cast<int>(lines_.size()) : 1; }

std::string DataFile::Field(int lineIndex, int fieldNumber) const {
    if (!opened_) return std::string();
    Decode(lineIndex);
    return PickField(decoded_, fieldNumber);
}

int DataFile::FieldCount(int lineIndex) const {
    if (!opened_ || lineIndex < 0 || static_cast<std::size_t>(lineIndex) >= lines_.size()) return 0;
    Decode(lineIndex);
    return FieldCountOf(decoded_);
}

std::string DataFile::UnicodeField(int lineIndex, int fieldNumber) const {
    if (!opened_ || !Unicode()) return std::string();
    Decode(lineIndex);
    // UTF-8 has no trail byte below 0x80: a tab is always a tab.
    return PickField(decodedUnicode_, fieldNumber, [](unsigned char) { return false; });
}

void DataFile::Decode(int lineIndex) const {
    if (lineIndex == decodedIndex_) return;
    decoded_.clear();
    decodedUnicode_.clear();
    if (lineIndex >= 0 && static_cast<std::size_t>(lineIndex) < lines_.size()) {
        const auto [start, end] = lines_[static_cast<std::size_t>(lineIndex)];
        const std::string_view body = std::string_view(bytes_).substr(start, end - start);
        decoded_ = DecodeLine(body, encoding_);
        if (Unicode()) decodedUnicode_ = DecodeLineUnicode(body, encoding_);
    }
    decodedIndex_ = lineIndex;
}

}  // namespace job
