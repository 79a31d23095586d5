#include "support/ui_fixture.h"

#ifdef _WIN32

#include <filesystem>
#include <stdexcept>

#include "res/resource.h"
#include "support/build_paths.h"
#include "tools/win32/ui_automation.h"

namespace testsupport {

UiTurn::UiTurn() {
    mutex_ = CreateMutexA(nullptr, FALSE, "vantor-dialog-tests");
    if (mutex_ != nullptr) {
        // WAIT_ABANDONED (a test process that died holding it) also gives the turn.
        WaitForSingleObject(mutex_, 5 * 60 * 1000);
    }
    savedHostFile_ = HostFile();
}

UiTurn::~UiTurn() {
    SetHostFile(savedHostFile_);
    if (mutex_ != nullptr) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
}

std::optional<std::string> UiTurn::HostFile() {
    if (!FileExists(kHostFile)) return std::nullopt;
    return ReadFileBytes(kHostFile);
}

void UiTurn::SetHostFile(const std::optional<std::string>& bytes) {
    if (bytes) {
        WriteFileBytes(kHostFile, *bytes);
    } else {
        std::error_code error;
        std::filesystem::remove(kHostFile, error);
    }
}

ConnectorUi::ConnectorUi(std::optional<std::string> ini, const std::string& exeName)
    : exe_(dir_.File(exeName)) {
    std::filesystem::copy_file(ConnectorProgram(), exe_);
    if (ini) WriteFileBytes(iniPath(), *ini);
}

ConnectorUi::~ConnectorUi() {
    if (process_.hProcess == nullptr) return;
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
        // Left open by a failed test: close it the hard way.
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, kUiTimeoutMs);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

std::string ConnectorUi::iniPath() const {
    return exe_.substr(0, exe_.rfind('.')) + ".ini";
}

std::optional<std::string> ConnectorUi::IniBytes() const {
    if (!FileExists(iniPath())) return std::nullopt;
    return ReadFileBytes(iniPath());
}

bool ConnectorUi::Start() {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exe_ + "\"";
    const std::string folder = exe_.substr(0, exe_.rfind('\\'));
    return CreateProcessA(exe_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.c_str(), &startup, &process_) != FALSE;
}

namespace {

// A visible dialog of `pid` captioned `caption` that `accept` takes.
HWND WaitForWindow(DWORD pid, const char* caption, int timeoutMs, bool (*accept)(HWND)) {
    HWND found = nullptr;
    uiauto::WaitFor(
        [&] {
            for (HWND w : uiauto::TopLevelWindows(pid, "#32770", caption)) {
                if (IsWindowVisible(w) && accept(w)) {
                    found = w;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

}  // namespace

HWND ConnectorUi::WaitForDialog() {
    // The question box has the same caption: the dialog is the one with the
    // printer radio buttons.
    HWND dialog = WaitForWindow(pid(), kConfigCaption, kUiTimeoutMs, [](HWND w) {
        return GetDlgItem(w, IDC_PRINTER_DEFAULT) != nullptr;
    });
    // Let it finish painting before anyone reads it.
    if (dialog != nullptr) uiauto::Send(dialog, WM_NULL);
    return dialog;
}

HWND ConnectorUi::WaitForQuestion(int timeoutMs) {
    return WaitForWindow(pid(), kConfigCaption, timeoutMs,
                         [](HWND w) { return uiauto::HasButton(w, IDYES); });
}

HWND ConnectorUi::WaitForWarning(int timeoutMs) {
    return WaitForWindow(pid(), kConfigCaption, timeoutMs, [](HWND w) {
        return uiauto::HasButton(w, IDOK) && !uiauto::HasButton(w, IDYES) &&
               GetDlgItem(w, IDC_PRINTER_DEFAULT) == nullptr;
    });
}

HWND ConnectorUi::WaitForAbout() {
    return WaitForWindow(pid(), kAboutCaption, kUiTimeoutMs,
                         [](HWND w) { return GetDlgItem(w, IDC_ABOUT_VERSION) != nullptr; });
}

bool ConnectorUi::WaitForExit(int timeoutMs) {
    return process_.hProcess != nullptr &&
           WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
}

bool ConnectorUi::HasVisibleWindow() const {
    for (HWND w : uiauto::TopLevelWindows(process_.dwProcessId, "", nullptr))
        if (IsWindowVisible(w)) return true;
    return false;
}

}  // namespace testsupport

#endif  // _WIN32
