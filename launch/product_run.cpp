#include "launch/product_run.h"

#include "launch/printer.h"
#include "platform/framework.h"
#include "platform/platform.h"
#include "settings/catalogue.h"
#include "settings/store.h"

namespace launch {

std::string TvlCmdLine(const std::string& connectorFolder, const std::string& templatePath,
                       int copies, const std::string& printerSwitch,
                       const std::vector<std::string>& params, int lastParamIndex) {
    std::string line = "\"" + connectorFolder + kLabelProgram + "\" \"" + templatePath + "\"";
    if (copies > 1) line += " /setpages " + text::FormatInt(copies);
    line += printerSwitch;
    for (int i = 0; i <= lastParamIndex && static_cast<std::size_t>(i) < params.size(); ++i) {
        line += " /fm ";
        line += key::kParamPrefix + text::FormatInt(i + 1);
        line += " \"" + params[static_cast<std::size_t>(i)] + "\"";
    }
    return line;
}

std::string BartenderCmdLine(const std::string& bartenderPath, const std::string& hostCommandLine) {
    return bartenderPath + " " + hostCommandLine;
}

RunnerOutcome StartRunner(const CAppBase& app, Runner runner, const std::string& commandLine,
                          const platform::RunOptions& options, const std::string& unicodeCommandLine) {
    RunnerOutcome outcome;
    outcome.runner = runner;
    outcome.commandLine = commandLine;
    outcome.unicodeCommandLine = unicodeCommandLine;
    if (app.Planning()) {
        outcome.planned = true;
        return outcome;
    }
    outcome.process = platform::RunHidden(commandLine, options, unicodeCommandLine);
    return outcome;
}

void RunProduct(const CAppBase& app, const ProductJob& job, LaunchOutcome& outcome) {
    const std::string bartender =
        ReadSettingText(app, section::kSettings, key::kBartenderExePath, defaults::kText);
    if (!bartender.empty()) {
        outcome.runners.push_back(StartRunner(app, Runner::Bartender,
                                              BartenderCmdLine(bartender, job.hostCommandLine),
                                              job.options));
        return;
    }

    const PrinterChoice printer = ChoosePrinter(app, job.templateName);
    outcome.printer = printer.how;
    outcome.printerName = printer.printerName;
    if (printer.cancelled) {
        outcome.cancelled = true;
        return;
    }
    static const std::vector<std::string> kNoParams;
    const std::string line =
        TvlCmdLine(job.connectorFolder, job.templatePath, job.copies, printer.printerSwitch,
                   job.params ? *job.params : kNoParams, job.lastParamIndex);
    WriteSettingText(app, section::kLastJob, key::kTvlCmdLine, line);
    // The same line with the values in every character the data file has,
    // the rest (all ANSI text) converted from the code page.
    std::string unicodeLine;
    if (job.unicodeParams)
        unicodeLine = TvlCmdLine(platform::AnsiToUtf8(job.connectorFolder), platform::AnsiToUtf8(job.templatePath),
                                 job.copies, platform::AnsiToUtf8(printer.printerSwitch), *job.unicodeParams,
                                 job.lastParamIndex);
    outcome.runners.push_back(StartRunner(app, Runner::LabelProgram, line, job.options, unicodeLine));
}

}  // namespace launch
