// The progress of a long job on the host build: one line on the terminal
// that standard error is, rewritten in place ("\r", the line, erase to its
// end), and Ctrl-C or SIGTERM as Stop: the first stops the job after the
// running line, a second ends that line's runner now. Without a terminal
// nothing is drawn, but the signals still stop the job so.
#include <chrono>
#include <string>

#include "platform/platform.h"
#include "ui/progress.h"
#include "ui/progress_view.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point from) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - from).count();
}

class ConsoleProgress final : public JobProgress {
public:
    ConsoleProgress() : columns_(platform::StandardErrorColumns()) { platform::CountStopRequests(); }

    void JobStarted(const JobStart& start) override {
        started_ = lineStarted_ = Clock::now();
        state_.lines = start.lineCount;
        templateName_ = platform::AnsiToUtf8(start.templateName);
    }

    void LineFinished(const LineDone& line) override {
        state_.done = line.line;
        state_.doneMs = MsSince(started_);
        lineStarted_ = Clock::now();
        Draw();
    }

    void JobEnded(const JobEnd& end) override {
        if (!drawn_) return;
        Refresh();
        platform::WriteStandardError("\r" + templateName_ + ": " + ui::EndText(state_, end.summary.stopped) +
                                     " (" + ui::DurationText(state_.elapsedMs) + ")\x1b[K\n");
    }

    bool StopRequested() override { return platform::StopRequests() > 0; }

    bool WhileRunning() override {
        Draw();
        return platform::StopRequests() > 1;
    }

private:
    void Refresh() {
        state_.elapsedMs = MsSince(started_);
        state_.lineElapsedMs = MsSince(lineStarted_);
        state_.stopping = platform::StopRequests() > 0;
    }

    void Draw() {
        Refresh();
        if (columns_ <= 0 || state_.lines <= 1 || (!drawn_ && !ui::ProgressShows(state_))) return;
        drawn_ = true;
        platform::WriteStandardError("\r" + ui::ConsoleLine(templateName_, state_, columns_) + "\x1b[K");
    }

    const int columns_;
    Clock::time_point started_, lineStarted_;
    ui::ProgressState state_;
    std::string templateName_;
    bool drawn_ = false;
};

}  // namespace

std::unique_ptr<JobProgress> CreateJobProgress(CAppBase&) { return std::make_unique<ConsoleProgress>(); }
