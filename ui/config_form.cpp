#include "ui/config_form.h"

#include <algorithm>
#include <cstdio>

#include "platform/framework.h"
#include "platform/text.h"
#include "settings/catalogue.h"
#include "settings/settings_table.h"
#include "settings/store.h"

namespace ui {

int PrinterRadioFor(std::string_view stored) {
    if (stored == printer::kByUser) return IDC_PRINTER_BYUSER;
    if (stored == printer::kByTemplate) return IDC_PRINTER_BYTEMPLATE;
    if (stored == printer::kManual) return IDC_PRINTER_MANUAL;
    if (stored.empty()) return IDC_PRINTER_DEFAULT;
    return IDC_PRINTER_SPECIFIC;
}

std::string PrinterTextFor(int radio, std::string_view printerName) {
    switch (radio) {
        case IDC_PRINTER_SPECIFIC: return std::string(printerName);
        case IDC_PRINTER_BYUSER: return printer::kByUser;
        case IDC_PRINTER_BYTEMPLATE: return printer::kByTemplate;
        case IDC_PRINTER_MANUAL: return printer::kManual;
        default: return std::string();
    }
}

const char* CopiesItemFor(int copiesType) {
    switch (copiesType) {
        case static_cast<int>(CopiesType::kLastField): return kCopiesLastParameter;
        case static_cast<int>(CopiesType::kField21): return kCopiesParameter21;
        default: return kCopiesAutomatic;
    }
}

int CopiesTypeFor(std::string_view item) {
    if (item == kCopiesLastParameter) return static_cast<int>(CopiesType::kLastField);
    if (item == kCopiesParameter21) return static_cast<int>(CopiesType::kField21);
    return static_cast<int>(CopiesType::kAutomatic);
}

const char* RunnerItemFor(int runApiType) {
    return runApiType == static_cast<int>(RunApiType::kProductOnly) ? kRunTarvelOnly
                                                                    : kRunApiOnZuvezavi;
}

int RunApiTypeFor(std::string_view item) {
    // The dialog stores only 0 and 3: 1 and 2 come from hand editing alone.
    return item == kRunTarvelOnly ? static_cast<int>(RunApiType::kProductOnly)
                                  : static_cast<int>(RunApiType::kProxyOnZuvezavi);
}

std::string ParamRowNumber(int n) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", n);
    return number;
}

ConfigForm LoadConfigForm(const CAppBase& app) {
    auto lastJob = [&](const char* key, const char* dflt) {
        return ReadSettingText(app, section::kLastJob, key, dflt);
    };
    auto setting = [&](const char* key) {
        return ReadSettingText(app, section::kSettings, key, defaults::kText);
    };
    auto settingInt = [&](const char* key) {
        return ReadSettingInt(app, section::kSettings, key, defaults::kInt);
    };

    ConfigForm form;
    form.lastJob.cmdLine = lastJob(key::kCmdLine, defaults::kText);
    form.lastJob.templ = lastJob(key::kTemplate, defaults::kText);
    form.lastJob.dataFile = lastJob(key::kDataFile, defaults::kText);
    form.lastJob.copies = lastJob(key::kCopies, defaults::kCopiesShown);
    form.lastJob.numLines = lastJob(key::kNumLines, defaults::kNumLinesShown);
    form.lastJob.lastUser = lastJob(key::kLastUser, defaults::kText);
    form.lastJob.tvlCmdLine = lastJob(key::kTvlCmdLine, defaults::kText);

    form.bartenderExePath = setting(key::kBartenderExePath);
    const std::string printerText = setting(key::kPrinter);
    form.printerRadio = PrinterRadioFor(printerText);
    if (form.printerRadio == IDC_PRINTER_SPECIFIC) form.printerName = printerText;
    form.debugChecked = settingInt(key::kMsgBoxDebug) != 0;
    form.copiesItem = CopiesItemFor(settingInt(key::kCopiesType));
    form.runnerItem = RunnerItemFor(settingInt(key::kRunApiType));
    form.templatesFolder = setting(key::kTemplatesFolder);
    form.apiProxyExe = setting(key::kApiProxyExe);
    form.locked = LockedSettings();

    // Param1, Param2, ... up to the first empty value; a hand-added value
    // after Param20 shows too.
    for (int n = 1;; ++n) {
        std::string value =
            lastJob((std::string(key::kParamPrefix) + text::FormatInt(n)).c_str(), defaults::kText);
        if (value.empty()) break;
        form.lastJob.params.push_back({ParamRowNumber(n), std::move(value)});
    }
    // The list keeps its rows sorted by the number's text; with "%02d" that
    // is numeric order up to 99.
    std::stable_sort(form.lastJob.params.begin(), form.lastJob.params.end(),
                     [](const ParamRow& a, const ParamRow& b) { return a.number < b.number; });
    return form;
}

