#pragma once

// Shared by the resource script and the code.
#define IDD_ABOUT 103
#define IDD_HELP 129
#define IDD_PURCHASE 135
#define IDB_HELP_TEXT 133
#define IDB_CD_COVER 139
#define IDI_PROGRAM 140

#define IDC_MORE 3
#define IDC_HELP_OK 1007
#define IDC_STORE_US 3
#define IDC_STORE_FRANCE 5
#define IDC_STORE_GERMANY 6
