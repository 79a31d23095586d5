// What the areas of the health check share (app/check_*.cpp): the
// installation being checked, the job's command line as a job reads it, and
// the findings so far. Each area adds its findings in turn; the report keeps
// their order.
#pragma once

#include <string>
#include <vector>

#include "app/health_check.h"

class CAppBase;

namespace health {

class CheckContext {
public:
    CheckContext(CAppBase& app, const std::string& commandLine);

    void Add(Verdict verdict, const char* check, std::string text) {
        findings.push_back({verdict, check, std::move(text)});
    }

    // A [Settings] value as a job reads it (a policy's holds instead of the file's).
    std::string Text(const char* key) const;
    int Int(const char* key) const;

    // Whether an administrator's policy sets `key`.
    bool Locked(const char* key) const;
    // Where the value of `key` in force is set, as an administrator finds it:
    // "[Settings] Printer", or "policy HKLM\SOFTWARE\Policies\Vantor, value
    // Printer" (the host's: "policy /etc/vantor/policy.ini [Settings] Printer").
    std::string Named(const char* key) const;
    // Where the value comes from, in a few words: the policy, the settings
    // file, or "not set: the default".
    std::string SourceOf(const char* key) const;
    // What to do about a value of `key` at fault: correct it in the settings
    // file, or, when a policy sets it, in the policy (the file's does not count).
    std::string Correct(const char* key) const;

    CAppBase& app;
    std::string templateName;  // from the command line's "/F=" token, as a job takes it
    std::string dataPath;      // from its "/D=" token
    bool hasTemplate = false;
    bool hasData = false;
    std::string settingsBytes;  // the settings file, once the settings area has read it
    std::vector<Finding> findings;
};

// "[<section>] <name>".
std::string Setting(const char* section, const std::string& name);

// The areas, in the order of the report.
void CheckSettings(CheckContext& context);  // settings-file, policy, value (check_settings.cpp)
void CheckRunners(CheckContext& context);   // run-mode, api-proxy, bartender, label-program
void CheckFiles(CheckContext& context);     // templates-folder, template, data-file
void CheckPrinters(CheckContext& context);  // printers, printer
void CheckHost(CheckContext& context);      // host-registration, journal (check_files.cpp)
void CheckNumbers(CheckContext& context);   // time-out, exit-status (check_settings.cpp)

}  // namespace health
