#include "job/journal_reader.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <map>

#include "job/command_line.h"
#include "job/data_reader.h"
#include "job/journal.h"
#include "platform/platform.h"

namespace journal {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "2026-12-08T14:03:05.123+01:00": the date and time are enough to take it
// for ours; the rest is shown as it is.
bool LooksLikeTime(std::string_view t) {
    static constexpr std::string_view shape = "dddd-dd-ddTdd:dd:dd";
    if (t.size() < shape.size() || t.size() > 40) return false;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == 'd' ? !IsDigit(t[i]) : t[i] != shape[i]) return false;
    return true;
}

bool LooksLikePid(std::string_view p) {
    if (p.empty() || p.size() > 10) return false;
    for (char c : p)
        if (!IsDigit(c)) return false;
    return true;
}

// A whole decimal number (a leading '-' allowed), or `fallback`.
std::int64_t NumberOr(std::string_view s, std::int64_t fallback) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    return error == std::errc() && end == s.data() + s.size() && !s.empty() ? value : fallback;
}

int SmallNumberOr(std::string_view s, int fallback) {
    const std::int64_t v = NumberOr(s, fallback);
    return v < 0 || v > 1000000000 ? fallback : static_cast<int>(v);
}

RunOutcome OutcomeOf(std::string_view text) {
    if (text == "exited") return RunOutcome::Exited;
    if (text == "not-started") return RunOutcome::NotStarted;
    if (text == "timed-out") return RunOutcome::TimedOut;
    if (text == "cancelled") return RunOutcome::Cancelled;
    if (text == "end-unknown") return RunOutcome::EndUnknown;
    return RunOutcome::Other;
}

// A record's name=value columns, in their order, the values still escaped.
using Fields = std::vector<std::pair<std::string_view, std::string_view>>;

const std::string_view* Find(const Fields& fields, std::string_view name) {
    // The last of two columns of one name wins, as it would in a map.
    for (auto it = fields.rbegin(); it != fields.rend(); ++it)
        if (it->first == name) return &it->second;
    return nullptr;
}

std::string FieldOr(const Fields& fields, std::string_view name, std::string fallback = {}) {
    const std::string_view* value = Find(fields, name);
    return value == nullptr ? fallback : UnescapeValue(*value);
}

Run RunOf(const std::string& time, const Fields& f, bool rerun) {
    Run run;
    run.time = time;
    run.line = SmallNumberOr(FieldOr(f, "line"), 0);
    run.runner = FieldOr(f, "runner");
    run.commandLine = FieldOr(f, "cmdline");
    run.outcomeText = FieldOr(f, "outcome");
    run.outcome = OutcomeOf(run.outcomeText);
    if (const std::string_view* exit = Find(f, "exit")) {
        run.hasExit = true;
        run.exitCode = NumberOr(UnescapeValue(*exit), -1);
    }
    // A runner the connector chose not to start has its reason instead.
    run.error = FieldOr(f, "error", FieldOr(f, "reason"));
    run.ms = NumberOr(FieldOr(f, "ms"), -1);
    run.rerun = rerun;
    return run;
}

// The lines of a job whose runners (the job's own, not re-runs) all exited
// with 0, and those with a failed runner.
void CountLines(const Job& job, int& succeeded, int& failed) {
    // Per line: whether all its runners succeeded, whether one failed. A
    // job's runs come line by line, so a short list is enough.
    struct Line {
        int number;
        bool good;
        bool bad;
    };
    std::vector<Line> seen;
    for (const Run& run : job.runs) {
        if (run.rerun) continue;
        auto it = std::find_if(seen.rbegin(), seen.rend(), [&](const Line& l) { return l.number == run.line; });
        Line* line = it == seen.rend() ? &seen.emplace_back(Line{run.line, true, false}) : &*it;
        if (!run.Succeeded()) line->good = false;
        if (run.Failed()) line->bad = true;
    }
    succeeded = 0;
    failed = 0;
    for (const Line& line : seen) {
        succeeded += line.good;
        failed += line.bad;
    }
}

}  // namespace

JobOutcome Job::Outcome() const {
    if (!dataRead) return JobOutcome::DataUnreadable;
    if (!ended) return JobOutcome::NoEnd;
    int succeeded = 0, failed = 0;
    CountLines(*this, succeeded, failed);
    // As the exit status counts a job (app/vantor_app.h, ExitStatusOf).
    if (lines == 0 || (failedLines > 0 && succeeded == 0)) return JobOutcome::NothingPrinted;
    if (failedLines > 0) return JobOutcome::SomeFailed;
    return JobOutcome::AllPrinted;
}

