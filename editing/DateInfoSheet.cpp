#include "editing/DateInfoSheet.h"

#include "resources/DaySheetResource.h"
#include "toolkit/Application.h"

DateInfoSheet::DateInfoSheet(const DaySheetSource& day)
    : schedulePage_(std::make_unique<DaySchedulePage>(day)), datePage_(std::make_unique<DateSettingsPage>(day)) {}

DateInfoSheet::~DateInfoSheet() = default;

INT_PTR DateInfoSheet::DoModal(HWND parent, int startPage) {
    HINSTANCE instance = GetInstance();
    PROPSHEETPAGEA schedule{};
    schedule.dwSize = sizeof schedule;
    schedule.hInstance = instance;
    schedule.pszTemplate = MAKEINTRESOURCEA(IDD_SCHEDULE_PAGE);
    PROPSHEETPAGEA date{};
    date.dwSize = sizeof date;
    date.hInstance = instance;
    date.pszTemplate = MAKEINTRESOURCEA(IDD_DATE_PAGE);

    HPROPSHEETPAGE pages[2] = {schedulePage_->CreatePage(schedule), datePage_->CreatePage(date)};
    if (!pages[0] || !pages[1]) {
        // Pages handed to no sheet are not destroyed by one.
        for (HPROPSHEETPAGE page : pages) {
            if (page) DestroyPropertySheetPage(page);
        }
        return -1;
    }

    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.hwndParent = parent;
    header.hInstance = instance;
    header.pszCaption = "日付情報の登録・修正";
    header.nPages = 2;
    header.nStartPage = startPage == kDatePage ? kDatePage : kSchedulePage;
    header.phpage = pages;
    return DoModal(header);
}
