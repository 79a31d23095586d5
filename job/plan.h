// A dry run's plan: what a job would do, line by line, as a text for the
// administrator (the application object runs the job in planning mode with
// this as its listener and shows the text at the end). Every value in it is
// escaped as the header says; a template that does not exist, a printer the
// system does not list and one it lists only for a terminal-server session
// are marked on the line that uses them.
#pragma once

#include <optional>
#include <string>

#include "job/job_events.h"
#include "launch/printer_match.h"

class JobPlan final : public JobEvents {
public:
    // `header`: lines that come first (what the job reads before it starts).
    explicit JobPlan(std::string header);

    void JobStarted(const JobStart& start) override;
    void Noted(const JobNote& note) override;
    void LineFinished(const LineDone& line) override;
    void JobEnded(const JobEnd& end) override;

    const std::string& Text() const { return text_; }

private:
    // How the system lists a printer of that name (the list read once a plan).
    launch::PrinterMatch Match(const std::string& name);

    std::string text_;
    std::optional<platform::PrinterList> printers_;
};