std::string UnescapeValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
            const std::string_view code = value.substr(i + 1, 2);
            const char c = code == "25" ? '%' : code == "09" ? '\t' : code == "0D" ? '\r'
                         : code == "0A" ? '\n' : '\0';
            if (c != '\0') {
                out += c;
                i += 2;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

Book ParseJournal(const std::vector<Source>& sources) {
    Book book;
    std::map<std::string, std::size_t> open;   // pid -> its job without an end yet
    std::map<std::string, std::size_t> byKey;  // Job::Key() -> job
    std::vector<std::string_view> columns;     // of the record at hand
    Fields fields;
    for (const Source& source : sources) {
        const std::string_view bytes = source.bytes;
        std::size_t start = 0;
        int lineNumber = 0;
        while (start < bytes.size()) {
            ++lineNumber;
            std::size_t end = bytes.find('\n', start);
            const bool whole = end != std::string_view::npos;
            if (!whole) end = bytes.size();
            std::string_view line = bytes.substr(start, end - start);
            start = end + 1;
            auto problem = [&](Damage damage) {
                book.problems.push_back({source.name, lineNumber, damage});
            };
            if (line.size() > kMaxRecordBytes) {
                problem(Damage::OverLong);
                continue;
            }
            if (!whole) {
                problem(Damage::Torn);
                continue;
            }
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // edited by hand
            if (line.empty()) continue;

            columns.clear();
            for (std::size_t from = 0;;) {
                const std::size_t tab = line.find('\t', from);
                columns.push_back(line.substr(from, tab == std::string_view::npos ? line.npos : tab - from));
                if (tab == std::string_view::npos) break;
                from = tab + 1;
            }
            if (columns.size() < 3 || !LooksLikeTime(columns[0]) || !LooksLikePid(columns[1])) {
                problem(Damage::Foreign);
                continue;
            }
            const std::string_view kind = columns[2];
            if (kind != "job-start" && kind != "run" && kind != "job-end" && kind != "note" &&
                kind != kRerunKind) {
                problem(Damage::Foreign);
                continue;
            }
            fields.clear();
            bool torn = false;
            for (std::size_t c = 3; c < columns.size(); ++c) {
                const std::size_t eq = columns[c].find('=');
                if (eq == std::string_view::npos || eq == 0) {
                    torn = true;
                    break;
                }
                fields.emplace_back(columns[c].substr(0, eq), columns[c].substr(eq + 1));
            }
            if (torn) {
                problem(Damage::Torn);
                continue;
            }
            const std::string time(columns[0]);
            const std::string pid(columns[1]);
            if (kind == "job-start") {
                Job job;
                job.time = time;
                job.pid = pid;
                job.user = FieldOr(fields, "user");
                job.commandLine = FieldOr(fields, "cmdline");
                job.templateName = FieldOr(fields, "template");
                job.dataFile = FieldOr(fields, "datafile");
                job.lines = SmallNumberOr(FieldOr(fields, "lines"), 0);
                job.dataRead = FieldOr(fields, "data", "read") != "unreadable";
                job.dataError = FieldOr(fields, "error");
                // An earlier job of this process id that is still open never
                // wrote its end: it stays without one.
                open[pid] = book.jobs.size();
                byKey[job.Key()] = book.jobs.size();
                book.jobs.push_back(std::move(job));
                continue;
            }
            if (kind == kRerunKind) {
                const auto it = byKey.find(FieldOr(fields, kRerunOfField));
                if (it == byKey.end()) {
                    problem(Damage::Foreign);
                    continue;
                }
                book.jobs[it->second].runs.push_back(RunOf(time, fields, true));
                continue;
            }
            const auto it = open.find(pid);
            if (it == open.end()) {
                problem(Damage::Foreign);  // its job-start is not in the journal
                continue;
            }
            Job& job = book.jobs[it->second];
            if (kind == "run") {
                job.runs.push_back(RunOf(time, fields, false));
            } else if (kind == "note") {
                std::string note = FieldOr(fields, "about");
                if (const std::string keys = FieldOr(fields, "keys"); !keys.empty()) note += " " + keys;
                const std::string error = FieldOr(fields, "error");
                const std::string detail = FieldOr(fields, "detail");
                job.notes.push_back(note + ": " + (error.empty()    ? detail
                                                   : detail.empty() ? error
                                                                    : error + " (" + detail + ")"));
            } else {
                job.ended = true;
                job.lines = SmallNumberOr(FieldOr(fields, "lines"), job.lines);
                job.failedLines = SmallNumberOr(FieldOr(fields, "failed"), 0);
                job.ms = NumberOr(FieldOr(fields, "ms"), -1);
                open.erase(it);
            }
        }
    }
    // Jobs without an end: their failed lines as far as their runs tell.
    for (Job& job : book.jobs) {
        if (job.ended) continue;
        int succeeded = 0;
        CountLines(job, succeeded, job.failedLines);
    }
    return book;
}

StartLine StartLineOf(const std::string& utf8CommandLine) {
    StartLine line;
    line.ansi = platform::Utf8ToAnsi(utf8CommandLine);
    if (!platform::AnsiCanHold(utf8CommandLine)) line.unicode = utf8CommandLine;
    return line;
}

bool IsJobsCommand(std::string_view commandLine) {
    // The same token rule as /DRYRUN and /CHECK; the line itself is left as it is.
    std::string copy(commandLine);
    return job::TakeSwitchToken(copy, "/JOBS");
}

namespace {

// A journal file's bytes, read while jobs go on appending to it (and may
// rotate it): a reader never makes an append fail.
platform::FileReadResult ReadJournalFile(const std::string& path) {
    return platform::ReadFileShared(path, kMaxFileBytes + 1);
}

}  // namespace

Loaded LoadJournal(const CAppBase& app) {
    Loaded loaded;
    loaded.path = JournalPath(app);
    loaded.configured = !loaded.path.empty();
    if (!loaded.configured) return loaded;
    platform::FileReadResult older = ReadJournalFile(loaded.path + ".1");
    platform::FileReadResult current = ReadJournalFile(loaded.path);
    loaded.readable = current.opened;
    if (!current.opened) loaded.failure = job::OpenFailureDescription(loaded.path, current.cause);
    std::vector<Source> sources;
    for (auto* file : {&older, &current}) {
        if (!file->opened) continue;
        if (file->bytes.size() > kMaxFileBytes) {
            file->bytes.resize(kMaxFileBytes);
            loaded.truncated = true;
        }
    }
    if (older.opened) sources.push_back({loaded.path + ".1", older.bytes});
    if (current.opened) sources.push_back({loaded.path, current.bytes});
    loaded.book = ParseJournal(sources);
    return loaded;
}

}  // namespace journal
