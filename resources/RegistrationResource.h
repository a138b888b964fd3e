// Resource ids of the genre registration dialogs and the settings page:
// templates and their controls. Included by their resource script and by the
// dialogs' code alike.
#pragma once

// Dialog templates
#define IDD_SETTINGS_PAGE 107
#define IDD_CATEGORY 115
#define IDD_GENRE 116

// Category dialog (115)
#define IDC_CATEGORY_LIST 1034
#define IDC_GENRE_LIST 1035
#define IDC_GENRE_ADD 1009
#define IDC_GENRE_EDIT 1015
#define IDC_GENRE_DELETE 1011

// Genre dialog (116)
#define IDC_GENRE_CATEGORY_NAME 1037
#define IDC_GENRE_NAME 1019

// Settings page (107)
#define IDC_SETTINGS_USE_TRAY 1029
#define IDC_SETTINGS_CLOSE_TO_TRAY 1053
#define IDC_SETTINGS_ADDRESS 1017
#define IDC_SETTINGS_PORT 1018
