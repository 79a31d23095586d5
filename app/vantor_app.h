// The connector's application object. One per process: it decides from the
// command-line text alone between a print job (text not empty) and the
// configuration dialog (text empty), does that one thing and ends.
#pragma once

#include <string>

#include "job/job_events.h"
#include "platform/framework.h"

class CVantorApp : public CAppBase {
public:
    using CAppBase::CAppBase;
    bool InitInstance() override;

private:
    // A print job: the debug box when asked for, the journal when one is
    // set, the job, and its exit status when asked for.
    void RunPrintJob(const std::string& commandLine);
    // A dry run of `commandLine` (without its /DRYRUN): the job planned, its
    // plan shown, nothing started or written.
    void RunDryRun(const std::string& commandLine);
    // A health check (/CHECK) of the installation and of the job in
    // `commandLine` (without its /CHECK): its report shown, its exit code
    // (app/health_check.h) set; nothing started, written or asked.
    void RunHealthCheck(const std::string& commandLine);
};

// The common-control classes registered at start-up (ICC_WIN95_CLASSES).
inline constexpr unsigned kCommonControlClasses = 0xFF;

// Caption of the job-mode debug box.
inline constexpr const char* kDebugCaption = "Debug";

// Exit codes with Settings/ExitStatus=1. 1 is taken: the program stops with
// it at once when its path is too long.
inline constexpr int kExitSomeLinesFailed = 10;     // some lines failed, others printed
inline constexpr int kExitNoLineSucceeded = 11;     // no line ran successfully (or there was none)
inline constexpr int kExitDataFileUnreadable = 12;  // the data file could not be read
inline constexpr int kExitStopped = 13;             // stopped on request before its last line

// The exit code that tells the host what happened in a job: an unreadable
// data file first, then a job stopped on request, then a job without a
// successful line (or without any line), then a job with failed lines; 0
// when every line's runners exited 0. A line whose manual printer choice was
// cancelled counts neither way.
int ExitStatusOf(const JobSummary& summary);
