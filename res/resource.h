// Resource and control IDs, shared by vantor.rc and the code.
#pragma once

// Dialogs, strings and icons
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_VANTOR_DIALOG 102
#define IDR_MAINFRAME 128

// The system-menu command of the About entry
#define IDM_ABOUTBOX 0x0010
