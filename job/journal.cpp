#include "job/journal.h"

#include "launch/launch.h"
#include "launch/printer.h"
#include "platform/framework.h"
#include "platform/text.h"
#include "settings/catalogue.h"
#include "settings/store.h"

namespace {

long long MillisecondsBetween(std::chrono::system_clock::time_point from,
                              std::chrono::system_clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

const char* OutcomeName(platform::ProcessOutcome::State state) {
    switch (state) {
    case platform::ProcessOutcome::State::Exited:
        return "exited";
    case platform::ProcessOutcome::State::TimedOut:
        return "timed-out";
    case platform::ProcessOutcome::State::EndUnknown:
        return "end-unknown";
    case platform::ProcessOutcome::State::NotStarted:
        break;
    }
    return "not-started";
}

}  // namespace

std::string JournalField(const char* name, std::string_view ansiValue) {
    return JournalFieldUtf8(name, platform::AnsiToUtf8(ansiValue));
}

std::string JournalFieldUtf8(const char* name, std::string_view utf8Value) {
    return std::string("\t") + name + "=" + text::EscapeRecordValue(utf8Value);
}

JobJournal::JobJournal(std::string path)
    : path_(std::move(path)), pid_(std::to_string(platform::ProcessId())) {}

void JobJournal::Append(const std::chrono::system_clock::time_point& when, const char* kind,
                        const std::string& fields) {
    (void)platform::AppendRecord(
        path_, platform::LocalTimestamp(when) + "\t" + pid_ + "\t" + kind + fields + "\n");
}

void JobJournal::JobStarted(const JobStart& start) {
    std::string fields = JournalField("user", launch::CurrentUserName()) +
                         JournalField("cmdline", start.commandLine) +
                         JournalField("template", start.templateName) +
                         JournalField("datafile", start.dataFile) +
                         JournalField("lines", std::to_string(start.lineCount)) +
                         JournalField("data", start.dataRead ? "read" : "unreadable");
    if (!start.dataRead) fields += JournalField("error", start.dataFailure);
    // A policy value that could not be read locks nothing: its setting
    // keeps the file's value, and the record says which one.
    std::string unread;
    for (const std::string& name : platform::UnreadablePolicies()) {
        if (!unread.empty()) unread += ", ";
        unread += name;
    }
    if (!unread.empty()) fields += JournalField("policy-unreadable", unread);
    Append(start.started, "job-start", fields);
}

// The fields of a run record after its line number.
static std::string RunFields(const launch::RunnerOutcome& runner) {
    const platform::ProcessOutcome& process = runner.process;
    std::string fields = JournalField("runner", launch::RunnerName(runner.runner)) +
                         (runner.unicodeCommandLine.empty()
                              ? JournalField("cmdline", runner.commandLine)
                              : JournalFieldUtf8("cmdline", runner.unicodeCommandLine)) +
                         JournalField("outcome", OutcomeName(process.state));
    if (!runner.neutralised.empty()) fields += JournalField("neutralised", runner.neutralised);
    if (process.state == platform::ProcessOutcome::State::Exited)
        fields += JournalField("exit", std::to_string(process.exitCode));
    if (!runner.refused.empty())
        fields += JournalField("reason", runner.refused);
    else if (process.state == platform::ProcessOutcome::State::NotStarted ||
             process.state == platform::ProcessOutcome::State::EndUnknown)
        fields += JournalField("error", std::to_string(process.error.code) + " " + process.error.text);
    if (!process.warning.empty()) fields += JournalField("warning", process.warning);
    fields += JournalField("ms", std::to_string(MillisecondsBetween(process.started, process.ended)));
    return fields;
}

void JobJournal::LineFinished(const LineDone& line) {
    const std::string number = JournalField("line", std::to_string(line.line));
    if (line.launch.cancelled) {
        Append(std::chrono::system_clock::now(), "run",
               number + JournalField("runner", launch::RunnerName(launch::Runner::LabelProgram)) +
                   JournalField("outcome", "cancelled"));
    }
    for (const launch::RunnerOutcome& runner : line.launch.runners)
        Append(runner.process.ended, "run", number + RunFields(runner));
}

void JobJournal::LineRerun(const std::string& jobKey, int line, const launch::RunnerOutcome& runner) {
    Append(runner.process.ended, "rerun",
           JournalFieldUtf8("of", jobKey) + JournalField("line", std::to_string(line)) +
               RunFields(runner));
}

void JobJournal::JobEnded(const JobEnd& end) {
    Append(end.ended, "job-end",
           JournalField("lines", std::to_string(end.summary.lines)) +
               JournalField("failed", std::to_string(end.summary.failedLines)) +
               JournalField("ms", std::to_string(MillisecondsBetween(end.started, end.ended))));
}

void JobJournal::Noted(const JobNote& note) {
    std::string fields = JournalField("about", note.about);
    if (!note.keys.empty()) fields += JournalField("keys", note.keys);
    if (note.error.failed() || note.detail.empty())
        fields += JournalField("error", std::to_string(note.error.code) + " " + note.error.text);
    if (!note.detail.empty()) fields += JournalField("detail", note.detail);
    Append(note.when, "note", fields);
}

std::string JournalPath(const CAppBase& app) {
    std::string path = ReadSettingText(app, section::kSettings, key::kJournalFile, defaults::kText);
    if (path.empty()) return path;
    if (!platform::IsAbsolutePath(path)) path = launch::ConnectorFolder(app) + path;
    return path;
}

std::unique_ptr<JobJournal> OpenJournal(const CAppBase& app) {
    std::string path = JournalPath(app);
    if (path.empty()) return nullptr;
    int maxKB = ReadSettingInt(app, section::kSettings, key::kJournalMaxKB, defaults::kJournalMaxKB);
    if (maxKB <= 0) maxKB = defaults::kJournalMaxKB;
    (void)platform::RotateIfLarger(path, static_cast<uint64_t>(maxKB) * 1024u);
    return std::make_unique<JobJournal>(std::move(path));
}
