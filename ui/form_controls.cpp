#include "ui/form_controls.h"

namespace ui {

void AddComboItems(FormControls& controls) {
    for (const char* item : kCopiesItems) controls.AddItem(IDC_COPIES_TYPE, item);
    for (const char* item : kRunnerItems) controls.AddItem(IDC_RUN_API_TYPE, item);
}

void FillControls(FormControls& controls, const ConfigForm& form) {
    const LastJobView& job = form.lastJob;
    controls.SetText(IDC_LASTJOB_CMDLINE, job.cmdLine);
    controls.SetText(IDC_LASTJOB_TEMPLATE, job.templ);
    controls.SetText(IDC_LASTJOB_DATAFILE, job.dataFile);
    controls.SetText(IDC_LASTJOB_COPIES, job.copies);
    controls.SetText(IDC_LASTJOB_NUMLINES, job.numLines);
    controls.SetText(IDC_LASTJOB_LASTUSER, job.lastUser);
    controls.SetText(IDC_LASTJOB_TVLCMDLINE, job.tvlCmdLine);
    controls.SetText(IDC_BARTENDER_EXE_PATH, form.bartenderExePath);

    controls.CheckRadioRange(IDC_PRINTER_RANGE_FIRST, IDC_PRINTER_RANGE_LAST, form.printerRadio);
    if (form.printerRadio == IDC_PRINTER_SPECIFIC)
        controls.SetText(IDC_PRINTER_NAME, form.printerName);
    // Only now: the radio selection above has just unchecked this box.
    controls.SetCheck(IDC_MSGBOX_DEBUG, form.debugChecked);

    controls.SelectItem(IDC_COPIES_TYPE, form.copiesItem);
    controls.SelectItem(IDC_RUN_API_TYPE, form.runnerItem);
    controls.SetText(IDC_TEMPLATES_FOLDER, form.templatesFolder);
    controls.SetText(IDC_API_PROXY_EXE, form.apiProxyExe);
    controls.SetParamRows(job.params);
    for (const std::string& name : form.locked)
        for (int id : ControlsOf(name)) controls.SetReadOnly(id);
}

void UpdatePrinterEdit(FormControls& controls) {
    controls.Enable(IDC_PRINTER_NAME, controls.IsChecked(IDC_PRINTER_SPECIFIC));
}

ConfigForm ReadControls(const FormControls& controls) {
    ConfigForm form;
    form.printerRadio = IDC_PRINTER_DEFAULT;
    for (int radio : {IDC_PRINTER_SPECIFIC, IDC_PRINTER_BYUSER, IDC_PRINTER_BYTEMPLATE,
                      IDC_PRINTER_MANUAL}) {
        if (controls.IsChecked(radio)) {
            form.printerRadio = radio;
            break;
        }
    }
    form.printerName = controls.Text(IDC_PRINTER_NAME);
    form.debugChecked = controls.IsChecked(IDC_MSGBOX_DEBUG);
    form.copiesItem = controls.SelectedItem(IDC_COPIES_TYPE);
    form.runnerItem = controls.SelectedItem(IDC_RUN_API_TYPE);
    form.templatesFolder = controls.Text(IDC_TEMPLATES_FOLDER);
    form.apiProxyExe = controls.Text(IDC_API_PROXY_EXE);
    form.bartenderExePath = controls.Text(IDC_BARTENDER_EXE_PATH);
    return form;
}

}  // namespace ui
