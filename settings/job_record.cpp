#include "settings/job_record.h"

#include <utility>

#include "platform/framework.h"

void JobRecord::StartLine() {
    lineStarted_ = true;
    lineError_ = {};
}

std::vector<platform::ProfileEntry> JobRecord::TakePending() { return std::exchange(pending_, {}); }

void JobRecord::Saved(const platform::SystemError& error, const std::string& firstKey, bool more) {
    if (!error.failed()) {
        wrote_ = true;
        return;
    }
    (lineStarted_ ? lineError_ : headError_) = error;
    if (!firstKey.empty()) lost_.push_back({firstKey, more, error});
}

std::vector<JobRecord::Lost> JobRecord::TakeLost() { return std::exchange(lost_, {}); }

platform::SystemError SaveRecord(const CAppBase& app) {
    JobRecord* record = app.Record();
    if (!record) return {};
    const std::vector<platform::ProfileEntry> entries = record->TakePending();
    if (entries.empty()) return {};
    const platform::SystemError error = platform::ProfileWrite(app.ProfilePath(), entries);
    record->Saved(error, entries.front().key, entries.size() > 1);
    return error;
}

void FlushRecord(const CAppBase& app) {
    if (app.Record() && app.Record()->Wrote()) (void)platform::ProfileFlush(app.ProfilePath());
}
