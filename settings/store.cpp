#include "settings/store.h"

#include "app/framework.h"
#include "app/text.h"
#include "platform/platform.h"

std::string ModulePathWithExtension(const CAppBase& app, const std::string& extension) {
    // The help-file path always ends in ".HLP"; everything before its last dot
    // is the executable's path without extension.
    const std::string& help = app.HelpFilePath();
    std::size_t dot = text::FindLastChar(help, '.');
    std::string path = dot == std::string::npos ? std::string() : help.substr(0, dot);
    path += extension;
    return path;
}

std::string SettingsFilePath(const CAppBase& app) { return ModulePathWithExtension(app, ".ini"); }

std::string ReadSettingText(const CAppBase& app, const std::string& section,
                            const std::string& key, const std::string& defaultText) {
    return platform::ProfileGetString(section, key, defaultText, kSettingBufferSize,
                                      SettingsFilePath(app));
}

int ReadSettingInt(const CAppBase& app, const std::string& section, const std::string& key,
                   int defaultValue) {
    return platform::ProfileGetInt(section, key, defaultValue, SettingsFilePath(app));
}

void WriteSettingText(const CAppBase& app, const std::string& section, const std::string& key,
                      const std::string& value) {
    (void)platform::ProfileWriteString(section, key, value, SettingsFilePath(app));
}
