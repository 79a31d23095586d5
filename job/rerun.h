// "Run line again" of the window over the journal: one runner of a recorded
// job started again with its recorded command line, the way a job starts it.
#pragma once

#include "job/journal_reader.h"
#include "launch/launch.h"

class CAppBase;

namespace job {

// The runner name of a run record as the launch knows it; the label program
// for a name it does not know.
launch::Runner RunnerOfName(const std::string& name);

// Starts `run`'s command line again (hidden, with Settings/RunTimeoutSeconds,
// through the launch's runner start) and appends a re-run record naming
// `of` to the journal at `journalPath`. Returns what became of it. The caller
// checks run.CanRunAgain() first.
launch::RunnerOutcome RunAgain(const CAppBase& app, const std::string& journalPath,
                               const journal::Job& of, const journal::Run& run);

}  // namespace job
