#include "launch/launch.h"

#include <cstdint>

#include "launch/product_run.h"
#include "platform/framework.h"
#include "platform/platform.h"
#include "settings/catalogue.h"
#include "settings/store.h"

namespace launch {

std::string FolderOf(std::string_view exePath, char separator, text::LeadByteRule isLead) {
    std::size_t last = text::FindLastChar(exePath, separator, isLead);
    if (last == std::string_view::npos) return std::string();
    return std::string(exePath.substr(0, last + 1));
}

std::string ConnectorFolder(const CAppBase& app) {
    return FolderOf(app.ExePath(), platform::PathSeparator());
}

std::string TemplatePathOf(const std::string& templatesFolder, const std::string& connectorFolder,
                           const std::string& templateName, char separator,
                           text::LeadByteRule isLead) {
    std::string path;
    if (!templatesFolder.empty()) {
        // Only the last character is looked at, as the folder is typed.
        path = templatesFolder;
        if (text::FindLastChar(path, separator, isLead) != path.size() - 1) path += separator;
    } else {
        path = connectorFolder;
    }
    path += templateName;
    path += ".tvl";
    return path;
}

std::string TemplatePath(const CAppBase& app, const std::string& templateName) {
    const std::string folder =
        ReadSettingText(app, section::kSettings, key::kTemplatesFolder, defaults::kText);
    return TemplatePathOf(folder, ConnectorFolder(app), templateName, platform::PathSeparator());
}

const char* RunnerName(Runner runner) {
    switch (runner) {
    case Runner::ApiProxy:
        return "api-proxy";
    case Runner::LabelProgram:
        return "label-program";
    case Runner::Bartender:
        return "bartender";
    }
    return "?";
}

bool RunnerOutcome::Succeeded() const {
    return process.state == platform::ProcessOutcome::State::Exited && process.exitCode == 0;
}

int LaunchOutcome::ExitCode() const {
    if (cancelled) return kCancelled;
    uint32_t code = 0;  // shared by every runner of the launch, as it always was
    for (const RunnerOutcome& runner : runners)
        if (runner.process.state == platform::ProcessOutcome::State::Exited)
            code = runner.process.exitCode;
    return static_cast<int>(code);
}

bool LaunchOutcome::Failed() const {
    for (const RunnerOutcome& runner : runners)
        if (!runner.planned && !runner.Succeeded()) return true;
    return false;
}

RunMode RunModeFor(int mode, std::string& templatePath) {
    RunMode run;
    switch (static_cast<RunApiType>(mode)) {
    case RunApiType::kProxyOnly:
        run.proxy = true;
        run.product = false;
        break;
    case RunApiType::kProxyThenProduct:
        run.proxy = true;
        break;
    case RunApiType::kProxyOnZuvezavi:
        // The path stays upper case: the product gets it so.
        templatePath = platform::UpperCaseAnsi(templatePath);
        run.proxy = templatePath.find(kProxyTemplateMark) != std::string::npos;
        run.product = !run.proxy;
        break;
    case RunApiType::kProductOnly:
    default:
        break;
    }
    return run;
}

LaunchOutcome LaunchPrintJob(const CAppBase& app, const std::string& templateName,
                             const std::vector<std::string>& params, int lastParamIndex, int copies,
                             const std::string& hostCommandLine,
                             const std::vector<std::string>* unicodeParams) {
    ProductJob job;
    job.templatePath = TemplatePath(app, templateName);
    job.templateName = templateName;
    job.params = &params;
    job.unicodeParams = unicodeParams;
    job.lastParamIndex = lastParamIndex;
    job.copies = copies;
    job.hostCommandLine = hostCommandLine;
    job.connectorFolder = ConnectorFolder(app);

    const int mode = ReadSettingInt(app, section::kSettings, key::kRunApiType, defaults::kInt);
    const RunMode runMode = RunModeFor(mode, job.templatePath);
    const bool runProxy = runMode.proxy;
    const bool runProduct = runMode.product;
    // A negative or missing time-out waits without limit, as 0 does.
    const int timeout =
        ReadSettingInt(app, section::kSettings, key::kRunTimeoutSeconds, defaults::kInt);
    job.options.timeoutSeconds = timeout > 0 ? static_cast<uint32_t>(timeout) : 0;
    // A progress window answers while the runner runs, and may end it.
    job.options.wait = app.Watch();

    LaunchOutcome outcome;
    outcome.templatePath = job.templatePath;
    if (runProxy) {
        // The proxy's command line is the ApiProxyExe value, unchanged,
        // recorded as TvlCmdLine before it starts. Its result decides nothing.
        const std::string proxy =
            ReadSettingText(app, section::kSettings, key::kApiProxyExe, defaults::kText);
        WriteSettingText(app, section::kLastJob, key::kTvlCmdLine, proxy);
        outcome.runners.push_back(StartRunner(app, Runner::ApiProxy, proxy, job.options));
    }
    if (runProduct) RunProduct(app, job, outcome);
    return outcome;
}

}  // namespace launch
