#include "job/journal_reader.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <unordered_map>
#include <utility>

#include "job/command_line.h"
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
    if (text == "ended-on-request") return RunOutcome::Ended;
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

// The parse of one book: where a value stands, and its text for the few
// fields read as numbers or keys.
class Reader {
public:

    // The file at hand begins at `base` in the book's count of bytes.
    void SetBase(std::uint32_t base, std::string_view bytes) {
        base_ = base;
        bytes_ = bytes;
    }
    Span SpanOf(std::string_view value) const {
        return Span{base_ + static_cast<std::uint32_t>(value.data() - bytes_.data()),
                    static_cast<std::uint32_t>(value.size())};
    }
    Span FieldSpan(const Fields& fields, std::string_view name) const {
        const std::string_view* value = Find(fields, name);
        return value == nullptr ? Span{} : SpanOf(*value);
    }
    static std::string FieldOr(const Fields& fields, std::string_view name, std::string fallback = {}) {
        const std::string_view* value = Find(fields, name);
        return value == nullptr ? fallback : UnescapeValue(*value);
    }

    Run RunOf(std::string_view time, const Fields& f, bool rerun) const {
        Run run;
        run.time = SpanOf(time);
        run.line = SmallNumberOr(FieldOr(f, "line"), 0);
        run.runner = FieldSpan(f, "runner");
        run.commandLine = FieldSpan(f, "cmdline");
        run.outcomeText = FieldSpan(f, "outcome");
        run.outcome = OutcomeOf(FieldOr(f, "outcome"));
        if (const std::string_view* exit = Find(f, "exit")) {
            run.hasExit = true;
            run.exitCode = NumberOr(UnescapeValue(*exit), -1);
        }
        // A runner the connector chose not to start has its reason instead.
        run.error = Find(f, "error") != nullptr ? FieldSpan(f, "error") : FieldSpan(f, "reason");
        run.ms = NumberOr(FieldOr(f, "ms"), -1);
        run.rerun = rerun;
        return run;
    }

private:
    std::uint32_t base_ = 0;
    std::string_view bytes_;
};

// Counts the lines of a job whose runners (the job's own, not re-runs) all
// exited with 0, and those with a failed runner; once per job, linear in its
// runs.
void CountLines(Job& job, bool failedToo) {
    std::unordered_map<int, std::pair<bool, bool>> lines;  // line -> (all good, one failed)
    lines.reserve(job.runs.size());
    for (const Run& run : job.runs) {
        if (run.rerun) continue;
        auto& [good, bad] = lines.try_emplace(run.line, true, false).first->second;
        good = good && run.Succeeded();
        bad = bad || run.Failed();
    }
    job.printedLines = 0;
    int failed = 0;
    for (const auto& [line, state] : lines) {
        job.printedLines += state.first;
        failed += state.second;
    }
    if (failedToo) job.failedLines = failed;
}

// Where the records of `bytes`, the last part of a file of `fileSize` bytes,
// begin: after their first line end (or at their end without one); 0 when
// they are the whole file.
std::size_t FirstRecordOf(std::string_view bytes, std::uint64_t fileSize) {
    if (fileSize <= bytes.size()) return 0;
    const std::size_t end = bytes.find('\n');
    return end == std::string_view::npos ? bytes.size() : end + 1;
}

}  // namespace

JobOutcome Job::Outcome() const {
    if (!dataRead) return JobOutcome::DataUnreadable;
    if (!ended) return JobOutcome::NoEnd;
    if (stoppedAt >= 0) return JobOutcome::Stopped;
    // As the exit status counts a job (app/vantor_app.h, ExitStatusOf).
    if (lines == 0 || (failedLines > 0 && printedLines == 0)) return JobOutcome::NothingPrinted;
    if (failedLines > 0) return JobOutcome::SomeFailed;
    return JobOutcome::AllPrinted;
}

std::string_view Book::Raw(Span span) const {
    std::uint64_t at = span.at;
    for (const Source& file : files) {
        if (at < file.bytes.size()) return std::string_view(file.bytes).substr(at, span.size);
        at -= file.bytes.size();
    }
    return std::string_view();
}

std::string Book::Text(Span span) const { return UnescapeValue(Raw(span)); }

std::string Book::KeyOf(const Job& job) const { return Text(job.time) + " " + Text(job.pid); }

std::string Book::NoteText(const Note& note) const {
    std::string text = Text(note.about);
    if (!note.keys.empty()) text += " " + Text(note.keys);
    const std::string error = Text(note.error), detail = Text(note.detail);
    return text + ": " + (error.empty() ? detail : detail.empty() ? error : error + " (" + detail + ")");
}

std::uint64_t Book::LeftOutBytes() const {
    std::uint64_t total = 0;
    for (std::uint64_t bytes : leftOut) total += bytes;
    return total;
}

std::string UnescapeValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        // Up to the next '%' as it stands.
        const std::size_t escape = std::min(value.find('%', i), value.size());
        out.append(value.substr(i, escape - i));
        i = escape;
        if (i == value.size()) break;
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

