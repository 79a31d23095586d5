// The About box (template 100): the connector's name and its file version,
// read afresh from the executable's version resource at every activation.
#pragma once

#include "ui/win32/dialog_base.h"

class CAppBase;

class CAboutDlg final : public CDialogBase {
public:
    CAboutDlg(const CAppBase& app, HWND parent);

    // Sets control IDC_ABOUT_VERSION to "Version: " and the FileVersion of
    // the connector's own executable, commas as dots and blanks removed
    // ("Version: " alone when the version cannot be read).
    void RefreshVersionText();

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    const CAppBase& app_;
    bool inDefaultActivation_ = false;
};
