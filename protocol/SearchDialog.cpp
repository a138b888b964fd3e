#include "protocol/SearchDialog.h"

#include "protocol/CategorySet.h"
#include "protocol/SearchResultsDialog.h"
#include "resources/SearchResource.h"
#include "toolkit/Application.h"

namespace {

// Appends `record`'s name at the end (store order, despite the sort style)
// with the record as its data.
void AppendRecord(ComboBoxCtrl& combo, const CategoryRecord* record) {
    int index = combo.InsertString(-1, record->name);
    if (index >= 0) combo.SetItemData(index, reinterpret_cast<LPARAM>(record));
}

// The record of the selected item, or null.
const CategoryRecord* SelectedRecord(const ComboBoxCtrl& combo) {
    int index = combo.GetCurSel();
    if (index == CB_ERR) return nullptr;
    LRESULT data = combo.GetItemData(index);
    return data == CB_ERR ? nullptr : reinterpret_cast<const CategoryRecord*>(data);
}

}  // namespace

SearchDialog::SearchDialog(const CategorySet& categories) : categories_(categories) {}

INT_PTR SearchDialog::Run(HWND owner) { return DoModal(GetInstance(), MAKEINTRESOURCEA(IDD_SEARCH), owner); }

LRESULT SearchDialog::OnInitDialog() {
    categoryCombo_ = std::make_unique<ComboBoxCtrl>(GetDlgItem(IDC_SEARCH_CATEGORY));
    genreCombo_ = std::make_unique<ComboBoxCtrl>(GetDlgItem(IDC_SEARCH_GENRE));
    textEdit_ = std::make_unique<EditCtrl>(GetDlgItem(IDC_SEARCH_TEXT));
    for (const CategoryRecord* record : categories_.ListAll()) {
        if (record->level == LEVEL_CATEGORY) AppendRecord(*categoryCombo_, record);
    }
    return 1;
}

LRESULT SearchDialog::OnCommand(UINT notifyCode, UINT id, HWND) {
    switch (id) {
    case IDC_SEARCH_CATEGORY:
        if (notifyCode == CBN_SELCHANGE) FillGenres();
        return 0;
    case IDOK: {
        if (const CategoryRecord* category = SelectedRecord(*categoryCombo_)) categoryId = category->id;
        if (const CategoryRecord* genre = SelectedRecord(*genreCombo_)) genreId = genre->id;
        searchText = textEdit_->GetText();
        EndDialog(1);
        return 1;
    }
    case IDCANCEL: EndDialog(2); return 1;
    default: return 0;
    }
}

void SearchDialog::FillGenres() {
    while (genreCombo_->DeleteString(0) != CB_ERR) {
    }
    const CategoryRecord* category = SelectedRecord(*categoryCombo_);
    if (!category) return;
    for (const CategoryRecord* genre : categories_.ListByParent(category->id)) AppendRecord(*genreCombo_, genre);
}

void RunSearch(HWND owner, const CategorySet& categories, const ServerContext& context) {
    SearchDialog criteria(categories);
    if (criteria.Run(owner) != 1) return;
    SearchResultsDialog results(context, criteria.categoryId, criteria.genreId, criteria.searchText);
    results.Run(owner);
}
