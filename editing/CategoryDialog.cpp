#include "editing/CategoryDialog.h"

#include "editing/GenreDialog.h"
#include "editing/GenreEditing.h"
#include "resources/RegistrationResource.h"
#include "toolkit/Application.h"

CategoryDialog::CategoryDialog(const CategorySet& storeCategories, const ServerContext& context)
    : store_(storeCategories), working_(context) {}

CategoryDialog::~CategoryDialog() = default;

INT_PTR CategoryDialog::DoModal(HWND parent) {
    return DoModal(GetInstance(), MAKEINTRESOURCEA(IDD_CATEGORY), parent);
}

LRESULT CategoryDialog::OnInitDialog() {
    working_.CopyFrom(store_);
    categories_ = std::make_unique<ListBoxCtrl>(GetDlgItem(IDC_CATEGORY_LIST));
    genres_ = std::make_unique<ListBoxCtrl>(GetDlgItem(IDC_GENRE_LIST));
    add_ = std::make_unique<ButtonCtrl>(GetDlgItem(IDC_GENRE_ADD));
    edit_ = std::make_unique<ButtonCtrl>(GetDlgItem(IDC_GENRE_EDIT));
    delete_ = std::make_unique<ButtonCtrl>(GetDlgItem(IDC_GENRE_DELETE));
    // Appended in store order: the list's sort style has no effect.
    for (CategoryRecord* category : working_.ListByLevel(LEVEL_CATEGORY)) {
        int index = categories_->InsertString(-1, category->name);
        categories_->SetItemData(index, reinterpret_cast<LPARAM>(category));
    }
    return 1;
}

LRESULT CategoryDialog::OnCommand(UINT, UINT id, HWND) {
    // The working copy is being walked by the sending loop.
    if (sending_) return 1;
    switch (id) {
    case IDC_CATEGORY_LIST:
        add_->EnableWindow(categories_->GetCurSel() >= 0);
        FillGenres();
        return 1;
    case IDC_GENRE_LIST:
        FollowGenreSelection();
        return 1;
    case IDC_GENRE_ADD:
        AddGenre();
        return 1;
    case IDC_GENRE_EDIT:
        EditGenre();
        return 1;
    case IDC_GENRE_DELETE:
        DeleteGenre();
        return 1;
    case IDOK:
        SendChanges();
        EndDialog(IDOK);
        return 1;
    case IDCANCEL:
        EndDialog(IDCANCEL);
        return 1;
    default:
        return 0;
    }
}

CategoryRecord* CategoryDialog::SelectedCategory() const {
    int index = categories_->GetCurSel();
    if (index < 0) return nullptr;
    return reinterpret_cast<CategoryRecord*>(categories_->GetItemData(index));
}

CategoryRecord* CategoryDialog::SelectedGenre(int* index) const {
    int selected = genres_->GetCurSel();
    if (index) *index = selected;
    if (selected < 0) return nullptr;
    return reinterpret_cast<CategoryRecord*>(genres_->GetItemData(selected));
}

void CategoryDialog::FillGenres() {
    while (genres_->DeleteString(0) != LB_ERR) {
    }
    FollowGenreSelection();
    const CategoryRecord* category = SelectedCategory();
    if (!category) return;
    for (CategoryRecord* genre : ListedGenres(working_, category->id)) {
        int index = genres_->InsertString(-1, genre->name);
        genres_->SetItemData(index, reinterpret_cast<LPARAM>(genre));
    }
}

void CategoryDialog::FollowGenreSelection() {
    const bool selected = genres_->GetCurSel() >= 0;
    edit_->EnableWindow(selected);
    delete_->EnableWindow(selected);
}

void CategoryDialog::ClearGenreSelection() {
    genres_->SendMessage(LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    FollowGenreSelection();
}

void CategoryDialog::AddGenre() {
    const CategoryRecord* category = SelectedCategory();
    if (!category) return;
    CategoryRecord shown = *category;
    GenreRecord buffer;
    if (GenreDialog(shown, buffer, OtherGenreNames(working_, category->id, nullptr)).DoModal(hwnd) != IDOK) return;

    auto genre = std::make_unique<GenreRecord>(buffer);
    genre->id = 0;
    genre->op = OP_ADD;
    genre->editState = 1;
    genre->level = LEVEL_GENRE;
    genre->parentId = category->id;
    int index = genres_->InsertString(-1, genre->name);
    genres_->SetItemData(index, reinterpret_cast<LPARAM>(genre.get()));
    working_.Append(std::move(genre));
}

void CategoryDialog::EditGenre() {
    int index = -1;
    CategoryRecord* genre = SelectedGenre(&index);
    const CategoryRecord* category = SelectedCategory();
    if (!genre || !category) return;
    CategoryRecord shown = *category;
    GenreRecord buffer = *genre;
    if (GenreDialog(shown, buffer, OtherGenreNames(working_, category->id, genre)).DoModal(hwnd) != IDOK) return;

    *genre = buffer;
    genre->op = OP_CHANGE;
    genre->editState = 2;
    genres_->DeleteString(index);
    index = genres_->InsertString(index, genre->name);
    genres_->SetItemData(index, reinterpret_cast<LPARAM>(genre));
    ClearGenreSelection();
}

void CategoryDialog::DeleteGenre() {
    int index = -1;
    CategoryRecord* genre = SelectedGenre(&index);
    if (!genre) return;
    const std::string question = DeleteGenreQuestion(*genre);
    if (MessageBox(question.c_str(), "確認", MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) != IDOK) return;
    genre->op = OP_DELETE;
    genres_->DeleteString(index);
    ClearGenreSelection();
}

uint32_t CategoryDialog::ReloadMask() const { return ReloadAfterGenreChanges(working_); }

void CategoryDialog::SendChanges() {
    sending_ = true;
    // A failed request has shown its message; the others still go out and
    // the reload afterwards shows what the server holds.
    for (const auto& record : working_.records) {
        if (record->op != OP_NONE) working_.Set(*record);
    }
}
