#include "launch/product_run.h"

#include "launch/arguments.h"
#include "launch/printer.h"
#include "platform/windows_args.h"
#include "platform/framework.h"
#include "platform/platform.h"
#include "settings/catalogue.h"
#include "settings/job_record.h"
#include "settings/store.h"

namespace launch {

std::string TvlCmdLine(const std::string& connectorFolder, const std::string& templatePath,
                       int copies, const std::string& printerSwitch,
                       const std::vector<std::string>& params, int lastParamIndex,
                       text::LeadByteRule isLead) {
    // The program name is only put between quotes: the runtime reads its
    // backslashes as they are.
    std::string line = "\"" + connectorFolder + kLabelProgram + "\" " + QuoteArgument(templatePath, isLead);
    if (copies > 1) line += " /setpages " + text::FormatInt(copies);
    line += printerSwitch;
    for (int i = 0; i <= lastParamIndex && static_cast<std::size_t>(i) < params.size(); ++i) {
        line += " /fm ";
        line += key::kParamPrefix + text::FormatInt(i + 1);
        line += " " + QuoteArgument(params[static_cast<std::size_t>(i)], isLead);
    }
    return line;
}

std::string BartenderCmdLine(const std::string& bartenderPath, const std::string& hostCommandLine) {
    return bartenderPath + " " + hostCommandLine;
}

bool SameArgumentsForAnsiReaders(const std::string& unicodeLine) {
    // The runtime splits a Unicode line at ASCII characters only, which UTF-8
    // keeps as they are; an ANSI line's double-byte characters stay whole.
    std::vector<std::string> expected = winargs::Split(unicodeLine);
    for (std::string& arg : expected) arg = platform::AnsiFormOfUnicodeLine(arg);
    return winargs::Split(platform::AnsiFormOfUnicodeLine(unicodeLine), text::SystemLeadByte) == expected;
}

std::string NeutraliseForAnsiReaders(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size();) {
        // One UTF-8 character; ASCII ones are what they are in every form.
        const unsigned char lead = static_cast<unsigned char>(value[i]);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (i + length > value.size()) length = value.size() - i;
        const std::string character = value.substr(i, length);
        i += length;
        // Only a character that becomes the single byte of a quote, a
        // backslash, a blank or a tab is a look-alike: in code pages 932, 936
        // and 950 many ordinary double-byte characters end in the byte 0x5C,
        // which the runtime reads as part of them.
        const std::string ansi = length > 1 ? platform::AnsiFormOfUnicodeLine(character) : std::string();
        if (ansi.size() == 1 && std::string_view(" \t\"\\").find(ansi[0]) != std::string_view::npos)
            out += '?';
        else
            out += character;
    }
    return out;
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
    // The record a runner may read goes to the file before it starts.
    (void)SaveRecord(app);
    // The API proxy reads its job from LastJob alone: with the record not in
    // the file it would print another job's values.
    if (runner == Runner::ApiProxy && app.Record() && app.Record()->Unsaved().failed()) {
        outcome.refused = "the job's record did not reach " + app.ProfilePath() + " (" +
                          app.Record()->Unsaved().text + "), and the API proxy reads its job from there";
        outcome.process.started = outcome.process.ended = std::chrono::system_clock::now();
        return outcome;
    }
    outcome.process = platform::RunHidden(commandLine, options, unicodeCommandLine);
    return outcome;
}

RunnerOutcome RefusedRunner(Runner runner, const std::string& commandLine,
                            const std::string& unicodeCommandLine, const std::string& why) {
    RunnerOutcome outcome;
    outcome.runner = runner;
    outcome.commandLine = commandLine;
    outcome.unicodeCommandLine = unicodeCommandLine;
    outcome.refused = why;
    outcome.process.started = outcome.process.ended = std::chrono::system_clock::now();
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
    std::vector<std::string> params = job.params ? *job.params : kNoParams;
    // The same line with the values in every character the data file has,
    // the rest (all ANSI text) converted from the code page.
    std::string unicodeLine;
    std::vector<std::string> values;
    std::string neutralised;
    const std::string unicodeTemplate = platform::AnsiToUtf8(job.templatePath);
    const std::string unicodePrinter = platform::AnsiToUtf8(printer.switchName);
    if (job.unicodeParams) {
        values = *job.unicodeParams;
        auto unicodeLineOf = [&] {
            return TvlCmdLine(platform::AnsiToUtf8(job.connectorFolder), unicodeTemplate, job.copies,
                              PrinterSwitch(unicodePrinter, winargs::NoLeadBytes), values, job.lastParamIndex,
                              winargs::NoLeadBytes);
        };
        unicodeLine = unicodeLineOf();
        // A program that reads the line as ANSI gets the system's best-fit
        // form of it: a look-alike quote or backslash there must not give it
        // other arguments than the Unicode line gives.
        if (!SameArgumentsForAnsiReaders(unicodeLine)) {
            for (int i = 0; i <= job.lastParamIndex && static_cast<std::size_t>(i) < values.size(); ++i) {
                std::string& value = values[static_cast<std::size_t>(i)];
                const std::string safe = NeutraliseForAnsiReaders(value);
                if (safe == value) continue;
                value = safe;
                if (static_cast<std::size_t>(i) < params.size())
                    params[static_cast<std::size_t>(i)] = platform::Utf8ToAnsi(safe);
                if (!neutralised.empty()) neutralised += ' ';
                neutralised += key::kParamPrefix;
                neutralised += text::FormatInt(i + 1);
            }
            unicodeLine = unicodeLineOf();
        }
    }
    const std::string line = TvlCmdLine(job.connectorFolder, job.templatePath, job.copies,
                                        printer.printerSwitch, params, job.lastParamIndex);
    // Last guard: the built lines, split as the label program splits them,
    // give back exactly the values they were built from, or nothing starts.
    std::string refused = ArgumentsDiffer(
        line, LabelProgramArguments(job.templatePath, job.copies, printer.switchName, params, job.lastParamIndex));
    if (refused.empty() && !unicodeLine.empty())
        refused = ArgumentsDiffer(
            unicodeLine,
            LabelProgramArguments(unicodeTemplate, job.copies, unicodePrinter, values, job.lastParamIndex),
            winargs::NoLeadBytes);
    WriteSettingText(app, section::kLastJob, key::kTvlCmdLine, line);
    outcome.runners.push_back(refused.empty()
                                  ? StartRunner(app, Runner::LabelProgram, line, job.options, unicodeLine)
                                  : RefusedRunner(Runner::LabelProgram, line, unicodeLine, refused));
    outcome.runners.back().neutralised = neutralised;
}

}  // namespace launch
