#include "ui/jobs_view.h"

#include <algorithm>
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

bool Holds(const std::string& text, const std::string& lowerNeedle) {
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

// Rows of cells as aligned text: two blanks between columns, none after
// the last, a line of dashes under the titles.
template <std::size_t N>
std::string Table(const JobsColumn (&columns)[N], const std::vector<std::vector<std::string>>& rows,
                  const std::string& indent) {
    std::vector<std::string> titles;
    for (const JobsColumn& c : columns) titles.push_back(c.title);
    std::vector<std::size_t> widths(N, 0);
    auto measure = [&](const std::vector<std::string>& row) {
        for (std::size_t c = 0; c < N && c < row.size(); ++c)
            widths[c] = std::max(widths[c], Characters(row[c]));
    };
    measure(titles);
    for (const auto& row : rows) measure(row);
    auto line = [&](const std::vector<std::string>& row) {
        std::string out = indent;
        for (std::size_t c = 0; c < N; ++c) {
            const std::string& cell = c < row.size() ? row[c] : std::string();
            out += cell;
            if (c + 1 < N) out += std::string(widths[c] - Characters(cell) + 2, ' ');
        }
        while (!out.empty() && out.back() == ' ') out.pop_back();
        return out + "\n";
    };
    std::string text = line(titles);
    std::vector<std::string> dashes;
    for (std::size_t c = 0; c < N; ++c) dashes.push_back(std::string(widths[c], '-'));
    text += line(dashes);
    for (const auto& row : rows) text += line(row);
    return text;
}

}  // namespace

const char* JobOutcomeText(journal::JobOutcome outcome) {
    switch (outcome) {
        case journal::JobOutcome::AllPrinted: return "all printed";
        case journal::JobOutcome::SomeFailed: return "some lines failed";
        case journal::JobOutcome::NothingPrinted: return "nothing printed";
        case journal::JobOutcome::DataUnreadable: return "data file unreadable";
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
        case journal::RunOutcome::Other: break;
    }
    return "";
}

std::vector<std::string> JobRow(const journal::Job& job) {
    return {ShortTime(job.time),
            job.user,
            job.templateName,
            job.dataFile,
            std::to_string(job.lines),
            std::to_string(job.failedLines),
            Duration(job.ms),
            JobOutcomeText(job.Outcome())};
}

std::vector<std::string> RunRow(const journal::Run& run) {
    std::string outcome = RunOutcomeText(run.outcome);
    if (outcome.empty()) outcome = run.outcomeText;
    if (run.rerun) outcome += " (run again " + ShortTime(run.time) + ")";
    return {std::to_string(run.line),
            run.runner,
            outcome,
            run.hasExit ? std::to_string(run.exitCode) : std::string(),
            run.error,
            Duration(run.ms),
            run.commandLine};
}

std::vector<std::size_t> ListedJobs(const journal::Book& book, const std::string& filter,
                                    bool onlyFailed) {
    std::string needle;
    for (char c : filter) needle += Lower(c);
    std::vector<std::size_t> listed;
    for (std::size_t i = book.jobs.size(); i-- > 0;) {
        const journal::Job& job = book.jobs[i];
        if (onlyFailed && !job.Failed()) continue;
        bool match = Holds(job.templateName, needle) || Holds(job.dataFile, needle) ||
                     Holds(job.user, needle) || Holds(job.commandLine, needle);
        for (const journal::Run& run : job.runs) match = match || Holds(run.commandLine, needle);
        if (match) listed.push_back(i);
    }
    return listed;
}

std::string RunWhatToDo(const journal::Run& run) {
    return RunWhatToDo(run.runner, run.outcome, run.hasExit, run.exitCode, run.error,
                       platform::StartsWindowsPrograms());
}

std::string JobWhatToDo(const journal::Job& job) {
    if (!job.dataRead) return "The data file could not be read: " + job.dataError + " " + DataFileWhatToDo();
    if (job.ended && job.lines == 0) return "The data file held no line. " + DataFileWhatToDo();
    return std::string();
}

std::string JobText(const journal::Job& job) {
    const std::vector<std::string> row = JobRow(job);
    std::string text;
    for (std::size_t c = 0; c < row.size(); ++c)
        text += std::string(kJobColumns[c].title) + ": " + row[c] + "\r\n";
    text += "Process id: " + job.pid + "\r\n";
    text += "Command line: " + job.commandLine + "\r\n";
    if (!job.dataRead) text += "Data file error: " + job.dataError + "\r\n";
    // (The data file's error stands on the line above.)
    if (const std::string advice = job.dataRead ? JobWhatToDo(job) : DataFileWhatToDo(); !advice.empty())
        text += "What to do: " + advice + "\r\n";
    for (const std::string& note : job.notes) text += "Note: " + note + "\r\n";
    for (const journal::Run& run : job.runs) {
        const std::vector<std::string> r = RunRow(run);
        text += "\r\nLine " + r[0] + ", " + r[1] + ": " + r[2];
        if (!r[3].empty()) text += ", exit code " + r[3];
        if (!r[4].empty()) text += ", " + r[4];
        if (!r[5].empty()) text += ", " + r[5];
        text += "\r\n  " + (r[6].empty() ? std::string("(no command line)") : r[6]) + "\r\n";
        if (const std::string advice = RunWhatToDo(run); !advice.empty()) text += "  What to do: " + advice + "\r\n";
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
    if (loaded.truncated)
        status += " Only the first " + std::to_string(journal::kMaxFileBytes / (1024 * 1024)) +
                  " MB of a file are read.";
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
        status += " (the first: line " + std::to_string(first.lineNumber) + " of " + first.file + ").";
    }
    return status;
}

std::string RunAgainQuestion(const journal::Run& run) {
    return "Run line " + std::to_string(run.line) + " again? This starts " + run.runner +
           " once more with its recorded command line:\n\n" + run.commandLine;
}

std::string JobsReport(const journal::Loaded& loaded, const std::string& settingsFile) {
    std::string text = std::string(kJobsCaption) + "\n" + JournalStatus(loaded, settingsFile) + "\n";
    const std::vector<std::size_t> listed = ListedJobs(loaded.book, "", false);
    if (listed.empty()) return text;
    std::vector<std::vector<std::string>> rows;
    for (std::size_t n = 0; n < listed.size(); ++n) {
        std::vector<std::string> row = JobRow(loaded.book.jobs[listed[n]]);
        row.insert(row.begin(), std::to_string(n + 1));
        rows.push_back(std::move(row));
    }
    static constexpr JobsColumn kNumbered[] = {
        {"Job", 0},      kJobColumns[0], kJobColumns[1], kJobColumns[2], kJobColumns[3],
        kJobColumns[4], kJobColumns[5], kJobColumns[6], kJobColumns[7]};
    text += "\nJobs, newest first\n" + Table(kNumbered, rows, "");
    for (std::size_t n = 0; n < listed.size(); ++n) {
        const journal::Job& job = loaded.book.jobs[listed[n]];
        std::vector<std::vector<std::string>> runs;
        for (const journal::Run& run : job.runs) runs.push_back(RunRow(run));
        text += "\nRuns of job " + std::to_string(n + 1) + "\n";
        text += runs.empty() ? std::string("  (none)\n") : Table(kRunColumns, runs, "  ");
        for (const std::string& note : job.notes) text += "  Note: " + note + "\n";
        for (const journal::Run& run : job.runs)
            if (const std::string advice = RunWhatToDo(run); !advice.empty())
                text += "  What to do, line " + std::to_string(run.line) + " (" + run.runner + "): " + advice + "\n";
    }
    return text;
}

}  // namespace ui
