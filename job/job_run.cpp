#include "job/job_run.h"

#include <string>
#include <utility>
#include <vector>

#include "job/command_line.h"
#include "job/data_reader.h"
#include "launch/launch.h"
#include "platform/framework.h"
#include "platform/text.h"
#include "settings/catalogue.h"
#include "settings/job_record.h"
#include "settings/store.h"

namespace {

// Field 21: the field after the twenty parameter fields, a copies source.
constexpr int kCopiesField = key::kParamCount + 1;

// The records that did not reach the settings file: told as notes once the
// job has started (the first ones are written before it can be).
class UnsavedRecords {
public:
    void Add(const platform::SystemError& error, const std::string& firstKey, bool more) {
        if (!error.failed()) return;
        JobNote note;
        note.when = std::chrono::system_clock::now();
        note.about = "settings-unsaved";
        note.keys = std::string(section::kLastJob) + "/" + firstKey + (more ? "..." : "");
        note.error = error;
        notes_.push_back(std::move(note));
        if (events_) Flush();
    }
    // From now on, notes go to `events` as they come.
    void Start(JobEvents& events) {
        events_ = &events;
        Flush();
    }

private:
    void Flush() {
        for (const JobNote& note : notes_) events_->Noted(note);
        notes_.clear();
    }
    std::vector<JobNote> notes_;
    JobEvents* events_ = nullptr;
};

void WriteLastJob(const CAppBase& app, UnsavedRecords& unsaved, const std::string& name,
                  const std::string& value) {
    unsaved.Add(WriteSettingText(app, section::kLastJob, name, value), name, false);
}

// Tells, once, that the job's time for waiting on other processes is used
// up (platform::LimitWaitsForOthers): from then on it waits no more.
void NoteWaitsSpent(JobEvents& events, bool& told) {
    if (told) return;
    const platform::WaitsSpent spent = platform::WaitsForOthersSpent();
    if (!spent.spent) return;
    told = true;
    JobNote note{std::chrono::system_clock::now(), "waits-spent", "", spent.error, spent.held};
    events.Noted(note);
}

// Where the job's outcomes go: the application's listener, or nowhere.
JobEvents& EventsOf(const CAppBase& app) {
    static JobEvents nowhere;
    return app.Events() ? *app.Events() : nowhere;
}

}  // namespace

CopiesChoice ChooseCopies(int policy, int previous, const std::function<std::string()>& lastField,
                          const std::function<std::string()>& field21) {
    CopiesChoice copies;
    copies.number = previous;
    switch (static_cast<CopiesType>(policy)) {
    case CopiesType::kLastField:
        copies.text = lastField();
        break;
    case CopiesType::kField21:
        copies.text = field21();
        break;
    case CopiesType::kAutomatic:
    default:
        copies.text = lastField();
        copies.number = text::LeadingInt(copies.text);
        if (copies.number == 0) copies.text = field21();
        break;
    }
    if (!copies.text.empty()) copies.number = text::LeadingInt(copies.text);
    return copies;
}

