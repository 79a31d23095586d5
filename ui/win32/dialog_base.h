// A small modal-dialog class of our own, one recipe for every dialog: a
// static dialog procedure finds the object, WM_INITDIALOG fills the controls
// (OnInitDialog), IDOK and IDCANCEL end the dialog (OnOK reads the controls
// back first), everything else goes to OnMessage or the dialog manager.
#pragma once

#include <windows.h>

class CDialogBase {
public:
    // `templateId`: the dialog resource in the running executable;
    // `parent`: the owner window, or null.
    CDialogBase(int templateId, HWND parent);
    virtual ~CDialogBase() = default;
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;

    // Creates the dialog from its template and runs it modally. Returns the
    // ID that ended it (IDOK, IDCANCEL), or -1 when it could not be created.
    INT_PTR RunModal();

    HWND Hwnd() const { return hwnd_; }

protected:
    // After the controls exist, before the window is shown. Returning TRUE
    // gives the focus to the first tab stop.
    virtual BOOL OnInitDialog() { return TRUE; }
    // IDOK (the OK button, Enter): by default ends the dialog with IDOK.
    virtual void OnOK() { EndDialog(hwnd_, IDOK); }
    // IDCANCEL (Cancel, Escape, the close box): ends the dialog with IDCANCEL.
    virtual void OnCancel() { EndDialog(hwnd_, IDCANCEL); }
    // WM_COMMAND other than IDOK/IDCANCEL. True when handled.
    virtual bool OnCommand(int /*id*/, int /*notifyCode*/) { return false; }
    // Any other message. Return true and set `result` (the dialog
    // procedure's return value) when handled; false lets the dialog manager
    // do its default.
    virtual bool OnMessage(UINT /*message*/, WPARAM, LPARAM, INT_PTR& /*result*/) { return false; }

    HWND hwnd_ = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
    HWND parent_;
};
