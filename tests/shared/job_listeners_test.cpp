// The listeners of a job beside its journal: the fan-out that lets them all
// hear it, the progress of a long job as figures and texts, and the event a
// job leaves in the system's log.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "job/event_report.h"
#include "job/job_events.h"
#include "ui/progress_view.h"

namespace {

// Start events in the order added, the end in reverse; none left out.
TEST(JobEventFanOut, StartEventsInOrderTheEndInReverse) {
    struct Recorder final : JobEvents {
        Recorder(std::string name, std::vector<std::string>& heard) : name(std::move(name)), heard(heard) {}
        void JobStarted(const JobStart&) override { heard.push_back(name + " start"); }
        void Noted(const JobNote&) override { heard.push_back(name + " note"); }
        void LineFinished(const LineDone& line) override { heard.push_back(name + " line " + std::to_string(line.line)); }
        void JobEnded(const JobEnd&) override { heard.push_back(name + " end"); }
        std::string name;
        std::vector<std::string>& heard;
    };
    std::vector<std::string> heard;
    Recorder journal("journal", heard), window("window", heard);
    JobEventFanOut fanOut;
    fanOut.Add(&journal);
    fanOut.Add(nullptr);  // a listener that is off
    fanOut.Add(&window);
    fanOut.JobStarted({});
    fanOut.Noted({});
    LineDone line;
    line.line = 1;
    fanOut.LineFinished(line);
    fanOut.JobEnded({});
    EXPECT_EQ(heard, (std::vector<std::string>{"journal start", "window start", "journal note", "window note",
                                               "journal line 1", "window line 1", "window end", "journal end"}));
}

TEST(ProgressView, TextsFromTheJobsFigures) {
    struct Case {
        const char* name;
        ui::ProgressState state;
        bool shows;
        std::string label, time;
    };
    const std::vector<Case> cases = {
        {"a short job so far", {3, 0, 1499, 0, 1499, false}, false, "Label 1 of 3", "Elapsed 0:01, estimating the time left"},
        {"a moment in, lines left", {3, 0, 1500, 0, 1500, false}, true, "Label 1 of 3", "Elapsed 0:01, estimating the time left"},
        // Two lines of 2 s each done; the third has run 0.5 s of its 2.
        {"mean of the lines so far", {4, 2, 4500, 4000, 500, false}, true, "Label 3 of 4", "Elapsed 0:04, about 0:03 left"},
        {"the last line: nothing to stop", {4, 3, 9000, 8000, 1000, false}, false, "Label 4 of 4", "Elapsed 0:09, about 0:01 left"},
        {"a line past the mean leaves no time", {3, 1, 9000, 1000, 8000, true}, true,
         "Stopping after label 2 of 3...", "Elapsed 0:09, about 0:00 left"},
        {"hours", {1000, 1, 3723000, 3723000, 0, false}, true, "Label 2 of 1000", "Elapsed 1:02:03, about 1033:07:57 left"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ui::ProgressShows(c.state), c.shows);
        EXPECT_EQ(ui::LabelText(c.state), c.label);
        EXPECT_EQ(ui::TimeText(c.state), c.time);
    }
    EXPECT_EQ(ui::EndText({3, 2}, true), "Stopped after label 2 of 3");
    EXPECT_EQ(ui::EndText({3, 3}, false), "Done: 3 of 3 labels");
    // The terminal's line fits its width, whole UTF-8 characters kept.
    EXPECT_EQ(ui::ConsoleLine("B\xC3\xA4r", {3, 0, 2000, 0, 2000, false}, 3), "B");
    EXPECT_EQ(ui::ConsoleLine("Bxr", {3, 0, 2000, 0, 2000, false}, 3), "Bx");
    EXPECT_EQ(ui::ConsoleLine("Bxr", {3, 0, 2000, 0, 2000, true}, 200),
              "Bxr: Stopping after label 1 of 3... - Elapsed 0:02, estimating the time left (Ctrl-C again ends the "
              "running label now)");
}

// One row per outcome: its event's ID and type, and the inserts that tell
// what went wrong first.
TEST(EventReport, EachOutcomeItsIdTypeAndInserts) {
    using platform::LogEntryType;
    using State = platform::ProcessOutcome::State;
    auto run = [](State state, uint32_t exit = 0, const char* line = "\"T.exe\" x") {
        launch::RunnerOutcome runner;
        runner.commandLine = line;
        runner.process.state = state;
        runner.process.exitCode = exit;
        if (state == State::NotStarted) runner.process.error = {2, "The system cannot find the file specified."};
        return runner;
    };
    struct Case {
        const char* name;
        std::vector<std::optional<launch::RunnerOutcome>> lines;  // one runner a line; none: print dialog cancelled
        bool dataRead, stopped, unsaved;
        uint32_t id;
        LogEntryType type;
        std::string outcome, problem;  // %1; %8 to %12 joined by "|"
    };
    const std::vector<Case> cases = {
        {"every label printed", {run(State::Exited), run(State::Exited)}, true, false, false, events::kAllPrinted,
         LogEntryType::Information, "all labels printed", "-|-|-|-|-"},
        {"a print dialog cancelled", {run(State::Exited), std::nullopt}, true, false, false, events::kAllPrinted,
         LogEntryType::Information, "no line failed; the print dialog was cancelled for 1 of 2", "-|-|-|-|-"},
        {"a line failed", {run(State::Exited), run(State::Exited, 3)}, true, false, false, events::kSomeFailed,
         LogEntryType::Warning, "some lines failed", "2|label-program|exited|3|-"},
        {"no line printed", {run(State::Exited, 3), run(State::EndUnknown)}, true, false, false,
         events::kNothingPrinted, LogEntryType::Error, "no label printed", "1|label-program|exited|3|-"},
        {"data file unreadable", {run(State::Exited)}, false, false, false, events::kDataUnreadable,
         LogEntryType::Error, "data file unreadable", "-|-|-|-|job.txt was not found."},
        {"a runner timed out", {run(State::Exited), run(State::TimedOut)}, true, false, false, events::kTimedOut,
         LogEntryType::Warning, "a runner timed out", "2|label-program|timed-out|-|-"},
        {"a runner not started", {run(State::Exited), run(State::NotStarted)}, true, false, false,
         events::kNotStarted, LogEntryType::Error, "a runner could not be started",
         "2|label-program|not-started|-|2 The system cannot find the file specified."},
        {"a record not saved", {run(State::Exited)}, true, false, true, events::kNotSaved, LogEntryType::Warning,
         "a record was not saved", "-|-|-|-|LastJob/Param1...: 5 Access is denied."},
        {"stopped on request", {run(State::Exited)}, true, true, false, events::kStopped, LogEntryType::Information,
         "stopped on request", "-|-|-|-|-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        events::JobOutcomeRecorder job;
        JobStart start;
        start.templateName = "Shelf";
        start.dataFile = "job.txt";
        start.lineCount = 3;
        start.commandLine = "/F=Shelf /D=job.txt";
        start.dataRead = c.dataRead;
        if (!c.dataRead) start.dataFailure = "job.txt was not found.";
        job.JobStarted(start);
        if (c.unsaved) {
            JobNote unsaved;
            unsaved.about = "settings-unsaved";
            unsaved.keys = "LastJob/Param1...";
            unsaved.error = {5, "Access is denied."};
            job.Noted(unsaved);
        }
        JobEnd end;
        end.summary.dataRead = c.dataRead;
        end.summary.stopped = c.stopped;
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            LineDone line;
            line.line = static_cast<int>(i) + 1;
            line.launch.cancelled = !c.lines[i];
            if (c.lines[i]) line.launch.runners = {*c.lines[i]};
            job.LineFinished(line);
            ++end.summary.lines;  // counted as the job counts them
            if (line.launch.Failed()) ++end.summary.failedLines;
            else if (!line.launch.cancelled) ++end.summary.succeededLines;
        }
        job.JobEnded(end);
        const events::Event event = events::EventOf(job, {"anna", "", "2.0.5.0"});
        EXPECT_EQ(event.id, c.id);
        EXPECT_EQ(event.type, c.type);
        ASSERT_EQ(event.inserts.size(), 16u);
        EXPECT_EQ(event.inserts[0], c.outcome);
        const std::vector<std::string>& i = event.inserts;
        EXPECT_EQ(i[7] + "|" + i[8] + "|" + i[9] + "|" + i[10] + "|" + i[11], c.problem);
        EXPECT_EQ((std::vector<std::string>{i[1], i[2], i[3], i[4], i[13], i[14], i[15]}),
                  (std::vector<std::string>{"Shelf", "job.txt", "anna", "3", "/F=Shelf /D=job.txt", "-", "2.0.5.0"}));
        EXPECT_EQ(events::IsReported(1, event.id), event.id != events::kAllPrinted);
        EXPECT_TRUE(events::IsReported(2, event.id));
        EXPECT_FALSE(events::IsReported(0, event.id) || events::IsReported(3, event.id));
        // Every ID has its sentence in the message table.
        EXPECT_NE(events::EventText(event.id, event.inserts).find("\r\nTemplate: Shelf\r\n"), std::string::npos);
    }

    // Values escaped as the journal escapes them, command lines cut well
    // below an insert's limit; the text as one line for syslog.
    events::JobOutcomeRecorder job;
    JobStart start;
    start.commandLine = "/F=100%\tShelf " + std::string(5000, 'x');
    job.JobStarted(start);
    const events::Event event = events::EventOf(job, {});
    EXPECT_EQ(event.inserts[13].substr(0, 17), "/F=100%25%09Shelf");
    EXPECT_EQ(event.inserts[13].size(), events::kCommandLineLimit + 6);
    EXPECT_EQ(event.inserts[13].substr(events::kCommandLineLimit), " [cut]");
    EXPECT_EQ(events::OneLine("a\r\nb\r\n"), "a | b");
    EXPECT_EQ(events::EventText(999, {}), "");
}

}  // namespace

