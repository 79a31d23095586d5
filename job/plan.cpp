#include "job/plan.h"

#include "launch/launch.h"
#include "platform/text.h"

JobPlan::JobPlan(std::string header) : text_(std::move(header)) {}

void JobPlan::JobStarted(const JobStart& start) {
    text_ += "Template: " + start.templateName + "\n";
    text_ += "Data file: " + start.dataFile;
    if (start.dataRead)
        text_ += " (" + std::to_string(start.lineCount) + " line" + (start.lineCount == 1 ? "" : "s") + ")\n";
    else
        text_ += "\n  cannot be read: " + start.dataFailure + "\n  The job runs once, with empty fields.\n";
}

void JobPlan::LineFinished(const LineDone& line) {
    text_ += "Line " + std::to_string(line.line) + ": copies " + std::to_string(line.copies) +
             " (copies text \"" + text::EscapeRecordValue(line.copiesText) + "\")\n";
    if (!line.launch.printer.empty()) text_ += "  printer: " + line.launch.printer + "\n";
    for (const launch::RunnerOutcome& runner : line.launch.runners)
        text_ += std::string("  ") + launch::RunnerName(runner.runner) + ": " +
                 text::EscapeRecordValue(runner.commandLine) + "\n";
}

void JobPlan::JobEnded(const JobEnd& end) {
    text_ += std::to_string(end.summary.lines) + " launch" + (end.summary.lines == 1 ? "" : "es") +
             " planned; nothing was started and nothing was written.\n";
}
