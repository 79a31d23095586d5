// The health check (/CHECK): what is wrong with this installation before a
// job runs, one line per check, found with the same code a job uses. It
// starts nothing, writes nothing and asks nobody.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CAppBase;

namespace health {

// Exit codes of a check, beside the job's (app/vantor_app.h).
inline constexpr int kExitCheckWarnings = 20;  // a WARN, no FAIL
inline constexpr int kExitCheckFailed = 21;    // a FAIL

enum class Verdict { Ok, Warn, Fail };

// One line of the report.
struct Finding {
    Verdict verdict = Verdict::Ok;
    std::string check;  // the check's name: "settings-file", "label-program", ...
    std::string text;   // what was found, the setting it came from, what to do
};

// Every check of the installation of `app`; `commandLine` (without /CHECK) is
// read as a job's, and its "/F=" template and "/D=" data file are checked
// too. Puts the application in planning mode while it reads, so that the code
// it shares with a job writes and starts nothing.
std::vector<Finding> CheckInstallation(CAppBase& app, const std::string& commandLine);

// The report: a header, then "<OK|WARN|FAIL> <check>: <text>" per finding,
// values escaped as a dry run's are.
std::string ReportText(const CAppBase& app, const std::vector<Finding>& findings);

// 0 when every finding is OK, kExitCheckWarnings, kExitCheckFailed.
int ExitCodeOf(const std::vector<Finding>& findings);

// What the first bytes of a program file say it is.
struct ProgramFormat {
    bool windows = false;  // a PE image ("MZ", then "PE\0\0" where e_lfanew points)
    bool elf = false;      // an ELF program whose header names its machine
    int bits = 0;          // 32 or 64 for a PE image or an ELF program of a known class, else 0
    uint16_t machine = 0;  // PE: IMAGE_FILE_MACHINE_*; ELF: e_machine; 0 when not known
    std::string interpreter;  // a script's "#!" line: the program it names
    std::string name;      // "Windows program (32-bit, x86)", "ELF program (64-bit, x86-64)", "script", ...
};
ProgramFormat ProgramFormatOf(std::string_view head);

// The name of a processor by the number a PE header gives it ("x86", "x64",
// "ARM64", ...), or by an ELF header's (elf true).
std::string MachineName(uint16_t machine, bool elf);

// The program a command line starts, as CreateProcess takes it: the text
// between a leading pair of double quotes, or up to the first blank or tab.
std::string ProgramOfCommandLine(std::string_view commandLine);

}  // namespace health
