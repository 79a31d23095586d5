// The real vantor.exe in configuration mode, for the dialog tests under Wine:
// a copy of the built program in a temporary folder (so it has a settings
// file of its own), started without arguments, found and driven from the
// test process through window messages (tools/win32/ui_automation.h).
//
// Every run ends with no window left: the destructor waits briefly for the
// program to end and kills it otherwise. Dialog tests of concurrent test
// processes take turns (a named mutex), since they share the Wine session's
// screen and its c:\windows\tabula.ini, which each test saves and restores.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace testsupport {

inline constexpr const char* kConfigCaption = "Priority - Tarvel Connector";
inline constexpr const char* kAboutCaption = "About Vantor";
inline constexpr const char* kHostFile = "c:\\windows\\tabula.ini";
// How long a window may take to appear or a process to end.
inline constexpr int kUiTimeoutMs = 15000;

// Holds the dialog tests' turn and the host file's bytes; gives both back
// when it goes.
class UiTurn {
public:
    UiTurn();
    ~UiTurn();
    UiTurn(const UiTurn&) = delete;
    UiTurn& operator=(const UiTurn&) = delete;

    // Sets the host file to `bytes`, or removes it for nullopt.
    static void SetHostFile(const std::optional<std::string>& bytes);
    static std::optional<std::string> HostFile();

private:
    HANDLE mutex_ = nullptr;
    std::optional<std::string> savedHostFile_;
};

class ConnectorUi {
public:
    // Installs the connector; with `ini`, its settings file holds exactly
    // those bytes. `exeName` is the program's file name in the folder.
    explicit ConnectorUi(std::optional<std::string> ini = std::nullopt,
                         const std::string& exeName = "vantor.exe");
    ~ConnectorUi();
    ConnectorUi(const ConnectorUi&) = delete;
    ConnectorUi& operator=(const ConnectorUi&) = delete;

    // Starts the program without arguments. False when it cannot start.
    bool Start();
    // The configuration dialog once visible, or null after the time-out.
    HWND WaitForDialog();
    // A visible Yes/No question box of the program, or null after `timeoutMs`.
    HWND WaitForQuestion(int timeoutMs = kUiTimeoutMs);
    // A visible warning box of the program (the dialog's caption, one OK
    // button), or null after `timeoutMs`.
    HWND WaitForWarning(int timeoutMs = kUiTimeoutMs);
    // A visible About box of the program, or null.
    HWND WaitForAbout();
    // Whether the program ended within `timeoutMs`.
    bool WaitForExit(int timeoutMs = kUiTimeoutMs);
    // Whether any top-level window of the program is visible.
    bool HasVisibleWindow() const;

    DWORD pid() const { return process_.dwProcessId; }
    const std::string& exePath() const { return exe_; }
    std::string iniPath() const;
    // The settings file's bytes, or nullopt when there is none.
    std::optional<std::string> IniBytes() const;

private:
    TempDir dir_;
    std::string exe_;
    PROCESS_INFORMATION process_{};
};

}  // namespace testsupport

#endif  // _WIN32
