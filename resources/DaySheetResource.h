// Resource ids of the day sheet (its schedule and date pages) and of the
// schedule entry dialog: templates and their controls. Included by their
// resource script and by the dialogs' code alike.
#pragma once

// Dialog templates
#define IDD_SCHEDULE_ENTRY 109
#define IDD_SCHEDULE_PAGE 112
#define IDD_DATE_PAGE 113

// Schedule page (112)
#define IDC_DAY_PROMPT 1014
#define IDC_DAY_SCHEDULES 1010
#define IDC_DAY_ADD 1009
#define IDC_DAY_CHANGE 1015
#define IDC_DAY_DELETE 1011
#define IDC_DAY_UP 1012
#define IDC_DAY_DOWN 1013

// Schedule entry dialog (109)
#define IDC_ENTRY_TEXT 1019
#define IDC_ENTRY_CATEGORY 1021
#define IDC_ENTRY_GENRE 1022

// Date page (113)
#define IDC_DATE_NAME 1019
#define IDC_DATE_HOLIDAY 1022
