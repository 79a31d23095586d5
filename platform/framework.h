// A small application framework: the part of an application class that the
// connector relies on, in place of a large vendor framework. It belongs with
// the platform, as a vendor's application class does, so every layer above
// may use it.
//
// The framework fixes, before InitInstance runs, the executable's full path
// and the command-line text (the process command line with the program name
// and the blanks after it removed). An application derives from CAppBase and
// overrides InitInstance; RunApplication runs it once and gives the process
// exit code. The platform's entry point calls VantorMain, which the
// application defines.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/text.h"

// What a job reports as it goes (job/job_events.h); the application object
// holds the one its jobs report to.
class JobEvents;
// How a job's records reach the settings file (settings/store.h); the
// application object holds the one of the job that runs.
class JobRecord;

// Someone watching a running job who may ask it to stop (the progress
// window, or the terminal the job was started from). The job asks before
// each line; the runner's wait hands over to it (platform::RunnerWait) so
// that its window answers while a label program runs.
class JobWatch : public platform::RunnerWait {
public:
    // Whether the job is to stop before its next line.
    virtual bool StopRequested() = 0;
};

class CAppBase {
public:
    // `exePath` is the running executable's full path, `commandLineText` the
    // text after the program name (see CommandLineText below), `interaction`
    // the boxes a person answers.
    CAppBase(std::string exePath, std::string commandLineText, platform::Interaction& interaction);
    virtual ~CAppBase();

    CAppBase(const CAppBase&) = delete;
    CAppBase& operator=(const CAppBase&) = delete;

    // Called once by RunApplication. Returning false ends the application
    // without a message loop.
    virtual bool InitInstance() = 0;

    const std::string& ExePath() const { return exePath_; }
    // The executable's path with its extension replaced by ".HLP" (the base
    // from which other files beside the executable are named).
    const std::string& HelpFilePath() const { return helpFilePath_; }
    // The file beside the executable named after it with `extension` in place
    // of its own (whose letter case wins): everything before the last "." of
    // the help-file path, then `extension`.
    std::string PathWithExtension(std::string_view extension) const;
    // The application's profile (settings) file: PathWithExtension(".ini"),
    // formed once, when the object is made.
    const std::string& ProfilePath() const { return profilePath_; }
    const std::string& CommandLineText() const { return commandLineText_; }
    platform::Interaction& Interaction() const { return interaction_; }

    // Where a job reports its outcomes; null for nowhere (the default).
    JobEvents* Events() const { return events_; }
    void SetEvents(JobEvents* events) { events_ = events; }

    // Who watches a job as it runs and may stop it (the progress window);
    // null for nobody (the default): a job then runs every line, and its
    // runners are waited for as they always were.
    JobWatch* Watch() const { return watch_; }
    void SetWatch(JobWatch* watch) { watch_ = watch; }
    // The record of the job that runs, which the settings store tells how
    // each write went; null outside a job.
    JobRecord* Record() const { return record_; }
    void SetRecord(JobRecord* record) { record_ = record; }

    // Planning mode: a job plans every step as it would take it, but the
    // settings store writes nothing and the launch starts nothing and asks
    // nobody (a dry run).
    bool Planning() const { return planning_; }
    void SetPlanning(bool planning) { planning_ = planning; }

    // The process exit code RunApplication gives back: 0 unless the
    // application sets another.
    int ExitCode() const { return exitCode_; }
    void SetExitCode(int code) { exitCode_ = code; }

private:
    std::string exePath_;
    std::string helpFilePath_;
    std::string profilePath_;
    std::string commandLineText_;
    platform::Interaction& interaction_;
    JobEvents* events_ = nullptr;
    JobWatch* watch_ = nullptr;
    JobRecord* record_ = nullptr;
    bool planning_ = false;
    int exitCode_ = 0;
};

// The longest executable path the framework accepts: a path must fit a
// 260-byte buffer with its terminator.
inline constexpr std::size_t kMaxExePath = 259;

// The command-line text of a raw process command line: the program name ends
// at the first byte of code 0x20 or less outside a double-quoted run (a double
// quote toggles the run; a double-byte character is taken whole); every byte
// of code 0x20 or less after it is skipped; the rest is kept byte for byte,
// trailing blanks included.
std::string CommandLineText(std::string_view rawCommandLine,
                            text::LeadByteRule isLead = text::SystemLeadByte);

// `exePath` without the extension of its file name, followed by ".HLP".
std::string HelpFilePathOf(std::string_view exePath);

// Runs `app`: calls InitInstance once. Returns the process exit code, the
// application's ExitCode().
int RunApplication(CAppBase& app);

// The whole program between the platform's entry point and the process's
// end, defined by the application (app/vantor_app.cpp). Returns the process
// exit code.
int VantorMain(platform::Interaction& interaction);
