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
// " /setpages" only for copies above 1; values go between the quotes
// unchanged; a negative lastParamIndex adds no parameter, and one past the
// end of `params` stops at its end.
std::string TvlCmdLine(const std::string& connectorFolder, const std::string& templatePath,
                       int copies, const std::string& printerSwitch,
                       const std::vector<std::string>& params, int lastParamIndex);

// Bartender's command line: its path, one blank and the host's command line,
// both unchanged.
std::string BartenderCmdLine(const std::string& bartenderPath, const std::string& hostCommandLine);

// Starts `commandLine` as a hidden process and waits for its end (or the
// time-out of `options`), from `unicodeCommandLine` when that is not empty;
// in planning mode starts nothing and says so.
RunnerOutcome StartRunner(const CAppBase& app, Runner runner, const std::string& commandLine,
                          const platform::RunOptions& options,
                          const std::string& unicodeCommandLine = std::string());

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
// and adds the runner's outcome to `outcome`. When the manual printer choice
// is cancelled, sets outcome.cancelled instead: nothing is started and
// TvlCmdLine is not written.
void RunProduct(const CAppBase& app, const ProductJob& job, LaunchOutcome& outcome);

}  // namespace launch
