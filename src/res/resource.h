// Resource ids of the installer, shared by the resource scripts and the dialog code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_SETUP_DIALOG 102
#define IDR_MAINFRAME 128
#define IDB_BANNER 129

#define IDC_PROGRESS 1000
// An edit control of the template that nothing uses; it stays hidden and disabled.
#define IDC_UNUSED_EDIT 1001
#define IDC_BROWSE 1002
#define IDC_PATH 1003
#define IDC_AUTORUN 1004

// System-menu command of the About item; the low four bits are the system's own.
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
