#include "ui/jobs_view.h"

#include <algorithm>
#include <functional>
#include <map>

#include "platform/platform.h"
#include "ui/what_to_do.h"

namespace ui {

namespace {

// "2026-12-08T14:03:05.123+01:00" as "2026-12-08 14:03:05".
std::string ShortTime(const std::string& time) {
    std::string shown = time.substr(0, 19);
    if (shown.size() > 10 && shown[10] == 'T') shown[10] = ' ';
    return shown;
}

std::string Duration(std::int64_t ms) {
    if (ms < 0) return std::string();
    if (ms < 1000) return std::to_string(ms) + " ms";
    const std::int64_t tenths = (ms + 50) / 100;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool Holds(std::string_view text, const std::string& lowerNeedle) {
    if (lowerNeedle.empty()) return true;
    if (text.size() < lowerNeedle.size()) return false;
    for (std::size_t i = 0; i + lowerNeedle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < lowerNeedle.size() && Lower(text[i + k]) == lowerNeedle[k]) ++k;
        if (k == lowerNeedle.size()) return true;
    }
    return false;
}

const char* DamageText(journal::Damage damage) {
    switch (damage) {
        case journal::Damage::Torn: return "torn";
        case journal::Damage::Foreign: return "not a record of this journal";
        case journal::Damage::OverLong: return "too long";
    }
    return "?";
}


std::size_t Characters(const std::string& utf8) {
    std::size_t n = 0;
    for (char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

// Rows of cells as aligned text, written through `write`: two blanks
// between columns, none after the last, a line of dashes under the titles;
// every cell Shown. The rows are made twice, once to measure and once to
// write, and never all held: a journal may have hundreds of thousands.
template <std::size_t N>
void Table(const JobsColumn (&columns)[N], std::size_t count,
           const std::function<std::vector<std::string>(std::size_t)>& rowAt, const std::string& indent,
           const std::function<void(std::string_view)>& write) {
    std::vector<std::string> titles;
    for (const JobsColumn& c : columns) titles.push_back(c.title);
    std::vector<std::size_t> widths(N, 0);
    auto shown = [](std::vector<std::string> row) {
        for (std::string& cell : row) cell = Shown(cell);
        return row;
    };
    auto measure = [&](const std::vector<std::string>& row) {
        for (std::size_t c = 0; c < N && c < row.size(); ++c)
            widths[c] = std::max(widths[c], Characters(row[c]));
    };
    measure(titles);
    for (std::size_t r = 0; r < count; ++r) measure(shown(rowAt(r)));
    auto line = [&](const std::vector<std::string>& row) {
        std::string out = indent;
        for (std::size_t c = 0; c < N; ++c) {
            const std::string& cell = c < row.size() ? row[c] : std::string();
            out += cell;
            if (c + 1 < N) out += std::string(widths[c] - Characters(cell) + 2, ' ');
        }
        while (!out.empty() && out.back() == ' ') out.pop_back();
        write(out + "\n");
    };
    line(titles);
    std::vector<std::string> dashes;
    for (std::size_t c = 0; c < N; ++c) dashes.push_back(std::string(widths[c], '-'));
    line(dashes);
    for (std::size_t r = 0; r < count; ++r) line(shown(rowAt(r)));
}

// Whether the value at `span` holds `lowerNeedle`: searched in the bytes as
// they stand when they hold no escape, read back otherwise.
bool SpanHolds(const journal::Book& book, journal::Span span, const std::string& lowerNeedle) {
    const std::string_view raw = book.Raw(span);
    if (raw.find('%') == std::string_view::npos) return Holds(raw, lowerNeedle);
    return Holds(book.Text(span), lowerNeedle);
}

// The length of the UTF-8 sequence at `i` and its code point; 0 when the
// bytes there are no valid sequence.
std::size_t Utf8At(std::string_view s, std::size_t i, char32_t& cp) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    std::size_t n = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    cp = b & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (std::size_t k = 1; k < n; ++k) {
        const unsigned char c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    const bool shortest = n == 2 || (n == 3 && cp >= 0x800) || (n == 4 && cp >= 0x10000 && cp <= 0x10FFFF);
    return shortest && !(cp >= 0xD800 && cp <= 0xDFFF) ? n : 0;
}

// Control characters, and format characters and separators that hide or
// reorder the text beside them (bidirectional overrides, zero-width ones).
bool Hides(char32_t cp) {
    static constexpr char32_t kRanges[][2] = {
        {0x00, 0x1F},       {0x7F, 0x9F},       {0xAD, 0xAD},       {0x600, 0x605},   {0x61C, 0x61C},
        {0x6DD, 0x6DD},     {0x70F, 0x70F},     {0x8E2, 0x8E2},     {0x180E, 0x180E}, {0x200B, 0x200F},
        {0x2028, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF}, {0xFFF9, 0xFFFB},
        {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3},
        {0x1D173, 0x1D17A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F}};
    for (const auto& range : kRanges)
        if (cp >= range[0] && cp <= range[1]) return true;
    return false;
}

}  // namespace

std::string OutcomeText(const journal::Job& job) {
    if (job.Outcome() == journal::JobOutcome::Stopped)
        return "stopped on request after line " + std::to_string(job.stoppedAt);
    return JobOutcomeText(job.Outcome());
}

std::string Shown(std::string_view utf8) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        // Most text is printable ASCII: taken a run at a time.
        std::size_t plain = i;
        while (plain < utf8.size() && utf8[plain] >= 0x20 && utf8[plain] < 0x7F && utf8[plain] != '%') ++plain;
        out.append(utf8, i, plain - i);
        i = plain;
        if (i == utf8.size()) break;
        char32_t cp = 0;
        std::size_t n = Utf8At(utf8, i, cp);
        const bool escape = n == 0 || cp == '%' || Hides(cp);
        if (n == 0) n = 1;
        for (std::size_t k = 0; k < n; ++k) {
            const unsigned char b = static_cast<unsigned char>(utf8[i + k]);
            if (escape) {
                out += '%';
                out += kHex[b >> 4];
                out += kHex[b & 0xF];
            } else {
                out += static_cast<char>(b);
            }
        }
        i += n;
    }
    return out;
}

const char* JobOutcomeText(journal::JobOutcome outcome) {
    switch (outcome) {
        case journal::JobOutcome::AllPrinted: return "all printed";
        case journal::JobOutcome::SomeFailed: return "some lines failed";
        case journal::JobOutcome::NothingPrinted: return "nothing printed";
        case journal::JobOutcome::DataUnreadable: return "data file unreadable";
        case journal::JobOutcome::Stopped: return "stopped on request";
        case journal::JobOutcome::NoEnd: return "still running or ended without its end record";
    }
    return "?";
}

const char* RunOutcomeText(journal::RunOutcome outcome) {
    switch (outcome) {
        case journal::RunOutcome::Exited: return "exited";
        case journal::RunOutcome::NotStarted: return "not started";
        case journal::RunOutcome::TimedOut: return "timed out";
        case journal::RunOutcome::Cancelled: return "cancelled";
        case journal::RunOutcome::EndUnknown: return "end unknown";
        case journal::RunOutcome::Ended: return "ended on request";
        case journal::RunOutcome::Started: return "started, no end recorded";
        case journal::RunOutcome::Other: break;
    }
    return "";
}

std::vector<std::string> JobRow(const journal::Book& book, const journal::Job& job) {
    return {ShortTime(book.Text(job.time)),
            book.Text(job.user),
            book.Text(job.templateName),
            book.Text(job.dataFile),
            std::to_string(job.lines),
            std::to_string(job.failedLines),
            Duration(job.ms),
            OutcomeText(job)};
}

std::vector<std::string> RunRow(const journal::Book& book, const journal::Run& run) {
    std::string outcome = RunOutcomeText(run.outcome);
    if (outcome.empty()) outcome = book.Text(run.outcomeText);
    if (run.rerun) outcome += " (run again " + ShortTime(book.Text(run.time)) + ")";
    return {std::to_string(run.line),
            book.Text(run.runner),
            outcome,
            run.hasExit ? std::to_string(run.exitCode) : std::string(),
            book.Text(run.error),
            Duration(run.ms),
            book.Text(run.commandLine)};
}

std::vector<std::size_t> ListedJobs(const journal::Book& book, const std::string& filter,
                                    bool onlyFailed) {
    std::string needle;
    for (char c : filter) needle += Lower(c);
    std::vector<std::size_t> listed;
    for (std::size_t i = book.jobs.size(); i-- > 0;) {
        const journal::Job& job = book.jobs[i];
        if (onlyFailed && !job.Failed()) continue;
        bool match = needle.empty() || SpanHolds(book, job.templateName, needle) ||
                     SpanHolds(book, job.dataFile, needle) || SpanHolds(book, job.user, needle) ||
                     SpanHolds(book, job.commandLine, needle);
        for (std::size_t r = 0; !match && r < job.runs.size(); ++r)
            match = SpanHolds(book, job.runs[r].commandLine, needle);
        if (match) listed.push_back(i);
    }
    return listed;
}

std::string RunWhatToDo(const journal::Book& book, const journal::Run& run) {
    return RunWhatToDo(book.Text(run.runner), run.outcome, run.hasExit, run.exitCode, book.Text(run.error),
                       platform::StartsWindowsPrograms());
}

std::string JobWhatToDo(const journal::Book& book, const journal::Job& job) {
    if (!job.dataRead)
        return "The data file could not be read: " + book.Text(job.dataError) + " " + DataFileWhatToDo();
    if (job.ended && job.lines == 0) return "The data file held no line. " + DataFileWhatToDo();
    return std::string();
}

std::string JobText(const journal::Book& book, const journal::Job& job) {
    const std::vector<std::string> row = JobRow(book, job);
    std::string text;
    for (std::size_t c = 0; c < row.size(); ++c)
        text += std::string(kJobColumns[c].title) + ": " + row[c] + "\r\n";
    text += "Process id: " + book.Text(job.pid) + "\r\n";
    text += "Command line: " + book.Text(job.commandLine) + "\r\n";
    if (!job.dataRead) text += "Data file error: " + book.Text(job.dataError) + "\r\n";
    // (The data file's error stands on the line above.)
    if (const std::string advice = job.dataRead ? JobWhatToDo(book, job) : DataFileWhatToDo(); !advice.empty())
        text += "What to do: " + advice + "\r\n";
    for (const journal::Note& note : job.notes) text += "Note: " + book.NoteText(note) + "\r\n";
    for (const journal::Run& run : job.runs) {
        const std::vector<std::string> r = RunRow(book, run);
        text += "\r\nLine " + r[0] + ", " + r[1] + ": " + r[2];
        if (!r[3].empty()) text += ", exit code " + r[3];
        if (!r[4].empty()) text += ", " + r[4];
        if (!r[5].empty()) text += ", " + r[5];
        text += "\r\n  " + (r[6].empty() ? std::string("(no command line)") : r[6]) + "\r\n";
        if (const std::string advice = RunWhatToDo(book, run); !advice.empty()) text += "  What to do: " + advice + "\r\n";
    }
    return text;
}

std::string JournalStatus(const journal::Loaded& loaded, const std::string& settingsFile) {
    const std::string howToTurnOn =
        "To turn the journal on, set JournalFile in section [Settings] of " + settingsFile +
        " to a file every printing user may write to, for example JournalFile=journal.log; "
        "every job from then on appends its records to it.";
    if (!loaded.configured) return "The job journal is off: no JournalFile is set. " + howToTurnOn;
    std::string status;
    if (!loaded.readable) {
        status = "The journal " + loaded.path + " cannot be read: " + loaded.failure +
                 " If no job has run since JournalFile was set, there is nothing to show yet. " +
                 howToTurnOn;
        if (loaded.book.jobs.empty()) return status;
        status += " The rotated journal " + loaded.path + ".1 is shown.";
    } else {
        status = "Journal: " + loaded.path + " (and " + loaded.path + ".1), " +
                 std::to_string(loaded.book.jobs.size()) + " jobs.";
    }
    if (const std::uint64_t leftOut = loaded.book.LeftOutBytes(); leftOut > 0) {
        status += " Only the newest " + std::to_string(journal::kMaxFileBytes / (1024 * 1024)) +
                  " MB of each file are read: " + std::to_string(leftOut) + " bytes of older records were left out (";
        const char* separator = "";
        for (std::size_t f = 0; f < loaded.book.files.size() && f < loaded.book.leftOut.size(); ++f) {
            if (loaded.book.leftOut[f] == 0) continue;
            status += separator + std::to_string(loaded.book.leftOut[f]) + " of " + loaded.book.files[f].name;
            separator = ", ";
        }
        status += ").";
    }
    if (!loaded.book.problems.empty()) {
        std::map<journal::Damage, int> counts;
        for (const journal::Problem& p : loaded.book.problems) ++counts[p.damage];
        status += " Records not shown:";
        const char* separator = " ";
        for (const auto& [damage, count] : counts) {
            status += separator + std::to_string(count) + " " + DamageText(damage);
            separator = ", ";
        }
        const journal::Problem& first = loaded.book.problems.front();
        const bool cut = first.file < loaded.book.leftOut.size() && loaded.book.leftOut[first.file] > 0;
        status += " (the first: line " + std::to_string(first.lineNumber) + " of " +
                  (cut ? "the part read of " : "") + loaded.book.files[first.file].name + ").";
    }
    return status;
}

std::string RunAgainQuestion(const job::Rerun& rerun) {
    return "Run line " + std::to_string(rerun.line) + " again? This starts " +
           launch::RunnerName(rerun.runner) + " once more, the program as the settings name it now, the "
           "arguments as the journal recorded them:\n\n" + Shown(rerun.commandLine);
}

std::string RunAgainRefusal(const job::Rerun& rerun) {
    return "Line " + std::to_string(rerun.line) + " was not run again: " + Shown(rerun.refused) +
           ".\n\nThe journal may be written by everyone who prints, so the program that runs comes from "
           "the settings, never from the journal. The recorded command line:\n\n" + Shown(rerun.recorded);
}

void WriteJobsReport(const journal::Loaded& loaded, const std::string& settingsFile,
                     const std::function<void(std::string_view)>& write) {
    write(std::string(kJobsCaption) + "\n" + JournalStatus(loaded, settingsFile) + "\n");
    const journal::Book& book = loaded.book;
    const std::vector<std::size_t> listed = ListedJobs(book, "", false);
    if (listed.empty()) return;
    static constexpr JobsColumn kNumbered[] = {
        {"Job", 0},      kJobColumns[0], kJobColumns[1], kJobColumns[2], kJobColumns[3],
        kJobColumns[4], kJobColumns[5], kJobColumns[6], kJobColumns[7]};
    write("\nJobs, newest first\n");
    Table(kNumbered, listed.size(),
          [&](std::size_t n) {
              std::vector<std::string> row = JobRow(book, book.jobs[listed[n]]);
              row.insert(row.begin(), std::to_string(n + 1));
              return row;
          },
          "", write);
    for (std::size_t n = 0; n < listed.size(); ++n) {
        const journal::Job& job = book.jobs[listed[n]];
        write("\nRuns of job " + std::to_string(n + 1) + "\n");
        if (job.runs.empty())
            write("  (none)\n");
        else
            Table(kRunColumns, job.runs.size(), [&](std::size_t r) { return RunRow(book, job.runs[r]); }, "  ",
                  write);
        for (const journal::Note& note : job.notes) write("  Note: " + Shown(book.NoteText(note)) + "\n");
        for (const journal::Run& run : job.runs)
            if (const std::string advice = RunWhatToDo(book, run); !advice.empty())
                write("  What to do, line " + std::to_string(run.line) + " (" + Shown(book.Text(run.runner)) +
                      "): " + Shown(advice) + "\n");
    }
}

std::string JobsReport(const journal::Loaded& loaded, const std::string& settingsFile) {
    std::string text;
    WriteJobsReport(loaded, settingsFile, [&](std::string_view piece) { text += piece; });
    return text;
}

}  // namespace ui
