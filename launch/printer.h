// The printer of a label-program run: the stored policy, the per-user and
// per-template tables, and the print dialog of the manual policy.
#pragma once

#include <string>

#include "platform/text.h"

class CAppBase;

namespace launch {

// The label program's default printer.
inline constexpr const char* kDefaultPrinterSwitch = " /p";

// In planning mode the manual policy asks nobody: its printer stands in the
// planned command line as this.
inline constexpr const char* kPlannedManualPrinter = "<asks the operator>";

// The switch for a printer name: " /pt \"<name>\" " (the name quoted by
// QuoteArgument with `isLead`, one blank after the closing quote); " /p" for
// an empty name.
std::string PrinterSwitch(const std::string& printerName,
                          text::LeadByteRule isLead = text::SystemLeadByte);

// The name of the user running the connector, recorded as LastJob/LastUser
// and looked up in UserPrinter; "" when the system cannot tell it (the
// ByUser policy then names no printer, and the record does not keep an
// earlier job's user).
std::string CurrentUserName();

// The printer of one label-program run.
struct PrinterChoice {
    bool cancelled = false;     // the operator cancelled the print dialog
    std::string printerSwitch;  // PrinterSwitch of the printer chosen
    std::string switchName;     // the name in printerSwitch ("" for the label program's default)
    std::string how;            // how it was chosen, for a person to read
    std::string printerName;    // the printer named ("" for the label program's default, or the
                                // operator's choice in planning mode)
};

// The printer of a label-program run for `templateName` (the name as the host
// passed it). Records LastUser first, for every policy. The manual policy
// shows the print dialog (in planning mode it asks nobody).
PrinterChoice ChoosePrinter(const CAppBase& app, const std::string& templateName);

}  // namespace launch
