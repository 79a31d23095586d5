// A job's outcome in the system's log (Settings/EventLog), for a site that
// collects its machines' logs in one place: one entry per job, at its end,
// never one per line. The outcome decides the event's ID and type (first
// match wins); the inserts are the same for every event:
//
//   ID    type         outcome                                        EventLog
//   1003  error        the data file could not be read                 1, 2
//   1005  error        a runner could not be started                   1, 2
//   1002  error        no line printed (or the job had no line)        1, 2
//   1004  warning      a runner ran past RunTimeoutSeconds             1, 2
//   1001  warning      some lines failed, the others printed           1, 2
//   1006  warning      a record did not reach vantor.ini               1, 2
//   1007  information  stopped on request before its last line         1, 2
//   1000  information  no line failed (every label printed, but for    2
//                      lines whose print dialog was cancelled)
//
// Inserts (%1 ... %16 of the message table, res/vantor_events.mc): outcome,
// template, data file, user, lines of the job, lines that ran, lines that
// failed; the first problem of the event's kind: its line, runner, outcome,
// exit code, error (the system's code and text, the reason it was not
// started, the data file's or the record's error) and command line ("-"
// where it has none); the command line from the host, the journal ("-"
// without one), the connector's version. Each is escaped as the journal
// escapes its values and cut at kInsertLimit bytes (command lines at
// kCommandLineLimit), far below the 31,839 characters an insert may hold.
//
// Reporting never changes a job's outcome or exit code: an entry that cannot
// be written is told once, as a note, to the job's listeners (the journal).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "job/job_events.h"
#include "platform/platform.h"

class CAppBase;

namespace events {

enum EventId : uint32_t {
    kAllPrinted = 1000,
    kSomeFailed = 1001,
    kNothingPrinted = 1002,
    kDataUnreadable = 1003,
    kTimedOut = 1004,
    kNotStarted = 1005,
    kNotSaved = 1006,
    kStopped = 1007,
};

// The longest insert, in bytes of UTF-8 (" [cut]" then marks the cut), and
// the longest command line.
inline constexpr std::size_t kInsertLimit = 1000;
inline constexpr std::size_t kCommandLineLimit = 4000;

// The first problem of one kind in a job, as the inserts give it.
struct Problem {
    std::string line, runner, outcome, exitCode, error, commandLine;  // UTF-8
};

// What a job did, as its event needs it: heard as one more listener.
class JobOutcomeRecorder : public JobEvents {
public:
    void JobStarted(const JobStart& start) override { start_ = start; }
    void Noted(const JobNote& note) override;
    void LineFinished(const LineDone& line) override;
    void JobEnded(const JobEnd& end) override { summary_ = end.summary; }

    const JobStart& Start() const { return start_; }
    const JobSummary& Summary() const { return summary_; }
    const std::optional<Problem>& FirstFailed() const { return failed_; }
    const std::optional<Problem>& FirstTimedOut() const { return timedOut_; }
    const std::optional<Problem>& FirstNotStarted() const { return notStarted_; }
    const std::optional<Problem>& FirstUnsaved() const { return unsaved_; }

private:
    JobStart start_;
    JobSummary summary_;
    std::optional<Problem> failed_, timedOut_, notStarted_, unsaved_;
};

// What the inserts say besides the job's own figures.
struct ReportContext {
    std::string user;     // ANSI
    std::string journal;  // ANSI; "" without a journal
    std::string version;
};

struct Event {
    platform::LogEntryType type = platform::LogEntryType::Information;
    uint32_t id = kAllPrinted;
    std::vector<std::string> inserts;  // UTF-8, escaped and cut
};

// The event of a job (the table above).
Event EventOf(const JobOutcomeRecorder& job, const ReportContext& context);

// Whether Settings/EventLog `level` reports an event of that ID.
bool IsReported(int level, uint32_t id);

// The message table's text of `id` with its inserts in place, each line
// ended by CR LF, as FormatMessage gives it; "" for an ID it does not hold.
std::string EventText(uint32_t id, const std::vector<std::string>& inserts);

// `text`'s lines joined with " | ", for a log that takes one line an entry.
std::string OneLine(const std::string& text);

// The listener that writes the event when the job ends.
class EventReport final : public JobOutcomeRecorder {
public:
    // `notes` hears of an entry that could not be written (the job's
    // listeners, the journal among them, before its end).
    EventReport(int level, ReportContext context, JobEvents& notes)
        : level_(level), context_(std::move(context)), notes_(notes) {}
    void JobEnded(const JobEnd& end) override;

private:
    int level_;
    ReportContext context_;
    JobEvents& notes_;
};

// The report Settings/EventLog asks for (1 or 2); null when it is off.
std::unique_ptr<EventReport> OpenEventReport(const CAppBase& app, JobEvents& notes);

}  // namespace events
