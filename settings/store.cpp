#include "settings/store.h"

#include "platform/framework.h"

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

std::string ReadSettingText(const CAppBase& app, const std::string& section,
                            const std::string& key, const std::string& defaultText) {
    return platform::ProfileGetString(section, key, defaultText, kSettingBufferSize,
                                      app.ProfilePath());
}

int ReadSettingInt(const CAppBase& app, const std::string& section, const std::string& key,
                   int defaultValue) {
    return platform::ProfileGetInt(section, key, defaultValue, app.ProfilePath());
}

void WriteSettingText(const CAppBase& app, const std::string& section, const std::string& key,
                      const std::string& value) {
    if (app.Planning()) return;
    (void)WriteProfileText(app.ProfilePath(), section, key, value);
}

SaveResult WriteSettingTexts(const CAppBase& app, const std::string& section,
                             const std::vector<std::pair<std::string, std::string>>& values) {
    if (app.Planning()) return {};
    std::vector<platform::ProfileEntry> entries;
    for (const auto& [key, value] : values)
        entries.push_back({StoredText(section), StoredText(key), StoredText(value)});
    const platform::SystemError error = platform::ProfileWrite(app.ProfilePath(), entries);
    SaveResult result;
    if (error.failed()) {
        result.saved = false;
        result.reason = error.text;
        for (const auto& entry : values) result.unsaved.push_back(entry.first);
    }
    return result;
}

platform::SystemError WriteProfileText(const std::string& path, const std::string& section,
                                       const std::string& key, const std::string& value) {
    return platform::ProfileWrite(path, {{StoredText(section), StoredText(key), StoredText(value)}});
}
