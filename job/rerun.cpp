#include "job/rerun.h"

#include <cstdint>

#include "job/journal.h"
#include "platform/text.h"
#include "platform/windows_args.h"
#include "launch/product_run.h"
#include "settings/catalogue.h"
#include "settings/store.h"

namespace job {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Where the program a job would start comes from, for a person to read.
const char* ProgramSource(launch::Runner runner) {
    switch (runner) {
    case launch::Runner::ApiProxy:
        return "ApiProxyExe";
    case launch::Runner::Bartender:
        return "BartenderExePath";
    case launch::Runner::LabelProgram:
        break;
    }
    return "the label program beside the connector";
}

}  // namespace

launch::Runner RunnerOfName(const std::string& name) {
    for (launch::Runner runner :
         {launch::Runner::ApiProxy, launch::Runner::LabelProgram, launch::Runner::Bartender})
        if (name == launch::RunnerName(runner)) return runner;
    return launch::Runner::LabelProgram;
}

std::string ProgramPartNow(const CAppBase& app, launch::Runner runner) {
    switch (runner) {
    case launch::Runner::ApiProxy:
        return platform::AnsiToUtf8(
            ReadSettingText(app, section::kSettings, key::kApiProxyExe, defaults::kText));
    case launch::Runner::Bartender:
        return platform::AnsiToUtf8(
            ReadSettingText(app, section::kSettings, key::kBartenderExePath, defaults::kText));
    case launch::Runner::LabelProgram:
        break;
    }
    // As TvlCmdLine begins the line.
    return "\"" + platform::AnsiToUtf8(launch::ConnectorFolder(app)) + launch::kLabelProgram + "\"";
}

bool StartsWithProgram(std::string_view line, std::string_view program) {
    if (program.empty() || line.size() < program.size()) return false;
    if (line.size() > program.size() && !IsBlank(line[program.size()])) return false;
    const std::size_t path = winargs::ProgramNameLength(program);
    return text::SameIgnoringAsciiCase(line.substr(0, path), program.substr(0, path)) &&
           line.substr(path, program.size() - path) == program.substr(path);
}

Rerun PrepareRerun(const CAppBase& app, const std::string& journalPath, const journal::Book& book,
                   const journal::Job& of, const journal::Run& run) {
    Rerun rerun;
    rerun.journalPath = journalPath;
    rerun.jobKey = book.KeyOf(of);
    rerun.line = run.line;
    rerun.runner = RunnerOfName(book.Text(run.runner));
    rerun.recorded = book.Text(run.commandLine);
    rerun.program = ProgramPartNow(app, rerun.runner);
    // As a job reads it: a negative or missing time-out waits without limit.
    const int timeout =
        ReadSettingInt(app, section::kSettings, key::kRunTimeoutSeconds, defaults::kInt);
    rerun.options.timeoutSeconds = timeout > 0 ? static_cast<uint32_t>(timeout) : 0;
    // The host's current folder is not recorded; the connector's stands in.
    rerun.options.currentFolder = launch::ConnectorFolder(app);
    const std::string recordedProgram = rerun.recorded.substr(0, winargs::ProgramNameLength(rerun.recorded));
    if (rerun.program.empty()) {
        rerun.refused = "the journal's command line starts " + recordedProgram + ", and " +
                        ProgramSource(rerun.runner) + " is not set now: no job would start this runner";
    } else if (!StartsWithProgram(rerun.recorded, rerun.program)) {
        rerun.refused = "the journal's command line starts " + recordedProgram +
                        ", not the program a job would start now (" + ProgramSource(rerun.runner) +
                        "): " + rerun.program;
    } else {
        // The program as the settings write it; the rest from the journal.
        rerun.commandLine = rerun.program + rerun.recorded.substr(rerun.program.size());
    }
    return rerun;
}

launch::RunnerOutcome RunAgain(const Rerun& rerun) {
    JobJournal journal(rerun.journalPath);
    const journal::StartLine line = journal::StartLineOf(rerun.refused.empty() ? rerun.commandLine : rerun.recorded);
    if (!rerun.refused.empty()) {
        const launch::RunnerOutcome refused = launch::RefusedRunner(rerun.runner, line.ansi, line.unicode, rerun.refused);
        journal.LineRerun(rerun.jobKey, rerun.line, refused);
        return refused;
    }
    journal.LineRerunStarting(rerun.jobKey, rerun.line, rerun.runner, rerun.commandLine);
    launch::RunnerOutcome outcome;
    outcome.runner = rerun.runner;
    outcome.commandLine = line.ansi;
    outcome.unicodeCommandLine = line.unicode;
    outcome.process = platform::RunHidden(line.ansi, rerun.options, line.unicode);
    journal.LineRerun(rerun.jobKey, rerun.line, outcome);
    return outcome;
}

}  // namespace job
