#include "launch/product_run.h"

#include <optional>

#include "app/framework.h"
#include "launch/printer.h"
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

void RunAndWait(const std::string& commandLine, uint32_t& exitCode) {
    // Whether the runner started is not looked at: a runner that cannot be
    // started leaves the exit code as it was.
    (void)platform::RunHiddenAndWait(commandLine, exitCode);
}

bool RunProduct(const CAppBase& app, const ProductJob& job, uint32_t& exitCode) {
    const std::string bartender =
        ReadSettingText(app, section::kSettings, key::kBartenderExePath, defaults::kText);
    if (!bartender.empty()) {
        RunAndWait(BartenderCmdLine(bartender, job.hostCommandLine), exitCode);
        return true;
    }

    std::optional<std::string> printerSwitch = ChoosePrinterSwitch(app, job.templateName);
    if (!printerSwitch) return false;
    static const std::vector<std::string> kNoParams;
    const std::string line =
        TvlCmdLine(job.connectorFolder, job.templatePath, job.copies, *printerSwitch,
                   job.params ? *job.params : kNoParams, job.lastParamIndex);
    WriteSettingText(app, section::kLastJob, key::kTvlCmdLine, line);
    RunAndWait(line, exitCode);
    return true;
}

}  // namespace launch
