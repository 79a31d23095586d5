// The job run: one print job given on the command line.
#pragma once

#include <string>

class CAppBase;

// Parses `commandLine` (the text after the program name, exactly as the host
// passed it), records the job in LastJob and launches a runner for every
// data line, one after another. Writes to LastJob, in order: CmdLine;
// Template and DataFile as their tokens come; NumLines; then for every line
// Param1..Param20, Copies, Copies_<line> and whatever its launch records.
void RunJob(CAppBase& app, const std::string& commandLine);
