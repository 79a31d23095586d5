// A dry run's plan: what a job would do, line by line, as a text for the
// administrator (the application object runs the job in planning mode with
// this as its listener and shows the text at the end).
#pragma once

#include <string>

#include "job/job_events.h"

class JobPlan final : public JobEvents {
public:
    // `header`: lines that come first (what the job reads before it starts).
    explicit JobPlan(std::string header);

    void JobStarted(const JobStart& start) override;
    void LineFinished(const LineDone& line) override;
    void JobEnded(const JobEnd& end) override;

    const std::string& Text() const { return text_; }

private:
    std::string text_;
};
