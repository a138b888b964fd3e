#include "editing/DaySchedulePage.h"

#include "editing/DaySheetRules.h"
#include "editing/ScheduleEntryDialog.h"
#include "protocol/ScheduleSet.h"
#include "resources/DaySheetResource.h"

DaySchedulePage::DaySchedulePage(const DaySheetSource& day) : day_(day) {}

DaySchedulePage::~DaySchedulePage() = default;

LRESULT DaySchedulePage::OnInitDialog() {
    const DateValue& date = day_.date;
    SetDlgItemText(IDC_DAY_PROMPT, DayPromptText(date.Year(), date.Month(), date.Day(), date.Weekday()).c_str());

    add_ = std::make_unique<ButtonCtrl>(GetDlgItem(IDC_DAY_ADD));
    change_ = std::make_unique<ButtonCtrl>(GetDlgItem(IDC_DAY_CHANGE));
    delete_ = std::make_unique<ButtonCtrl>(GetDlgItem(IDC_DAY_DELETE));
    up_ = std::make_unique<ButtonCtrl>(GetDlgItem(IDC_DAY_UP));
    down_ = std::make_unique<ButtonCtrl>(GetDlgItem(IDC_DAY_DOWN));
    list_ = std::make_unique<ScheduleListView>(GetDlgItem(IDC_DAY_SCHEDULES), kDayPageColumns);
    list_->SetupColumns();

    // The order of a day's schedules is the server's: the arrows stay off.
    delete_->EnableWindow(FALSE);
    down_->EnableWindow(FALSE);
    up_->EnableWindow(FALSE);
    change_->EnableWindow(FALSE);

    working_.clear();
    for (const ScheduleRecord& schedule : day_.schedules) {
        working_.push_back(std::make_unique<ScheduleRecord>(schedule));
        list_->AddRow(*working_.back());
    }
    return 1;
}

LRESULT DaySchedulePage::OnCommand(UINT, UINT id, HWND) {
    // Once the records are on their way the list is no longer edited.
    if (applied_) return 1;
    switch (id) {
    case IDC_DAY_ADD:
        Add();
        return 1;
    case IDC_DAY_CHANGE:
        Change();
        return 1;
    case IDC_DAY_DELETE:
        Delete();
        return 1;
    default:
        return 0;
    }
}

LRESULT DaySchedulePage::OnNotify(WPARAM wParam, NMHDR* header) {
    if (header && list_ && header->hwndFrom == list_->Handle()) {
        const bool anySelected = list_->GetSelectedCount() > 0;
        if (header->code == static_cast<UINT>(NM_DBLCLK)) {
            if (anySelected) Change();
        } else {
            change_->EnableWindow(anySelected);
            delete_->EnableWindow(anySelected);
        }
    }
    return PropertyPageBase::OnNotify(wParam, header);
}

LRESULT DaySchedulePage::OnApply(NMHDR*) {
    if (applied_) return 1;
    applied_ = true;
    for (const auto& record : working_) {
        // One connection per record; a failure is shown by the set and the
        // others are still sent.
        ScheduleSet set(day_.context);
        set.Set(*record);
    }
    // Nothing reaches the notification's result, which stays PSNRET_NOERROR:
    // the sheet closes.
    return 1;
}

ScheduleRecord* DaySchedulePage::FirstSelected(int* row) const {
    int index = list_->GetNextItem(-1, LVNI_SELECTED);
    if (row) *row = index;
    if (index < 0) return nullptr;
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!list_->GetItem(&item)) return nullptr;
    return reinterpret_cast<ScheduleRecord*>(item.lParam);
}

void DaySchedulePage::Add() {
    ScheduleRecord entry;
    ScheduleEntryDialog dialog(entry, day_.categories);
    if (dialog.DoModal(hwnd) != IDOK) return;
    auto record = std::make_unique<ScheduleRecord>(entry);
    record->op = OP_ADD;
    record->date = day_.date.DateKey(1);
    working_.push_back(std::move(record));
    list_->AddRow(*working_.back());
}

void DaySchedulePage::Change() {
    int row = -1;
    ScheduleRecord* record = FirstSelected(&row);
    if (!record) return;
    ScheduleEntryDialog dialog(*record, day_.categories);
    if (dialog.DoModal(hwnd) != IDOK) return;
    record->op = OP_CHANGE;
    const char* cells[] = {record->categoryName, record->genreName, record->text};
    for (int column = 0; column < 3; ++column) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = column;
        item.pszText = const_cast<char*>(cells[column]);
        list_->SetItem(&item);
    }
    list_->SetFocus();
}

void DaySchedulePage::Delete() {
    int row = -1;
    ScheduleRecord* record = FirstSelected(&row);
    if (!record) return;
    if (MessageBox(DeleteQuestionText(*record).c_str(), "確認", MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) !=
        IDOK) {
        return;
    }
    // The record stays in the working list and goes out as a delete.
    record->op = OP_DELETE;
    list_->DeleteItem(row);
}
