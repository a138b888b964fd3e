// Resource ids of the client: menus, dialog templates, the toolbar bitmap,
// icons, string tables and the commands of the menus and the toolbar.
// Included by the resource script and by the code alike.
#pragma once

#include "resources/ToolkitResource.h"

// ---------------------------------------------------------------------------
// Menus
#define IDR_MAINFRAME 102  // the frame's menu bar
#define IDR_POPUP 110      // day menu (submenu 0) and notification-area menu (submenu 1)

// ---------------------------------------------------------------------------
// Dialog templates
#define IDD_ABOUT 104
#define IDD_SETTINGS_PAGE 107
#define IDD_SCHEDULE_ENTRY 109
#define IDD_SCHEDULE_PAGE 112
#define IDD_DATE_PAGE 113
#define IDD_CATEGORY 115
#define IDD_GENRE 116
#define IDD_SEARCH 117
#define IDD_SEARCH_RESULTS 118
#define IDD_PROGRESS 119

// Controls of the load progress dialog and of the about dialog.
#define IDC_PROGRESS_STATUS 1050
#define IDC_ABOUT_TEXT 1051

// ---------------------------------------------------------------------------
// Bitmaps and icons
#define IDB_TOOLBAR 105     // fourteen 16 x 15 images in the toolbar's order
#define IDI_APPLICATION_ICON 113  // frame, taskbar and notification area
#define IDI_TREE_OFF 114    // category tree: black ring, empty centre
#define IDI_TREE_ON 115     // category tree: black ring filled red
#define IDI_TREE_MIXED 116  // category tree: black ring, red checker pattern

// ---------------------------------------------------------------------------
// Commands (menus 102 and 110, the toolbar, the grid's day menu)
#define ID_APP_EXIT 40001
#define ID_APP_ABOUT 40002
#define ID_SCHEDULE_NEW 40005
#define ID_SETTINGS 40009
#define ID_DAY_PROPERTIES 40011
#define ID_DAY_HOLIDAY 40012
#define ID_VIEW_CATEGORY_TREE 40015
#define ID_VIEW_STATUSBAR 40016
#define ID_VIEW_TOOLBAR 40019
#define ID_VIEW_REFRESH 40020
#define ID_TOOLS_SEARCH 40021
#define ID_CATEGORY_REGISTER 40022
#define ID_FILE_PRINT 40023
#define ID_VIEW_PREVIOUS_YEAR 40036
#define ID_VIEW_PREVIOUS_MONTH 40037
#define ID_VIEW_TODAY 40038
#define ID_VIEW_NEXT_MONTH 40039
#define ID_VIEW_NEXT_YEAR 40040
#define ID_TOOLS_SUPPORT_FORUM 40042
#define ID_VIEW_TOPMOST 40044

// ---------------------------------------------------------------------------
// Strings
// Tool tips of the toolbar buttons, in the toolbar's order (14 has no button).
#define IDS_TIP_SCHEDULE_NEW 1
#define IDS_TIP_CATEGORY_TREE 2
#define IDS_TIP_STATUSBAR 3
#define IDS_TIP_SETTINGS 4
#define IDS_TIP_CATEGORY_REGISTER 5
#define IDS_TIP_SEARCH 6
#define IDS_TIP_REFRESH 7
#define IDS_TIP_PREVIOUS_YEAR 8
#define IDS_TIP_PREVIOUS_MONTH 9
#define IDS_TIP_TODAY 10
#define IDS_TIP_NEXT_MONTH 11
#define IDS_TIP_NEXT_YEAR 12
#define IDS_TIP_SUPPORT_FORUM 13
#define IDS_TIP_HELP 14
