// The health check's printers: the printer policy, and each printer name the
// settings can choose against the printers the system lists for this user.
#include <string>

#include "app/check_context.h"
#include "launch/printer.h"
#include "launch/printer_match.h"
#include "platform/platform.h"
#include "platform/profile_engine.h"
#include "platform/text.h"
#include "settings/catalogue.h"
#include "settings/store.h"

namespace health {

namespace {

// One printer name the settings can choose: `from` names where it is set,
// `fix` says how to correct it.
void Printer(CheckContext& c, const platform::PrinterList& list, const std::string& name, const std::string& from,
             const std::string& fix) {
    if (!list.known) {
        c.Add(Verdict::Warn, "printer", "\"" + name + "\" (" + from + ") cannot be looked up: " + list.why + ".");
        return;
    }
    const launch::PrinterMatch match = launch::MatchPrinter(list.names, name);
    if (match.kind == launch::PrinterMatch::Kind::Installed) {
        c.Add(Verdict::Ok, "printer", "\"" + name + "\" (" + from + ") is installed.");
        return;
    }
    if (match.kind == launch::PrinterMatch::Kind::Redirected) {
        c.Add(Verdict::Warn, "printer",
              "\"" + name + "\" (" + from + ") is installed here only as \"" + match.listed +
                  "\", a printer a terminal-server client brought into its session: it exists only in that "
                  "session, and other sessions, or the next one, name it differently. Name a printer installed "
                  "on this server, or give each user's printer in [UserPrinter]: " + fix + ".");
        return;
    }
    std::string names;
    for (const std::string& installed : list.names) names += (names.empty() ? "\"" : ", \"") + installed + "\"";
    std::string keyword;
    for (const char* word : {printer::kByUser, printer::kByTemplate, printer::kManual})
        if (text::SameIgnoringAsciiCase(name, word))
            keyword = " (it is not the keyword " + std::string(word) + ": keywords are compared letter case included)";
    c.Add(Verdict::Fail, "printer",
          "\"" + name + "\" (" + from + ") is not installed for this user on this machine" + keyword + " (installed: " +
              (names.empty() ? std::string("none") : names) + "). Connect the printer for this user, or " + fix + ".");
}

}  // namespace

void CheckPrinters(CheckContext& c) {
    const platform::PrinterList list = platform::InstalledPrinters();
    const std::string policy = c.Text(key::kPrinter);
    std::string summary = Setting(section::kSettings, key::kPrinter) + "=" + policy + " (" + c.SourceOf(key::kPrinter) + "); ";
    summary += list.known ? "printers from " + list.source + ": " + std::to_string(list.names.size()) +
                                ", default " + (list.defaultPrinter.empty() ? "none" : "\"" + list.defaultPrinter + "\"")
                          : "the printer list cannot be read: " + list.why;
    c.Add(Verdict::Ok, "printers", summary + ".");
    const std::string settingsFile = SettingsFilePath(c.app);
    if (policy == printer::kManual) return;
    if (policy == printer::kByUser) {
        const std::string user = launch::CurrentUserName();
        const std::string entry = Setting(section::kUserPrinter, user.empty() ? "<unknown user>" : user);
        const std::string name = ReadSettingText(c.app, section::kUserPrinter, user, defaults::kText);
        if (name.empty())
            c.Add(Verdict::Warn, "printer",
                  "no " + entry + " entry: this user's labels go to the label program's default printer. Add the entry.");
        else
            Printer(c, list, name, entry, "correct " + entry + " in " + settingsFile);
    } else if (policy == printer::kByTemplate) {
        for (const std::string& templateName : profile::KeysOf(c.settingsBytes, section::kTemplatePrinter)) {
            const std::string name = ReadSettingText(c.app, section::kTemplatePrinter, templateName, defaults::kText);
            const std::string entry = Setting(section::kTemplatePrinter, templateName);
            if (!name.empty()) Printer(c, list, name, entry, "correct " + entry + " in " + settingsFile);
        }
        if (c.hasTemplate) {
            const launch::PrinterChoice choice = launch::ChoosePrinter(c.app, c.templateName);
            if (choice.printerName.empty())
                c.Add(Verdict::Warn, "printer",
                      "no " + Setting(section::kTemplatePrinter, c.templateName) +
                          " entry: this template's labels go to the label program's default printer.");
        }
    } else if (!policy.empty()) {
        Printer(c, list, policy, c.Named(key::kPrinter), c.Correct(key::kPrinter));
    }
}

}  // namespace health
