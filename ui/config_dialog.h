// Configuration mode: the operator's dialog over the settings file. The
// Windows build shows the real dialog (ui/win32); the host build prints what
// the dialog would show (ui/host).
#pragma once

#include <memory>

class CAppBase;

// Caption of the configuration dialog and of the connector's own boxes.
inline constexpr const char* kProductCaption = "Priority - Tarvel Connector";

class ConfigDialog {
public:
    virtual ~ConfigDialog() = default;
    // Runs the dialog modally; returns when it closes. The result (OK or
    // Cancel) is for tests; start-up ignores it.
    virtual int DoModal() = 0;
};

std::unique_ptr<ConfigDialog> CreateConfigDialog(CAppBase& app);
