// The modal dialog "ｶﾃｺﾞﾘの登録・更新": lists the categories, lists the
// genres of the selected one, and adds, renames and deletes genres on a
// private copy of the category data set. Only OK sends anything: one SET per
// changed record.
#pragma once

#include "protocol/CategorySet.h"
#include "protocol/ServerContext.h"
#include "toolkit/Dialog.h"

#include <cstdint>
#include <memory>

class CategoryDialog : public DialogBase {
public:
    // `storeCategories` is copied when the dialog opens; the copy sends its
    // changes to the server that `context` names.
    CategoryDialog(const CategorySet& storeCategories, const ServerContext& context);
    ~CategoryDialog() override;

    using DialogBase::DoModal;
    // 1 after OK (the changed records have been sent; the caller reloads the
    // categories), another value when nothing was sent.
    INT_PTR DoModal(HWND parent);

    // The working copy: the store's records, changed ones marked in `op`, the
    // genres added here at the end.
    const CategorySet& WorkingCopy() const { return working_; }
    // What the frame reloads after OK: the categories, and the schedules too
    // when a genre they may name was renamed or deleted (they carry its
    // short name).
    uint32_t ReloadMask() const;

    LRESULT OnInitDialog() override;
    LRESULT OnCommand(UINT notifyCode, UINT id, HWND control) override;

private:
    CategoryRecord* SelectedCategory() const;
    // The selected genre and its list index, or null.
    CategoryRecord* SelectedGenre(int* index) const;
    // Relists the selected category's genres; no genre is selected after.
    void FillGenres();
    void FollowGenreSelection();
    // After an item was replaced or removed: no genre stays selected.
    void ClearGenreSelection();

    void AddGenre();
    void EditGenre();
    void DeleteGenre();
    void SendChanges();

    const CategorySet& store_;
    CategorySet working_;
    std::unique_ptr<ListBoxCtrl> categories_;
    std::unique_ptr<ListBoxCtrl> genres_;
    std::unique_ptr<ButtonCtrl> add_;
    std::unique_ptr<ButtonCtrl> edit_;
    std::unique_ptr<ButtonCtrl> delete_;
    // Set when OK starts sending: every later command (OK again, 追加 while
    // a failure's message box is up) is ignored.
    bool sending_ = false;
};
