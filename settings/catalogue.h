// Every section and key of the settings file, with the default each reader
// passes and the stored values that select a behaviour. Load, save and the
// job read their names and defaults from here, never from literals.
#pragma once

namespace section {
inline constexpr const char* kSettings = "Settings";
inline constexpr const char* kLastJob = "LastJob";
inline constexpr const char* kUserPrinter = "UserPrinter";
inline constexpr const char* kTemplatePrinter = "TemplatePrinter";
}  // namespace section

// Section Settings: the operator's configuration, written by the dialog's OK.
namespace key {
inline constexpr const char* kPrinter = "Printer";
inline constexpr const char* kMsgBoxDebug = "MsgBoxDebug";
inline constexpr const char* kCopiesType = "CopiesType";
inline constexpr const char* kRunApiType = "RunApiType";
inline constexpr const char* kTemplatesFolder = "TemplatesFolder";
inline constexpr const char* kApiProxyExe = "ApiProxyExe";
inline constexpr const char* kBartenderExePath = "BartenderExePath";

// Section Settings, kept by hand (the dialog does not show them); missing or
// empty means off.
inline constexpr const char* kJournalFile = "JournalFile";              // text: the job journal's path
inline constexpr const char* kJournalMaxKB = "JournalMaxKB";            // integer: rotation size
inline constexpr const char* kRunTimeoutSeconds = "RunTimeoutSeconds";  // integer: 0 waits without limit
inline constexpr const char* kExitStatus = "ExitStatus";                // integer: 1 reports the job's outcome
inline constexpr const char* kShowProgress = "ShowProgress";            // integer: 1 shows a long job's progress
inline constexpr const char* kEventLog = "EventLog";                    // integer: 1 problem jobs, 2 every job to the system's log

// Section LastJob: the record of the last print job, written by a job.
inline constexpr const char* kCmdLine = "CmdLine";
inline constexpr const char* kTemplate = "Template";
inline constexpr const char* kDataFile = "DataFile";
inline constexpr const char* kNumLines = "NumLines";
inline constexpr const char* kCopies = "Copies";
inline constexpr const char* kLastUser = "LastUser";
inline constexpr const char* kTvlCmdLine = "TvlCmdLine";

// Generated names: "%s%d" of kParamPrefix and N (Param1 ... Param20), and
// "%s_%d" of kCopies and the line number (Copies_1, Copies_2, ...).
inline constexpr const char* kParamPrefix = "Param";
inline constexpr int kParamCount = 20;
}  // namespace key

// Defaults passed by the readers.
namespace defaults {
inline constexpr const char* kText = "";          // every text key not listed below
inline constexpr int kInt = 0;                   // MsgBoxDebug, CopiesType, RunApiType
inline constexpr const char* kCopiesShown = "1";    // LastJob/Copies as the dialog reads it
inline constexpr const char* kNumLinesShown = "1";  // LastJob/NumLines as the dialog reads it
inline constexpr int kJournalMaxKB = 1024;          // Settings/JournalMaxKB
}  // namespace defaults

// Stored values of Settings/Printer, compared exactly, letter case included.
// An empty value is the label program's default printer; any other text is a
// printer name.
namespace printer {
inline constexpr const char* kByUser = "ByUser";
inline constexpr const char* kByTemplate = "ByTemplate";
inline constexpr const char* kManual = "Manual";
}  // namespace printer

// Settings/CopiesType. Any other number behaves as kAutomatic.
enum class CopiesType : int {
    kAutomatic = 0,  // the last field if it reads as a non-zero number, else field 21
    kLastField = 1,  // the line's last field
    kField21 = 2,    // field 21
};

// Settings/RunApiType. Any other number behaves as kProductOnly.
enum class RunApiType : int {
    kProductOnly = 0,     // Bartender or the label program
    kProxyOnly = 1,       // the API proxy alone
    kProxyThenProduct = 2,
    kProxyOnZuvezavi = 3, // the proxy when the template path holds "ZUVEZAVI", else the product
};

// Settings/ExitStatus: only exactly kReportOutcome makes the exit code tell
// the host what happened.
namespace exitstatus {
inline constexpr int kReportOutcome = 1;
}  // namespace exitstatus

// Settings/ShowProgress: only exactly kShow shows the progress of a job of
// more than one line (a window; on the host build a line on a terminal) and
// lets it be stopped after its current line.
namespace showprogress {
inline constexpr int kShow = 1;
}  // namespace showprogress

// Settings/EventLog: which jobs leave an entry in the system's log (the
// Application event log; on the host build syslog). Any other value than
// these behaves as 0: none.
namespace eventlog {
inline constexpr int kProblems = 1;  // jobs that did not print every label, or kept no record
inline constexpr int kEveryJob = 2;
}  // namespace eventlog

// Settings/MsgBoxDebug: only exactly kShowDebugBox shows the box in a job.
namespace msgboxdebug {
inline constexpr int kShowDebugBox = 1;
inline constexpr const char* kStoredOn = "1";
inline constexpr const char* kStoredOff = "0";
}  // namespace msgboxdebug
