#include "settings/store.h"

#include "platform/framework.h"
#include "platform/profile_engine.h"
#include "platform/text.h"
#include "settings/catalogue.h"
#include "settings/job_record.h"
#include "settings/settings_table.h"

std::string ModulePathWithExtension(const CAppBase& app, const std::string& extension) {
    return app.PathWithExtension(extension);
}

std::string SettingsFilePath(const CAppBase& app) { return app.ProfilePath(); }

std::string StoredText(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
    std::string stored(text);
    for (char& c : stored)
        if (c == '\r' || c == '\n') c = ' ';
    return stored;
}

std::optional<std::string> PolicyFor(const std::string& section, const std::string& key) {
    if (!text::SameIgnoringAsciiCase(section, section::kSettings)) return std::nullopt;
    // Only a key the table of [Settings] keys lets a policy lock.
    const settings::KeyRow* row = settings::FindSettingsKey(key);
    if (row == nullptr || !row->lockable) return std::nullopt;
    return platform::PolicyValue(row->name);
}

std::string ReadSettingText(const CAppBase& app, const std::string& section,
                            const std::string& key, const std::string& defaultText) {
    if (std::optional<std::string> locked = PolicyFor(section, key)) {
        if (locked->size() >= kSettingBufferSize) locked->resize(kSettingBufferSize - 1);
        return *locked;
    }
    return platform::ProfileGetString(section, key, defaultText, kSettingBufferSize,
                                      app.ProfilePath());
}

int ReadSettingInt(const CAppBase& app, const std::string& section, const std::string& key,
                   int defaultValue) {
    if (const std::optional<std::string> locked = PolicyFor(section, key))
        return locked->empty() ? defaultValue : profile::ParseInt(*locked);
    return platform::ProfileGetInt(section, key, defaultValue, app.ProfilePath());
}

platform::SystemError WriteSettingText(const CAppBase& app, const std::string& section,
                                       const std::string& key, const std::string& value) {
    return WriteSettingTexts(app, section, {{key, value}}).error;
}

SaveResult WriteSettingTexts(const CAppBase& app, const std::string& section,
                             const std::vector<std::pair<std::string, std::string>>& values) {
    if (app.Planning()) return {};
    std::vector<platform::ProfileEntry> entries;
    for (const auto& [key, value] : values)
        entries.push_back({StoredText(section), StoredText(key), StoredText(value)});
    JobRecord* record = app.Record();
    if (record && record->Gathering()) {
        for (platform::ProfileEntry& entry : entries) record->Add(std::move(entry));
        return {};
    }
    const platform::SystemError error = platform::ProfileWrite(app.ProfilePath(), entries);
    if (record) record->Saved(error);
    SaveResult result;
    if (error.failed()) {
        result.saved = false;
        result.reason = error.text;
        result.error = error;
        for (const auto& entry : values) result.unsaved.push_back(entry.first);
    }
    return result;
}

platform::SystemError WriteProfileText(const std::string& path, const std::string& section,
                                       const std::string& key, const std::string& value) {
    return platform::ProfileWrite(path, {{StoredText(section), StoredText(key), StoredText(value)}});
}
