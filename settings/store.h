// The settings store: the only way to the settings file beside the
// executable. Each operation makes exactly one profile call on the file (its
// path is formed once per application object); no value is cached, so a
// write is in the file when it returns and the next read, by this process or
// another, sees it. A missing or unreadable value gives the caller's default.
//
// Nothing written through the store can change the structure of a profile
// file: a line end inside a value or a name would end its line there and let
// the rest be read as a section or key of its own (a label value such as
// "x<CR>[Settings]<CR>BartenderExePath=..." would otherwise choose which
// program every later job starts). See StoredText.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"

class CAppBase;

// Size of the buffer a text value is read through: at most 29999 bytes of a
// stored value come back.
inline constexpr std::size_t kSettingBufferSize = 30000;

// The executable's full path with the extension of its file name replaced by
// `extension` (whose letter case wins): VANTOR.EXE and ".ini" give VANTOR.ini.
std::string ModulePathWithExtension(const CAppBase& app, const std::string& extension);

// ModulePathWithExtension with ".ini".
std::string SettingsFilePath(const CAppBase& app);

// A value, section or key name as the store writes it: every CR and LF
// becomes a blank, except those at its end, which are dropped (a copies text
// taken from a CR LF ended line, "3<CR>", is stored as "3", which is what it
// read back as anyway: a profile read trims the ends of a value).
std::string StoredText(std::string_view text);

// The value an administrator's policy sets for `key` when `section` is
// Settings and the table of [Settings] keys (settings/settings_table.h) lets
// a policy lock it (platform::PolicyValue): it holds instead of the file's,
// for ReadSettingText and ReadSettingInt alike (a policy's text read as a
// number as the profile functions read one). Nothing without a policy.
std::optional<std::string> PolicyFor(const std::string& section, const std::string& key);

std::string ReadSettingText(const CAppBase& app, const std::string& section,
                            const std::string& key, const std::string& defaultText);

int ReadSettingInt(const CAppBase& app, const std::string& section, const std::string& key,
                   int defaultValue);

// One value, as StoredText. Returns the system's error when it failed; a job
// goes on all the same (it must never stop or wait because its record could
// not be kept) and says so in its journal. In planning mode (a dry run) this
// and WriteSettingTexts write nothing. While a job gathers a data line's
// record (settings/job_record.h), this and WriteSettingTexts add to it
// instead, and the record is written as one update before the line's next
// runner starts.
platform::SystemError WriteSettingText(const CAppBase& app, const std::string& section,
                                       const std::string& key, const std::string& value);

// What became of saving several settings.
struct SaveResult {
    bool saved = true;
    std::string reason;                // the system's reason when not saved
    platform::SystemError error;       // the system's error when not saved
    std::vector<std::string> unsaved;  // the keys not saved, in the order given
};

// Writes `values` (key, value) into `section` as one update, in the order
// given: either all of them reach the file or none does.
SaveResult WriteSettingTexts(const CAppBase& app, const std::string& section,
                             const std::vector<std::pair<std::string, std::string>>& values);

// One value into another profile file (the host's), as StoredText.
platform::SystemError WriteProfileText(const std::string& path, const std::string& section,
                                       const std::string& key, const std::string& value);
