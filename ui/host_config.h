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

// The product's own question. "Tabule.ini" is how it has always named the
// host's file (whose real name is tabula.ini): operators know the text, so it
// stays as it is.
inline constexpr const char* kHostConfigQuestion =
    "Labels section in Tabule.ini file is not updated, do you want to update it now?";

// Reads Labels/Application from `hostFile`. When it is empty (or the file,
// section or key is missing) asks the application's person the Yes/No
// question, owned by `owner`; on Yes writes the connector's own executable
// path (ModulePathWithExtension with ".exe") there, and when that write fails
// says so in a warning box owned by `owner` (HostConfigFailureText). Any
// non-empty entry is left alone without a question. Returns whether the
// question was asked.
// The warning when the entry could not be written: the file and the system's
// reason.
std::string HostConfigFailureText(const std::string& hostFile, const std::string& reason);

bool CheckHostConfig(const CAppBase& app, void* owner, const std::string& hostFile = kHostConfigFile);

}  // namespace ui
