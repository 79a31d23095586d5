#include "job/job_run.h"

#include "app/vantor_app.h"
#include "settings/catalogue.h"
#include "settings/store.h"

void RunJob(CVantorApp& app, const std::string& commandLine) {
    // The job's first record: the command line exactly as received.
    WriteSettingText(app, section::kLastJob, key::kCmdLine, commandLine);
}
