// The health check's files: the templates, the job's data file, the host's
// entry for the connector and the journal.
#include <string>

#include "app/check_context.h"
#include "job/data_reader.h"
#include "job/journal.h"
#include "launch/launch.h"
#include "platform/platform.h"
#include "settings/catalogue.h"
#include "settings/settings_table.h"
#include "settings/store.h"
#include "ui/host_config.h"
#include "ui/what_to_do.h"

namespace health {

namespace {

// The field after the twenty parameter fields: read for the copies only.
constexpr int kCopiesField = key::kParamCount + 1;

void Templates(CheckContext& c) {
    std::string folder = c.Text(key::kTemplatesFolder);
    const std::string from = folder.empty() ? c.Named(key::kTemplatesFolder) + " empty: the connector's folder"
                                            : c.Named(key::kTemplatesFolder);
    if (folder.empty()) folder = launch::ConnectorFolder(c.app);
    std::size_t entries = 0;
    const platform::SystemError listed = platform::ListFolder(folder, entries);
    if (platform::InspectPath(folder).kind != platform::PathKind::Folder || listed.failed())
        c.Add(Verdict::Fail, "templates-folder",
              folder + " (" + from + ") cannot be listed" + (listed.failed() ? " (" + listed.text + ")" : "") +
                  ": no template can be found. Connect the share (as this user, with the same drive "
                  "letter), or " + c.Correct(key::kTemplatesFolder) + ".");
    else
        c.Add(Verdict::Ok, "templates-folder",
              folder + " (" + from + ") can be listed, " + std::to_string(entries) + (entries == 1 ? " entry." : " entries."));
    if (!c.hasTemplate) return;
    const std::string path = launch::TemplatePath(c.app, c.templateName);
    if (platform::InspectPath(path).kind == platform::PathKind::File)
        c.Add(Verdict::Ok, "template", path + " exists.");
    else
        c.Add(Verdict::Fail, "template",
              path + " (template \"" + c.templateName + "\" in " + from +
                  ") does not exist. Check the template's name in the host, or copy the template there.");
}

// The first line with fields no job ever reads, and how many lines have
// such fields. A line's fields 1 to 20 are its values; field 21 and the
// last field are read for the copies (the last one not under CopiesType 2);
// any other field, and an empty one, is never read.
void UnreadFields(CheckContext& c, const job::DataFile& data) {
    const int policy = c.Int(key::kCopiesType);
    const settings::KeyRow* copies = settings::FindSettingsKey(key::kCopiesType);
    const int actsAs = copies->actsAs(policy);
    const bool field21Only = actsAs == static_cast<int>(CopiesType::kField21);
    int firstLine = -1, firstFields = 0, lines = 0;
    for (int line = 0; line < data.LineCount(); ++line) {
        const int fields = data.FieldCount(line);
        if (fields <= kCopiesField) continue;
        // Fields 22 to fields-1 end at a tab; the last one does not.
        bool unread = false;
        for (int field = kCopiesField + 1; field < fields && !unread; ++field) unread = !data.Field(line, field).empty();
        if (field21Only) unread = unread || !data.Field(line, job::kLastField).empty();
        if (!unread) continue;
        if (lines++ == 0) firstLine = line, firstFields = fields;
    }
    if (lines == 0) return;
    const int neverTo = field21Only ? firstFields : firstFields - 1;
    const std::string never = neverTo == kCopiesField + 1 ? "field 22" : "fields 22 to " + std::to_string(neverTo);
    c.Add(Verdict::Warn, "data-file",
          "line " + std::to_string(firstLine + 1) + " of " + c.dataPath + " has " + std::to_string(firstFields) +
              " fields: " + never + " never reach a label. The label program gets fields 1 to 20 as its values, and " +
              (field21Only ? "field 21 is" : "field 21 and the last field are") + " read only for the copies " +
              "([Settings] CopiesType=" + std::to_string(actsAs) + ", " + copies->meaning(actsAs) + ")" +
              (lines > 1 ? "; " + std::to_string(lines - 1) + " more line" + (lines == 2 ? " is" : "s are") + " like it"
                         : std::string()) +
              ". Check the host's label export: it writes more fields than a label takes.");
}

void Data(CheckContext& c) {
    if (!c.hasData) return;
    const std::string& path = c.dataPath;
    const job::DataFile data = job::DataFile::Read(path);
    if (!data.Opened()) {
        c.Add(Verdict::Fail, "data-file",
              (path.empty() ? std::string("The /D= token names no file") : path) + " cannot be read: " +
                  job::DataFileFailure(path, data.Cause()) + " The job would run once with empty fields. " +
                  ui::DataFileWhatToDo());
        return;
    }
    const char* encoding = data.Encoding() == job::DataEncoding::Utf16Le ? "UTF-16 LE"
                           : data.Encoding() == job::DataEncoding::Utf8  ? "UTF-8 with its mark"
                                                                         : "ANSI";
    const int lines = data.LineCount();
    if (lines == 0) {
        c.Add(Verdict::Warn, "data-file",
              path + " can be read, but holds no line: the job prints nothing. " + ui::DataFileWhatToDo());
        return;
    }
    c.Add(Verdict::Ok, "data-file",
          path + " can be read: " + encoding + ", " + std::to_string(lines) + " line" + (lines == 1 ? "." : "s."));
    if (data.Utf16WithoutMark())
        c.Add(Verdict::Warn, "data-file",
              path + " looks like UTF-16 text without its byte-order mark (a zero byte at every second "
                     "position): it is read as ANSI text, in which every value ends at its first zero byte, so "
                     "the labels print empty. Have the host write the file with its byte-order mark (FF FE), "
                     "or as ANSI text.");
    else
        UnreadFields(c, data);
}

}  // namespace

void CheckFiles(CheckContext& c) {
    Templates(c);
    Data(c);
}

void CheckHost(CheckContext& c) {
    const std::string file = ui::kHostConfigFile;
    const std::string from = file + " [" + ui::kHostLabelsSection + "] " + ui::kHostApplicationKey;
    const std::string entry =
        platform::ProfileGetString(ui::kHostLabelsSection, ui::kHostApplicationKey, "", kSettingBufferSize, file);
    if (entry.empty()) {
        c.Add(Verdict::Warn, "host-registration",
              from + " is empty or missing: the host does not start this connector. Open the configuration "
                     "dialog as an administrator and answer Yes.");
    } else {
        const std::string program = ProgramOfCommandLine(entry);
        const std::string folder = launch::FolderOf(program, platform::PathSeparator());
        const std::string ours = launch::ConnectorFolder(c.app);
        if (platform::SamePathText(folder, ours))
            c.Add(Verdict::Ok, "host-registration", from + " names this connector's folder: " + entry + ".");
        else
            c.Add(Verdict::Fail, "host-registration",
                  from + " names " + entry + ", not this connector's folder " + ours +
                      ": the host starts another copy. Correct the entry (empty it and open this connector's "
                      "dialog as an administrator).");
    }

    const std::string path = JournalPath(c.app);
    const std::string named = c.Named(key::kJournalFile);
    if (path.empty()) {
        c.Add(Verdict::Ok, "journal", "off (" + named + " empty).");
        return;
    }
    const platform::PathState state = platform::InspectPath(path);
    const std::string folder = launch::FolderOf(path, platform::PathSeparator());
    const platform::SystemError error = state.kind == platform::PathKind::Missing
                                            ? platform::TryFolderTakesFiles(folder)
                                            : platform::TryOpenForWriting(path);
    if (error.failed())
        c.Add(Verdict::Fail, "journal",
              path + " (" + named + ") cannot be written (" + error.text +
                  "): jobs run, but leave no record. Create the folder and give this user the right to "
                  "create and modify files in it, or " + c.Correct(key::kJournalFile) + ".");
    else
        c.Add(Verdict::Ok, "journal", path + " (" + named + ") can be written.");
}

}  // namespace health
