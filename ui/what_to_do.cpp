#include "ui/what_to_do.h"

#include <cstdio>

namespace ui {

namespace {

// The program a runner starts and the setting that names it.
struct RunnerNames {
    const char* program;
    const char* setting;
};

RunnerNames NamesOf(std::string_view runner) {
    if (runner == "api-proxy") return {"the API proxy", "[Settings] ApiProxyExe"};
    if (runner == "bartender") return {"Bartender", "[Settings] BartenderExePath"};
    if (runner == "label-program") return {"Tarvel", "Tarvel.exe beside the connector"};
    return {"the program", "its setting"};
}

// `text` with its first letter in upper case, to start a sentence.
std::string Sentence(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

// The system error code at the start of a recorded error ("2 The system
// cannot find..."); -1 when it starts with none (a reason of the connector's).
long long ErrorCode(std::string_view error) {
    long long code = 0;
    std::size_t i = 0;
    for (; i < error.size() && error[i] >= '0' && error[i] <= '9' && i < 12; ++i) code = code * 10 + (error[i] - '0');
    return i == 0 ? -1 : code;
}

}  // namespace

std::string RunWhatToDo(std::string_view runner, journal::RunOutcome outcome, bool hasExit, std::int64_t exitCode,
                        std::string_view error, bool windowsErrors) {
    const RunnerNames names = NamesOf(runner);
    const std::string program = names.program;       // within a sentence
    const std::string Program = Sentence(program);  // at its start
    switch (outcome) {
    case journal::RunOutcome::NotStarted: {
        const long long code = ErrorCode(error);
        if (code < 0)
            return "The connector did not start it, for the reason given. Run vantor.exe /CHECK with the job's "
                   "command line to see what is at fault.";
        if (code == 2 || code == 3 || (windowsErrors && code == 123))
            return Program + " was not found where " + names.setting +
                   " says. Install it there, or correct the setting; vantor.exe /CHECK names the path.";
        if ((windowsErrors && code == 5) || (!windowsErrors && code == 13))
            return "This user may not start " + program +
                   ". Give the users who print the right to read and execute it.";
        if ((windowsErrors && (code == 193 || code == 216 || code == 191 || code == 11)) ||
            (!windowsErrors && code == 8))
            return Program + " is not a program this machine can start (built for another processor, or "
                   "not a program at all). Install the build for this machine; vantor.exe /CHECK says what it is.";
        return Program + " could not be started, for the system's reason given. Run vantor.exe /CHECK with the "
               "job's command line.";
    }
    case journal::RunOutcome::TimedOut:
        return Program + " did not end within [Settings] RunTimeoutSeconds and was ended. Most often it waits on "
               "a window of its own (a message, a printer or licence prompt) that nobody sees, since runners run "
               "hidden: run its command line by hand to see what it shows, or raise RunTimeoutSeconds.";
    case journal::RunOutcome::EndUnknown:
        return "The system could not tell how " + program +
               " ended, so the label may or may not have printed: look at the printer, and run the line again "
               "if it is missing.";
    case journal::RunOutcome::Exited: {
        if (!hasExit || exitCode == 0) return std::string();
        const std::uint32_t code = static_cast<std::uint32_t>(exitCode);
        if (windowsErrors && code >= 0xC0000000u) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
            return Program + " ended abnormally (exit code " + hex +
                   ", a Windows status: a crash, or a DLL it needs is missing). Run its command line by hand, "
                   "and repair or reinstall it.";
        }
        const std::string number = std::to_string(exitCode);
        if (runner == "api-proxy")
            return "The API proxy reported a problem (exit code " + number +
                   "): its own log or documentation says what the code means. It read this line's values from "
                   "[LastJob] of vantor.ini.";
        return Program + " reported a problem with this label (exit code " + number +
               "): run its command line by hand to see its message. The template, the printer and the values "
               "are the usual causes.";
    }
    case journal::RunOutcome::Cancelled:
    case journal::RunOutcome::Other:
        break;
    }
    return std::string();
}

std::string DataFileWhatToDo() {
    return "The host writes the data file before it starts the connector: check that it wrote it, and the "
           "path it passes with /D= in the job's command line. The user who prints must be able to read it.";
}

}  // namespace ui
