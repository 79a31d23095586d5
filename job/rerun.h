// "Run line again" of the window over the journal: one runner of a recorded
// job started again, the way a job starts it.
//
// Anyone who prints may write the journal, so nothing in it chooses the
// program: the recorded line must begin with the program a job would start
// now for that runner, from the current settings (policy included), and the
// line that starts takes that program from the settings. Only the arguments
// come from the journal, and the person is shown them before the start.
#pragma once

#include <string>
#include <string_view>

#include "job/journal_reader.h"
#include "launch/launch.h"
#include "platform/platform.h"

class CAppBase;

namespace job {

// The runner name of a run record as the launch knows it; the label program
// for a name it does not know.
launch::Runner RunnerOfName(const std::string& name);

// The program part, in UTF-8, of the lines a job would build now for
// `runner`: the label program beside the connector in double quotes, the
// whole Settings/ApiProxyExe value, or the Settings/BartenderExePath value;
// "" when that setting is empty.
std::string ProgramPartNow(const CAppBase& app, launch::Runner runner);

// Whether `line` begins with `program` and then ends or goes on with a blank
// or tab. The program's path (up to its first blank or tab outside double
// quotes) is compared without regard to the case of the letters A to Z; the
// rest of `program` and every other character exactly, so that a look-alike
// letter (a fullwidth T) never passes for its ASCII letter. Windows' own
// comparison of names also folds letters beyond ASCII: this one is stricter,
// and then refuses rather than lets another program through.
bool StartsWithProgram(std::string_view line, std::string_view program);

// What "Run line again" starts, all of it read before the start, so that the
// run can go on without the window's state.
struct Rerun {
    std::string journalPath;
    std::string jobKey;  // of the job's job-start record
    int line = 0;
    launch::Runner runner = launch::Runner::LabelProgram;
    std::string recorded;     // the journal's command line (UTF-8)
    std::string program;      // ProgramPartNow (UTF-8)
    std::string commandLine;  // the line that starts (UTF-8): `program`, then the recorded arguments
    platform::RunOptions options;  // Settings/RunTimeoutSeconds; the connector's folder
    // Why it does not start ("" when it may): the recorded line does not
    // begin with the program the settings give.
    std::string refused;
};

// The re-run of `run` of the job `of` of `book`, from the current settings;
// its records go to the journal at `journalPath`. The caller checks
// run.CanRunAgain() first.
Rerun PrepareRerun(const CAppBase& app, const std::string& journalPath, const journal::Book& book,
                   const journal::Job& of, const journal::Run& run);

// Starts `rerun` hidden and waits for its end, with a rerun-start record
// before the start and a rerun record with the outcome after it; a refused
// one starts nothing and writes only its rerun record, with the reason.
// Returns what became of it. Reads no setting: safe on any thread.
launch::RunnerOutcome RunAgain(const Rerun& rerun);

}  // namespace job
