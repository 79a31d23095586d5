// The settings store: the only way to the settings file beside the
// executable. Each operation forms the path anew and makes exactly one
// profile call; nothing is cached and nothing reports an error (a missing
// or unreadable value gives the caller's default, a failed write is lost).
#pragma once

#include <string>

class CAppBase;

// Size of the buffer a text value is read through: at most 29999 bytes of a
// stored value come back.
inline constexpr std::size_t kSettingBufferSize = 30000;

// The executable's full path with the extension of its file name replaced by
// `extension` (whose letter case wins): VANTOR.EXE and ".ini" give VANTOR.ini.
std::string ModulePathWithExtension(const CAppBase& app, const std::string& extension);

// ModulePathWithExtension with ".ini".
std::string SettingsFilePath(const CAppBase& app);

std::string ReadSettingText(const CAppBase& app, const std::string& section,
                            const std::string& key, const std::string& defaultText);

int ReadSettingInt(const CAppBase& app, const std::string& section, const std::string& key,
                   int defaultValue);

void WriteSettingText(const CAppBase& app, const std::string& section, const std::string& key,
                      const std::string& value);
