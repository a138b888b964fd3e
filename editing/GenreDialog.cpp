#include "editing/GenreDialog.h"

#include "editing/GenreEditing.h"
#include "resources/RegistrationResource.h"
#include "toolkit/Application.h"

#include <utility>

GenreDialog::GenreDialog(const CategoryRecord& category, GenreRecord& genre, std::vector<std::string> otherNames)
    : category_(category), genre_(genre), otherNames_(std::move(otherNames)) {}

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
        if (const std::string problem = GenreNameProblem(text, otherNames_, category_); !problem.empty()) {
            MessageBox(problem.c_str(), "ｼﾞｬﾝﾙの登録", MB_OK | MB_ICONEXCLAMATION);
            ::SetFocus(name_->Handle());
            name_->SendMessage(EM_SETSEL, 0, -1);
            return 1;
        }
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
