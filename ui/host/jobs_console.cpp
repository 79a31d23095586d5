// `vantor /JOBS` on the host build: the window's two tables as text on
// standard output.
#include "job/journal_reader.h"
#include "platform/framework.h"
#include "platform/platform.h"
#include "settings/store.h"
#include "ui/jobs_view.h"
#include "ui/jobs_window.h"

void ShowJobs(CAppBase& app) {
    platform::WriteStdout(ui::JobsReport(journal::LoadJournal(app), SettingsFilePath(app)));
}
