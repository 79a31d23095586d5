// Reading the job journal back (job/journal.h writes it), for the window over
// recent jobs: the records grouped into jobs with their runs.
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

// The most bytes read from each journal file.
inline constexpr std::size_t kMaxFileBytes = 64u * 1024u * 1024u;

// The re-run's record kind and the field that names its job ("<time> <pid>"
// of the job's job-start record).
inline constexpr const char* kRerunKind = "rerun";
inline constexpr const char* kRerunOfField = "of";

enum class RunOutcome { Exited, NotStarted, TimedOut, Cancelled, EndUnknown, Other };

struct Run {
    std::string time;      // when the record was written
    int line = 0;          // the data line, from 1
    std::string runner;    // api-proxy, label-program, bartender
    std::string commandLine;  // decoded UTF-8; empty when the record has none
    RunOutcome outcome = RunOutcome::Other;
    std::string outcomeText;  // as recorded
    bool hasExit = false;
    std::int64_t exitCode = 0;
    std::string error;     // the system's code and text (not started), or why it was not started
    std::int64_t ms = -1;  // -1: not recorded
    bool rerun = false;    // started again from the window, not by the job

    // Whether it ran and exited with 0.
    bool Succeeded() const { return outcome == RunOutcome::Exited && hasExit && exitCode == 0; }
    // Whether it failed: not started, timed out, or exited with another code.
    bool Failed() const {
        return outcome == RunOutcome::NotStarted || outcome == RunOutcome::TimedOut ||
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
    NoEnd,           // still running, or ended without its end record
};

struct Job {
    std::string time;  // of its job-start record
    std::string pid;
    std::string user, commandLine, templateName, dataFile;
    int lines = 0;
    bool dataRead = true;
    std::string dataError;
    bool ended = false;
    int failedLines = 0;    // from its end record, or counted from its runs
    std::int64_t ms = -1;   // from its end record; -1 without one
    std::vector<Run> runs;  // in the order written; re-runs among them
    std::vector<std::string> notes;  // "about keys held: error" of its note records

    JobOutcome Outcome() const;
    bool Failed() const { return Outcome() != JobOutcome::AllPrinted; }
    // The key a re-run record names it by: "<time> <pid>".
    std::string Key() const { return time + " " + pid; }
};

enum class Damage { Torn, Foreign, OverLong };

struct Problem {
    std::string file;
    int lineNumber = 0;  // from 1
    Damage damage = Damage::Torn;
};

// One journal file's bytes, named for the problems found in it.
struct Source {
    std::string name;
    std::string_view bytes;
};

struct Book {
    std::vector<Job> jobs;  // oldest first
    std::vector<Problem> problems;
};

// The jobs in `sources` (oldest file first).
Book ParseJournal(const std::vector<Source>& sources);

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
    bool truncated = false;  // a file was larger than kMaxFileBytes: its start only
    Book book;
};

// Reads the journal Settings/JournalFile names and its rotated ".1" file.
// Writes nothing (the journal is not rotated here).
Loaded LoadJournal(const CAppBase& app);

}  // namespace journal
