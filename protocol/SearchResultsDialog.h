// The schedules on the server that match the search criteria, fetched with
// one GET 1 when the dialog opens and kept by the dialog until it closes.
#pragma once

#include "protocol/ScheduleSet.h"
#include "toolkit/Dialog.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class ScheduleListView;

// The GET 1 condition: "sk0.id = C ", "sk1.id = G ", "schedule like '%T%' "
// in this order, each present only when chosen, joined by "and "; nothing
// chosen gives the empty condition (every schedule).
std::string BuildSearchCondition(int32_t categoryId, int32_t genreId, const std::string& searchText);
// "'TEXT'の検索結果" and "N件ヒットしました" on two lines.
std::string SearchSummaryText(const std::string& searchText, size_t hits);

class SearchResultsDialog : public DialogBase {
public:
    SearchResultsDialog(const ServerContext& context, int32_t categoryId, int32_t genreId, std::string searchText);
    ~SearchResultsDialog() override;

    // Shows the dialog modally; 1 OK, 2 Cancel, 0 closed.
    INT_PTR Run(HWND owner);

    // Runs the search and lists what it found. A failed request has shown
    // its message; the list then stays empty.
    LRESULT OnInitDialog() override;
    LRESULT OnCommand(UINT notifyCode, UINT id, HWND control) override;

    const ScheduleSet& Results() const { return results_; }

    const int32_t categoryId;
    const int32_t genreId;
    const std::string searchText;

private:
    ScheduleSet results_;
    std::unique_ptr<ScheduleListView> list_;
};
