// What the connector's core may ask of the operating system.
//
// This header is the whole boundary: the core (app/, settings/, job/, launch/,
// ui/ without ui/win32/) includes nothing from <windows.h> or POSIX. Each
// function below is implemented once in platform/win32 (the real Win32 API)
// and once in platform/posix (our own layer); CMake links exactly one of them.
//
// Divisions:
//   1. the running program       5. the user and processes
//   2. private-profile files     6. appending records
//   3. data files                7. reports
//   4. text in the ANSI code page 8. interaction with a person
//   9. looking at an installation (reads only)
//  10. the terminal a job was started from
//  11. the system's log
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class Interaction;  // division 8

// What the system reported for a call that failed: its error code (Win32:
// the GetLastError code; POSIX: the errno value) and the system's own text
// for it ("Access is denied."). A code of 0 means success.
struct SystemError {
    uint32_t code = 0;
    std::string text;
    bool failed() const { return code != 0; }
};

// The system's text for an error code, without a final line end.
std::string SystemErrorText(uint32_t code);

// The error with that code and the system's text for it.
inline SystemError SystemErrorOf(uint32_t code) { return SystemError{code, SystemErrorText(code)}; }

// ---------------------------------------------------------------- 1. program

// Full path of the running executable as the system reports it, or "" when it
// cannot be had. Paths of 260 characters or more are returned whole (the
// caller decides what to do with them).
std::string ModulePath();

// The separator of folders in the system's paths: '\\' on Win32, '/' on POSIX.
char PathSeparator();

// Whether `path` is absolute (Win32: it starts with a drive letter and a
// colon, or with a separator; POSIX: with '/'), not relative to a folder.
bool IsAbsolutePath(std::string_view path);

// The process command line as the runtime hands it over, program name first
// (Win32: GetCommandLineA). The POSIX build rebuilds it from argv, see
// platform/posix/main.cpp.
std::string ProcessCommandLine();

// Registers the common-control classes with the given class set
// (InitCommonControlsEx). No effect on POSIX.
void InitCommonControls(uint32_t classes);

// ---------------------------------------------------------- 2. profile files
//
// Both builds read and write profile files with our own engine
// (platform/profile_engine.h), which follows the rules of Windows'
// GetPrivateProfileStringA, GetPrivateProfileIntA and
// WritePrivateProfileStringA, so the file format is exactly theirs. Unlike
// them, a write never leaves a torn or empty file: the new file is written
// beside the old one and renamed over it. Where no file can be made beside it
// (a folder that refuses new files while the file itself may be written, or
// another program holding the file so that it cannot be replaced), the file is
// rewritten in place from its first changed byte (made its new size first,
// and re-read under the turn). The new file is flushed to the disk before it
// replaces the old one. Our processes take turns per file, machine-wide, so
// no write loses another's key; a job that may wait no longer for its turn
// (LimitWaitsForOthers) writes without it, checking the file just before the
// replace. A file that is a link is written through to the file it names (by
// its final path, whatever its length and characters). Another program
// holding the file so that it can be neither replaced nor rewritten (Win32:
// open without sharing what a write needs, or a locked range) is waited for a
// moment.
//
// A write fails when the file refuses it (Win32: the read-only attribute;
// POSIX: no write permission bit, even for root), or when a missing file
// would have to be created in a folder that refuses it (POSIX: also for root),
// or when the folder is missing, or when another program keeps holding it,
// or when the disk is full, a quota is used up or the disk fails: then the
// old file stays as it was, byte for byte (in place, where setting the size
// reserves no space, a full disk can tear what follows the first changed
// byte).

// As GetPrivateProfileStringA with a buffer of `bufferSize` bytes: the text
// the buffer holds after the call (at most bufferSize - 1 bytes).
std::string ProfileGetString(const std::string& section, const std::string& key,
                             const std::string& defaultText, std::size_t bufferSize,
                             const std::string& path);

// As GetPrivateProfileIntA.
int ProfileGetInt(const std::string& section, const std::string& key, int defaultValue,
                  const std::string& path);

// One value to write: as WritePrivateProfileStringA with a real (non-null)
// key and value.
struct ProfileEntry {
    std::string section;
    std::string key;
    std::string value;
};

