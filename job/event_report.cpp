#include "job/event_report.h"

#include <utility>

#include "job/journal.h"
#include "launch/launch.h"
#include "launch/printer.h"
#include "platform/framework.h"
#include "platform/text.h"
#include "settings/catalogue.h"
#include "settings/store.h"
#include "vantor_event_texts.h"  // generated from res/vantor_events.mc
#include "vantor_version.h"      // generated from project(VERSION)

namespace events {

namespace {

using State = platform::ProcessOutcome::State;

// The first problem of a runner that did not end well.
Problem ProblemOf(int line, const launch::RunnerOutcome& runner) {
    const platform::ProcessOutcome& process = runner.process;
    Problem problem;
    problem.line = std::to_string(line);
    problem.runner = launch::RunnerName(runner.runner);
    problem.outcome = RunOutcomeName(process.state);
    problem.exitCode = process.state == State::Exited ? std::to_string(process.exitCode) : "-";
    if (!runner.refused.empty())
        problem.error = platform::AnsiToUtf8(runner.refused);
    else if (process.error.failed())
        problem.error = std::to_string(process.error.code) + " " + platform::AnsiToUtf8(process.error.text);
    else
        problem.error = "-";
    problem.commandLine = runner.unicodeCommandLine.empty() ? platform::AnsiToUtf8(runner.commandLine)
                                                            : runner.unicodeCommandLine;
    return problem;
}

// A problem of the job rather than of a runner: only its error.
Problem JobProblem(std::string error) {
    return {"-", "-", "-", "-", std::move(error), "-"};
}

// `value` escaped as the journal escapes it and cut at `limit` bytes, on a
// character's boundary.
std::string Insert(const std::string& utf8, std::size_t limit = kInsertLimit) {
    std::string value = text::EscapeRecordValue(utf8);
    if (value.size() <= limit) return value;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80) --end;
    value.resize(end);
    return value + " [cut]";
}

struct Row {
    EventId id;
    platform::LogEntryType type;
    const char* outcome;  // %1
};

constexpr Row kRows[] = {
    {kAllPrinted, platform::LogEntryType::Information, "all labels printed"},
    {kSomeFailed, platform::LogEntryType::Warning, "some lines failed"},
    {kNothingPrinted, platform::LogEntryType::Error, "no label printed"},
    {kDataUnreadable, platform::LogEntryType::Error, "data file unreadable"},
    {kTimedOut, platform::LogEntryType::Warning, "a runner timed out"},
    {kNotStarted, platform::LogEntryType::Error, "a runner could not be started"},
    {kNotSaved, platform::LogEntryType::Warning, "a record was not saved"},
    {kStopped, platform::LogEntryType::Information, "stopped on request"},
};

const Row& RowOf(EventId id) {
    for (const Row& row : kRows)
        if (row.id == id) return row;
    return kRows[0];
}

}  // namespace

void JobOutcomeRecorder::Noted(const JobNote& note) {
    if (note.about == "settings-unsaved" && !unsaved_)
        unsaved_ = JobProblem(platform::AnsiToUtf8(note.keys) + ": " + std::to_string(note.error.code) + " " +
                              platform::AnsiToUtf8(note.error.text));
}

void JobOutcomeRecorder::LineFinished(const LineDone& line) {
    for (const launch::RunnerOutcome& runner : line.launch.runners) {
        if (runner.planned || runner.Succeeded()) continue;
        if (!failed_) failed_ = ProblemOf(line.line, runner);
        if (runner.process.state == State::TimedOut && !timedOut_) timedOut_ = ProblemOf(line.line, runner);
        if (runner.process.state == State::NotStarted && !notStarted_) notStarted_ = ProblemOf(line.line, runner);
    }
}

