#include "editing/ScheduleEntryDialog.h"

#include "editing/DaySheetRules.h"
#include "resources/DaySheetResource.h"
#include "toolkit/Application.h"

ScheduleEntryDialog::ScheduleEntryDialog(ScheduleRecord& record, const CategorySet& categories)
    : record_(record), categories_(categories) {}

ScheduleEntryDialog::~ScheduleEntryDialog() = default;

INT_PTR ScheduleEntryDialog::DoModal(HWND parent) {
    return DoModal(GetInstance(), MAKEINTRESOURCEA(IDD_SCHEDULE_ENTRY), parent);
}

LRESULT ScheduleEntryDialog::OnInitDialog() {
    text_ = std::make_unique<EditCtrl>(GetDlgItem(IDC_ENTRY_TEXT));
    category_ = std::make_unique<ComboBoxCtrl>(GetDlgItem(IDC_ENTRY_CATEGORY));
    genre_ = std::make_unique<ComboBoxCtrl>(GetDlgItem(IDC_ENTRY_GENRE));
    ok_ = std::make_unique<ButtonCtrl>(GetDlgItem(IDOK));

    // Inserted at the end in store order: the combo's sort style has no effect.
    for (CategoryRecord* category : categories_.ListByLevel(LEVEL_CATEGORY)) {
        int index = category_->InsertString(-1, category->name);
        category_->SetItemData(index, reinterpret_cast<LPARAM>(category));
    }
    text_->SetWindowText(record_.text);

    // A schedule whose genre is gone (or a new one, genre 0) opens with
    // nothing selected.
    const CategoryRecord* genre = categories_.FindById(record_.genreId);
    if (genre && category_->GetCount() > 0) {
        for (int i = 0, n = category_->GetCount(); i < n; ++i) {
            auto* item = reinterpret_cast<const CategoryRecord*>(category_->GetItemData(i));
            if (item && item->id == genre->parentId) {
                category_->SetCurSel(i);
                break;
            }
        }
        FillGenres();
        for (int i = 0, n = genre_->GetCount(); i < n; ++i) {
            auto* item = reinterpret_cast<const CategoryRecord*>(genre_->GetItemData(i));
            if (item && item->id == genre->id) {
                genre_->SetCurSel(i);
                break;
            }
        }
    }
    UpdateOk();
    return 1;
}

LRESULT ScheduleEntryDialog::OnCommand(UINT notifyCode, UINT id, HWND) {
    const bool complete = UpdateOk();
    switch (id) {
    case IDOK:
        // Enter reaches here even while the button is disabled.
        if (!complete) return 1;
        Confirm();
        EndDialog(IDOK);
        return 1;
    case IDCANCEL:
        EndDialog(IDCANCEL);
        return 1;
    case IDC_ENTRY_CATEGORY:
        if (notifyCode == CBN_SELCHANGE) {
            FillGenres();
            // The genre list is empty again: OK must follow at once.
            UpdateOk();
        }
        return 1;
    default:
        return 0;
    }
}

const CategoryRecord* ScheduleEntryDialog::SelectedRecord(const ComboBoxCtrl& combo) {
    int index = combo.GetCurSel();
    if (index < 0) return nullptr;
    LRESULT data = combo.GetItemData(index);
    if (data == CB_ERR) return nullptr;
    return reinterpret_cast<const CategoryRecord*>(data);
}

void ScheduleEntryDialog::FillGenres() {
    while (genre_->DeleteString(0) != CB_ERR) {
    }
    const CategoryRecord* category = SelectedRecord(*category_);
    if (!category) return;
    for (CategoryRecord* genre : categories_.ListByParent(category->id)) {
        int index = genre_->InsertString(-1, genre->name);
        genre_->SetItemData(index, reinterpret_cast<LPARAM>(genre));
    }
}

bool ScheduleEntryDialog::UpdateOk() {
    if (!ok_) return false;
    const bool complete = EntryComplete(SelectedRecord(*category_) != nullptr, SelectedRecord(*genre_) != nullptr,
                                        text_->GetWindowTextLength() == 0);
    ok_->EnableWindow(complete);
    return complete;
}

void ScheduleEntryDialog::Confirm() {
    const CategoryRecord* category = SelectedRecord(*category_);
    const CategoryRecord* genre = SelectedRecord(*genre_);
    if (!category || !genre) return;
    StoreEntry(record_, text_->GetText(), *category, *genre);
}
