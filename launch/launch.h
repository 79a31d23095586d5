// The print launch of one data line: the template path, the run mode and the
// runners it starts (the API proxy, the product, or both in turn).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/text.h"

class CAppBase;

namespace launch {

// The text whose presence in the upper-cased template path makes run mode 3
// start the API proxy instead of the product.
inline constexpr std::string_view kProxyTemplateMark = "ZUVEZAVI";

// The result of a launch whose manual printer choice was cancelled.
inline constexpr int kCancelled = -1;

// The folder of `exePath`: everything up to and including its last
// `separator` (searched with `isLead`); "" without one.
std::string FolderOf(std::string_view exePath, char separator,
                     text::LeadByteRule isLead = text::SystemLeadByte);

// The connector's folder: FolderOf its executable's path with the system's
// separator. Tarvel.exe and, by default, the templates are there.
std::string ConnectorFolder(const CAppBase& app);

// The template file's path: `templatesFolder` (with a separator appended
// unless its last character is one; the trail byte of a double-byte character
// is no separator) or, when that is empty, `connectorFolder`; then
// `templateName` and ".tvl". Nothing else is done to the name.
std::string TemplatePathOf(const std::string& templatesFolder, const std::string& connectorFolder,
                           const std::string& templateName, char separator,
                           text::LeadByteRule isLead = text::SystemLeadByte);

// The template path of a launch, from Settings/TemplatesFolder.
std::string TemplatePath(const CAppBase& app, const std::string& templateName);

// The programs a launch starts.
enum class Runner { ApiProxy, LabelProgram, Bartender };

// The runner's name in records: "api-proxy", "label-program", "bartender".
const char* RunnerName(Runner runner);

// One runner a launch started, or planned to start.
struct RunnerOutcome {
    Runner runner = Runner::LabelProgram;
    std::string commandLine;           // exactly as started (ANSI)
    std::string unicodeCommandLine;    // UTF-8, when it was started from this instead
    platform::ProcessOutcome process;  // what became of it
    bool planned = false;              // planning mode: not started on purpose
    // The parameters ("Param2 Param5") whose values were neutralised so that
    // a program reading its command line as ANSI splits it as one reading it
    // as Unicode does ("" when none was).
    std::string neutralised;
    // Why the connector did not start it, on purpose ("" when it started it,
    // or tried to): a check of its command line failed, or the record it
    // reads could not be saved. The process is then NotStarted with no
    // system error, and the journal gives this reason.
    std::string refused;

    // Whether it ran and exited with 0.
    bool Succeeded() const;
};

// What one launch did.
struct LaunchOutcome {
    bool cancelled = false;  // the operator cancelled the manual printer choice: nothing started
    std::string printer;     // how the label program's printer was chosen ("" when it did not run)
    std::string printerName;  // the printer it named ("" for the default, or when it did not run)
    std::string templatePath;  // the template path the runners were given
    std::vector<RunnerOutcome> runners;  // in the order started

    // The launch's result as it always was: the exit code of the last runner
    // whose exit code could be read, 0 when none could, kCancelled when the
    // operator cancelled.
    int ExitCode() const;
    // Whether a runner could not start, timed out or exited with another code
    // than 0. A cancelled choice is no failure; a planned start neither.
    bool Failed() const;
};

// Which runners a launch starts.
struct RunMode {
    bool proxy = false;
    bool product = true;
};

// The runners of Settings/RunApiType `mode` for a template path; in run mode
// 3 the path is upper-cased first (the product gets it so) and the proxy runs
// when it holds kProxyTemplateMark.
RunMode RunModeFor(int mode, std::string& templatePath);

// Prints one label record: resolves the template, reads RunApiType and
// RunTimeoutSeconds and runs the API proxy and/or the product, one after the
// other, waiting for each. `unicodeParams`, when given, are `params` as UTF-8
// with every character kept, because a Unicode data file holds characters the
// ANSI code page lacks: the label program then gets its command line in
// Unicode (TvlCmdLine records the ANSI form, as always).
LaunchOutcome LaunchPrintJob(const CAppBase& app, const std::string& templateName,
                             const std::vector<std::string>& params, int lastParamIndex, int copies,
                             const std::string& hostCommandLine,
                             const std::vector<std::string>* unicodeParams = nullptr);

}  // namespace launch
