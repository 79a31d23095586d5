#include "launch/printer.h"

#include "launch/arguments.h"

#include "platform/framework.h"
#include "settings/catalogue.h"
#include "settings/store.h"

namespace launch {

std::string PrinterSwitch(const std::string& printerName, text::LeadByteRule isLead) {
    if (printerName.empty()) return kDefaultPrinterSwitch;
    return " /pt " + QuoteArgument(printerName, isLead) + " ";
}

std::string CurrentUserName() {
    std::string name;
    if (!platform::UserName(name)) return std::string();
    return name;
}

PrinterChoice ChoosePrinter(const CAppBase& app, const std::string& templateName) {
    const std::string user = CurrentUserName();
    WriteSettingText(app, section::kLastJob, key::kLastUser, user);

    // Keywords are compared exactly: "byuser" is a printer's name.
    const std::string policy =
        ReadSettingText(app, section::kSettings, key::kPrinter, defaults::kText);
    PrinterChoice choice;
    std::string printerName;
    if (policy == printer::kByUser) {
        if (!user.empty())
            printerName = ReadSettingText(app, section::kUserPrinter, user, defaults::kText);
        choice.how = "by user " + user + " in [" + section::kUserPrinter + "]";
    } else if (policy == printer::kByTemplate) {
        printerName = ReadSettingText(app, section::kTemplatePrinter, templateName, defaults::kText);
        choice.how = "by template " + templateName + " in [" + section::kTemplatePrinter + "]";
    } else if (policy == printer::kManual) {
        choice.how = "asks the operator (print dialog)";
        printerName = app.Planning() ? kPlannedManualPrinter : app.Interaction().AskPrinter();
        if (printerName.empty()) {
            choice.cancelled = true;
            return choice;
        }
    } else {
        printerName = policy;
        choice.how = policy.empty() ? "the label program's default" : "fixed";
    }
    choice.switchName = printerName;
    choice.printerSwitch = PrinterSwitch(printerName);
    if (!(policy == printer::kManual && app.Planning())) choice.printerName = printerName;
    return choice;
}

}  // namespace launch
