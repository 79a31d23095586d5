// Resource and control IDs, shared by vantor.rc and the code. Plain
// #defines only, so the resource compiler, the dialog code and the form model
// (which includes no system header) can all use them.
//
// Ranges: dialogs, strings and icons 100-199; system-menu commands below
// 0xF000; controls 1000 and up (the buttons OK, Cancel and About keep the
// dialog manager's IDs 1, 2 and 3).
#pragma once

// ------------------------------------------------ dialogs, strings, icons
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_VANTOR_DIALOG 102
#define IDD_JOBS 103
#define IDR_MAINFRAME 128

// The system-menu command of the About entry
#define IDM_ABOUTBOX 0x0010

// ----------------------------------------------------------------- controls
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
#ifndef IDOK
#define IDOK 1
#endif
#ifndef IDCANCEL
#define IDCANCEL 2
#endif

// Configuration dialog (template 102)
#define IDC_ABOUT_BUTTON 3          // "About"
#define IDC_LASTJOB_CMDLINE 1000    // LastJob/CmdLine, read-only
#define IDC_LASTJOB_TEMPLATE 1001   // LastJob/Template, read-only
#define IDC_LASTJOB_DATAFILE 1002   // LastJob/DataFile, read-only
#define IDC_PARAMS 1003             // list view of LastJob/Param1, Param2, ...
#define IDC_LASTJOB_TVLCMDLINE 1004 // LastJob/TvlCmdLine, read-only
#define IDC_PRINTER_DEFAULT 1005    // radio "Use Default Windows Printer" (first of the group)
#define IDC_PRINTER_SPECIFIC 1006   // radio "Use Specific Printer:"
#define IDC_PRINTER_NAME 1007       // edit: the printer name
#define IDC_MSGBOX_DEBUG 1008       // check box "Show MessageBox for Debug"
#define IDC_LASTJOB_COPIES 1009     // LastJob/Copies, read-only
#define IDC_PRINTER_BYUSER 1010     // radio "Use Printer according to user in INI file"
#define IDC_LASTJOB_LASTUSER 1011   // LastJob/LastUser, read-only
#define IDC_COPIES_TYPE 1012        // drop-down list: copies policy
#define IDC_LASTJOB_NUMLINES 1013   // LastJob/NumLines, read-only
#define IDC_PRINTER_BYTEMPLATE 1014 // radio "Use Printer according to Template in INI file"
#define IDC_PRINTER_MANUAL 1015     // radio "Show printer selection manually before each print job"
#define IDC_RUN_API_TYPE 1016       // drop-down list: runner choice
#define IDC_TEMPLATES_FOLDER 1017   // edit: TemplatesFolder
#define IDC_API_PROXY_EXE 1018      // edit: ApiProxyExe
#define IDC_BARTENDER_EXE_PATH 1019 // edit: BartenderExePath

// The ID range that selecting a printer radio button checks and unchecks
// (CheckRadioButton). It also holds 1007-1013, among them the check box 1008.
#define IDC_PRINTER_RANGE_FIRST IDC_PRINTER_DEFAULT
#define IDC_PRINTER_RANGE_LAST IDC_PRINTER_MANUAL

// About box (template 100)
#define IDC_ABOUT_VERSION 1013      // "Version: ..." text, filled at every activation

// Recent jobs (template 103, /JOBS)
#define IDC_JOBS_STATUS 1100        // what the journal is and what of it could not be read
#define IDC_JOBS_FILTER 1101        // edit: text in template, data file, user or command line
#define IDC_JOBS_ONLY_FAILED 1102   // check box "Only failed jobs"
#define IDC_JOBS_LIST 1103          // list view: one row per job, newest first
#define IDC_JOBS_RUNS 1104          // list view: the selected job's runs
#define IDC_JOBS_COPY 1105          // "Copy": the selected job as text on the clipboard
#define IDC_JOBS_RUN_AGAIN 1106     // "Run line again"
#define IDC_JOBS_WHAT_TO_DO 1107    // what to do about the selected run, when it went wrong
