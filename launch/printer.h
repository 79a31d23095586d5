// The printer of a label-program run: the stored policy, the per-user and
// per-template tables, and the print dialog of the manual policy.
#pragma once

#include <optional>
#include <string>

class CAppBase;

namespace launch {

// The label program's default printer.
inline constexpr const char* kDefaultPrinterSwitch = " /p";

// The switch for a printer name: " /pt \"<name>\" " (name unchanged, one
// blank after the closing quote); " /p" for an empty name.
std::string PrinterSwitch(const std::string& printerName);

// The user name recorded as LastJob/LastUser and looked up in UserPrinter:
// the name of the user running the connector, or "" when the system cannot
// tell it (the ByUser policy then names no printer, and the record does not
// keep an earlier job's user).
std::string LastUser();

// The printer switch of a label-program run for `templateName` (the name as
// the host passed it). Records LastUser first, for every policy. Returns
// nothing when the manual choice was cancelled.
std::optional<std::string> ChoosePrinterSwitch(const CAppBase& app, const std::string& templateName);

// The printer picked in the print dialog (through the application's
// Interaction); "" when it was cancelled or failed.
std::string AskPrinter(const CAppBase& app);

}  // namespace launch
