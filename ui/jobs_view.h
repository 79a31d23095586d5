// The window over the journal as texts, for both builds: the columns and
// rows of the jobs list and of the runs list, the filter, the text "Copy"
// puts on the clipboard and what the window says about the journal itself.
// The Windows build shows them in list views (ui/win32/jobs_window.cpp); the
// host build prints them as two tables (ui/host/jobs_console.cpp). Texts are
// UTF-8.
#pragma once

#include <string>
#include <vector>

#include "job/journal_reader.h"

class CAppBase;

namespace ui {

// Caption of the window.
inline constexpr const char* kJobsCaption = "Recent jobs - Priority - Tarvel Connector";

struct JobsColumn {
    const char* title;
    int width;  // pixels at 96 DPI in the dialog font (6 pixels a dialog base unit)
};

inline constexpr JobsColumn kJobColumns[] = {
    {"Started", 120}, {"User", 70},   {"Template", 80},  {"Data file", 150},
    {"Lines", 45},    {"Failed", 45}, {"Duration", 60}, {"Outcome", 200}};
inline constexpr JobsColumn kRunColumns[] = {
    {"Line", 40},  {"Runner", 85},   {"Outcome", 110},      {"Exit code", 60},
    {"Error", 150}, {"Duration", 60}, {"Command line", 500}};

// The texts of a job's row and of a run's row, one per column above.
std::vector<std::string> JobRow(const journal::Job& job);
std::vector<std::string> RunRow(const journal::Run& run);

// The outcome texts.
const char* JobOutcomeText(journal::JobOutcome outcome);
const char* RunOutcomeText(journal::RunOutcome outcome);

// The jobs to list, newest first, as indices into `book.jobs`: those whose
// template, data file, user or a command line (the host's or a runner's)
// holds `filter` (ASCII letters in any case; an empty filter takes all), and
// with `onlyFailed` only jobs that did not print every line.
std::vector<std::size_t> ListedJobs(const journal::Book& book, const std::string& filter,
                                    bool onlyFailed);

// What to do about a run that went wrong (ui/what_to_do.h), for the window's
// selected run; "" for one that needs nothing.
std::string RunWhatToDo(const journal::Run& run);

// What to do about the job itself, for the window when no run is selected:
// a data file that could not be read, or that held no line; "" otherwise.
std::string JobWhatToDo(const journal::Job& job);

// The job as readable text for a helpdesk ticket: its fields, one a line,
// then its runs with their command lines and, for each run that went wrong,
// what to do. Lines end in CR LF.
std::string JobText(const journal::Job& job);

// What the window says above the lists: where the journal is and what could
// not be read of it; or, without a journal, that it is off (or unreadable)
// and how to turn it on. `settingsFile` is the path of vantor.ini.
std::string JournalStatus(const journal::Loaded& loaded, const std::string& settingsFile);

// The window's texts as two tables (the host build's /JOBS): the status, the
// jobs newest first, numbered, then the runs of each. Columns are as wide as
// their widest cell in characters; the command line comes last, never cut.
std::string JobsReport(const journal::Loaded& loaded, const std::string& settingsFile);

// The question before "Run line again".
std::string RunAgainQuestion(const journal::Run& run);

}  // namespace ui
