// The record a job keeps in LastJob, written one data line at a time.
//
// Everything a data line records (its Param1..Param20, Copies and
// Copies_<line>, then what its launch records: the proxy's TvlCmdLine, the
// user and the label program's TvlCmdLine) is gathered while the line runs
// and goes to the settings file as one update, in the order written, just
// before each runner of the line starts (SaveRecord) and when the line ends.
// So a runner finds in the file exactly what it would have found had every
// key been written on its own, and a line costs one replace of the file, not
// one per key. The job's own keys (CmdLine .. NumLines) are written as they
// come, before the first line.
//
// A job holds one on the application object while it runs
// (CAppBase::SetRecord); the settings store's writes go through it.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

class CAppBase;

class JobRecord {
public:
    // A data line begins: from now on writes are gathered, and what the
    // previous line recorded no longer counts for Unsaved.
    void StartLine();
    // Whether writes are gathered now (a line has begun).
    bool Gathering() const { return lineStarted_; }
    // Adds one value to the line's record.
    void Add(platform::ProfileEntry entry) { pending_.push_back(std::move(entry)); }
    // Takes what was gathered since the last save.
    std::vector<platform::ProfileEntry> TakePending();
    // How a write went: a written key, or a gathered record saved.
    void Saved(const platform::SystemError& error, const std::string& firstKey = std::string(),
               bool more = false);

    // Why the job's own keys or the current line's did not all reach the
    // file; no error when they did. A runner that reads its job only from
    // there (the API proxy) must not start then: it would print another
    // job's values.
    const platform::SystemError& Unsaved() const { return headError_.failed() ? headError_ : lineError_; }

    // A gathered record that did not reach the file: its first key, whether
    // it held more, and why.
    struct Lost {
        std::string firstKey;
        bool more = false;
        platform::SystemError error;
    };
    // Takes the records lost since the last call, in order.
    std::vector<Lost> TakeLost();

    // Whether anything was written to the file in this job.
    bool Wrote() const { return wrote_; }

private:
    bool lineStarted_ = false;
    bool wrote_ = false;
    std::vector<platform::ProfileEntry> pending_;
    std::vector<Lost> lost_;
    platform::SystemError headError_;
    platform::SystemError lineError_;
};

// Writes what the job's record gathered (app.Record()) to the settings file
// as one update, in order; nothing when there is no record or nothing
// gathered. The system's error when it failed (the record keeps it, for
// Unsaved and TakeLost).
platform::SystemError SaveRecord(const CAppBase& app);

// Makes the job's writes to the settings file lasting (platform::ProfileFlush),
// once, when it ends.
void FlushRecord(const CAppBase& app);
