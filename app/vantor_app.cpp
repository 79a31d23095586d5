#include "app/vantor_app.h"

#include <memory>
#include <string>
#include <vector>

#include "app/health_check.h"
#include "job/command_line.h"
#include "job/event_report.h"
#include "job/job_run.h"
#include "job/journal.h"
#include "job/journal_reader.h"
#include "job/plan.h"
#include "settings/catalogue.h"
#include "settings/store.h"
#include "ui/config_dialog.h"
#include "ui/jobs_window.h"
#include "ui/progress.h"

int ExitStatusOf(const JobSummary& summary) {
    if (!summary.dataRead) return kExitDataFileUnreadable;
    if (summary.stopped) return kExitStopped;
    if (summary.NothingPrinted()) return kExitNoLineSucceeded;
    if (summary.failedLines > 0) return kExitSomeLinesFailed;
    return 0;
}

bool CVantorApp::InitInstance() {
    platform::InitCommonControls(kCommonControlClasses);

    // The dialog object exists in both modes; a job never shows it.
    std::unique_ptr<ConfigDialog> dialog = CreateConfigDialog(*this);

    std::string commandLine = CommandLineText();
    if (commandLine.empty()) {
        dialog->DoModal();
    } else if (journal::IsJobsCommand(commandLine)) {
        ShowJobs(*this);  // nothing else runs
    } else if (job::TakeCheckToken(commandLine)) {
        RunHealthCheck(commandLine);
    } else if (job::TakeDryRunToken(commandLine)) {
        RunDryRun(commandLine);
    } else {
        RunPrintJob(commandLine);
    }
    dialog.reset();
    return false;
}

void CVantorApp::RunPrintJob(const std::string& commandLine) {
    platform::LimitWaitsForOthers(kJobWaitBudget);
    if (ReadSettingInt(*this, section::kSettings, key::kMsgBoxDebug, defaults::kInt) ==
        msgboxdebug::kShowDebugBox) {
        Interaction().ShowMessage(commandLine, kDebugCaption);
    }
    const std::unique_ptr<JobJournal> journal = OpenJournal(*this);
    std::unique_ptr<JobProgress> progress;
    if (ReadSettingInt(*this, section::kSettings, key::kShowProgress, defaults::kInt) == showprogress::kShow)
        progress = CreateJobProgress(*this);
    // Every listener hears the job and none knows the others. The job's end
    // reaches them in reverse: the event report first (so that the journal
    // can still note an event that could not be written), then the progress
    // window closes, then the journal records the end.
    JobEventFanOut listeners;
    const std::unique_ptr<events::EventReport> report = events::OpenEventReport(*this, listeners);
    listeners.Add(journal.get());
    listeners.Add(progress.get());
    listeners.Add(report.get());
    SetEvents(&listeners);
    SetWatch(progress.get());
    const JobSummary summary = RunJob(*this, commandLine);
    SetWatch(nullptr);
    SetEvents(nullptr);
    if (ReadSettingInt(*this, section::kSettings, key::kExitStatus, defaults::kInt) ==
        exitstatus::kReportOutcome)
        SetExitCode(ExitStatusOf(summary));
}

void CVantorApp::RunDryRun(const std::string& commandLine) {
    std::string header =
        "Dry run: the job as it would run without /DRYRUN. Nothing is started, nothing is "
        "written, nobody is asked.\n(In values, %, tab, CR and LF are shown as %25, %09, %0D "
        "and %0A.)\n";
    header += "Command line: " + text::EscapeRecordValue(commandLine) + "\n";
    header += "Settings file: " + text::EscapeRecordValue(SettingsFilePath(*this)) + "\n";
    const int debug = ReadSettingInt(*this, section::kSettings, key::kMsgBoxDebug, defaults::kInt);
    header += debug == msgboxdebug::kShowDebugBox
                  ? "Debug box: would show the command line, caption \"" + std::string(kDebugCaption) + "\"\n"
                  : std::string("Debug box: none\n");
    if (commandLine.empty()) {
        header += "Without /DRYRUN this command line is empty: it opens the configuration dialog.\n";
        (void)platform::ShowReport(header, kProductCaption, Interaction());
        return;
    }
    platform::LimitWaitsForOthers(kJobWaitBudget);
    JobPlan plan(std::move(header));
    SetPlanning(true);
    SetEvents(&plan);
    const JobSummary summary = RunJob(*this, commandLine);
    SetEvents(nullptr);
    SetPlanning(false);
    (void)platform::ShowReport(plan.Text(), kProductCaption, Interaction());
    // Only what a plan can know: the data file, and whether there are lines.
    if (ReadSettingInt(*this, section::kSettings, key::kExitStatus, defaults::kInt) ==
            exitstatus::kReportOutcome &&
        (!summary.dataRead || summary.lines == 0))
        SetExitCode(ExitStatusOf(summary));
}

void CVantorApp::RunHealthCheck(const std::string& commandLine) {
    const std::vector<health::Finding> findings = health::CheckInstallation(*this, commandLine);
    (void)platform::ShowReport(health::ReportText(*this, findings), kProductCaption, Interaction());
    SetExitCode(health::ExitCodeOf(findings));
}

int VantorMain(platform::Interaction& interaction) {
    std::string exePath = platform::ModulePath();
    if (exePath.empty()) {
        interaction.ShowMessage("The connector cannot start: the system did not give the path of "
                                "its program file.",
                                kProductCaption);
        return 1;
    }
    if (exePath.size() > kMaxExePath) {
        interaction.ShowMessage(
            "The connector cannot start: the path of its program file is longer than " +
                std::to_string(kMaxExePath) +
                " characters. Move it to a folder with a shorter path.\n\n" + exePath,
            kProductCaption);
        return 1;
    }
    CVantorApp app(exePath, CommandLineText(platform::ProcessCommandLine()), interaction);
    return RunApplication(app);
}