// Writes every entry, in order, as one update of the file: when it returns,
// either all of them are in the file or none is. An update that changes no
// byte leaves the file untouched. Returns the system's error when it failed.
SystemError ProfileWrite(const std::string& path, const std::vector<ProfileEntry>& entries);

// Why our processes in other logon sessions may not take turns with this one
// on profile files: Win32, the error that kept a machine-wide turn from being
// made (the per-session turn serves instead); nothing (code 0) when every
// turn so far is machine-wide, and always on POSIX, whose locks are.
SystemError ProfileTurnShortfall();

// Waiting for other processes. Every wait for what another process holds (a
// lock or turn on a profile file or the journal, a file another program has
// open without sharing it) has its own bound. LimitWaitsForOthers gives this
// process, from now on, a budget of `total` for all of them together, so that
// whoever can read a job's files cannot hold the job up for long. Once it is
// spent, a wait tries once and the call goes on without what it waited for
// (a write then checks, just before its replace, that the file still holds
// what its change was computed from). Without a call (the configuration
// dialog's process) each wait has only its own bound.
void LimitWaitsForOthers(std::chrono::milliseconds total);

// Whether the budget of LimitWaitsForOthers is spent, and on what: `held`
// names what was held and, where the system can tell, by whom ("the lock on
// /srv/vantor/vantor.ini, held by process 4711 (anna)"); `error` is the
// system's error of the last try of the wait that spent it.
struct WaitsSpent {
    bool spent = false;
    std::string held;
    SystemError error;
};
WaitsSpent WaitsForOthersSpent();

// Makes the replaces of the profile file `path` so far lasting. Each new
// file is flushed to the disk before it replaces the old one, so after a
// power cut the file is whole, old or new; what a replace itself (the rename)
// needs to outlast one is flushed here, once for many writes (a job calls it
// when it ends): POSIX flushes the folder that holds the file; Win32 has
// nothing to do (NTFS logs the rename in its own journal). The system's error
// when it failed.
SystemError ProfileFlush(const std::string& path);

// One entry; whether it reached the file.
bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);

// The value an administrator's policy sets for the setting `name` of the
// connector, which then holds instead of the settings file's (locked
// settings for shared machines); nothing when no policy names it.
// Win32: the value `name` of HKLM\SOFTWARE\Policies\Vantor (shared by the
// 32-bit and 64-bit registry views), a string as it is, a DWORD as its
// decimal number; a REG_EXPAND_SZ as written, not expanded with the user's
// environment. POSIX: the key `name` of section [Settings] in
// /etc/vantor/policy.ini (a UTF-8 byte-order mark at its start skipped),
// taken only while that file belongs to root and no one else may write it;
// the file is read without a lock.
std::optional<std::string> PolicyValue(const std::string& name);

// Where an administrator sets the policy value `name`, for a person to read:
// Win32 "HKLM\SOFTWARE\Policies\Vantor, value <name>"; POSIX
// "/etc/vantor/policy.ini [Settings] <name>".
std::string PolicyPlace(const std::string& name);

// What of the policy could not be read, so that a job can say so (the
// setting then keeps the settings file's value). Win32: the names of the
// values of a type PolicyValue does not take (REG_MULTI_SZ, REG_QWORD, binary,
// a DWORD of another size than 4 bytes), or the policy key's own path when it
// exists but cannot be opened. POSIX: the policy file's path when it is there
// but cannot be read.
std::vector<std::string> UnreadablePolicies();

// ------------------------------------------------------------- 3. data files

// Why a file could not be opened. Each platform maps its own error codes onto
// these; not every platform can produce every cause.
enum class FileErrorCause {
    None,
    Generic,
    FileNotFound,
    BadPath,
    TooManyOpenFiles,
    AccessDenied,
    InvalidFile,
    RemoveCurrentDir,
    DirectoryFull,
    BadSeek,
    HardIO,
    SharingViolation,
    LockViolation,
    DiskFull,
    EndOfFile,
    NotAFile,  // a device or a pipe: reading it could wait for ever
};

