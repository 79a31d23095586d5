// The health check's settings area: the settings file itself, what a policy
// locks, lines a read never sees, and values that do not mean what was
// written (the table of [Settings] keys, settings/settings_table.h, says
// which values do).
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/check_context.h"
#include "job/data_reader.h"
#include "launch/launch.h"
#include "platform/platform.h"
#include "platform/profile_engine.h"
#include "platform/text.h"
#include "settings/catalogue.h"
#include "settings/settings_table.h"
#include "settings/store.h"

namespace health {

namespace {

// The sections an administrator edits by hand.
constexpr const char* kEditedSections[] = {section::kSettings, section::kUserPrinter, section::kTemplatePrinter};

// Returns false when the check cannot go on (no file that can be read).
bool SettingsFile(CheckContext& c) {
    const std::string path = SettingsFilePath(c.app);
    const platform::PathState state = platform::InspectPath(path);
    if (state.kind == platform::PathKind::Missing) {
        const platform::SystemError folder = platform::TryFolderTakesFiles(launch::ConnectorFolder(c.app));
        if (folder.failed())
            c.Add(Verdict::Fail, "settings-file",
                  path + " does not exist, and its folder takes no new file (" + folder.text +
                      "): every setting takes its default and no job can record LastJob. Copy vantor.ini "
                      "there, or give this user the right to create files in the folder.");
        else
            c.Add(Verdict::Warn, "settings-file",
                  path + " does not exist: every setting takes its default. Save the configuration "
                         "dialog once, or copy vantor.ini there.");
        return false;
    }
    if (state.kind != platform::PathKind::File) {
        c.Add(Verdict::Fail, "settings-file", path + " is not a file. Remove what is there and save the dialog.");
        return false;
    }
    const platform::FileReadResult read = platform::ReadFileShared(path, job::kMaxDataFileBytes);
    if (!read.opened) {
        c.Add(Verdict::Fail, "settings-file",
              path + " cannot be read: " + job::OpenFailureDescription(path, read.cause) +
                  " Every setting takes its default. Give this user the right to read it.");
        return false;
    }
    c.settingsBytes = read.bytes;
    const platform::SystemError write = platform::TryOpenForWriting(path);
    if (write.failed())
        c.Add(Verdict::Fail, "settings-file",
              path + " exists and can be read, but not written by this user (" + write.text +
                  "): jobs cannot record LastJob and the dialog cannot save. Clear its read-only "
                  "attribute, or give this user the right to modify it.");
    else
        c.Add(Verdict::Ok, "settings-file", path + " exists, can be read and written by this user.");
    return true;
}

// A section written twice, or a key written twice in a section: a read
// takes the first section of a name and the first line of a key (as
// Windows does), and the rest is never seen.
void LinesNeverRead(CheckContext& c) {
    const std::string path = SettingsFilePath(c.app);
    const std::vector<profile::ListedLine> lines = profile::ListLines(c.settingsBytes);
    auto upper = [](std::string name) {
        for (char& ch : name)
            if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        return name;
    };
    for (const char* section : kEditedSections) {
        std::vector<int> headers;
        std::map<std::string, int> firstLine;  // the first section's keys, by name in upper case
        std::vector<std::string> ignored;      // keys under a later header of it
        for (const profile::ListedLine& line : lines) {
            if (!text::SameIgnoringAsciiCase(line.section, section)) continue;
            if (line.header) {
                headers.push_back(line.number);
            } else if (headers.size() > 1) {
                ignored.push_back(line.key);
            } else if (const auto [at, first] = firstLine.emplace(upper(line.key), line.number); !first &&
                       at->second > 0) {
                c.Add(Verdict::Warn, "settings-file",
                      Setting(section, line.key) + " is written twice in " + path + ", on lines " +
                          std::to_string(at->second) + " and " + std::to_string(line.number) + ": line " +
                          std::to_string(at->second) + " counts, as Windows reads the file, and line " +
                          std::to_string(line.number) + " is never read. Remove the line that should not count.");
                at->second = -at->second;  // said once
            }
        }
        if (headers.size() < 2) continue;
        std::string keys;
        for (std::size_t i = 0; i < ignored.size() && i < 5; ++i) keys += (i ? ", " : "") + ignored[i];
        if (ignored.size() > 5) keys += " and " + std::to_string(ignored.size() - 5) + " more";
        c.Add(Verdict::Warn, "settings-file",
              "[" + std::string(section) + "] is written " +
                  (headers.size() == 2 ? std::string("twice") : std::to_string(headers.size()) + " times") + " in " +
                  path + " (lines " + std::to_string(headers[0]) + " and " + std::to_string(headers[1]) +
                  (headers.size() > 2 ? " and more" : "") + "): only the first counts, as Windows reads the file, " +
                  (ignored.empty() ? std::string("and the later ones hold no key.")
                                   : "so " + keys + " under the later " + (headers.size() == 2 ? "one" : "ones") +
                                         (ignored.size() == 1 ? " is" : " are") + " never read.") +
                  " Move the keys into the first [" + section + "] and remove the later header.");
    }
}

void Policy(CheckContext& c) {
    std::string locked;
    for (const settings::KeyRow& row : settings::SettingsKeys())
        if (const auto value = row.lockable ? PolicyFor(section::kSettings, row.name) : std::nullopt)
            locked += (locked.empty() ? "" : ", ") + std::string(row.name) + "=" + *value;
    c.Add(Verdict::Ok, "policy",
          locked.empty() ? std::string("no [Settings] key is locked by policy.")
                         : "locked by policy (the settings file's values do not count): " + locked + ".");
}

// The value of integer key `row` as written, where the job reads it from.
std::optional<std::string> Written(const CheckContext& c, const settings::KeyRow& row) {
    if (auto locked = PolicyFor(section::kSettings, row.name)) return locked;
    static constexpr const char* kAbsent = "\x01<absent>";
    std::string value = platform::ProfileGetString(section::kSettings, row.name, kAbsent, kSettingBufferSize,
                                                   SettingsFilePath(c.app));
    if (value == kAbsent) return std::nullopt;
    return value;
}

// Every integer value that does not mean what was written: what it is
// taken as, and the values that are accepted. The job acts as it always
// did; only the check says so.
void Values(CheckContext& c) {
    for (const settings::KeyRow& row : settings::SettingsKeys()) {
        if (row.kind != settings::Kind::Integer) continue;
        const std::optional<std::string> written = Written(c, row);
        const settings::IntReading reading = settings::ReadIntAsWritten(row, written);
        if (reading.asWritten) continue;
        c.Add(Verdict::Warn, "value",
              c.Named(row.name) + " is \"" + *written + "\", which the connector does not read as written: " +
                  "a job takes it as " + std::to_string(reading.actsAs) + " (" + row.meaning(reading.actsAs) +
                  "). Accepted values: " + row.accepted + ". Write one of them: " + c.Correct(row.name) + ".");
    }
}

}  // namespace

void CheckSettings(CheckContext& c) {
    if (SettingsFile(c)) LinesNeverRead(c);
    Policy(c);
    Values(c);
}

void CheckNumbers(CheckContext& c) {
    // What two hand-kept keys make a job do; a value not read as written has
    // its own line above.
    for (const char* name : {key::kRunTimeoutSeconds, key::kExitStatus}) {
        const settings::KeyRow* row = settings::FindSettingsKey(name);
        const settings::IntReading reading = settings::ReadIntAsWritten(*row, Written(c, *row));
        if (!reading.asWritten) continue;
        c.Add(Verdict::Ok, name == key::kExitStatus ? "exit-status" : "time-out",
              Setting(section::kSettings, name) + "=" + std::to_string(reading.actsAs) + " (" + c.SourceOf(name) +
                  "): " + row->meaning(reading.actsAs) + ".");
    }
}

}  // namespace health
