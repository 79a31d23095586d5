// The configuration dialog of the Windows build (template 102): the
// operator's window over section Settings, with the last job for reading.
//
// Opening: system-menu entry, icons, the host file question (before the
// window is visible, owned by it), the list items, the settings, the
// printer-name enabling. OK saves the seven settings and closes; Cancel
// closes and writes nothing.
#include <windows.h>

#include "platform/framework.h"
#include "res/resource.h"
#include "settings/store.h"
#include "ui/config_dialog.h"
#include "ui/config_form.h"
#include "ui/form_controls.h"
#include "ui/host_config.h"
#include "ui/win32/about_dlg.h"
#include "ui/win32/dialog_base.h"
#include "ui/win32/win32_controls.h"

namespace {

class CVantorDlg final : public ConfigDialog, private CDialogBase {
public:
    explicit CVantorDlg(CAppBase& app)
        : CDialogBase(IDD_VANTOR_DIALOG, nullptr),
          app_(app),
          icon_(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

    int DoModal() override { return static_cast<int>(RunModal()); }

    // Fills every control from the settings file.
    void LoadSettings() {
        Win32FormControls controls(hwnd_);
        ui::FillControls(controls, ui::LoadConfigForm(app_));
    }
    // Enables the printer-name edit exactly while "Use Specific Printer:" is checked.
    void UpdatePrinterEdit() {
        Win32FormControls controls(hwnd_);
        ui::UpdatePrinterEdit(controls);
    }
    // Writes the seven Settings keys from the controls, as one update. When
    // that fails, says why in a box and returns false: the dialog then stays
    // open, so the operator's changes are not lost.
    bool SaveSettings() {
        Win32FormControls controls(hwnd_);
        const SaveResult result = ui::SaveConfigForm(app_, ui::ReadControls(controls));
        if (!result.saved)
            app_.Interaction().ShowWarning(
                hwnd_, ui::SaveFailureText(SettingsFilePath(app_), result), kProductCaption);
        return result.saved;
    }
    // Offers to enter the connector into the host's tabula.ini.
    void CheckHostConfig() { (void)ui::CheckHostConfig(app_, hwnd_); }
    // The About box, modal over this dialog.
    void ShowAboutBox() {
        CAboutDlg about(app_, hwnd_);
        about.RunModal();
    }

protected:
    BOOL OnInitDialog() override {
        HMENU systemMenu = GetSystemMenu(hwnd_, FALSE);
        if (systemMenu != nullptr) {
            char entry[256] = "";
            if (LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUTBOX, entry, sizeof entry) > 0 &&
                entry[0] != '\0') {
                AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
                AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, entry);
            }
        }
        SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
        SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));

        CheckHostConfig();

        Win32FormControls controls(hwnd_);
        ui::AddComboItems(controls);
        LoadSettings();
        UpdatePrinterEdit();
        return TRUE;  // focus: the first tab stop
    }

    void OnOK() override {
        if (SaveSettings()) EndDialog(hwnd_, IDOK);
    }

    bool OnCommand(int id, int code) override {
        if (id == IDC_ABOUT_BUTTON && code == BN_CLICKED) {
            ShowAboutBox();
            return true;
        }
        for (int radio : ui::kPrinterRadios) {
            if (id == radio && code == BN_CLICKED) {
                UpdatePrinterEdit();
                return true;
            }
        }
        return false;
    }

    bool OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) override {
        switch (message) {
            case WM_SYSCOMMAND:
                if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
                    ShowAboutBox();
                    result = TRUE;
                    return true;
                }
                return false;  // every other command: the default handling
            case WM_PAINT:
                if (!IsIconic(hwnd_)) return false;
                PaintMinimisedIcon();
                result = TRUE;
                return true;
            case WM_QUERYDRAGICON:
                result = reinterpret_cast<INT_PTR>(icon_);
                return true;
            default:
                return false;
        }
    }

private:
    // While minimised: the application icon centred in the client area.
    void PaintMinimisedIcon() {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd_, &paint);
        SendMessageA(hwnd_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        const int iconWidth = GetSystemMetrics(SM_CXICON);
        const int iconHeight = GetSystemMetrics(SM_CYICON);
        RECT client;
        GetClientRect(hwnd_, &client);
        const int x = (client.right - client.left - iconWidth + 1) / 2;
        const int y = (client.bottom - client.top - iconHeight + 1) / 2;
        DrawIcon(dc, x, y, icon_);
        EndPaint(hwnd_, &paint);
    }

    CAppBase& app_;
    HICON icon_;
};

}  // namespace

std::unique_ptr<ConfigDialog> CreateConfigDialog(CAppBase& app) {
    return std::make_unique<CVantorDlg>(app);
}