struct FileReadResult {
    bool opened = false;
    FileErrorCause cause = FileErrorCause::None;  // set when !opened
    std::string bytes;                            // what was read
    std::uint64_t fileSize = 0;                   // the whole file's size when it was opened
};

// Which bytes of a file longer than a read's limit are read.
enum class ReadPart { Oldest, Newest };

// Opens `path` for reading while others may read but not write it (Win32:
// FILE_SHARE_READ), reads at most `maxBytes` bytes, closes it again.
// A relative path is relative to the current directory. Only regular files
// are read: a device or a pipe (a serial port, the console, a pipe nobody
// writes to) could keep the read waiting for ever and counts as a file that
// cannot be opened (NotAFile), except the null device, which reads as an
// empty file.
FileReadResult ReadFileDenyWrite(const std::string& path, std::size_t maxBytes);

// As ReadFileDenyWrite, but others may go on reading, writing, renaming and
// deleting the file while it is read (Win32: FILE_SHARE_READ |
// FILE_SHARE_WRITE | FILE_SHARE_DELETE; POSIX: no lock taken), so that no
// writer ever fails because of this reader. For files that others append to
// or replace while we look at them: the journal, the settings file.
// With ReadPart::Newest, a file longer than `maxBytes` is read from that
// many bytes before its end (as it was when opened) instead of from its
// start: the newest records of a log.
FileReadResult ReadFileShared(const std::string& path, std::size_t maxBytes,
                              ReadPart part = ReadPart::Oldest);

// Writes `text` to standard output unchanged and flushes it.
void WriteStdout(std::string_view text);

// ---------------------------------------------------- 4. ANSI code-page text

// Whether `c` is a lead byte of a double-byte character in the ANSI code
// page (Win32: IsDBCSLeadByte). UTF-8 and single-byte code pages have none.
bool IsLeadByte(unsigned char c);

// UTF-16 little-endian text to the ANSI code page; characters the code page
// lacks become its default character.
std::string Utf16ToAnsi(std::u16string_view text);

// ANSI text to UTF-16 (Win32: the ANSI code page; POSIX: UTF-8, a byte that
// starts no valid sequence becoming U+FFFD).
std::u16string AnsiToUtf16(std::string_view text);

// ANSI text to UTF-8 (POSIX: unchanged).
std::string AnsiToUtf8(std::string_view text);

// UTF-8 text to the ANSI code page, as Utf16ToAnsi.
std::string Utf8ToAnsi(std::string_view text);

// UTF-16 little-endian text to UTF-8, every character kept (a lone surrogate
// becomes U+FFFD on Win32 and '?' on POSIX).
std::string Utf16ToUtf8(std::u16string_view text);

// Whether every character of UTF-8 text has an exact form in the ANSI code
// page (no default character, no "best fit" stand-in). POSIX: always, its
// ANSI text being UTF-8.
bool AnsiCanHold(std::string_view utf8);

// Upper-cases ANSI text with the system's rules, double-byte characters kept
// whole (Win32: CharUpperA).
std::string UpperCaseAnsi(std::string_view text);

// --------------------------------------------------- 5. user and processes

// The name of the user running the program (Win32: GetUserNameA with a
// 257-byte buffer; POSIX: the login name of the effective user). Returns
// false when it cannot be read.
bool UserName(std::string& name);

// The id of this process.
uint32_t ProcessId();

// Someone who keeps a window or a terminal line up to date while a runner
// runs (the progress window), on the thread that waits for the runner.
class RunnerWait {
public:
    virtual ~RunnerWait() = default;
    // Called while the runner runs: on Win32 at once whenever a message for
    // the waiting thread arrives, so that its windows paint and answer
    // (the wait is MsgWaitForMultipleObjectsEx), and at least every
    // kRunnerWaitTickMs on both platforms. Returns true to end the runner
    // now, together with the processes it started, as the time-out does.
    virtual bool WhileRunning() = 0;
};

// The longest time between two WhileRunning calls, in milliseconds.
inline constexpr uint32_t kRunnerWaitTickMs = 250;

