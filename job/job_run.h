// The job run: one print job given on the command line.
#pragma once

#include <string>

class CVantorApp;

// Parses `commandLine`, records the job in LastJob and launches a runner for
// every data line, one after another.
void RunJob(CVantorApp& app, const std::string& commandLine);