JobSummary RunJob(CAppBase& app, const std::string& commandLine) {
    JobEvents& events = EventsOf(app);
    JobStart start;
    start.started = std::chrono::system_clock::now();
    start.commandLine = commandLine;
    UnsavedRecords unsaved;
    // It gathers each line's record for one update and knows what did not
    // reach the file, for the launch to see.
    JobRecord record;
    struct RecordOn {
        CAppBase& app;
        ~RecordOn() { app.SetRecord(nullptr); }
    } recordOn{app};
    app.SetRecord(&record);
    WriteLastJob(app, unsaved, key::kCmdLine, commandLine);

    std::string templateName;
    std::string dataPath;
    const std::string separators = job::TemplateSeparators();
    for (const std::string& token : job::SplitCommandLine(commandLine)) {
        if (job::IsTemplateToken(token)) {
            templateName = job::TemplateNameOf(token, separators);
            WriteLastJob(app, unsaved, key::kTemplate, templateName);
        }
        if (job::IsDataFileToken(token)) {
            dataPath = job::DataFilePathOf(token);
            WriteLastJob(app, unsaved, key::kDataFile, dataPath);
        }
    }

    // One read of the data file serves the whole job.
    const job::DataFile data = job::DataFile::Read(dataPath);
    int lineCount = data.LineCount();
    const std::string bartender =
        ReadSettingText(app, section::kSettings, key::kBartenderExePath, defaults::kText);
    if (!bartender.empty()) lineCount = 1;  // Bartender prints the first line only
    WriteLastJob(app, unsaved, key::kNumLines, text::FormatInt(lineCount));

    start.templateName = templateName;
    start.dataFile = dataPath;
    start.lineCount = lineCount;
    start.dataRead = data.Opened();
    if (!data.Opened()) start.dataFailure = job::DataFileFailure(dataPath, data.Cause());
    events.JobStarted(start);
    unsaved.Start(events);
    // Read as ANSI, as it always was: its values come out empty. Said once.
    if (data.Utf16WithoutMark()) {
        JobNote note;
        note.when = std::chrono::system_clock::now();
        note.about = "data-without-mark";
        note.detail = dataPath + " looks like UTF-16 text without its byte-order mark (a zero byte at every "
                                 "second position); it is read as ANSI text, so the labels' values are empty. "
                                 "Have the host write it with its byte-order mark (FF FE), or as ANSI text.";
        events.Noted(note);
    }
    // Settings writers of other logon sessions may not take turns with us.
    if (const platform::SystemError shortfall = platform::ProfileTurnShortfall(); shortfall.failed())
        events.Noted({std::chrono::system_clock::now(), "turn-per-session", "", shortfall, ""});
    bool waitsSpentTold = false;
    NoteWaitsSpent(events, waitsSpentTold);

    // A field of a line. A data file that could not be read gives empty
    // fields and says why on standard output at every field the job reads
    // (22 times a line, as it always has); a dry run's plan says it instead.
    auto field = [&](int line, int fieldNumber) {
        if (!data.Opened()) {
            if (!app.Planning()) platform::WriteStdout(job::OpenFailureMessage(dataPath, data.Cause()));
            return std::string();
        }
        return data.Field(line, fieldNumber);
    };

    JobSummary summary;
    summary.dataRead = data.Opened();
    std::vector<std::string> params(key::kParamCount);
    // The values as UTF-8 with every character kept, for a Unicode data file.
    std::vector<std::string> unicodeParams(key::kParamCount);
    // Set once per job: a line that does not change them passes on the
    // previous line's values.
    int lastParamIndex = 0;
    int copies = 1;
    for (int line = 0; line < lineCount; ++line) {
        // Stopped on request: the line that ran last is the job's last.
        if (app.Watch() && app.Watch()->StopRequested()) {
            summary.stopped = true;
            break;
        }
        record.StartLine();
        // The line's record (Param1..Param20, Copies, Copies_<line>, then what
        // its launch records) goes into the settings file as one update, in
        // that order, before each of its runners starts (settings/job_record.h).
        std::vector<std::pair<std::string, std::string>> lineRecord;
        for (int j = 0; j < key::kParamCount; ++j) {
            params[static_cast<std::size_t>(j)] = field(line, j + 1);
            lineRecord.emplace_back(key::kParamPrefix + text::FormatInt(j + 1),
                                params[static_cast<std::size_t>(j)]);
            if (!params[static_cast<std::size_t>(j)].empty()) lastParamIndex = j;
        }
        // Values the ANSI code page cannot represent reach the label program
        // through a Unicode command line; otherwise all stays ANSI.
        bool unicode = false;
        if (data.Unicode()) {
            for (int j = 0; j < key::kParamCount; ++j) {
                std::string& value = unicodeParams[static_cast<std::size_t>(j)];
                value = data.UnicodeField(line, j + 1);
                unicode = unicode || !platform::AnsiCanHold(value);
            }
        }
        const CopiesChoice copiesChoice = ChooseCopies(
            ReadSettingInt(app, section::kSettings, key::kCopiesType, defaults::kInt), copies,
            [&] { return field(line, job::kLastField); }, [&] { return field(line, kCopiesField); });
        copies = copiesChoice.number;
        lineRecord.emplace_back(key::kCopies, copiesChoice.text);
        lineRecord.emplace_back(std::string(key::kCopies) + "_" + text::FormatInt(line + 1),
                            copiesChoice.text);
        (void)WriteSettingTexts(app, section::kLastJob, lineRecord);

        LineDone done;
        done.line = line + 1;
        done.launch =
            launch::LaunchPrintJob(app, templateName, params, lastParamIndex, copies, commandLine,
                                   unicode ? &unicodeParams : nullptr);
        // What no runner took to the file (the user of a cancelled print
        // dialog), and what could not be saved.
        (void)SaveRecord(app);
        for (const JobRecord::Lost& lost : record.TakeLost()) unsaved.Add(lost.error, lost.firstKey, lost.more);
        // A failed or cancelled launch does not stop the job: the next line
        // is launched all the same.
        ++summary.lines;
        if (done.launch.Failed()) ++summary.failedLines;
        else if (!done.launch.cancelled) ++summary.succeededLines;
        done.params = params;
        done.lastParamIndex = lastParamIndex;
        done.copiesText = copiesChoice.text;
        done.copies = copies;
        NoteWaitsSpent(events, waitsSpentTold);
        events.LineFinished(done);
    }
    NoteWaitsSpent(events, waitsSpentTold);
    FlushRecord(app);
    events.JobEnded({start.started, std::chrono::system_clock::now(), summary});
    return summary;
}
