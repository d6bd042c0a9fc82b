// Resource identifiers shared by the resource script and the program.
#pragma once

#define IDD_ABOUTBOX            100
#define IDS_ABOUTBOX            101
#define IDD_DAVREL_DIALOG       102
#define IDR_MAINFRAME           128

#define IDM_ABOUTBOX            0x0010

#define IDC_COMBO_LOCATION      1000
#define IDC_STATIC_ICON         1002
#define IDC_BTN_CONNECT         1003
#define IDC_BTN_UNINSTALL       1004
#define IDC_CHK_ASSOCIATE       1005
#define IDC_LINK_PERMISSIONS    1006
#define IDC_LINK_CREDIT         1007
#define IDC_STATIC_NAME         1009
#define IDC_STATIC_PACKAGE      1010
#define IDC_STATIC_VERSION      1011
#define IDC_STATIC_SDK          1012
#define IDC_STATIC_SIZE         1013
#define IDC_BTN_SELECT          1014
#define IDC_LINK_MAIL           1015
#define IDC_LINK_STATUS         1016
#define IDC_EDIT_ADDRESS        1017
#define IDC_STATIC_SYSTEM_SIZE  1018
#define IDC_STATIC_SYSTEM_FREE  1019
#define IDC_STATIC_DATA_SIZE    1020
#define IDC_STATIC_DATA_FREE    1021
#define IDC_BTN_REFRESH         1022
#define IDC_STATIC_SDCARD_SIZE  1023
#define IDC_STATIC_SDCARD_FREE  1024
#define IDC_STATIC_SDEXT2_SIZE  1025
#define IDC_STATIC_SDEXT2_FREE  1026
#define IDC_BTN_SEARCH          1030
#define IDC_STATIC_INSTALLED    1031
// IDOK (1), IDCANCEL (2), 3 (Install) and 5 (the "？" button) are the
// template's own numbers for those push buttons.
#define IDC_BTN_INSTALL         3
#define IDC_BTN_ABOUT           5
