#include "job/plan.h"

#include "launch/launch.h"
#include "launch/printer_match.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace {

std::string Escaped(std::string_view value) { return text::EscapeRecordValue(value); }

}  // namespace

JobPlan::JobPlan(std::string header) : text_(std::move(header)) {}

void JobPlan::JobStarted(const JobStart& start) {
    text_ += "Template: " + Escaped(start.templateName) + "\n";
    text_ += "Data file: " + Escaped(start.dataFile);
    if (start.dataRead)
        text_ += " (" + std::to_string(start.lineCount) + " line" + (start.lineCount == 1 ? "" : "s") + ")\n";
    else
        text_ += "\n  cannot be read: " + Escaped(start.dataFailure) + "\n  The job runs once, with empty fields.\n";
}

void JobPlan::Noted(const JobNote& note) {
    text_ += "  note: " + Escaped(note.detail.empty() ? note.about + ": " + note.error.text : note.detail) + "\n";
}

void JobPlan::LineFinished(const LineDone& line) {
    text_ += "Line " + std::to_string(line.line) + ": copies " + std::to_string(line.copies) +
             " (copies text \"" + Escaped(line.copiesText) + "\")\n";
    if (!line.launch.printer.empty()) {
        text_ += "  printer: " + Escaped(line.launch.printer);
        if (!line.launch.printerName.empty()) {
            text_ += " -> \"" + Escaped(line.launch.printerName) + "\"";
            const launch::PrinterMatch match = Match(line.launch.printerName);
            if (match.kind == launch::PrinterMatch::Kind::Missing)
                text_ += "  [NOT INSTALLED on this machine]";
            else if (match.kind == launch::PrinterMatch::Kind::Redirected)
                text_ += "  [ONLY IN ONE TERMINAL-SERVER SESSION, as \"" + Escaped(match.listed) + "\"]";
        }
        text_ += "\n";
    }
    for (const launch::RunnerOutcome& runner : line.launch.runners) {
        // The label program is the runner that opens the template.
        if (runner.runner == launch::Runner::LabelProgram && !line.launch.templatePath.empty() &&
            platform::InspectPath(line.launch.templatePath).kind != platform::PathKind::File)
            text_ += "  template: " + Escaped(line.launch.templatePath) + "  [NOT FOUND]\n";
        text_ += std::string("  ") + launch::RunnerName(runner.runner) + ": " + Escaped(runner.commandLine) + "\n";
    }
}

void JobPlan::JobEnded(const JobEnd& end) {
    text_ += std::to_string(end.summary.lines) + " launch" + (end.summary.lines == 1 ? "" : "es") +
             " planned; nothing was started and nothing was written.\n";
}

launch::PrinterMatch JobPlan::Match(const std::string& name) {
    if (!printers_) printers_ = platform::InstalledPrinters();
    // A list that cannot be read marks nothing: the health check says why.
    if (!printers_->known) return {launch::PrinterMatch::Kind::Installed, name};
    return launch::MatchPrinter(printers_->names, name);
}
