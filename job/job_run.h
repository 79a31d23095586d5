// The job run: one print job given on the command line.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "job/job_events.h"

class CAppBase;

// How long, in all, a job process may wait for what other processes hold
// (platform::LimitWaitsForOthers): whoever can read the settings file can
// lock it, and no one may hold up a print job for long.
inline constexpr std::chrono::seconds kJobWaitBudget{30};

// Parses `commandLine` (the text after the program name, exactly as the host
// passed it), records the job in LastJob and launches a runner for every
// data line, one after another. Writes to LastJob, in order: CmdLine;
// Template and DataFile as their tokens come; NumLines; then for every line
// its record Param1..Param20, Copies, Copies_<line> and whatever its launch
// records, which reach the file as one update before each runner starts
// (settings/job_record.h). When it ends, its writes are made lasting.
// Reports to the application's events, when it has any. Before each line
// asks the application's watch, when it has one, whether to stop: then no
// further line starts (the summary says so). Returns what happened.
JobSummary RunJob(CAppBase& app, const std::string& commandLine);

// The copies of one data line.
struct CopiesChoice {
    std::string text;  // the copies text recorded for the line
    int number = 1;    // the copies number handed to the launch
};

// The copies of a line by the copies policy (Settings/CopiesType):
// 1: the line's last field; 2: field 21; any other: the last field when it
// reads as a non-zero number, else field 21. The number is the text's leading
// integer; an empty text keeps `previous` (under the automatic policy, the 0
// its last field just gave). `lastField` and `field21` read the line.
CopiesChoice ChooseCopies(int policy, int previous, const std::function<std::string()>& lastField,
                          const std::function<std::string()>& field21);
