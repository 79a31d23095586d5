#include "app/vantor_app.h"

#include <string>

#include "job/job_run.h"
#include "settings/catalogue.h"
#include "settings/store.h"
#include "ui/config_dialog.h"

bool CVantorApp::InitInstance() {
    platform::InitCommonControls(kCommonControlClasses);

    // The dialog object exists in both modes; a job never shows it.
    std::unique_ptr<ConfigDialog> dialog = CreateConfigDialog(*this);

    const std::string commandLine = CommandLineText();
    if (commandLine.empty()) {
        dialog->DoModal();
    } else {
        if (ReadSettingInt(*this, section::kSettings, key::kMsgBoxDebug, defaults::kInt) ==
            msgboxdebug::kShowDebugBox) {
            Interaction().ShowMessage(commandLine, kDebugCaption);
        }
        RunJob(*this, commandLine);
    }
    dialog.reset();
    return false;
}

int VantorMain(platform::Interaction& interaction) {
    std::string exePath = platform::ModulePath();
    if (exePath.empty()) {
        interaction.ShowMessage("The connector cannot start: the system did not give the path of "
                                "its program file.",
                                kProductCaption);
        return 1;
    }
    if (exePath.size() > kMaxExePath) {
        interaction.ShowMessage(
            "The connector cannot start: the path of its program file is longer than " +
                std::to_string(kMaxExePath) +
                " characters. Move it to a folder with a shorter path.\n\n" + exePath,
            kProductCaption);
        return 1;
    }
    CVantorApp app(exePath, CommandLineText(platform::ProcessCommandLine()), interaction);
    return RunApplication(app);
}
