// The progress of a long job as figures and texts, and the fan-out that lets
// it listen to a job beside the journal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
