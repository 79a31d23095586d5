// The host's label-application entry: when the configuration dialog opens
// and the host's tabula.ini names no label application, the operator is
// offered to enter this connector there.
#pragma once

#include <string>

class CAppBase;

namespace ui {

// The host's configuration file, a fixed path (not derived from the
// system's Windows folder), and its entry for the label application.
inline constexpr const char* kHostConfigFile = "c:\\windows\\tabula.ini";
inline constexpr const char* kHostLabelsSection = "Labels";
inline constexpr const char* kHostApplicationKey = "Application";

inline constexpr const char* kHostConfigQuestion =
    "Labels section in Tabule.ini file is not updated, do you want to update it now?";

// Reads Labels/Application from `hostFile`. When it is empty (or the file,
// section or key is missing) asks the application's person the Yes/No
// question, owned by `owner`; on Yes writes the connector's own executable
// path (ModulePathWithExtension with ".exe") there. Any non-empty entry is
// left alone without a question. Returns whether the question was asked.
bool CheckHostConfig(const CAppBase& app, void* owner, const std::string& hostFile = kHostConfigFile);

}  // namespace ui