// How a process is run.
struct RunOptions {
    // Seconds the process may run; 0 waits without limit. When the time is
    // up, the process is ended together with the processes it started
    // (Win32: a job object; POSIX: its own process group).
    uint32_t timeoutSeconds = 0;
    // Called while the process runs (see RunnerWait); null for a plain wait.
    // With one, the process is started so that it can be ended together with
    // the processes it starts, as with a time-out (Win32: a job object;
    // POSIX: a process group of its own, which also keeps a terminal's
    // Ctrl-C from reaching it).
    RunnerWait* wait = nullptr;
    // The folder the process starts in (ANSI text); "" for this process's
    // current folder.
    std::string currentFolder;
};

// What became of a process run.
struct ProcessOutcome {
    enum class State {
        NotStarted,  // it could not be started: `error` says why (Win32: the
                     // system's text with the program's path for its "%1")
        Exited,      // it ended by itself: `exitCode`
        TimedOut,    // it ran past the time-out and was ended
        Ended,       // it was ended on request (RunnerWait), before it ended by itself
        EndUnknown,  // it started, but how it ended could not be read: `error`
                     // says why; a failure, never taken for exit 0
    };
    State state = State::NotStarted;
    uint32_t exitCode = 0;
    SystemError error;
    // Something that went wrong without changing the outcome, for the
    // journal ("" when nothing did).
    std::string warning;
    std::chrono::system_clock::time_point started;  // when it was started (or tried)
    std::chrono::system_clock::time_point ended;    // when its end was seen
};

// Starts `commandLine` (ANSI text) as a hidden process (Win32: CreateProcessA
// with STARTF_USESHOWWINDOW and SW_HIDE; POSIX: the line split the way the
// Microsoft C runtime splits it, then posix_spawnp) and waits for its end, or
// until the time-out of `options`. When `unicodeCommandLine` is not empty it
// is the same command line in UTF-8, holding characters the ANSI code page
// cannot represent: Win32 then starts the process with CreateProcessW from it
// (a program that reads its command line as ANSI gets the system's ANSI form
// of it); POSIX starts it from that text.
ProcessOutcome RunHidden(const std::string& commandLine, const RunOptions& options = {},
                         const std::string& unicodeCommandLine = std::string());

// What a program that reads its command line as ANSI gets when it is started
// from the Unicode command line `utf8`. Win32: the system's own conversion,
// WideCharToMultiByte to the ANSI code page without WC_NO_BEST_FIT_CHARS, so
// a character the code page lacks becomes a look-alike ("best fit": U+FF02
// FULLWIDTH QUOTATION MARK becomes '"') or the default character. POSIX: a
// runner gets its arguments as they are, there is no such step; this gives
// `utf8` with the best-fit stand-ins of Windows' Western code page (1252) for
// blanks, double quotes and backslashes, the characters a command line is
// split at, so that the launch's check for them runs on the host as well.
std::string AnsiFormOfUnicodeLine(std::string_view utf8);

// RunHidden without a time-out, keeping only its exit code: false, with
// `exitCode` left as it was, when the process could not be started.
inline bool RunHiddenAndWait(const std::string& commandLine, uint32_t& exitCode) {
    const ProcessOutcome outcome = RunHidden(commandLine);
    if (outcome.state == ProcessOutcome::State::Exited) exitCode = outcome.exitCode;
    return outcome.state != ProcessOutcome::State::NotStarted;
}

// ------------------------------------------------------ 6. appending records

// Appends `record` (one whole line) to the file at `path`, creating it, as
// one write that no other process's record can tear or interleave: POSIX
// O_APPEND with one write(); Win32 FILE_APPEND_DATA with one WriteFile, while
// our processes take turns on a named mutex per file (an append-only handle
// alone is not enough under Wine). The file is opened for each record and
// shared for reading, writing and deleting; another program holding it so
// that it cannot be opened for appending (Win32) is waited for a moment.
SystemError AppendRecord(const std::string& path, std::string_view record);

// When the file at `path` is larger than `maxBytes`, renames it to
// `<path>.1`, replacing an earlier one, in turn with AppendRecord. The size is
// looked at first; the turn (POSIX: the file's lock) is waited for only a
// moment, and a rotation that cannot be had soon is skipped (the next job
// rotates). Returns whether it did.
bool RotateIfLarger(const std::string& path, uint64_t maxBytes);

