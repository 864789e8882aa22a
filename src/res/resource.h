#pragma once
// Resource and command numbers shared by the resource script and the code.

#define IDD_ABOUTBOX 100
#define IDR_MAINFRAME 128
#define IDB_CLOSE 130
#define IDR_VIEWFRAME 131
#define IDD_INPUT 132
#define IDI_TRAY 133
#define IDI_TRAY_ANIM 134
#define IDB_TREE 135
// The same pictures drawn for 150 % and 200 %: the number above plus 1500 or 2000.
#define IDB_CLOSE_150 1630
#define IDB_TREE_150 1635
#define IDB_CLOSE_200 2130
#define IDB_TREE_200 2135

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
#define IDC_INPUT_EDIT 1000
#define IDC_VERSION 1001

#define IDM_EXIT 32771
#define IDM_TICKER 32772
#define IDM_NOTI 32773
#define IDM_ADD_RSS 32774
#define IDM_MOD_RSS 32775
#define IDM_DEL_RSS 32776
#define IDM_KEYWORD 32777
#define IDM_RSS_TICKER 32778
#define IDM_TOPMOST 32780
#define IDM_INTERNAL 32781
#define IDM_REFRESH 32782
#define IDM_VERSION 32783
#define IDM_IMPORT_OPML 32784
#define IDM_EXPORT_OPML 32785

#define IDS_APP_TITLE 57344
#define ID_APP_ABOUT 57664

// PELLORA_VERSION_BINARY and PELLORA_VERSION_TEXT come from the project version.
#include "version.h"
