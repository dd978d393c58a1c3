// Identifiers of the program's resources, shared by the resource script and the code.
#pragma once

#define IDD_ABOUT 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN 102
#define IDR_MAINFRAME 128
#define IDB_SKIN 129
#define IDD_SETTINGS 131

#define IDC_ABOUT 3

#define IDC_ICON_LIST 1000
#define IDC_SAVE_AS 1001
#define IDC_COPY 1002
#define IDC_PREVIEW 1003
#define IDC_ABOUT_OK 1004
#define IDC_MAIL_LINK 1005
#define IDC_WEB_LINK 1006
#define IDC_SETTINGS 1007
#define IDC_UPDATE_PROMPT 1008
#define IDC_UPDATE_AUTO 1009

#define IDM_ABOUTBOX 0x0010
