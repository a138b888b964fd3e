// The modal dialog "スケジュールの登録・更新": one schedule's category, genre
// and text. Works on the caller's record, which it writes only on OK.
#pragma once

#include "protocol/CategorySet.h"
#include "toolkit/Dialog.h"

#include <memory>

class ScheduleEntryDialog : public DialogBase {
public:
    // `categories` lists the categories and genres to choose from (the
    // store's); both outlive the dialog.
    ScheduleEntryDialog(ScheduleRecord& record, const CategorySet& categories);
    ~ScheduleEntryDialog() override;

    using DialogBase::DoModal;
    // 1 when the user confirmed (the record was written), another value
    // otherwise.
    INT_PTR DoModal(HWND parent);

    LRESULT OnInitDialog() override;
    LRESULT OnCommand(UINT notifyCode, UINT id, HWND control) override;

private:
    static const CategoryRecord* SelectedRecord(const ComboBoxCtrl& combo);
    // Lists the genres of the selected category; none is selected after.
    void FillGenres();
    // OK is enabled exactly when a category, a genre and a text are there.
    bool UpdateOk();
    void Confirm();

    ScheduleRecord& record_;
    const CategorySet& categories_;
    std::unique_ptr<EditCtrl> text_;
    std::unique_ptr<ComboBoxCtrl> category_;
    std::unique_ptr<ComboBoxCtrl> genre_;
    std::unique_ptr<ButtonCtrl> ok_;
};
