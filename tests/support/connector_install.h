// A connector installed in a fresh temporary folder for a job test: a copy of
// the built connector as vantor[.exe] (its settings file vantor.ini beside
// it) and copies of the stand-in runner (tools/standin_runner.cpp) under the
// names of the programs it stands in for. Also: reading the runner's records
// and starting a program with an exact command line.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "support/temp_dir.h"

namespace testsupport {

// One run of the stand-in runner, as it recorded it.
struct RunRecord {
    std::string cmdline;              // the exact command line it received
    std::string cmdlineW;             // Win32: its Unicode command line, in UTF-8
    std::string cmdlineSource;        // GetCommandLineA, environment or argv
    std::vector<std::string> argv;    // its arguments, program name first
    std::string show;                 // Win32: "<dwFlags> <wShowWindow>"; POSIX: "none"
    std::string cwd;                  // the folder it was started in
    std::string iniCmdLine;           // LastJob values of vantor.ini at its start
    std::string iniTvlCmdLine;        //   (raw, or "<absent>")
    int exit = 0;
};

// The records of a runner's log file, oldest first; none when there is no log.
std::vector<RunRecord> ReadRunRecords(const std::string& logPath);

// The lines of a text: split at each LF, or with `crToo` at each CR and each
// LF (a CR LF pair then also leaves an empty line between them); a final line
// end adds no empty line.
std::vector<std::string> LinesOf(std::string_view text, bool crToo = false);

// A value of a record as the runners and the job journal escape it, read back.
std::string UnescapeRecordValue(std::string_view value);

// One record of the connector's job journal.
struct JournalRecord {
    std::string time, pid, kind;                // the three leading columns
    std::map<std::string, std::string> fields;  // name=value columns, values read back
};

// The records of a journal file, oldest first (none when there is no file). A
// line that is not a whole record (without a final line feed, or with fewer
// than three columns) comes back with the kind "<torn>".
std::vector<JournalRecord> ReadJournal(const std::string& path);

// The raw text after '=' of `key` in `section` of a profile file's bytes,
// names matched in any letter case; `fallback` when absent. Unlike a profile
// read, blanks at the ends of the value are kept.
std::string RawProfileValue(std::string_view fileBytes, std::string_view section,
                            std::string_view key, std::string_view fallback = "<absent>");

struct ProcessResult {
    bool started = false;
    uint32_t exitCode = 0;
    std::string output;  // what it wrote to standard output and error
};

// Starts `commandLine` exactly (Win32: CreateProcessA; POSIX: split as
// Windows would, with the exact text handed over as the host build's
// platform layer does), with `input` on its standard input through a pipe and
// its standard output and error collected, and waits for its end.
// `whileRunning` is called now and then with the process id until it ends.
ProcessResult RunProgram(const std::string& commandLine, const std::string& input = "",
                         const std::function<void(unsigned long)>& whileRunning = {});

// Win32 only: answers every dialog box the process `pid` shows with Cancel
// (a message box with only OK closes with it too) and returns the captions of
// the boxes it answered. No effect elsewhere.
std::vector<std::string> CancelDialogsOf(unsigned long pid);

class ConnectorInstall {
public:
    // With `labelProgram`, the stand-in is installed as Tarvel.exe.
    explicit ConnectorInstall(bool labelProgram = true);

    // The folder, without a trailing separator, and a file in it.
    const std::string& path() const { return dir_.path(); }
    std::string File(std::string_view name) const { return dir_.File(name); }
    // The folder with its trailing separator, as the connector names it.
    std::string Folder() const;
    std::string Exe() const;
    std::string Ini() const { return File("vantor.ini"); }

    // Installs the stand-in under `fileName` (Tarvel.exe, Bartend.exe, ...).
    void InstallRunner(std::string_view fileName) const;
    // The exit code the runner installed as `<name>.exe` gives.
    void SetExitCode(std::string_view name, int code) const;
    // The runs of the runner installed as `<name>.exe`.
    std::vector<RunRecord> Runs(std::string_view name) const;

    // The names of the runners that ran, in order ("Tarvel 0", "ApiProxy 9").
    std::vector<std::string> RunnerOrder() const;

    void WriteIni(std::string_view bytes) const;
    std::string IniBytes() const;
    // A value read back through the platform's profile functions.
    std::string IniText(const std::string& section, const std::string& key,
                        const std::string& fallback = "<none>") const;
    // A value as it stands in the file, blanks included.
    std::string RawIni(std::string_view section, std::string_view key) const;

    // Starts the connector with `arguments` after its quoted path.
    ProcessResult RunConnector(const std::string& arguments, const std::string& input = "",
                               const std::function<void(unsigned long)>& whileRunning = {}) const;

private:
    TempDir dir_;
};

}  // namespace testsupport
