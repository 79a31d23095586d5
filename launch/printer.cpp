#include "launch/printer.h"

#include "app/framework.h"
#include "settings/catalogue.h"
#include "settings/store.h"

namespace launch {

std::string PrinterSwitch(const std::string& printerName) {
    if (printerName.empty()) return kDefaultPrinterSwitch;
    return " /pt \"" + printerName + "\" ";
}

std::string LastUser() {
    std::string name;
    if (!platform::UserName(name)) return std::string();
    return name;
}

std::string AskPrinter(const CAppBase& app) { return app.Interaction().AskPrinter(); }

std::optional<std::string> ChoosePrinterSwitch(const CAppBase& app, const std::string& templateName) {
    const std::string user = LastUser();
    WriteSettingText(app, section::kLastJob, key::kLastUser, user);

    // Keywords are compared exactly: "byuser" is a printer's name.
    const std::string policy =
        ReadSettingText(app, section::kSettings, key::kPrinter, defaults::kText);
    std::string printerName;
    if (policy == printer::kByUser) {
        if (!user.empty())
            printerName = ReadSettingText(app, section::kUserPrinter, user, defaults::kText);
    } else if (policy == printer::kByTemplate) {
        printerName = ReadSettingText(app, section::kTemplatePrinter, templateName, defaults::kText);
    } else if (policy == printer::kManual) {
        printerName = AskPrinter(app);
        if (printerName.empty()) return std::nullopt;
    } else {
        printerName = policy;
    }
    return PrinterSwitch(printerName);
}

}  // namespace launch
