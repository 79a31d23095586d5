// Configuration mode of the host build: there is no window, so it prints
// what the configuration dialog would show (the settings as the dialog loads
// them, the last job with its parameter rows) and where the settings file
// is. It asks nothing and writes nothing: the host file question and OK
// belong to the Windows dialog.
#include <cstdio>
#include <string>

#include "platform/framework.h"
#include "settings/store.h"
#include "ui/config_dialog.h"
#include "ui/config_form.h"

namespace {

const char* PrinterChoiceText(int radio) {
    switch (radio) {
        case IDC_PRINTER_SPECIFIC: return "Use Specific Printer:";
        case IDC_PRINTER_BYUSER: return "Use Printer according to user in INI file";
        case IDC_PRINTER_BYTEMPLATE: return "Use Printer according to Template in INI file";
        case IDC_PRINTER_MANUAL: return "Show printer selection manually before each print job";
        default: return "Use Default Windows Printer";
    }
}

void Line(const char* label, const std::string& value) {
    std::printf("  %-20s %s\n", label, value.c_str());
}

class ConsoleConfig final : public ConfigDialog {
public:
    explicit ConsoleConfig(CAppBase& app) : app_(app) {}
    int DoModal() override {
        const ui::ConfigForm form = ui::LoadConfigForm(app_);
        std::printf("Priority - Tarvel Connector\n");
        std::printf("Settings file: %s\n\n", SettingsFilePath(app_).c_str());
        std::printf("Settings\n");
        Line("Printer:", PrinterChoiceText(form.printerRadio));
        if (form.printerRadio == IDC_PRINTER_SPECIFIC) Line("Printer name:", form.printerName);
        Line("Use copies from:", form.copiesItem);
        Line("Templates folder:", form.templatesFolder);
        Line("API or Labels:", form.runnerItem);
        Line("API Proxy EXE:", form.apiProxyExe);
        Line("Bartender EXE Path:", form.bartenderExePath);
        Line("Debug MessageBox:", form.debugChecked ? "on" : "off");
        std::string locked;
        for (const std::string& name : form.locked) locked += (locked.empty() ? "" : ", ") + name;
        if (!locked.empty()) Line("Set by policy:", locked);
        std::printf("\nLast job Information\n");
        const ui::LastJobView& job = form.lastJob;
        Line("Command Line:", job.cmdLine);
        Line("Template:", job.templ);
        Line("Data File:", job.dataFile);
        Line("Copies:", job.copies);
        Line("Num Lines:", job.numLines);
        Line("Last User:", job.lastUser);
        Line("Tarvel Cmd Line:", job.tvlCmdLine);
        std::printf("  Paramaters:\n");
        std::printf("    %-4s %s\n", ui::kParamColumnNo, ui::kParamColumnValue);
        for (const ui::ParamRow& row : job.params)
            std::printf("    %-4s %s\n", row.number.c_str(), row.value.c_str());
        std::fflush(stdout);
        return IDCANCEL;  // nothing to confirm: as Cancel
    }

private:
    CAppBase& app_;
};

}  // namespace

std::unique_ptr<ConfigDialog> CreateConfigDialog(CAppBase& app) {
    return std::make_unique<ConsoleConfig>(app);
}
