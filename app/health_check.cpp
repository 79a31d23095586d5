// The health check's frame: the context its areas share, the order of the
// areas, the report and its exit code. The checks themselves are in
// check_settings.cpp, check_runners.cpp, check_files.cpp and
// check_printers.cpp, one file per area.
#include "app/health_check.h"

#include "app/check_context.h"
#include "job/command_line.h"
#include "platform/framework.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "settings/catalogue.h"
#include "settings/settings_table.h"
#include "settings/store.h"

namespace health {

std::string Setting(const char* section, const std::string& name) { return "[" + std::string(section) + "] " + name; }

CheckContext::CheckContext(CAppBase& app, const std::string& commandLine) : app(app) {
    for (const std::string& token : job::SplitCommandLine(commandLine)) {
        if (job::IsTemplateToken(token)) templateName = job::TemplateNameOf(token, job::TemplateSeparators());
        if (job::IsDataFileToken(token)) dataPath = job::DataFilePathOf(token);
        hasTemplate = hasTemplate || job::IsTemplateToken(token);
        hasData = hasData || job::IsDataFileToken(token);
    }
}

std::string CheckContext::Text(const char* key) const {
    return ReadSettingText(app, section::kSettings, key, defaults::kText);
}

int CheckContext::Int(const char* key) const {
    const settings::KeyRow* row = settings::FindSettingsKey(key);
    return ReadSettingInt(app, section::kSettings, key, row ? row->defaultValue : defaults::kInt);
}

bool CheckContext::Locked(const char* key) const { return PolicyFor(section::kSettings, key).has_value(); }

std::string CheckContext::Named(const char* key) const {
    return Locked(key) ? "policy " + platform::PolicyPlace(key) : Setting(section::kSettings, key);
}

std::string CheckContext::SourceOf(const char* key) const {
    if (Locked(key)) return "policy " + platform::PolicyPlace(key);
    static constexpr const char* kAbsent = "\x01<absent>";
    if (platform::ProfileGetString(section::kSettings, key, kAbsent, kSettingBufferSize, SettingsFilePath(app)) ==
        kAbsent)
        return "not set: the default";
    return Setting(section::kSettings, key) + " of the settings file";
}

std::string CheckContext::Correct(const char* key) const {
    if (Locked(key))
        return "correct the policy " + platform::PolicyPlace(key) +
               " (Group Policy sets it for the machine; " + Setting(section::kSettings, key) +
               " in the settings file does not count)";
    return "correct " + Setting(section::kSettings, key) + " in " + SettingsFilePath(app);
}

namespace {

const char* VerdictText(Verdict verdict) {
    switch (verdict) {
    case Verdict::Ok:
        return "OK  ";
    case Verdict::Warn:
        return "WARN";
    case Verdict::Fail:
        return "FAIL";
    }
    return "?";
}

}  // namespace

std::vector<Finding> CheckInstallation(CAppBase& app, const std::string& commandLine) {
    const bool planning = app.Planning();
    app.SetPlanning(true);
    CheckContext context(app, commandLine);
    CheckSettings(context);
    CheckRunners(context);
    CheckFiles(context);
    CheckPrinters(context);
    CheckHost(context);
    CheckNumbers(context);
    app.SetPlanning(planning);
    return std::move(context.findings);
}

std::string ReportText(const CAppBase& app, const std::vector<Finding>& findings) {
    std::string report =
        "Health check of the connector " + text::EscapeRecordValue(app.ExePath()) +
        ". Nothing was started, written or asked.\n(In values, %, tab, CR and LF are shown as %25, %09, %0D "
        "and %0A.)\n";
    for (const Finding& finding : findings)
        report += std::string(VerdictText(finding.verdict)) + " " + finding.check + ": " +
                  text::EscapeRecordValue(finding.text) + "\n";
    const int code = ExitCodeOf(findings);
    report += code == 0 ? "Every check is OK (exit code 0).\n"
              : code == kExitCheckWarnings ? "Some checks warn, none failed (exit code 20).\n"
                                           : "Some checks failed (exit code 21).\n";
    return report;
}

int ExitCodeOf(const std::vector<Finding>& findings) {
    int code = 0;
    for (const Finding& finding : findings) {
        if (finding.verdict == Verdict::Fail) return kExitCheckFailed;
        if (finding.verdict == Verdict::Warn) code = kExitCheckWarnings;
    }
    return code;
}

}  // namespace health
