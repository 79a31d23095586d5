#include "app/health_check.h"

#include <cstdint>
#include <utility>

#include "job/command_line.h"
#include "job/data_reader.h"
#include "job/journal.h"
#include "launch/launch.h"
#include "launch/printer.h"
#include "launch/product_run.h"
#include "platform/framework.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "settings/catalogue.h"
#include "settings/store.h"
#include "ui/host_config.h"

namespace health {

namespace {

// The keys of [Settings], for the policy's list.
constexpr const char* kSettingsKeys[] = {
    key::kPrinter,          key::kMsgBoxDebug,  key::kCopiesType,   key::kRunApiType,
    key::kTemplatesFolder,  key::kApiProxyExe,  key::kBartenderExePath, key::kJournalFile,
    key::kJournalMaxKB,     key::kRunTimeoutSeconds, key::kExitStatus, key::kShowProgress,
    key::kEventLog,
};

std::string Setting(const char* section, const std::string& name) { return "[" + std::string(section) + "] " + name; }

// Where the value of a [Settings] key in force comes from.
std::string SourceOf(const CAppBase& app, const char* name) {
    if (PolicyFor(section::kSettings, name)) return "policy " + Setting(section::kSettings, name);
    static constexpr const char* kAbsent = "\x01<absent>";
    if (platform::ProfileGetString(section::kSettings, name, kAbsent, kSettingBufferSize, SettingsFilePath(app)) ==
        kAbsent)
        return "not set: the default";
    return Setting(section::kSettings, name) + " of the settings file";
}

std::string Trim(std::string_view s) {
    const std::size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return std::string();
    return std::string(s.substr(first, s.find_last_not_of(" \t\r") - first + 1));
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// The key names of a section of a profile file's bytes, in file order (names
// compared without regard to letter case, as the profile functions do).
std::vector<std::string> KeysOf(std::string_view bytes, std::string_view section) {
    std::vector<std::string> keys;
    bool inside = false;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        const std::string line = Trim(bytes.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.front() == '[') {
            const std::size_t end = line.find(']');
            inside = end != std::string::npos && EqualsIgnoreCase(Trim(std::string_view(line).substr(1, end - 1)), section);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (inside && equals != std::string::npos && equals > 0) keys.push_back(Trim(std::string_view(line).substr(0, equals)));
    }
    return keys;
}

class Checks {
public:
    Checks(CAppBase& app, const std::string& commandLine) : app_(app) {
        for (const std::string& token : job::SplitCommandLine(commandLine)) {
            if (job::IsTemplateToken(token)) templateName_ = job::TemplateNameOf(token, job::TemplateSeparators());
            if (job::IsDataFileToken(token)) dataPath_ = job::DataFilePathOf(token);
            hasTemplate_ = hasTemplate_ || job::IsTemplateToken(token);
            hasData_ = hasData_ || job::IsDataFileToken(token);
        }
    }

    std::vector<Finding> Run() {
        SettingsFile();
        Policy();
        Runners();
        Templates();
        Data();
        Printers();
        HostRegistration();
        Journal();
        Numbers();
        return std::move(findings_);
    }

private:
    void Add(Verdict verdict, const char* check, std::string text) {
        findings_.push_back({verdict, check, std::move(text)});
    }
    std::string Text(const char* name) const {
        return ReadSettingText(app_, section::kSettings, name, defaults::kText);
    }
    int Int(const char* name, int fallback = defaults::kInt) const {
        return ReadSettingInt(app_, section::kSettings, name, fallback);
    }

    void SettingsFile() {
        const std::string path = SettingsFilePath(app_);
        const platform::PathState state = platform::InspectPath(path);
        if (state.kind == platform::PathKind::Missing) {
            const platform::SystemError folder = platform::TryFolderTakesFiles(launch::ConnectorFolder(app_));
            if (folder.failed())
                Add(Verdict::Fail, "settings-file",
                    path + " does not exist, and its folder takes no new file (" + folder.text +
                        "): every setting takes its default and no job can record LastJob. Copy vantor.ini "
                        "there, or give this user the right to create files in the folder.");
            else
                Add(Verdict::Warn, "settings-file",
                    path + " does not exist: every setting takes its default. Save the configuration "
                           "dialog once, or copy vantor.ini there.");
            return;
        }
        if (state.kind != platform::PathKind::File) {
            Add(Verdict::Fail, "settings-file", path + " is not a file. Remove what is there and save the dialog.");
            return;
        }
        const platform::FileReadResult read = platform::ReadFileShared(path, job::kMaxDataFileBytes);
        if (!read.opened) {
            Add(Verdict::Fail, "settings-file",
                path + " cannot be read: " + job::OpenFailureDescription(path, read.cause) +
                    " Every setting takes its default. Give this user the right to read it.");
            return;
        }
        settingsBytes_ = read.bytes;
        const platform::SystemError write = platform::TryOpenForWriting(path);
        if (write.failed())
            Add(Verdict::Fail, "settings-file",
                path + " exists and can be read, but not written by this user (" + write.text +
                    "): jobs cannot record LastJob and the dialog cannot save. Clear its read-only "
                    "attribute, or give this user the right to modify it.");
        else
            Add(Verdict::Ok, "settings-file", path + " exists, can be read and written by this user.");
    }

    void Policy() {
        std::string locked;
        for (const char* name : kSettingsKeys)
            if (const auto value = PolicyFor(section::kSettings, name))
                locked += (locked.empty() ? "" : ", ") + std::string(name) + "=" + *value;
        Add(Verdict::Ok, "policy",
            locked.empty() ? std::string("no [Settings] key is locked by policy.")
                           : "locked by policy (the settings file's values do not count): " + locked + ".");
    }

    // One program a runner starts: `commandLine` as the job starts it.
    void Program(const char* check, const std::string& commandLine, const std::string& from) {
        std::string program = ProgramOfCommandLine(commandLine);
        if (program.empty()) {
            Add(Verdict::Fail, check, from + " is empty, but the run mode starts this runner. Enter its program.");
            return;
        }
        // CreateProcess adds ".exe" to a file name without an extension.
        if (platform::StartsWindowsPrograms()) {
            const std::string name = program.substr(launch::FolderOf(program, '\\').size());
            if (name.find('.') == std::string::npos) program += ".exe";
        }
        if (!platform::IsAbsolutePath(program)) {
            Add(Verdict::Warn, check,
                program + " (" + from + ") is not a full path: the system searches for it in several "
                "folders, so which program starts depends on the machine. Enter its full path.");
            return;
        }
        const platform::PathState state = platform::InspectPath(program);
        if (state.kind == platform::PathKind::Missing) {
            Add(Verdict::Fail, check,
                program + " (" + from + ") does not exist (" + state.error.text +
                    "). Install it there, or correct the setting.");
            return;
        }
        if (state.kind != platform::PathKind::File) {
            Add(Verdict::Fail, check, program + " (" + from + ") is not a file. Correct the setting.");
            return;
        }
        const platform::FileReadResult head = platform::ReadFileShared(program, 4096);
        if (!head.opened) {
            Add(Verdict::Fail, check,
                program + " (" + from + ") cannot be read: " + job::OpenFailureDescription(program, head.cause));
            return;
        }
        const ProgramFormat format = ProgramFormatOf(head.bytes);
        if (platform::StartsWindowsPrograms() && !format.windows) {
            Add(Verdict::Fail, check,
                program + " (" + from + ") is no Windows program (" + format.name +
                    "). Install the program itself there.");
            return;
        }
        const std::string version = platform::FileVersionOf(program);
        Add(Verdict::Ok, check,
            program + " (" + from + "): " + format.name +
                (version.empty() ? std::string(", no file version") : ", file version " + version) + ".");
    }

    void Runners() {
        const int mode = Int(key::kRunApiType);
        std::string templatePath = launch::TemplatePath(app_, templateName_);
        launch::RunMode run = launch::RunModeFor(mode, templatePath);
        const std::string modeText = Setting(section::kSettings, key::kRunApiType) + "=" + std::to_string(mode);
        if (static_cast<RunApiType>(mode) == RunApiType::kProxyOnZuvezavi && !hasTemplate_)
            run = {true, true};  // without a template, either may run
        Add(Verdict::Ok, "run-mode",
            modeText + " (" + SourceOf(app_, key::kRunApiType) + "): " +
                (run.proxy && run.product ? "the API proxy and the product"
                 : run.proxy              ? "the API proxy alone"
                                          : "the product") +
                (hasTemplate_ ? " for this template." : "."));
        if (run.proxy) Program("api-proxy", Text(key::kApiProxyExe), Setting(section::kSettings, key::kApiProxyExe));
        if (!run.product) return;
        const std::string bartender = Text(key::kBartenderExePath);
        if (!bartender.empty())
            Program("bartender", bartender, Setting(section::kSettings, key::kBartenderExePath));
        else
            Program("label-program", "\"" + launch::ConnectorFolder(app_) + launch::kLabelProgram + "\"",
                    "beside the connector, " + Setting(section::kSettings, key::kBartenderExePath) + " empty");
    }

    void Templates() {
        std::string folder = Text(key::kTemplatesFolder);
        const std::string from = folder.empty()
                                     ? Setting(section::kSettings, key::kTemplatesFolder) + " empty: the connector's folder"
                                     : Setting(section::kSettings, key::kTemplatesFolder);
        if (folder.empty()) folder = launch::ConnectorFolder(app_);
        std::size_t entries = 0;
        const platform::SystemError listed = platform::ListFolder(folder, entries);
        if (platform::InspectPath(folder).kind != platform::PathKind::Folder || listed.failed())
            Add(Verdict::Fail, "templates-folder",
                folder + " (" + from + ") cannot be listed" + (listed.failed() ? " (" + listed.text + ")" : "") +
                    ": no template can be found. Connect the share (as this user, with the same drive "
                    "letter) or correct the setting.");
        else
            Add(Verdict::Ok, "templates-folder",
                folder + " (" + from + ") can be listed, " + std::to_string(entries) + (entries == 1 ? " entry." : " entries."));
        if (!hasTemplate_) return;
        const std::string path = launch::TemplatePath(app_, templateName_);
        if (platform::InspectPath(path).kind == platform::PathKind::File)
            Add(Verdict::Ok, "template", path + " exists.");
        else
            Add(Verdict::Fail, "template",
                path + " (template \"" + templateName_ + "\" in " + from +
                    ") does not exist. Check the template's name in the host, or copy the template there.");
    }

    void Data() {
        if (!hasData_) return;
        const job::DataFile data = job::DataFile::Read(dataPath_);
        if (!data.Opened()) {
            Add(Verdict::Fail, "data-file",
                dataPath_ + " cannot be read: " + job::OpenFailureDescription(dataPath_, data.Cause()) +
                    " The job would run once with empty fields.");
            return;
        }
        const char* encoding = data.Encoding() == job::DataEncoding::Utf16Le ? "UTF-16 LE"
                               : data.Encoding() == job::DataEncoding::Utf8  ? "UTF-8 with its mark"
                                                                             : "ANSI";
        const int lines = data.LineCount();
        Add(lines > 0 ? Verdict::Ok : Verdict::Warn, "data-file",
            dataPath_ + " can be read: " + encoding + ", " + std::to_string(lines) + " line" +
                (lines == 1 ? "" : "s") + (lines > 0 ? "." : ": the job prints nothing."));
    }

    // One printer name the settings can choose.
    void Printer(const platform::PrinterList& list, const std::string& name, const std::string& from) {
        if (!list.known) {
            Add(Verdict::Warn, "printer",
                "\"" + name + "\" (" + from + ") cannot be looked up: " + list.why + ".");
            return;
        }
        for (const std::string& installed : list.names)
            if (platform::SamePathText(installed, name)) {
                Add(Verdict::Ok, "printer", "\"" + name + "\" (" + from + ") is installed.");
                return;
            }
        std::string names;
        for (const std::string& installed : list.names) names += (names.empty() ? "\"" : ", \"") + installed + "\"";
        Add(Verdict::Fail, "printer",
            "\"" + name + "\" (" + from + ") is not installed for this user on this machine (installed: " +
                (names.empty() ? std::string("none") : names) +
                "). Connect the printer for this user, or correct the name.");
    }

    void Printers() {
        const platform::PrinterList list = platform::InstalledPrinters();
        const std::string policy = Text(key::kPrinter);
        const std::string from = Setting(section::kSettings, key::kPrinter);
        std::string summary = from + "=" + policy + " (" + SourceOf(app_, key::kPrinter) + "); ";
        summary += list.known ? "printers from " + list.source + ": " + std::to_string(list.names.size()) +
                                    ", default " + (list.defaultPrinter.empty() ? "none" : "\"" + list.defaultPrinter + "\"")
                              : "the printer list cannot be read: " + list.why;
        Add(Verdict::Ok, "printers", summary + ".");
        const std::string user = launch::CurrentUserName();
        if (policy == printer::kManual) return;
        if (policy == printer::kByUser) {
            const std::string name = ReadSettingText(app_, section::kUserPrinter, user, defaults::kText);
            if (name.empty())
                Add(Verdict::Warn, "printer",
                    "no " + Setting(section::kUserPrinter, user.empty() ? "<unknown user>" : user) +
                        " entry: this user's labels go to the label program's default printer. Add the entry.");
            else
                Printer(list, name, Setting(section::kUserPrinter, user));
        } else if (policy == printer::kByTemplate) {
            for (const std::string& templateName : KeysOf(settingsBytes_, section::kTemplatePrinter)) {
                const std::string name = ReadSettingText(app_, section::kTemplatePrinter, templateName, defaults::kText);
                if (!name.empty()) Printer(list, name, Setting(section::kTemplatePrinter, templateName));
            }
            if (hasTemplate_) {
                const launch::PrinterChoice choice = launch::ChoosePrinter(app_, templateName_);
                if (choice.printerName.empty())
                    Add(Verdict::Warn, "printer",
                        "no " + Setting(section::kTemplatePrinter, templateName_) +
                            " entry: this template's labels go to the label program's default printer.");
            }
        } else if (!policy.empty()) {
            Printer(list, policy, from);
        }
    }

    void HostRegistration() {
        const std::string file = ui::kHostConfigFile;
        const std::string from = file + " [" + ui::kHostLabelsSection + "] " + ui::kHostApplicationKey;
        const std::string entry = platform::ProfileGetString(ui::kHostLabelsSection, ui::kHostApplicationKey, "",
                                                             kSettingBufferSize, file);
        if (entry.empty()) {
            Add(Verdict::Warn, "host-registration",
                from + " is empty or missing: the host does not start this connector. Open the configuration "
                       "dialog as an administrator and answer Yes.");
            return;
        }
        const std::string program = ProgramOfCommandLine(entry);
        const std::string folder = launch::FolderOf(program, platform::PathSeparator());
        const std::string ours = launch::ConnectorFolder(app_);
        if (platform::SamePathText(folder, ours))
            Add(Verdict::Ok, "host-registration", from + " names this connector's folder: " + entry + ".");
        else
            Add(Verdict::Fail, "host-registration",
                from + " names " + entry + ", not this connector's folder " + ours +
                    ": the host starts another copy. Correct the entry (empty it and open this connector's "
                    "dialog as an administrator).");
    }

    void Journal() {
        const std::string path = JournalPath(app_);
        const std::string from = Setting(section::kSettings, key::kJournalFile);
        if (path.empty()) {
            Add(Verdict::Ok, "journal", "off (" + from + " empty).");
            return;
        }
        const platform::PathState state = platform::InspectPath(path);
        const std::string folder = launch::FolderOf(path, platform::PathSeparator());
        const platform::SystemError error = state.kind == platform::PathKind::Missing
                                                ? platform::TryFolderTakesFiles(folder)
                                                : platform::TryOpenForWriting(path);
        if (error.failed())
            Add(Verdict::Fail, "journal",
                path + " (" + from + ") cannot be written (" + error.text +
                    "): jobs run, but leave no record. Create the folder and give this user the right to "
                    "create and modify files in it, or correct the setting.");
        else
            Add(Verdict::Ok, "journal", path + " (" + from + ") can be written.");
    }

    void Numbers() {
        const int timeout = Int(key::kRunTimeoutSeconds);
        Add(Verdict::Ok, "time-out",
            Setting(section::kSettings, key::kRunTimeoutSeconds) + "=" + std::to_string(timeout) + " (" +
                SourceOf(app_, key::kRunTimeoutSeconds) + "): " +
                (timeout > 0 ? "a runner is ended after " + std::to_string(timeout) + " s."
                             : std::string("runners are waited for without limit.")));
        const int status = Int(key::kExitStatus);
        Add(Verdict::Ok, "exit-status",
            Setting(section::kSettings, key::kExitStatus) + "=" + std::to_string(status) + " (" +
                SourceOf(app_, key::kExitStatus) + "): " +
                (status == exitstatus::kReportOutcome ? "a job's exit code tells the host what happened."
                                                      : "a job's exit code is 0 whatever happened."));
        Progress();
        EventLog();
    }

    // Settings/EventLog, and on Windows the event source's registration.
    void EventLog() {
        const std::string written = Text(key::kEventLog);
        const int level = Int(key::kEventLog);
        const std::string setting = Setting(section::kSettings, key::kEventLog) + "=" + written + " (" +
                                    SourceOf(app_, key::kEventLog) + "): ";
        if (level != eventlog::kProblems && level != eventlog::kEveryJob) {
            if (written.empty() || written == "0")
                Add(Verdict::Ok, "event-log", setting + "no job is reported in the system's log.");
            else
                Add(Verdict::Warn, "event-log",
                    setting + "any other value than 1 or 2 behaves as 0: no job is reported. Write 1 (jobs that "
                              "did not print every label), 2 (every job) or 0.");
            return;
        }
        const std::string what = setting + (level == eventlog::kEveryJob
                                                ? "every job is reported"
                                                : "jobs that did not print every label are reported");
        const platform::EventSourceState source = platform::EventSourceRegistration();
        if (!source.applies) {
            Add(Verdict::Ok, "event-log",
                what + " to the system log (ident " + platform::kSyslogIdent + ", facility user).");
            return;
        }
        const std::string inLog = what + " in the Application log, source \"" + platform::kEventSource + "\", ";
        if (!source.registered) {
            Add(Verdict::Warn, "event-log",
                inLog + "which is not registered: Event Viewer shows the events' values without their "
                        "sentences. Install the connector with its package, or register the source by hand "
                        "(administrator's guide, section 11).");
        } else if (source.error.failed()) {
            Add(Verdict::Warn, "event-log", inLog + "whose registration cannot be read (" + source.error.text + ").");
        } else if (!NamesThisConnector(source.messageFile)) {
            Add(Verdict::Warn, "event-log",
                inLog + "registered with the message file \"" + source.messageFile + "\", not this connector (" +
                    app_.ExePath() + "): Event Viewer shows that file's sentences, or none. Register it for this "
                                     "connector (administrator's guide, section 11).");
        } else {
            Add(Verdict::Ok, "event-log", inLog + "registered for this connector.");
        }
    }

    // Whether a list of message files ("a.exe;b.dll") names this connector.
    bool NamesThisConnector(const std::string& files) const {
        std::size_t start = 0;
        while (start <= files.size()) {
            std::size_t end = files.find(';', start);
            if (end == std::string::npos) end = files.size();
            if (platform::SamePathText(Trim(std::string_view(files).substr(start, end - start)), app_.ExePath()))
                return true;
            start = end + 1;
        }
        return false;
    }

    // Settings/ShowProgress: on only for exactly 1; say so of any other
    // value than 0.
    void Progress() {
        const std::string written = Text(key::kShowProgress);
        const bool on = Int(key::kShowProgress) == showprogress::kShow;
        const std::string setting = Setting(section::kSettings, key::kShowProgress) + "=" + written + " (" +
                                    SourceOf(app_, key::kShowProgress) + "): ";
        if (on)
            Add(Verdict::Ok, "progress",
                setting + "jobs of more than one line show their progress after a moment and can be stopped "
                          "after a label.");
        else if (written.empty() || written == "0")
            Add(Verdict::Ok, "progress", setting + "jobs show no progress.");
        else
            Add(Verdict::Warn, "progress",
                setting + "any other value than 1 behaves as 0: jobs show no progress. Write 1 to show it, "
                          "or 0.");
    }

    CAppBase& app_;
    std::string templateName_;
    std::string dataPath_;
    bool hasTemplate_ = false;
    bool hasData_ = false;
    std::string settingsBytes_;
    std::vector<Finding> findings_;
};

const char* VerdictText(Verdict verdict) {
    switch (verdict) {
    case Verdict::Ok:
        return "OK  ";
    case Verdict::Warn:
        return "WARN";
    case Verdict::Fail:
        return "FAIL";
    }
    return "?";
}

}  // namespace

std::vector<Finding> CheckInstallation(CAppBase& app, const std::string& commandLine) {
    const bool planning = app.Planning();
    app.SetPlanning(true);
    std::vector<Finding> findings = Checks(app, commandLine).Run();
    app.SetPlanning(planning);
    return findings;
}

std::string ReportText(const CAppBase& app, const std::vector<Finding>& findings) {
    std::string report =
        "Health check of the connector " + text::EscapeRecordValue(app.ExePath()) +
        ". Nothing was started, written or asked.\n(In values, %, tab, CR and LF are shown as %25, %09, %0D "
        "and %0A.)\n";
    for (const Finding& finding : findings)
        report += std::string(VerdictText(finding.verdict)) + " " + finding.check + ": " +
                  text::EscapeRecordValue(finding.text) + "\n";
    const int code = ExitCodeOf(findings);
    report += code == 0 ? "Every check is OK (exit code 0).\n"
              : code == kExitCheckWarnings ? "Some checks warn, none failed (exit code 20).\n"
                                           : "Some checks failed (exit code 21).\n";
    return report;
}

int ExitCodeOf(const std::vector<Finding>& findings) {
    int code = 0;
    for (const Finding& finding : findings) {
        if (finding.verdict == Verdict::Fail) return kExitCheckFailed;
        if (finding.verdict == Verdict::Warn) code = kExitCheckWarnings;
    }
    return code;
}

ProgramFormat ProgramFormatOf(std::string_view head) {
    ProgramFormat format;
    auto u16 = [&](std::size_t at) {
        return at + 2 <= head.size() ? static_cast<unsigned>(static_cast<unsigned char>(head[at])) |
                                           static_cast<unsigned>(static_cast<unsigned char>(head[at + 1])) << 8
                                     : 0u;
    };
    auto u32 = [&](std::size_t at) { return static_cast<uint32_t>(u16(at)) | static_cast<uint32_t>(u16(at + 2)) << 16; };
    if (head.substr(0, 2) == "MZ") {
        const uint32_t pe = u32(0x3C);
        if (pe + 26 <= head.size() && head.substr(pe, 4) == std::string_view("PE\0\0", 4)) {
            format.windows = true;
            const unsigned machine = u16(pe + 4);
            const unsigned magic = u16(pe + 24);  // the optional header's
            format.bits = magic == 0x20B ? 64 : magic == 0x10B ? 32 : 0;
            const char* cpu = machine == 0x14C    ? "x86"
                              : machine == 0x8664 ? "x64"
                              : machine == 0xAA64 ? "ARM64"
                                                  : "another processor";
            format.name = "Windows program (" +
                          (format.bits ? std::to_string(format.bits) + "-bit, " : std::string()) + cpu + ")";
            return format;
        }
        format.name = "DOS program, not a Windows one";
        return format;
    }
    if (head.substr(0, 4) == "\x7F" "ELF")
        format.name = "ELF program";
    else if (head.substr(0, 2) == "#!")
        format.name = "script";
    else
        format.name = "unknown format";
    return format;
}

std::string ProgramOfCommandLine(std::string_view commandLine) {
    if (!commandLine.empty() && commandLine.front() == '"') {
        const std::size_t end = commandLine.find('"', 1);
        return std::string(commandLine.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1));
    }
    const std::size_t end = commandLine.find_first_of(" \t");
    return std::string(commandLine.substr(0, end));
}

}  // namespace health
