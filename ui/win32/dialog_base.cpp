#include "ui/win32/dialog_base.h"

CDialogBase::CDialogBase(int templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

INT_PTR CDialogBase::RunModal() {
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_),
                                     parent_, DialogProc, reinterpret_cast<LPARAM>(this));
    hwnd_ = nullptr;
    return result;
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialogBase* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialogBase*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        self->hwnd_ = hwnd;
        return self->OnInitDialog();
    }
    self = reinterpret_cast<CDialogBase*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (self == nullptr) return FALSE;  // messages before WM_INITDIALOG

    if (message == WM_COMMAND) {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (id == IDOK && code == BN_CLICKED) {
            self->OnOK();
            return TRUE;
        }
        if (id == IDCANCEL && code == BN_CLICKED) {
            self->OnCancel();
            return TRUE;
        }
        return self->OnCommand(id, code) ? TRUE : FALSE;
    }
    INT_PTR result = FALSE;
    return self->OnMessage(message, wParam, lParam, result) ? result : FALSE;
}
