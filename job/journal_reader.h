// Reading the job journal back (job/journal.h writes it), for the window over
// recent jobs: the records grouped into jobs with their runs, each kept as
// where its values stand in the bytes read.
//
// The reader takes the bytes of the rotated file and of the current one,
// oldest first, and trusts none of them. A record is one line ending in LF:
//   <time> TAB <process id> TAB <kind> (TAB <name>=<value>)*
// with each value escaped as EscapeRecordValue does. What it cannot take is
// counted, with the file and line, never guessed at:
//   torn      a line without its final LF (a write cut short) or with a
//             column that is no "name=value";
//   foreign   a line that is not a record of ours: no time, no process id, an
//             unknown kind, or a run or end whose job is not in the journal;
//   over-long a line longer than kMaxRecordBytes (it is skipped unread).
// Records of jobs that run at the same time interleave; the process id tells
// them apart. A job whose process starts another job (or whose records end)
// before its job-end record has no end: it is still running, or it was ended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CAppBase;

namespace journal {

// The longest record read. A command line holds at most 32767 UTF-16 units;
// in UTF-8 with every '%' escaped that is below this.
inline constexpr std::size_t kMaxRecordBytes = 256 * 1024;

// The most bytes read from each journal file: its newest ones.
inline constexpr std::size_t kMaxFileBytes = 64u * 1024u * 1024u;

// The re-run's record kinds (before its start, with its outcome) and the
// field that names its job ("<time> <pid>" of the job's job-start record).
inline constexpr const char* kRerunStartKind = "rerun-start";
inline constexpr const char* kRerunKind = "rerun";
inline constexpr const char* kRerunOfField = "of";

// Started: a re-run whose outcome record never came (the window was ended
// while it ran). Ended: ended from the progress window on request.
enum class RunOutcome { Exited, NotStarted, TimedOut, Cancelled, EndUnknown, Ended, Started, Other };

// A value of a record where it stands in the journal's bytes, still escaped:
// its first byte, counted over the files one after another, and its length.
// Records keep these instead of copies (a journal of 2 x 64 MB holds hundreds
// of thousands of them); Book::Text reads a value back when it is shown.
struct Span {
    std::uint32_t at = 0;
    std::uint32_t size = 0;
    bool empty() const { return size == 0; }
};

struct Run {
    Span time;         // when the record was written
    Span runner;       // api-proxy, label-program, bartender
    Span commandLine;  // empty when the record has none
    Span outcomeText;  // as recorded
    Span error;        // the system's code and text (not started), or why it was not started
    int line = 0;      // the data line, from 1
    RunOutcome outcome = RunOutcome::Other;
    bool hasExit = false;
    bool rerun = false;  // started again from the window, not by the job
    std::int64_t exitCode = 0;
    std::int64_t ms = -1;  // -1: not recorded

    // Whether it ran and exited with 0.
    bool Succeeded() const { return outcome == RunOutcome::Exited && hasExit && exitCode == 0; }
    // Whether it failed: not started, timed out, ended on request, its end
    // unknown, or exited with another code.
    bool Failed() const {
        return outcome == RunOutcome::NotStarted || outcome == RunOutcome::TimedOut ||
               outcome == RunOutcome::Ended || outcome == RunOutcome::EndUnknown ||
               (outcome == RunOutcome::Exited && !Succeeded()) || outcome == RunOutcome::Other;
    }
    // Whether it can be started again: its command line is in the journal.
    bool CanRunAgain() const { return !commandLine.empty() && outcome != RunOutcome::Cancelled; }
};

enum class JobOutcome {
    AllPrinted,      // every line's runners exited with 0
    SomeFailed,      // some lines failed, others printed
    NothingPrinted,  // no line printed (or there was none)
    DataUnreadable,  // the data file could not be read
    Stopped,         // stopped on request before its last line
    NoEnd,           // still running, or ended without its end record
};

// A note record of a job: about, keys, and the system's error or, for a
// note without one, the detail (what was found and what to do).
struct Note {
    Span about, keys, error, detail;
};

struct Job {
    Span time;  // of its job-start record
    Span pid;
    Span user, commandLine, templateName, dataFile, dataError;
    int lines = 0;
    bool dataRead = true;
    bool ended = false;
    int failedLines = 0;   // from its end record, or counted from its runs
    int printedLines = 0;  // counted: lines whose runners (not re-runs) all exited with 0
    int stoppedAt = -1;    // the last line that ran when it was stopped on request; -1: not stopped
    std::int64_t ms = -1;  // from its end record; -1 without one
    std::vector<Run> runs;  // in the order written; re-runs among them
    std::vector<Note> notes;

    JobOutcome Outcome() const;
    bool Failed() const { return Outcome() != JobOutcome::AllPrinted; }
};

enum class Damage { Torn, Foreign, OverLong };

struct Problem {
    std::size_t file = 0;  // index into Book::files
    int lineNumber = 0;    // from 1, counted from the first line read
    Damage damage = Damage::Torn;
};

// One journal file: its name (for the problems found in it) and what was
// read of it: the whole file, or, when `fileSize` is larger than `bytes`, its
// last bytes. Records then begin after the first line end in them: the part
// line before it belongs to an older record, which is left out.
struct Source {
    std::string name;
    std::string bytes;
    std::uint64_t fileSize = 0;  // the whole file's size; 0 or bytes.size(): all of it was read
};

struct Book {
    std::vector<Job> jobs;  // oldest first
    std::vector<Problem> problems;
    std::vector<Source> files;  // the bytes every Span points into, oldest file first
    std::vector<std::uint64_t> leftOut;  // per file: bytes of older records not read

    // A value as it stands in the bytes, and read back (UnescapeValue).
    std::string_view Raw(Span span) const;
    std::string Text(Span span) const;
    // The key a re-run record names a job by: "<time> <pid>".
    std::string KeyOf(const Job& job) const;
    // A note as "about keys: error" (or "about keys: detail").
    std::string NoteText(const Note& note) const;
    // The bytes of older records left out, in all files.
    std::uint64_t LeftOutBytes() const;
};

// The jobs in `sources` (oldest file first), which the book keeps. Reading is
// linear in the bytes; every job's lines are counted once, here. At most
// 4 GB in all are read.
Book ParseJournal(std::vector<Source> sources);

// A value as written by EscapeRecordValue, read back: %25, %09, %0D and %0A
// become '%', tab, CR and LF; any other '%' stays as it is.
std::string UnescapeValue(std::string_view value);

// The command line of a run as the process start wants it: `ansi` in the
// ANSI code page and, when that cannot hold every character, `unicode` (UTF-8).
struct StartLine {
    std::string ansi;
    std::string unicode;
};
StartLine StartLineOf(const std::string& utf8CommandLine);

// Whether the command line (after the program name) holds "/JOBS" in any
// letter case as a whole blank-separated token outside double quotes.
bool IsJobsCommand(std::string_view commandLine);

// What the window reads: the journal's path ("" when JournalFile is not set),
// whether the current file could be read, and why not.
struct Loaded {
    std::string path;
    bool configured = false;
    bool readable = false;
    std::string failure;  // when !readable: why, for the operator
    Book book;            // book.leftOut: what the cap on each file left out
};

// Reads the journal Settings/JournalFile names and its rotated ".1" file,
// of each at most its newest kMaxFileBytes. Writes nothing (the journal is
// not rotated here).
Loaded LoadJournal(const CAppBase& app);

}  // namespace journal
