// The search criteria: a category, one of its genres and a text the
// schedule must contain, each optional. RunSearch shows it and then the
// results.
#pragma once

#include "toolkit/Dialog.h"

#include <cstdint>
#include <memory>
#include <string>

class CategorySet;
class ServerContext;

class SearchDialog : public DialogBase {
public:
    // The combo items point into `categories` (the store's set), which must
    // stay unchanged while the dialog runs.
    explicit SearchDialog(const CategorySet& categories);

    // Shows the dialog modally; 1 OK, 2 Cancel, 0 closed.
    INT_PTR Run(HWND owner);

    // Fills the category list; the genre list starts empty.
    LRESULT OnInitDialog() override;
    // A new category refills the genres; OK takes the criteria.
    LRESULT OnCommand(UINT notifyCode, UINT id, HWND control) override;

    // The criteria after OK: 0 and empty mean any.
    int32_t categoryId = 0;
    int32_t genreId = 0;
    std::string searchText;

private:
    void FillGenres();

    const CategorySet& categories_;
    std::unique_ptr<ComboBoxCtrl> categoryCombo_;
    std::unique_ptr<ComboBoxCtrl> genreCombo_;
    std::unique_ptr<EditCtrl> textEdit_;
};

// Command 40021: the criteria over `owner`, and after OK the results, found
// by the server named in `context`. The store is not touched.
void RunSearch(HWND owner, const CategorySet& categories, const ServerContext& context);
