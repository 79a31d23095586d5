// Binding the form model to a dialog's controls: the order in which the
// configuration dialog fills its controls when it opens and what OK reads
// back. The Win32 dialog implements FormControls over its child windows;
// tests may implement it over plain data.
#pragma once

#include <string>
#include <vector>

#include "ui/config_form.h"

namespace ui {

// The control operations the configuration dialog needs, by control ID.
class FormControls {
public:
    virtual ~FormControls() = default;

    virtual void SetText(int id, const std::string& text) = 0;
    virtual std::string Text(int id) const = 0;

    // Checks `checked` and unchecks every other control whose ID lies in
    // first..last, whatever its kind (CheckRadioButton). Inside the printer
    // range that includes the check box IDC_MSGBOX_DEBUG.
    virtual void CheckRadioRange(int first, int last, int checked) = 0;
    virtual void SetCheck(int id, bool checked) = 0;
    virtual bool IsChecked(int id) const = 0;

    virtual void Enable(int id, bool enabled) = 0;
    // Lets the operator see but not change the control: an edit becomes
    // read-only, any other control disabled.
    virtual void SetReadOnly(int id) = 0;

    // Drop-down lists: add an item at the end; select the first item whose
    // text begins with `text`, ignoring case; the selected item's text ("" for
    // no selection).
    virtual void AddItem(int id, const std::string& text) = 0;
    virtual void SelectItem(int id, const std::string& text) = 0;
    virtual std::string SelectedItem(int id) const = 0;

    // The parameter list: removes all rows, adds the two columns, then one
    // row per entry.
    virtual void SetParamRows(const std::vector<ParamRow>& rows) = 0;
};

// Adds the items of both drop-down lists, in their fixed orders.
void AddComboItems(FormControls& controls);

// Puts `form` into the controls, in the order the dialog loads its settings:
// the last job's texts, the Bartender path, the printer radio (which unchecks
// every control in the range IDC_PRINTER_RANGE_FIRST..LAST, the debug check
// box too) and name, then the debug check box, the two lists, the two
// folders and the parameter rows; last, the controls of the keys a policy
// locks become read-only.
void FillControls(FormControls& controls, const ConfigForm& form);

// Enables the printer-name edit exactly while "Use Specific Printer:" is
// checked; its text stays.
void UpdatePrinterEdit(FormControls& controls);

// What OK takes from the controls: the editable settings (the last-job part
// of the result stays empty). The printer radio is the first checked of
// IDC_PRINTER_SPECIFIC, BYUSER, BYTEMPLATE, MANUAL; none: IDC_PRINTER_DEFAULT.
ConfigForm ReadControls(const FormControls& controls);

}  // namespace ui
