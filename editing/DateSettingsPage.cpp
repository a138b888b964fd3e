#include "editing/DateSettingsPage.h"

#include "editing/DaySheetRules.h"
#include "protocol/DateInfoSet.h"
#include "resources/DaySheetResource.h"
#include "text/ShiftJis.h"

DateSettingsPage::DateSettingsPage(const DaySheetSource& day) : day_(day) {}

DateSettingsPage::~DateSettingsPage() = default;

LRESULT DateSettingsPage::OnInitDialog() {
    name_ = std::make_unique<EditCtrl>(GetDlgItem(IDC_DATE_NAME));
    holiday_ = std::make_unique<ButtonCtrl>(GetDlgItem(IDC_DATE_HOLIDAY));
    if (day_.dateInfo) {
        initialName_ = std::string(FieldText(day_.dateInfo->name));
        initialHoliday_ = InitialHolidayState(day_.dateInfo);
        name_->SetText(initialName_);
        holiday_->SetCheck(initialHoliday_ ? BST_CHECKED : BST_UNCHECKED);
    }
    return 1;
}

LRESULT DateSettingsPage::OnCommand(UINT, UINT, HWND) { return 1; }

LRESULT DateSettingsPage::OnApply(NMHDR*) {
    if (applied_) return 1;
    applied_ = true;
    const std::string name = name_->GetText();
    const int checked = holiday_->GetCheck() == BST_CHECKED ? 1 : 0;
    if (DateSettingsChanged(initialName_, initialHoliday_, name, checked)) {
        DateInfoSet set(day_.context);
        // A failure is shown by the set; the sheet closes all the same.
        DateInfoRecord record = MakeDateSettingsRecord(day_.date.DateKey(1), name, checked);
        // The day as it was loaded: a conditional change stands only while
        // nobody else has changed (or first named) the day since.
        record.aux = day_.dateInfo ? day_.dateInfo->aux : 0;
        set.Set(record);
    }
    // Nothing reaches the notification's result, which stays PSNRET_NOERROR:
    // the sheet closes.
    return 1;
}
