// The product run of a launch (Bartender or the label program) and the start
// of a runner, which every runner shares.
#pragma once

#include <string>
#include <vector>

#include "launch/launch.h"

class CAppBase;

namespace launch {

// The label program, always taken from the connector's own folder.
inline constexpr const char* kLabelProgram = "Tarvel.exe";

// The label program's command line:
//   "<folder>Tarvel.exe" "<templatePath>"[ /setpages <copies>]<printerSwitch>
// followed, for i = 0 .. lastParamIndex, by  /fm Param<i+1> "<params[i]>".
// " /setpages" only for copies above 1; the template path and the values are
// quoted by QuoteArgument with `isLead` (UTF-8 text: winargs::NoLeadBytes), so
// that they arrive whole; a negative lastParamIndex adds no parameter, and one
// past the end of `params` stops at its end.
std::string TvlCmdLine(const std::string& connectorFolder, const std::string& templatePath,
                       int copies, const std::string& printerSwitch,
                       const std::vector<std::string>& params, int lastParamIndex,
                       text::LeadByteRule isLead = text::SystemLeadByte);

// Bartender's command line: its path, one blank and the host's command line,
// both unchanged.
std::string BartenderCmdLine(const std::string& bartenderPath, const std::string& hostCommandLine);

// Whether a label program that reads its command line as ANSI gets the same
// arguments from the Unicode command line `unicodeLine` (UTF-8) as one that
// reads it as Unicode: the system's ANSI form of the line
// (platform::AnsiFormOfUnicodeLine), split with the runtime's rules, against
// the Unicode line's arguments, each in its ANSI form.
bool SameArgumentsForAnsiReaders(const std::string& unicodeLine);

// `value` (UTF-8) with every character whose ANSI form is the single byte of
// a blank, a tab, a double quote or a backslash, without being that
// character, replaced by '?' (the code pages' default character), so that it
// can no longer end its quotes for a program that reads its command line as
// ANSI. A double-byte character whose trail byte is 0x5C stays.
std::string NeutraliseForAnsiReaders(const std::string& value);

// Starts `commandLine` as a hidden process and waits for its end (or the
// time-out of `options`), from `unicodeCommandLine` when that is not empty;
// in planning mode starts nothing and says so. First the job's record
// gathered so far goes to the settings file (SaveRecord): a runner finds in
// it what was recorded before it. The API proxy is not started (`refused`
// says why) when the job's record did not reach the file (JobRecord): it
// reads its job from there.
RunnerOutcome StartRunner(const CAppBase& app, Runner runner, const std::string& commandLine,
                          const platform::RunOptions& options,
                          const std::string& unicodeCommandLine = std::string());

// A runner the connector chose not to start, for `why` (RunnerOutcome::refused):
// not started, with no system error.
RunnerOutcome RefusedRunner(Runner runner, const std::string& commandLine,
                            const std::string& unicodeCommandLine, const std::string& why);

// What a launch hands to the product run.
struct ProductJob {
    std::string templatePath;     // resolved; upper case in run mode 3
    std::string templateName;     // as the host passed it
    const std::vector<std::string>* params = nullptr;
    const std::vector<std::string>* unicodeParams = nullptr;  // see LaunchPrintJob
    int lastParamIndex = 0;
    int copies = 1;
    std::string hostCommandLine;
    std::string connectorFolder;  // ends in the separator, or is empty
    platform::RunOptions options;
};

// Runs Bartender when BartenderExePath is set (nothing recorded), otherwise
// the label program (LastUser, then TvlCmdLine recorded before the start),
// and adds the runner's outcome to `outcome`. A Unicode line whose ANSI form
// the program would split into other arguments is started with its
// offending values neutralised (NeutraliseForAnsiReaders, in TvlCmdLine too),
// and the runner's outcome names them. A line that, split as the label
// program splits it, would not give back exactly the values it was built
// from is not started (RefusedRunner). When the manual printer choice
// is cancelled, sets outcome.cancelled instead: nothing is started and
// TvlCmdLine is not written.
void RunProduct(const CAppBase& app, const ProductJob& job, LaunchOutcome& outcome);

}  // namespace launch
