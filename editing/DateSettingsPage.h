// The day sheet's page "日付設定": the day's name and holiday mark. Sends one
// SET of the date information on OK, and only when something differs from
// what the page showed at first.
#pragma once

#include "editing/DaySheetSource.h"
#include "toolkit/Dialog.h"

#include <memory>
#include <string>

class DateSettingsPage : public PropertyPageBase {
public:
    explicit DateSettingsPage(const DaySheetSource& day);
    ~DateSettingsPage() override;

    LRESULT OnInitDialog() override;
    // The controls need nothing from the page.
    LRESULT OnCommand(UINT notifyCode, UINT id, HWND control) override;
    LRESULT OnApply(NMHDR* header) override;

private:
    const DaySheetSource& day_;
    std::string initialName_;
    int initialHoliday_ = 0;
    bool applied_ = false;  // the record is sent once, whatever presses OK again
    std::unique_ptr<EditCtrl> name_;
    std::unique_ptr<ButtonCtrl> holiday_;
};