// The local time of `when` with milliseconds and the offset from UTC:
// "2026-12-08T14:03:05.123+01:00".
std::string LocalTimestamp(std::chrono::system_clock::time_point when);

// ------------------------------------------------------- 7. reports

// Where a report went.
enum class ReportPlace { StandardOutput, Console, Window };

// Shows a text to the person who started the program: on standard output
// when that is a file or a pipe; otherwise (Win32) on the console of the
// program that started this one, when it has one, in Unicode (WriteConsoleW,
// so the console shows the ANSI text's characters whatever its own code
// page); otherwise in a message box with `caption`, through `interaction`.
// POSIX: standard output.
ReportPlace ShowReport(const std::string& text, const std::string& caption,
                       Interaction& interaction);

// ------------------------------------------- 8. interaction with a person

// Everything that needs a person's answer goes through this seam, so tests
// can stand in for the person. The application object holds one.
class Interaction {
public:
    virtual ~Interaction() = default;

    // A message box without owner, `text` and `caption`, one OK button.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;

    // A message box with the warning icon and one OK button, owned by `owner`
    // (a window handle on Win32, may be null): something the person asked
    // for did not happen. By default, as ShowMessage.
    virtual void ShowWarning(void* /*owner*/, const std::string& text, const std::string& caption) {
        ShowMessage(text, caption);
    }

    // A Yes/No question box with the question-mark icon, owned by `owner`
    // (a window handle on Win32, may be null). True for Yes.
    virtual bool AskYesNo(void* owner, const std::string& text, const std::string& caption) = 0;

    // As AskYesNo and ShowWarning, with `text` and `caption` in UTF-8 shown
    // with every character (Win32: MessageBoxW), for text that must not
    // pass through the ANSI code page's best-fit look-alikes (a path that
    // decides which program starts).
    virtual bool AskYesNoUnicode(void* owner, const std::string& text, const std::string& caption) = 0;
    virtual void ShowWarningUnicode(void* owner, const std::string& text, const std::string& caption) = 0;

    // The common print dialog as the manual printer policy asks for it.
    // Returns the chosen device name, "" for cancel or failure.
    virtual std::string AskPrinter() = 0;
};

// The platform's real boxes: the Win32 message box and print dialog; on
// POSIX, the message on standard error and the printer name read as one line
// from standard input (end of input or an empty line is a cancel).
Interaction& SystemInteraction();

// ------------------------------------------ 9. looking at an installation
//
// Questions a health check asks about files, folders and printers. None of
// them creates, changes or deletes anything.

enum class PathKind { Missing, File, Folder, Other };

// What is at `path`: a regular file, a folder, something else (a device), or
// nothing (`error` then says why it could not be looked at).
struct PathState {
    PathKind kind = PathKind::Missing;
    SystemError error;
};
PathState InspectPath(const std::string& path);

// Opens the existing file at `path` for writing while others may read, write
// and delete it, and closes it again without writing (Win32: GENERIC_WRITE,
// OPEN_EXISTING). Both follow the profile engine's rule for a file that
// refuses writes: Win32 the read-only attribute (which Wine running as root
// would otherwise open), POSIX a file without any write permission bit, even
// for root. The error when it could not be opened so.
SystemError TryOpenForWriting(const std::string& path);

// Whether new files can be made in the folder `folder` (Win32: the folder
// opened with FILE_ADD_FILE access; POSIX: access() for writing and
// searching). The error when not.
SystemError TryFolderTakesFiles(const std::string& folder);

// Lists the folder `folder`; `entries` is the number of files and folders in
// it ("." and ".." not counted). The error when it cannot be listed.
SystemError ListFolder(const std::string& folder, std::size_t& entries);

// The file version of a program's version resource ("2.0.5.0", from its
// fixed file information); "" when it has none (POSIX: always).
std::string FileVersionOf(const std::string& path);

