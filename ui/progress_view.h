// What the progress of a job shows, as text: the window's lines and the
// terminal's one line are made here, from the job's figures, so that both
// builds say the same.
#pragma once

#include <string>

namespace ui {

inline constexpr const char* kProgressCaption = "Printing labels - Priority - Tarvel Connector";

// How long a job runs before its progress shows, in milliseconds: a short
// job shows nothing.
inline constexpr long long kProgressDelayMs = 1500;
// How long the running line may go on after Stop before "End it now" is
// offered, in milliseconds.
inline constexpr long long kEndNowAfterMs = 3000;

// A job's figures at one moment.
struct ProgressState {
    int lines = 0;                 // the lines the job uses
    int done = 0;                  // the lines that ran to their end
    long long elapsedMs = 0;       // since the job started
    long long doneMs = 0;          // from the job's start to the end of its last finished line
    long long lineElapsedMs = 0;   // since the running line started
    bool stopping = false;         // Stop was asked for
};

// Whether the progress shows now: the job has run kProgressDelayMs and a
// line after the running one is left (there is something to stop).
bool ProgressShows(const ProgressState& state);

// The time left from the mean time of the finished lines, minus what the
// running one has already taken (never below 0); -1 before a line finished.
long long EstimatedLeftMs(const ProgressState& state);

// "0:42", "12:05", "1:02:03" (whole seconds, rounded down).
std::string DurationText(long long ms);

// "Label 3 of 120"; while stopping "Stopping after label 3 of 120..."; at the
// end "Done: 120 of 120 labels" or "Stopped after label 3 of 120".
std::string LabelText(const ProgressState& state);
std::string EndText(const ProgressState& state, bool stopped);

// "Elapsed 0:42, about 3:10 left"; before a line finished "Elapsed 0:01,
// estimating the time left".
std::string TimeText(const ProgressState& state);

// The terminal's line: "<template>: <label text> - <time text>", with a hint
// how to stop, cut to `columns` - 1 characters.
std::string ConsoleLine(const std::string& templateName, const ProgressState& state, int columns);

}  // namespace ui