std::set<std::string> LockedSettings() {
    std::set<std::string> locked;
    for (const settings::KeyRow& row : settings::SettingsKeys())
        if (row.lockable && PolicyFor(section::kSettings, row.name)) locked.insert(row.name);
    return locked;
}

std::vector<int> ControlsOf(std::string_view settingsKey) {
    if (settingsKey == key::kPrinter)
        return {IDC_PRINTER_DEFAULT, IDC_PRINTER_SPECIFIC, IDC_PRINTER_BYUSER, IDC_PRINTER_BYTEMPLATE,
                IDC_PRINTER_MANUAL, IDC_PRINTER_NAME};
    if (settingsKey == key::kMsgBoxDebug) return {IDC_MSGBOX_DEBUG};
    if (settingsKey == key::kCopiesType) return {IDC_COPIES_TYPE};
    if (settingsKey == key::kRunApiType) return {IDC_RUN_API_TYPE};
    if (settingsKey == key::kTemplatesFolder) return {IDC_TEMPLATES_FOLDER};
    if (settingsKey == key::kApiProxyExe) return {IDC_API_PROXY_EXE};
    if (settingsKey == key::kBartenderExePath) return {IDC_BARTENDER_EXE_PATH};
    return {};
}

std::vector<std::pair<std::string, std::string>> SettingsToSave(const ConfigForm& form) {
    std::vector<std::pair<std::string, std::string>> all = {
        {key::kPrinter, PrinterTextFor(form.printerRadio, form.printerName)},
        {key::kMsgBoxDebug, form.debugChecked ? msgboxdebug::kStoredOn : msgboxdebug::kStoredOff},
        {key::kCopiesType, text::FormatInt(CopiesTypeFor(form.copiesItem))},
        {key::kRunApiType, text::FormatInt(RunApiTypeFor(form.runnerItem))},
        {key::kTemplatesFolder, form.templatesFolder},
        {key::kApiProxyExe, form.apiProxyExe},
        {key::kBartenderExePath, form.bartenderExePath},
    };
    std::vector<std::pair<std::string, std::string>> toSave;
    for (auto& entry : all)
        if (!form.locked.count(entry.first)) toSave.push_back(std::move(entry));
    return toSave;
}

SaveResult SaveConfigForm(const CAppBase& app, const ConfigForm& form) {
    // What a policy locks now is not written, whatever the form says.
    ConfigForm toSave = form;
    const std::set<std::string> locked = LockedSettings();
    toSave.locked.insert(locked.begin(), locked.end());
    return WriteSettingTexts(app, section::kSettings, SettingsToSave(toSave));
}

std::string SaveFailureText(const std::string& settingsFile, const SaveResult& result) {
    std::string keys;
    for (const std::string& key : result.unsaved) keys += (keys.empty() ? "" : ", ") + key;
    return "The settings could not be saved in " + settingsFile + ".\n\n" + result.reason +
           "\n\nNot saved: " + keys +
           ".\n\nCorrect the problem and press OK again, or press Cancel to close without "
           "saving.";
}

}  // namespace ui