// The printers installed for this user, as the system lists them.
struct PrinterList {
    bool known = false;         // whether a list could be read at all
    std::string source;         // where it came from, for a person to read
    std::string why;            // when !known: why not
    std::vector<std::string> names;
    std::string defaultPrinter;  // "" when there is none (or it cannot be told)
};
// Win32: EnumPrintersA of the local and connected printers (level 4) and
// GetDefaultPrinterA. POSIX: the print system's printcap file (CUPS writes
// /etc/printcap, or /run/cups/printcap), its default from
// /etc/cups/lpoptions; not known when neither file can be read.
PrinterList InstalledPrinters();

// Whether two paths (or printer names) are the same text as the system
// compares such names: Win32 ordinally without regard to letter case
// (CompareStringOrdinal on their UTF-16 forms, as the file system and the
// spooler compare names; no locale's rules), exactly on POSIX.
bool SamePathText(std::string_view a, std::string_view b);

// Whether this machine can run a Windows program built for the processor
// `peMachine` (the IMAGE_FILE_MACHINE_* number of its PE header), and the
// number of this machine's own processor. Win32: GetMachineTypeAttributes
// where Windows has it (Windows 11: x64 programs on ARM64), else the native
// machine from IsWow64Process2 (Windows 10) or GetNativeSystemInfo and what
// each runs (x86 programs on x64 and ARM64, 32-bit ARM ones on ARM64); each
// looked up at run time, so that the connector still starts on Windows 7.
// POSIX: no Windows program runs (runs false, native 0).
struct MachineSupport {
    bool runs = false;
    uint16_t native = 0;
};
MachineSupport WindowsMachineSupport(uint16_t peMachine);

// Whether this user may start the program file at `path`. POSIX: access()
// for executing, by the effective user. Win32: nothing is looked at (code 0):
// who may execute a file is the file's access rules, which starting it tells.
SystemError TryMayExecute(const std::string& path);

// Whether the programs this build starts are Windows programs (PE images):
// Win32 true; POSIX false (it starts the system's own programs and scripts).
bool StartsWindowsPrograms();

// ------------------------------------- 10. the terminal a job was started from

// The width in columns of the terminal that standard error is, or 0 when it
// is no terminal (a file, a pipe, nothing). Win32: always 0 (a GUI program
// has no console of its own).
int StandardErrorColumns();

// Writes `text` to standard error unchanged, at once.
void WriteStandardError(std::string_view text);

// From now on, the system's requests to stop the program (POSIX: SIGINT, as
// a terminal's Ctrl-C sends it, and SIGTERM) do not end it: they are
// counted, for the job to stop after its current line. Win32: nothing (no
// such request reaches a GUI program; its window asks instead).
void CountStopRequests();

// How many such requests came since CountStopRequests.
int StopRequests();

// ------------------------------------------------------- 11. the system's log

enum class LogEntryType { Information, Warning, Error };

// The source the connector's entries carry in the Application log, and the
// name it has in the system log on POSIX.
inline constexpr const char* kEventSource = "Vantor Connector";
inline constexpr const char* kSyslogIdent = "vantor";

// Writes one entry to the system's log. Win32: an event of source
// kEventSource in the Application log (RegisterEventSourceW, ReportEventW)
// with `eventId`, the type and `inserts` (UTF-8, as the message table's
// %1, %2, ...); the message table's sentence is not needed here: Event Viewer
// finds it through the source's registration. POSIX: syslog(3) with ident
// kSyslogIdent, facility LOG_USER, priority LOG_INFO, LOG_WARNING or LOG_ERR
// by `type`, and `text` (UTF-8, the sentence with its inserts). Returns the
// system's error when the entry could not be written (POSIX: the log socket
// could not be reached, where that can be told).
SystemError WriteSystemLog(LogEntryType type, uint32_t eventId, const std::vector<std::string>& inserts,
                           const std::string& text);

// How the event source is registered (Win32: the key
// HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\<kEventSource>).
struct EventSourceState {
    bool applies = true;       // false on POSIX: there is no registration
    bool registered = false;   // the key is there
    std::string messageFile;   // its EventMessageFile, environment variables expanded ("" when none)
    SystemError error;         // why the key could not be read, when it is there but unreadable
};
EventSourceState EventSourceRegistration();

}  // namespace platform
