#include "protocol/SearchResultsDialog.h"

#include "editing/ScheduleListView.h"
#include "protocol/WireFormat.h"
#include "resources/SearchResource.h"
#include "toolkit/Application.h"

#include <utility>

std::string BuildSearchCondition(int32_t categoryId, int32_t genreId, const std::string& searchText) {
    std::string condition;
    auto add = [&condition](const std::string& clause) {
        if (!condition.empty()) condition += "and ";
        condition += clause;
    };
    if (categoryId != 0) add("sk0.id = " + std::to_string(categoryId) + " ");
    if (genreId != 0) add("sk1.id = " + std::to_string(genreId) + " ");
    if (!searchText.empty()) add("schedule like '%" + QuoteSqlText(searchText) + "%' ");
    return condition;
}

std::string SearchSummaryText(const std::string& searchText, size_t hits) {
    return "'" + searchText + "'の検索結果\n" + std::to_string(hits) + "件ヒットしました";
}

SearchResultsDialog::SearchResultsDialog(const ServerContext& context, int32_t categoryId, int32_t genreId,
                                         std::string searchText)
    : categoryId(categoryId), genreId(genreId), searchText(std::move(searchText)), results_(context) {}

SearchResultsDialog::~SearchResultsDialog() = default;

INT_PTR SearchResultsDialog::Run(HWND owner) {
    return DoModal(GetInstance(), MAKEINTRESOURCEA(IDD_SEARCH_RESULTS), owner);
}

LRESULT SearchResultsDialog::OnInitDialog() {
    list_ = std::make_unique<ScheduleListView>(GetDlgItem(IDC_SEARCH_RESULTS), kSearchColumns);
    list_->SetupColumns();
    // A failure has been shown by the request and leaves the set empty.
    results_.Get(BuildSearchCondition(categoryId, genreId, searchText));
    for (const auto& record : results_.records) list_->AddRow(*record);
    SetDlgItemText(IDC_SEARCH_SUMMARY, SearchSummaryText(searchText, results_.records.size()).c_str());
    return 1;
}

LRESULT SearchResultsDialog::OnCommand(UINT, UINT id, HWND) {
    if (id != IDOK && id != IDCANCEL) return 0;
    EndDialog(id);
    return 1;
}
