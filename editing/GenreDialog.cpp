#include "editing/GenreDialog.h"

#include "editing/GenreEditing.h"
#include "resources/RegistrationResource.h"
#include "toolkit/Application.h"

GenreDialog::GenreDialog(const CategoryRecord& category, GenreRecord& genre) : category_(category), genre_(genre) {}

GenreDialog::~GenreDialog() = default;

INT_PTR GenreDialog::DoModal(HWND parent) {
    return DoModal(GetInstance(), MAKEINTRESOURCEA(IDD_GENRE), parent);
}

LRESULT GenreDialog::OnInitDialog() {
    name_ = std::make_unique<EditCtrl>(GetDlgItem(IDC_GENRE_NAME));
    ok_ = std::make_unique<ButtonCtrl>(GetDlgItem(IDOK));
    SetDlgItemText(IDC_GENRE_CATEGORY_NAME, category_.name);
    name_->SetWindowText(genre_.name);
    return 1;
}

LRESULT GenreDialog::OnCommand(UINT, UINT id, HWND) {
    const std::string text = name_ ? name_->GetText() : std::string();
    if (ok_) ok_->EnableWindow(!text.empty());
    switch (id) {
    case IDOK:
        // The button is disabled while the edit is empty; Enter must not get
        // past it either.
        if (text.empty()) return 1;
        SetGenreName(genre_, text);
        EndDialog(IDOK);
        return 1;
    case IDCANCEL:
        EndDialog(IDCANCEL);
        return 1;
    default:
        return 0;
    }
}
