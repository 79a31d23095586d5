// The job journal: a text file to which every job appends what it did, for an
// administrator to read when a label did not print. Off unless
// Settings/JournalFile names it.
//
// One record per line, UTF-8, its fields separated by tabs:
//   <local time>  <process id>  <kind>  <name>=<value>  <name>=<value> ...
// The time is "2026-12-08T14:03:05.123+01:00"; the kinds are:
//   job-start  user, cmdline, template, datafile, lines, data ("read" or
//              "unreadable") and, when unreadable, error; policy-unreadable
//              when a policy value (or the whole policy) could not be read:
//              its names, separated by ", "
//   run        line, runner (api-proxy, label-program, bartender), cmdline,
//              outcome (exited, not-started, timed-out, end-unknown;
//              ended-on-request when the operator ended it while the job
//              was stopping; cancelled when the operator cancelled the print
//              dialog and nothing started), exit (exited), error (not-started and
//              end-unknown: the system's code and text), reason (instead of
//              error, for a runner the connector chose not to start: why),
//              warning (when
//              something went wrong that did not change the outcome),
//              neutralised (the parameters whose values were changed so that a
//              label program reading its command line as ANSI gets the
//              arguments a Unicode one gets), ms
//   job-end    lines, failed, stopped-at (when the job was stopped on
//              request: the last line that ran, as lines), ms
//   rerun-start  a run about to be started again from the window over the
//              journal, written by that window's process before the start:
//              of (the "<time> <pid>" of the job's job-start record), line,
//              runner, cmdline (the line that starts)
//   rerun      the same run's outcome, written after it ended (or instead of
//              a rerun-start, when the window refused to start it): of, then
//              the fields of a run
//   note       about (settings-unsaved: a record that did not reach the
//              settings file, with keys; turn-per-session: settings writers
//              of other logon sessions do not take turns with this job;
//              data-without-mark: the data file looks like UTF-16 without its
//              byte-order mark; waits-spent: the job waited for other
//              processes as long as it may, and from then on waits no more),
//              error (the system's code and text), detail (for a note without
//              a system error, what was found; for waits-spent, what was held
//              and by whom when known)
// In a value, '%', tab, CR and LF are written %25, %09, %0D and %0A, so that a
// record stays one line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "job/job_events.h"

class CAppBase;

class JobJournal final : public JobEvents {
public:
    explicit JobJournal(std::string path);

    void JobStarted(const JobStart& start) override;
    void LineFinished(const LineDone& line) override;
    void JobEnded(const JobEnd& end) override;
    void Noted(const JobNote& note) override;

    // A runner of line `line` of the job whose job-start record is `jobKey`
    // ("<time> <pid>") about to be started again by hand, with the command
    // line `utf8CommandLine`.
    void LineRerunStarting(const std::string& jobKey, int line, launch::Runner runner,
                           const std::string& utf8CommandLine);
    // The same run's outcome, after it ended (or was refused).
    void LineRerun(const std::string& jobKey, int line, const launch::RunnerOutcome& runner);

    const std::string& Path() const { return path_; }

private:
    // Appends one record; a journal that cannot be written is passed over.
    void Append(const std::chrono::system_clock::time_point& when, const char* kind,
                const std::string& fields);

    std::string path_;
    std::string pid_;
};

// The path of the journal Settings/JournalFile names (relative to the
// connector's folder unless absolute); "" when JournalFile is missing or empty.
std::string JournalPath(const CAppBase& app);

// The journal Settings/JournalFile names (relative to the connector's folder
// unless absolute), rotated first when it is larger than Settings/JournalMaxKB
// kilobytes (default 1024); null when JournalFile is missing or empty.
std::unique_ptr<JobJournal> OpenJournal(const CAppBase& app);

// A process outcome's name in a run record: "exited", "not-started",
// "timed-out", "end-unknown", "ended-on-request".
const char* RunOutcomeName(platform::ProcessOutcome::State state);

// One "name=value" field of a record, with its leading tab, the value in
// UTF-8 and escaped: from ANSI text, or from UTF-8 text as it is.
std::string JournalField(const char* name, std::string_view ansiValue);
std::string JournalFieldUtf8(const char* name, std::string_view utf8Value);
