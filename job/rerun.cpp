#include "job/rerun.h"

#include <cstdint>

#include "job/journal.h"
#include "launch/product_run.h"
#include "settings/catalogue.h"
#include "settings/store.h"

namespace job {

launch::Runner RunnerOfName(const std::string& name) {
    for (launch::Runner runner :
         {launch::Runner::ApiProxy, launch::Runner::LabelProgram, launch::Runner::Bartender})
        if (name == launch::RunnerName(runner)) return runner;
    return launch::Runner::LabelProgram;
}

launch::RunnerOutcome RunAgain(const CAppBase& app, const std::string& journalPath,
                               const journal::Job& of, const journal::Run& run) {
    platform::RunOptions options;
    // As a job reads it: a negative or missing time-out waits without limit.
    const int timeout =
        ReadSettingInt(app, section::kSettings, key::kRunTimeoutSeconds, defaults::kInt);
    options.timeoutSeconds = timeout > 0 ? static_cast<uint32_t>(timeout) : 0;
    const journal::StartLine line = journal::StartLineOf(run.commandLine);
    launch::RunnerOutcome outcome =
        launch::StartRunner(app, RunnerOfName(run.runner), line.ansi, options, line.unicode);
    JobJournal(journalPath).LineRerun(of.Key(), run.line, outcome);
    return outcome;
}

}  // namespace job