Event EventOf(const JobOutcomeRecorder& job, const ReportContext& context) {
    const JobSummary& summary = job.Summary();
    EventId id = kAllPrinted;
    std::optional<Problem> problem;
    if (!summary.dataRead) {
        id = kDataUnreadable;
        problem = JobProblem(platform::AnsiToUtf8(job.Start().dataFailure));
    } else if (job.FirstNotStarted()) {
        id = kNotStarted;
        problem = job.FirstNotStarted();
    } else if (summary.NothingPrinted()) {
        id = kNothingPrinted;
        problem = job.FirstFailed();
    } else if (job.FirstTimedOut()) {
        id = kTimedOut;
        problem = job.FirstTimedOut();
    } else if (summary.failedLines > 0) {
        id = kSomeFailed;
        problem = job.FirstFailed();
    } else if (job.FirstUnsaved()) {
        id = kNotSaved;
        problem = job.FirstUnsaved();
    } else if (summary.stopped) {
        id = kStopped;
    }
    if (!problem) problem = Problem{"-", "-", "-", "-", "-", "-"};

    const Row& row = RowOf(id);
    std::string outcome = row.outcome;
    // Lines whose manual printer choice was cancelled count neither way.
    if (id == kAllPrinted && summary.succeededLines < summary.lines)
        outcome = "no line failed; the print dialog was cancelled for " +
                  std::to_string(summary.lines - summary.succeededLines) + " of " + std::to_string(summary.lines);
    const JobStart& start = job.Start();
    Event event;
    event.id = id;
    event.type = row.type;
    event.inserts = {
        Insert(outcome),
        Insert(platform::AnsiToUtf8(start.templateName)),
        Insert(platform::AnsiToUtf8(start.dataFile)),
        Insert(platform::AnsiToUtf8(context.user)),
        Insert(std::to_string(start.lineCount)),
        Insert(std::to_string(summary.lines)),
        Insert(std::to_string(summary.failedLines)),
        Insert(problem->line),
        Insert(problem->runner),
        Insert(problem->outcome),
        Insert(problem->exitCode),
        Insert(problem->error),
        Insert(problem->commandLine, kCommandLineLimit),
        Insert(platform::AnsiToUtf8(start.commandLine), kCommandLineLimit),
        Insert(context.journal.empty() ? std::string("-") : platform::AnsiToUtf8(context.journal)),
        Insert(context.version),
    };
    return event;
}

bool IsReported(int level, uint32_t id) {
    if (level == eventlog::kEveryJob) return true;
    return level == eventlog::kProblems && id != kAllPrinted;
}

std::string EventText(uint32_t id, const std::vector<std::string>& inserts) {
    for (const VantorEventText& entry : kVantorEventTexts) {
        if (entry.id != id) continue;
        // As FormatMessage reads a message: %1 ... %99 the inserts, %% a
        // percent sign, %n a line end.
        const std::string_view text = entry.text;
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '%' || i + 1 >= text.size()) {
                out += text[i];
                continue;
            }
            const char next = text[++i];
            if (next >= '1' && next <= '9') {
                std::size_t number = static_cast<std::size_t>(next - '0');
                if (i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9')
                    number = number * 10 + static_cast<std::size_t>(text[++i] - '0');
                if (number <= inserts.size()) out += inserts[number - 1];
            } else if (next == 'n') {
                out += "\r\n";
            } else {
                out += next;
            }
        }
        return out;
    }
    return std::string();
}

std::string OneLine(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        if (!out.empty()) out += " | ";
        out += text.substr(at, end - at);
        at = end + 2;
    }
    return out;
}

void EventReport::JobEnded(const JobEnd& end) {
    JobOutcomeRecorder::JobEnded(end);
    const Event event = EventOf(*this, context_);
    if (!IsReported(level_, event.id)) return;
    const platform::SystemError error =
        platform::WriteSystemLog(event.type, event.id, event.inserts, OneLine(EventText(event.id, event.inserts)));
    // Never a change of the job's outcome: the journal says so, once.
    if (error.failed()) notes_.Noted({std::chrono::system_clock::now(), "event-unwritten", "", error, ""});
}

std::unique_ptr<EventReport> OpenEventReport(const CAppBase& app, JobEvents& notes) {
    const int level = ReadSettingInt(app, section::kSettings, key::kEventLog, defaults::kInt);
    if (level != eventlog::kProblems && level != eventlog::kEveryJob) return nullptr;
    return std::make_unique<EventReport>(level, ReportContext{launch::CurrentUserName(), JournalPath(app), VANTOR_VERSION_TEXT},
                                         notes);
}

}  // namespace events
