// Resource ids of the window toolkit tests' dialog templates.
#pragma once

#define IDD_TEST_DIALOG 1001
#define IDD_TEST_PAGE_ONE 1002
#define IDD_TEST_PAGE_TWO 1003

#define IDC_TEST_EDIT 1101
#define IDC_TEST_CHECK 1102
#define IDC_TEST_LIST 1103
#define IDC_TEST_COMBO 1104
#define IDC_TEST_LISTVIEW 1105
#define IDC_TEST_STATIC 1106

#define IDC_PAGE_ONE_EDIT 1201
#define IDC_PAGE_TWO_EDIT 1301
