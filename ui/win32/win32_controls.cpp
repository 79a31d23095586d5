#include "ui/win32/win32_controls.h"

#include <commctrl.h>

#include <vector>

void Win32FormControls::SetText(int id, const std::string& text) {
    SetDlgItemTextA(dialog_, id, text.c_str());
}

std::string Win32FormControls::Text(int id) const {
    HWND control = GetDlgItem(dialog_, id);
    const int length = GetWindowTextLengthA(control);
    if (length <= 0) return std::string();
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    const int got = GetWindowTextA(control, buffer.data(), length + 1);
    return std::string(buffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

void Win32FormControls::CheckRadioRange(int first, int last, int checked) {
    CheckRadioButton(dialog_, first, last, checked);
}

void Win32FormControls::SetCheck(int id, bool checked) {
    CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool Win32FormControls::IsChecked(int id) const {
    return IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
}

void Win32FormControls::Enable(int id, bool enabled) {
    EnableWindow(GetDlgItem(dialog_, id), enabled ? TRUE : FALSE);
}

void Win32FormControls::SetReadOnly(int id) {
    HWND control = GetDlgItem(dialog_, id);
    char className[16] = "";
    GetClassNameA(control, className, sizeof className);
    if (lstrcmpiA(className, "Edit") == 0)
        SendMessageA(control, EM_SETREADONLY, TRUE, 0);
    else
        EnableWindow(control, FALSE);
}

void Win32FormControls::AddItem(int id, const std::string& text) {
    SendDlgItemMessageA(dialog_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Win32FormControls::SelectItem(int id, const std::string& text) {
    // CB_SELECTSTRING: the first item that begins with the text, any case.
    SendDlgItemMessageA(dialog_, id, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(text.c_str()));
}

std::string Win32FormControls::SelectedItem(int id) const {
    const LRESULT index = SendDlgItemMessageA(dialog_, id, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return std::string();
    const LRESULT length = SendDlgItemMessageA(dialog_, id, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) return std::string();
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    SendDlgItemMessageA(dialog_, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer.data()));
    return std::string(buffer.data());
}

void Win32FormControls::SetParamRows(const std::vector<ui::ParamRow>& rows) {
    HWND list = GetDlgItem(dialog_, IDC_PARAMS);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);

    // The widths are pixels of the dialog in its font, MS Shell Dlg 8 pt, at
    // 96 DPI on Windows, where a horizontal dialog base unit is 6 pixels.
    // They grow with the dialog's base unit, as the dialog's own layout
    // does: at 120 or 144 DPI (the program is DPI-aware, so Windows no
    // longer stretches its windows) and with a wider font (Wine's), so that
    // "No." and "Value" are never cut.
    RECT base{0, 0, 4, 8};
    const int baseUnit = MapDialogRect(dialog_, &base) && base.right > 0 ? base.right : 6;
    struct Column {
        const char* title;
        int width;
    };
    const Column columns[] = {{ui::kParamColumnNo, ui::kParamColumnNoWidth},
                              {ui::kParamColumnValue, ui::kParamColumnValueWidth}};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = MulDiv(columns[i].width, baseUnit, 6);
        column.pszText = const_cast<char*>(columns[i].title);
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }

    for (const ui::ParamRow& row : rows) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        item.pszText = const_cast<char*>(row.number.c_str());
        // The list is sorted: it places the row by its number's text.
        const int index =
            static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (index < 0) continue;
        LVITEMA value{};
        value.iSubItem = 1;
        value.pszText = const_cast<char*>(row.value.c_str());
        SendMessageA(list, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&value));
    }
}
