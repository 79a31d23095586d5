// `vantor /JOBS` on the host build: the window's two tables as text on
// standard output, written as they are made (a journal may hold hundreds of
// thousands of jobs), in pieces of about 64 KB.
#include <string>
#include <string_view>

#include "job/journal_reader.h"
#include "platform/framework.h"
#include "platform/platform.h"
#include "settings/store.h"
#include "ui/jobs_view.h"
#include "ui/jobs_window.h"

void ShowJobs(CAppBase& app) {
    constexpr std::size_t kPiece = 64 * 1024;
    std::string pending;
    pending.reserve(kPiece * 2);
    ui::WriteJobsReport(journal::LoadJournal(app), SettingsFilePath(app), [&](std::string_view text) {
        pending += text;
        if (pending.size() < kPiece) return;
        platform::WriteStdout(pending);
        pending.clear();
    });
    platform::WriteStdout(pending);
}
