// The form model's control operations over a real dialog's child windows.
#pragma once

#include <windows.h>

#include "ui/form_controls.h"

class Win32FormControls final : public ui::FormControls {
public:
    explicit Win32FormControls(HWND dialog) : dialog_(dialog) {}

    void SetText(int id, const std::string& text) override;
    std::string Text(int id) const override;
    void CheckRadioRange(int first, int last, int checked) override;
    void SetCheck(int id, bool checked) override;
    bool IsChecked(int id) const override;
    void Enable(int id, bool enabled) override;
    void SetReadOnly(int id) override;
    void AddItem(int id, const std::string& text) override;
    void SelectItem(int id, const std::string& text) override;
    std::string SelectedItem(int id) const override;
    void SetParamRows(const std::vector<ui::ParamRow>& rows) override;

private:
    HWND dialog_;
};
