// The product run of a launch (Bartender or the label program) and the
// process run that every runner shares.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// Starts `commandLine` as a hidden process, waits for its end without a
// time-out and stores its exit code in `exitCode`; leaves `exitCode` as it
// was when the process cannot be started.
void RunAndWait(const std::string& commandLine, uint32_t& exitCode);

// What a launch hands to the product run.
struct ProductJob {
    std::string templatePath;     // resolved; upper case in run mode 3
    std::string templateName;     // as the host passed it
    const std::vector<std::string>* params = nullptr;
    int lastParamIndex = 0;
    int copies = 1;
    std::string hostCommandLine;
    std::string connectorFolder;  // ends in the separator, or is empty
};

// Runs Bartender when BartenderExePath is set (nothing recorded), otherwise
// the label program (LastUser, then TvlCmdLine recorded before the start).
// The runner's exit code goes to `exitCode`, which keeps its value when no
// runner could be started. Returns false when the manual printer choice was
// cancelled: then nothing was started and TvlCmdLine was not written.
bool RunProduct(const CAppBase& app, const ProductJob& job, uint32_t& exitCode);

}  // namespace launch