Book ParseJournal(std::vector<Source> sources) {
    Book book;
    book.files = std::move(sources);
    Reader reader;
    std::map<std::string, std::size_t, std::less<>> open;  // pid -> its job without an end yet
    // "<time>\t<pid>" of its job-start record, as it stands in the bytes -> job
    std::unordered_map<std::string_view, std::size_t> byKey;
    // pid -> (job, run) of its re-run started but not yet ended
    std::map<std::string, std::pair<std::size_t, std::size_t>, std::less<>> rerunning;
    std::vector<std::string_view> columns;  // of the record at hand
    Fields fields;
    std::uint64_t base = 0;
    for (std::size_t file = 0; file < book.files.size(); ++file) {
        const std::string_view bytes = book.files[file].bytes;
        if (base + bytes.size() > UINT32_MAX) break;  // beyond what a Span can point at
        reader.SetBase(static_cast<std::uint32_t>(base), bytes);
        base += bytes.size();
        std::size_t start = FirstRecordOf(bytes, book.files[file].fileSize);
        book.leftOut.push_back(book.files[file].fileSize > bytes.size()
                                   ? book.files[file].fileSize - bytes.size() + start
                                   : 0);
        int lineNumber = 0;
        while (start < bytes.size()) {
            ++lineNumber;
            std::size_t end = bytes.find('\n', start);
            const bool whole = end != std::string_view::npos;
            if (!whole) end = bytes.size();
            std::string_view line = bytes.substr(start, end - start);
            start = end + 1;
            auto problem = [&](Damage damage) { book.problems.push_back({file, lineNumber, damage}); };
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
                kind != kRerunKind && kind != kRerunStartKind) {
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
            const std::string_view time = columns[0];
            const std::string_view pid = columns[1];
            if (kind == "job-start") {
                Job job;
                job.time = reader.SpanOf(time);
                job.pid = reader.SpanOf(pid);
                job.user = reader.FieldSpan(fields, "user");
                job.commandLine = reader.FieldSpan(fields, "cmdline");
                job.templateName = reader.FieldSpan(fields, "template");
                job.dataFile = reader.FieldSpan(fields, "datafile");
                job.lines = SmallNumberOr(Reader::FieldOr(fields, "lines"), 0);
                job.dataRead = Reader::FieldOr(fields, "data", "read") != "unreadable";
                job.dataError = reader.FieldSpan(fields, "error");
                // An earlier job of this process id that is still open never
                // wrote its end: it stays without one.
                const auto it = open.find(pid);
                if (it == open.end())
                    open.emplace(std::string(pid), book.jobs.size());
                else
                    it->second = book.jobs.size();
                // The time and the process id stand side by side, a tab apart.
                byKey[std::string_view(time.data(), time.size() + 1 + pid.size())] = book.jobs.size();
                book.jobs.push_back(std::move(job));
                continue;
            }
            if (kind == kRerunKind || kind == kRerunStartKind) {
                std::string key = Reader::FieldOr(fields, kRerunOfField);
                const std::size_t blank = key.find(' ');
                if (blank != std::string::npos) key[blank] = '\t';
                const auto it = byKey.find(key);
                if (it == byKey.end()) {
                    problem(Damage::Foreign);
                    continue;
                }
                std::vector<Run>& runs = book.jobs[it->second].runs;
                Run run = reader.RunOf(time, fields, true);
                if (kind == kRerunStartKind) {
                    run.outcome = RunOutcome::Started;
                    rerunning[std::string(pid)] = {it->second, runs.size()};
                    runs.push_back(run);
                    continue;
                }
                // The outcome takes the place of its own start record.
                const auto started = rerunning.find(pid);
                if (started != rerunning.end() && started->second.first == it->second &&
                    runs[started->second.second].line == run.line) {
                    runs[started->second.second] = run;
                    rerunning.erase(started);
                } else {
                    runs.push_back(run);
                }
                continue;
            }
            const auto it = open.find(pid);
            if (it == open.end()) {
                problem(Damage::Foreign);  // its job-start is not in the journal
                continue;
            }
            Job& job = book.jobs[it->second];
            if (kind == "run") {
                job.runs.push_back(reader.RunOf(time, fields, false));
            } else if (kind == "note") {
                job.notes.push_back({reader.FieldSpan(fields, "about"), reader.FieldSpan(fields, "keys"),
                                     reader.FieldSpan(fields, "error"), reader.FieldSpan(fields, "detail")});
            } else {
                job.ended = true;
                job.lines = SmallNumberOr(Reader::FieldOr(fields, "lines"), job.lines);
                job.failedLines = SmallNumberOr(Reader::FieldOr(fields, "failed"), 0);
                job.stoppedAt = SmallNumberOr(Reader::FieldOr(fields, "stopped-at"), -1);
                job.ms = NumberOr(Reader::FieldOr(fields, "ms"), -1);
                open.erase(it);
            }
        }
    }
    // Every job's lines, once; a job without an end has its failed lines as
    // far as its runs tell.
    for (Job& job : book.jobs) {
        job.runs.shrink_to_fit();
        CountLines(job, !job.ended);
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

}  // namespace journal
