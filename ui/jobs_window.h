// `vantor.exe /JOBS`: the window over the journal. The Windows build shows
// it (ui/win32/jobs_window.cpp); the host build prints its two tables
// (ui/host/jobs_console.cpp). It runs no job, remembers nothing and writes
// nothing but the re-run records of "Run line again".
#pragma once

class CAppBase;

// Shows the recent jobs of the journal Settings/JournalFile names; returns
// when the window closes.
void ShowJobs(CAppBase& app);
