#include "ui/win32/about_dlg.h"

#include "platform/framework.h"
#include "res/resource.h"
#include "settings/store.h"
#include "ui/version_text.h"
#include "ui/win32/file_version.h"

CAboutDlg::CAboutDlg(const CAppBase& app, HWND parent) : CDialogBase(IDD_ABOUTBOX, parent), app_(app) {}

void CAboutDlg::RefreshVersionText() {
    char buffer[ui::kFileVersionBufferSize];
    std::string version;
    if (GetFileVersionString(ModulePathWithExtension(app_, ".exe"), buffer, sizeof buffer))
        version = buffer;
    SetDlgItemTextA(hwnd_, IDC_ABOUT_VERSION, ui::VersionLine(version).c_str());
}

bool CAboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (message != WM_ACTIVATE || inDefaultActivation_) return false;
    // On activation and deactivation alike, after the dialog manager's own
    // handling (which saves or restores the focus): run that first (it calls
    // back here, where the flag hands it on), then refresh the text.
    inDefaultActivation_ = true;
    DefDlgProcA(hwnd_, message, wParam, lParam);
    inDefaultActivation_ = false;
    RefreshVersionText();
    result = TRUE;
    return true;
}
