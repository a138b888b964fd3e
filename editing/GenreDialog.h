// The small dialog "ｼﾞｬﾝﾙの登録" that names one genre of a category. It
// writes the caller's genre buffer only when the user confirms with OK.
#pragma once

#include "protocol/Records.h"
#include "toolkit/Dialog.h"

#include <memory>
#include <string>
#include <vector>

class GenreDialog : public DialogBase {
public:
    // Both buffers are the caller's: the category is shown, the genre's name
    // is the edit's first text and receives the new one on OK.
    // `otherNames` are the category's other genres, whose names OK refuses.
    GenreDialog(const CategoryRecord& category, GenreRecord& genre, std::vector<std::string> otherNames);
    ~GenreDialog() override;

    using DialogBase::DoModal;
    // 1 when the user confirmed (the genre's `name` and `shortName` were
    // written), another value otherwise.
    INT_PTR DoModal(HWND parent);

    LRESULT OnInitDialog() override;
    // OK follows the edit's text at every command; an empty name is never
    // taken, and a blank one or one the category already has is refused with
    // a message, the dialog staying open.
    LRESULT OnCommand(UINT notifyCode, UINT id, HWND control) override;

private:
    const CategoryRecord& category_;
    GenreRecord& genre_;
    std::vector<std::string> otherNames_;
    std::unique_ptr<EditCtrl> name_;
    std::unique_ptr<ButtonCtrl> ok_;
};
