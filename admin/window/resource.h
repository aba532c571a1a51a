// Resource identifiers of VelaConfig.exe, shared by VelaConfig.rc and the window code.
// Menu commands are 40000 and up, control ids 1000 to 1999, and the commands a page posts to
// itself 30000 to 30999, so a WM_COMMAND id tells them apart.
#pragma once

// Icons.  The application icon has the lowest id, so the shell shows it for the program.
#define IDI_VELACONFIG 1
#define IDI_PICTURE_BLANK 110
#define IDI_PICTURE_OU 111
#define IDI_PICTURE_DOMAIN 112
#define IDI_PICTURE_DIRECTORY_ROOT 113
#define IDI_PICTURE_CONTAINER 114
#define IDI_PICTURE_COMPUTER 115
#define IDI_PICTURE_USER 116

// Menus: the menu bar, and the context menus that are never on it.
#define IDR_MAINMENU 101
#define IDR_CONTEXTMENUS 102

// Tab pages, in tab order.
#define IDD_PAGE_CONFIG 201
#define IDD_PAGE_SETTINGS 202
#define IDD_PAGE_SERVERS 203
#define IDD_PAGE_USERS 204
// "Change profile path" (Form1), modeless.
#define IDD_FORM1 205
// The modal text prompt.
#define IDD_PROMPT 210

// Controls of the frame window.
#define IDC_SSTAB1 1000
#define IDC_STATUSBAR 1001

// Controls of the "FrameWork Configuration" page.
#define IDC_FRAME1 1010
#define IDC_CHECK1 1011
#define IDC_CHECK2 1012
#define IDC_CHECK3 1013
#define IDC_CHECK7 1014
#define IDC_CHECK4 1015
#define IDC_CHECK5 1016
#define IDC_PRIORITY_LABEL 1017
#define IDC_COMBO2 1018
#define IDC_FRAME2 1020
#define IDC_OPTION1 1021
#define IDC_OPTION2 1022
#define IDC_OPTION3 1023
#define IDC_OPTION4 1024
#define IDC_TEXT1 1025
#define IDC_STOREFOLDER_LABEL 1026
#define IDC_TEXT2 1027
#define IDC_CHECKBACKUP 1028
#define IDC_FRAME3 1030
#define IDC_FRAMEWORK_ERROR_LABEL 1031
#define IDC_COMBO3 1032
#define IDC_PROFLWIZ_ERROR_LABEL 1033
#define IDC_COMBO4 1034

// Controls of the "Profile Settings" page.
#define IDC_COMBO1_LABEL 1100
#define IDC_COMBO1 1101
#define IDC_FILE1_LABEL 1102
#define IDC_FILE1 1103
#define IDC_COMMAND1 1104
#define IDC_COMMAND2 1105
#define IDC_COMMAND9 1106
#define IDC_COMMAND10 1107
#define IDC_TEXT3 1108

// Controls of the "Servers" page.
#define IDC_COMBO5_LABEL 1200
#define IDC_COMBO5 1201
#define IDC_COMMAND4 1202
#define IDC_COMMAND3 1203
#define IDC_SERVERS_NOTE 1204
#define IDC_LISTVIEW2_LABEL 1205
#define IDC_LISTVIEW2 1206

// Controls of the "User Configuration" page.
#define IDC_TREEVIEW1 1250
#define IDC_LISTVIEW1 1251

// Controls of Form1; Command1 is IDOK and Command2 IDCANCEL, so Enter and Esc reach them.
#define IDC_FORM1_LABEL1 1400
#define IDC_FORM1_LABEL2 1401
#define IDC_FORM1_CHECK1 1402
#define IDC_FORM1_TEXT1 1403
#define IDC_FORM1_CHECK2 1404
#define IDC_FORM1_TEXT2 1405
#define IDC_FORM1_CHECK3 1406

// Controls of the prompt.
#define IDC_PROMPT_TEXT 1300
#define IDC_PROMPT_EDIT 1301

// File menu.
#define IDM_NEW 40001
#define IDM_OPEN 40002
#define IDM_SAVE 40003
#define IDM_SAVEAS 40004
#define IDM_QUIT 40005
// Context menus; the install entries are appended to "Server" at run time from IDM_INSTALL_FIRST.
#define IDM_CHANGE_SERVER_TYPE 40101
#define IDM_INSTALL_FIRST 40110
#define IDM_CHANGE_PROFILE_PATH 40201
#define IDM_UNDO_LAST_CHANGE 40202
#define IDM_EXPORT_LIST 40301

// Commands a page posts to itself (WM_COMMAND, no control): the "User Configuration" page's tree
// notifications and the list's right button, run once the control has finished its own handling
// of the click.
#define IDP_TREE_LEFT_UP 30001
#define IDP_TREE_RIGHT_UP 30002
#define IDP_TREE_DBLCLICK 30003
#define IDP_LIST_MENU 30004

// Strings.
#define IDS_CAPTION 1
#define IDS_TAB_CONFIG 10
#define IDS_TAB_SETTINGS 11
#define IDS_TAB_SERVERS 12
#define IDS_TAB_USERS 13
#define IDS_CONFIRM_TITLE 20
#define IDS_CONFIRM_NEW_OVER 21
#define IDS_CONFIRM_SAVEAS_OVER 23
#define IDS_NO_CURRENT_FILE 22
#define IDS_FILE_NOT_FOUND 24
#define IDS_SAVE_DENIED 25
#define IDS_SAVE_READONLY 26
#define IDS_SAVE_NO_FOLDER 27
#define IDS_SAVE_FAILED 28
#define IDS_COLUMN_USERID 40
#define IDS_COLUMN_PROFILEPATH 41
#define IDS_COLUMN_TSPROFILEPATH 42
#define IDS_CHECK2_TIP 43
#define IDS_EXPORT_TITLE 44
#define IDS_EXPORT_FILTER 45
