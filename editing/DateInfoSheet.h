// The modal sheet "日付情報の登録・修正" of one day: its schedules (page 0)
// and its name and holiday mark (page 1). Pages work on copies; OK sends
// their changes, Cancel sends nothing. The caller reloads after a result of 1.
#pragma once

#include "editing/DateSettingsPage.h"
#include "editing/DaySchedulePage.h"
#include "editing/DaySheetSource.h"
#include "toolkit/Dialog.h"

#include <memory>

class DateInfoSheet : public PropertySheetBase {
public:
    // Both pages are made here, on `day`, which outlives the sheet.
    explicit DateInfoSheet(const DaySheetSource& day);
    ~DateInfoSheet() override;

    static constexpr int kSchedulePage = 0;
    static constexpr int kDatePage = 1;

    using PropertySheetBase::DoModal;
    // Shows the sheet over `parent`, starting on `startPage`. 1 after OK
    // (every shown page has sent its records), 0 after Cancel or Esc, -1
    // when the sheet could not be made.
    INT_PTR DoModal(HWND parent, int startPage);

    DaySchedulePage& SchedulePage() { return *schedulePage_; }
    DateSettingsPage& DatePage() { return *datePage_; }

private:
    std::unique_ptr<DaySchedulePage> schedulePage_;
    std::unique_ptr<DateSettingsPage> datePage_;
};
