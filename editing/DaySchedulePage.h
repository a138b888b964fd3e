// The day sheet's page "スケジュール": the day's schedules, added, changed and
// deleted on copies. On OK every record of the working list goes to the
// server with one SET each, whatever its pending change.
#pragma once

#include "editing/DaySheetSource.h"
#include "editing/ScheduleListView.h"
#include "toolkit/Dialog.h"

#include <memory>
#include <vector>

class DaySchedulePage : public PropertyPageBase {
public:
    explicit DaySchedulePage(const DaySheetSource& day);
    ~DaySchedulePage() override;

    // First the copies of the day's schedules, then the records added here,
    // in the order they were added. Deleted records stay, marked OP_DELETE.
    const std::vector<std::unique_ptr<ScheduleRecord>>& WorkingList() const { return working_; }

    LRESULT OnInitDialog() override;
    LRESULT OnCommand(UINT notifyCode, UINT id, HWND control) override;
    // The list view's notifications, then the page's own.
    LRESULT OnNotify(WPARAM wParam, NMHDR* header) override;
    // Sends the working list once: an OK pressed again while a failure's
    // message box is up sends nothing more.
    LRESULT OnApply(NMHDR* header) override;

private:
    // The first selected row and its record; null when no row is selected.
    ScheduleRecord* FirstSelected(int* row) const;
    void Add();
    void Change();
    void Delete();

    const DaySheetSource& day_;
    std::vector<std::unique_ptr<ScheduleRecord>> working_;
    std::unique_ptr<ScheduleListView> list_;
    std::unique_ptr<ButtonCtrl> add_;
    std::unique_ptr<ButtonCtrl> change_;
    std::unique_ptr<ButtonCtrl> delete_;
    std::unique_ptr<ButtonCtrl> up_;
    std::unique_ptr<ButtonCtrl> down_;
    bool applied_ = false;
};
