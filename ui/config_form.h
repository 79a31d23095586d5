// The configuration form model: what the controls of the configuration
// dialog hold, how it is loaded from the settings file and what OK writes
// back. No system headers: the Win32 dialog (ui/win32) binds it to controls,
// the host build prints it, and tests check it anywhere.
#pragma once

#include <array>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "res/resource.h"
#include "settings/store.h"

class CAppBase;

namespace ui {

// ------------------------------------------------------------ combo items

// Items of the copies drop-down list (IDC_COPIES_TYPE), in the order added:
// index 0, 1, 2.
inline constexpr const char* kCopiesAutomatic = "Automatic Detection";
inline constexpr const char* kCopiesLastParameter = "Always use last parameter";
inline constexpr const char* kCopiesParameter21 = "Always use parameter 21";
inline constexpr std::array<const char*, 3> kCopiesItems = {kCopiesAutomatic, kCopiesLastParameter,
                                                            kCopiesParameter21};

// Items of the runner drop-down list (IDC_RUN_API_TYPE), in the order added.
inline constexpr const char* kRunApiOnZuvezavi = "Run API on ZUVEZAVI Label otherwise run Tarvel";
inline constexpr const char* kRunTarvelOnly = "Run Tarvel Only";
inline constexpr std::array<const char*, 2> kRunnerItems = {kRunApiOnZuvezavi, kRunTarvelOnly};

// The parameter list's columns: header text and width in pixels at 96 DPI
// (the dialog scales them with its font, see ui/win32/win32_controls.cpp).
inline constexpr const char* kParamColumnNo = "No.";
inline constexpr int kParamColumnNoWidth = 30;
inline constexpr const char* kParamColumnValue = "Value";
inline constexpr int kParamColumnValueWidth = 200;

// The five printer radio buttons, in the order OK tests them after 1006
// (the first entry, IDC_PRINTER_DEFAULT, is what is left when none of the
// others is checked).
inline constexpr std::array<int, 5> kPrinterRadios = {IDC_PRINTER_DEFAULT, IDC_PRINTER_SPECIFIC,
                                                      IDC_PRINTER_BYUSER, IDC_PRINTER_BYTEMPLATE,
                                                      IDC_PRINTER_MANUAL};

// --------------------------------------------------------------- the form

// One row of the parameter list: "01", "02", ... and the value.
struct ParamRow {
    std::string number;
    std::string value;
    bool operator==(const ParamRow&) const = default;
};

// The read-only record of the last job.
struct LastJobView {
    std::string cmdLine;     // IDC_LASTJOB_CMDLINE
    std::string templ;       // IDC_LASTJOB_TEMPLATE
    std::string dataFile;    // IDC_LASTJOB_DATAFILE
    std::string copies;      // IDC_LASTJOB_COPIES
    std::string numLines;    // IDC_LASTJOB_NUMLINES
    std::string lastUser;    // IDC_LASTJOB_LASTUSER
    std::string tvlCmdLine;  // IDC_LASTJOB_TVLCMDLINE
    std::vector<ParamRow> params;  // IDC_PARAMS, in the order the list shows them
    bool operator==(const LastJobView&) const = default;
};

// What the configuration dialog's controls hold. Loading fills it from the
// settings file; the dialog shows it, the operator changes it, and OK reads
// it back from the controls and saves it.
struct ConfigForm {
    int printerRadio = IDC_PRINTER_DEFAULT;  // the checked radio button, one of kPrinterRadios
    std::string printerName;                 // IDC_PRINTER_NAME, kept while another radio is checked
    bool debugChecked = false;               // IDC_MSGBOX_DEBUG
    std::string copiesItem = kCopiesAutomatic;  // selected text of IDC_COPIES_TYPE
    std::string runnerItem = kRunTarvelOnly;    // selected text of IDC_RUN_API_TYPE
    std::string templatesFolder;             // IDC_TEMPLATES_FOLDER
    std::string apiProxyExe;                 // IDC_API_PROXY_EXE
    std::string bartenderExePath;            // IDC_BARTENDER_EXE_PATH
    // Settings keys an administrator's policy sets: their controls show the
    // policy's value read-only, and OK does not write them.
    std::set<std::string> locked;
    LastJobView lastJob;
    bool operator==(const ConfigForm&) const = default;
};

// ------------------------------------------------------------ the mappings

// The radio button for a stored Settings/Printer text (exact comparison,
// letter case included): the keywords select their buttons, the empty text
// the default printer, any other text a specific printer.
int PrinterRadioFor(std::string_view storedPrinter);

// The Settings/Printer text that OK stores for a radio choice and the text
// of the printer-name edit: the name only for IDC_PRINTER_SPECIFIC.
std::string PrinterTextFor(int radio, std::string_view printerName);

// The copies item shown for a stored CopiesType, and the number OK stores
// for a selected item text (exact comparison; anything else gives 0).
const char* CopiesItemFor(int copiesType);
int CopiesTypeFor(std::string_view item);

// The runner item shown for a stored RunApiType (0: Tarvel only, any other
// number: the API on ZUVEZAVI labels), and the number OK stores (0 for
// "Run Tarvel Only", 3 for anything else).
const char* RunnerItemFor(int runApiType);
int RunApiTypeFor(std::string_view item);

// The row number as the list shows it: "%02d".
std::string ParamRowNumber(int n);

// The [Settings] keys that an administrator's policy sets (PolicyFor): the
// dialog's own, whose controls it shows read-only, and the hand-kept ones.
std::set<std::string> LockedSettings();

// The controls that show a Settings key.
std::vector<int> ControlsOf(std::string_view settingsKey);

// ------------------------------------------------------- loading and saving

// Reads the LastJob record and the Settings section the way the dialog shows
// them, with the catalogue's defaults. Parameters are read from Param1
// upward, past Param20, until the first empty value.
ConfigForm LoadConfigForm(const CAppBase& app);

// The Settings keys and the values OK writes for `form`, in the order
// written: Printer, MsgBoxDebug, CopiesType, RunApiType, TemplatesFolder,
// ApiProxyExe, BartenderExePath, each unless a policy locks it.
std::vector<std::pair<std::string, std::string>> SettingsToSave(const ConfigForm& form);

// Writes SettingsToSave(form) into section Settings as one update, leaving
// out the keys a policy locks: all its keys reach the file, or none does.
SaveResult SaveConfigForm(const CAppBase& app, const ConfigForm& form);

// The text of the box that says a save failed: the settings file, the
// system's reason, the settings not saved and what the operator can do.
std::string SaveFailureText(const std::string& settingsFile, const SaveResult& result);

}  // namespace ui
