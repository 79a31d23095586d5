#include "ui/progress_view.h"

namespace ui {

bool ProgressShows(const ProgressState& state) {
    return state.elapsedMs >= kProgressDelayMs && state.done + 1 < state.lines;
}

long long EstimatedLeftMs(const ProgressState& state) {
    if (state.done <= 0) return -1;
    const long long mean = state.doneMs / state.done;
    const long long left = mean * (state.lines - state.done) - state.lineElapsedMs;
    return left > 0 ? left : 0;
}

std::string DurationText(long long ms) {
    const long long seconds = ms > 0 ? ms / 1000 : 0;
    auto two = [](long long n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    if (seconds < 3600) return std::to_string(seconds / 60) + ":" + two(seconds % 60);
    return std::to_string(seconds / 3600) + ":" + two(seconds / 60 % 60) + ":" + two(seconds % 60);
}

std::string LabelText(const ProgressState& state) {
    const int running = state.done < state.lines ? state.done + 1 : state.lines;
    const std::string of = std::to_string(running) + " of " + std::to_string(state.lines);
    return state.stopping ? "Stopping after label " + of + "..." : "Label " + of;
}

std::string EndText(const ProgressState& state, bool stopped) {
    const std::string of = std::to_string(state.done) + " of " + std::to_string(state.lines);
    return stopped ? "Stopped after label " + of : "Done: " + of + " labels";
}

std::string TimeText(const ProgressState& state) {
    std::string text = "Elapsed " + DurationText(state.elapsedMs);
    const long long left = EstimatedLeftMs(state);
    if (left < 0) return text + ", estimating the time left";
    return text + ", about " + DurationText(left) + " left";
}

std::string ConsoleLine(const std::string& templateName, const ProgressState& state, int columns) {
    std::string line = templateName + ": " + LabelText(state) + " - " + TimeText(state) +
                       (state.stopping ? " (Ctrl-C again ends the running label now)" : " (Ctrl-C stops after this label)");
    if (columns > 1 && line.size() > static_cast<std::size_t>(columns - 1)) {
        std::size_t end = static_cast<std::size_t>(columns - 1);
        while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;  // whole UTF-8 characters
        line.resize(end);
    }
    return line;
}

}  // namespace ui
