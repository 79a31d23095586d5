// The progress of a long job, off unless Settings/ShowProgress is 1: on
// Windows a window with "Label N of M", a bar, the time elapsed and left and
// a Stop button (ui/win32/progress_window.cpp); on the host build one line on
// the terminal that standard error is, rewritten in place, with Ctrl-C (or
// SIGTERM) as its Stop (ui/host/progress_console.cpp). Either hears the job
// as one more listener of its events and is the job's watch: the job asks it
// before each line whether to stop, and the runner's wait hands over to it
// while a label program runs. Stop never ends the running label program; only
// an explicit "End it now" (a second Ctrl-C) does.
#pragma once

#include <memory>

#include "job/job_events.h"
#include "platform/framework.h"

class JobProgress : public JobEvents, public JobWatch {};

// The progress of the job `app` is about to run. Nothing is shown for a job
// of one line, nor before the job has run for kProgressDelayMs with lines
// left.
std::unique_ptr<JobProgress> CreateJobProgress(CAppBase& app);
