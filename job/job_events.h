// What a job reports as it goes, for whoever keeps an eye on it: the job
// journal (job/journal.h), a dry run's plan (job/plan.h), the progress window
// (ui/progress.h). The job does not know where its outcomes go; the
// application object holds the listener (CAppBase::Events), which may be a
// JobEventFanOut of several. Each call comes once, in this order: JobStarted,
// then LineFinished for every data line that ran, then JobEnded; Noted as it
// comes.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "launch/launch.h"
#include "platform/platform.h"

// The start of a job, once its command line is parsed and its data file read.
struct JobStart {
    std::chrono::system_clock::time_point started;
    std::string commandLine;  // exactly as received
    std::string templateName;
    std::string dataFile;
    int lineCount = 0;  // the lines the job uses
    bool dataRead = true;             // whether the data file could be read
    std::string dataFailure;          // otherwise why: the open-failure description
};

// One data line, after its launch.
struct LineDone {
    int line = 0;  // counted from 1
    std::vector<std::string> params;
    int lastParamIndex = 0;
    std::string copiesText;
    int copies = 1;
    launch::LaunchOutcome launch;
};

// The outcome of a job.
struct JobSummary {
    int lines = 0;           // lines launched
    int failedLines = 0;     // lines with a runner that did not start, timed out or exited non-zero
    int succeededLines = 0;  // lines whose runners all exited with 0
    bool dataRead = true;    // whether the data file could be read
    // Whether the job was stopped on request before its last line (the
    // progress window's Stop, a terminal's Ctrl-C); `lines` then ran.
    bool stopped = false;

    // Whether no line printed: none ran, or some failed and none succeeded
    // (lines whose print dialog was cancelled count neither way).
    bool NothingPrinted() const { return lines == 0 || (failedLines > 0 && succeededLines == 0); }
};

struct JobEnd {
    std::chrono::system_clock::time_point started;
    std::chrono::system_clock::time_point ended;
    JobSummary summary;
};

// Something the job could not do as it should, though it went on: a record
// that did not reach the settings file, settings writers of other logon
// sessions that do not take turns with this job, a data file that looks
// like UTF-16 written without its byte-order mark, or its time for waiting
// on other processes used up.
struct JobNote {
    std::chrono::system_clock::time_point when;
    std::string about;  // "settings-unsaved", "turn-per-session", "data-without-mark" or "waits-spent"
    std::string keys;   // settings-unsaved: "<section>/<first key>", and "..." for more
    platform::SystemError error;  // the system's error (none for data-without-mark)
    // Without a system error: what was found and what to do; waits-spent:
    // what was held, and by whom when known.
    std::string detail;
};

class JobEvents {
public:
    virtual ~JobEvents() = default;
    virtual void JobStarted(const JobStart&) {}
    // Any time after JobStarted, before JobEnded.
    virtual void Noted(const JobNote&) {}
    virtual void LineFinished(const LineDone&) {}
    virtual void JobEnded(const JobEnd&) {}
};

// Forwards every event to each listener it holds: start events (JobStarted,
// Noted, LineFinished) in the order the listeners were added, JobEnded in the
// reverse order, so that a listener added last sees the job end first (as a
// window closes before the record of the job's end is written). None of the
// listeners knows the others.
class JobEventFanOut final : public JobEvents {
public:
    // Adds `listener`, which must outlive the fan-out; null is passed over.
    void Add(JobEvents* listener);
    bool Empty() const { return listeners_.empty(); }

    void JobStarted(const JobStart& start) override;
    void Noted(const JobNote& note) override;
    void LineFinished(const LineDone& line) override;
    void JobEnded(const JobEnd& end) override;

private:
    std::vector<JobEvents*> listeners_;
};

