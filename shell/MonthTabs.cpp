#include "shell/MonthTabs.h"

#include "shell/CalendarGrid.h"
#include "shell/CalendarHost.h"
#include "shell/CalendarLayout.h"
#include "shell/CalendarSplit.h"
#include "toolkit/Application.h"

namespace {

const char* const kMonthNames[12] = {"1月", "2月", "3月", "4月",  "5月",  "6月",
                                     "7月", "8月", "9月", "10月", "11月", "12月"};

}  // namespace

MonthTabs::MonthTabs(CalendarHost& host) : host_(host) {}

MonthTabs::~MonthTabs() = default;

CalendarGrid* MonthTabs::Grid() const {
    return split_ ? split_->Grid() : nullptr;
}

LRESULT MonthTabs::OnCreate(CREATESTRUCTA*) {
    for (int i = 0; i < 12; ++i) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(kMonthNames[i]);
        InsertItem(i, &item);
    }
    split_ = std::make_unique<CalendarSplit>(host_, this);
    split_->Create(0, "QxKit_SplitWindow", "", CalendarSplit::kStyle, 0, 0, 0, 0, hwnd,
                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(CalendarSplit::kId)), GetInstance(), nullptr);
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    DateValue now;
    year_ = now.Year();
    month_ = now.Month();
    return 0;
}

LRESULT MonthTabs::OnSize(UINT, int width, int height) {
    if (!split_) return 0;
    RECT tab{};
    GetItemRect(0, &tab);
    const int top = tab.bottom - tab.top + 4;
    // A frame squeezed below the tab strip leaves no room, never a negative
    // height (which the 16-bit size would turn into some 65,000 pixels).
    const int splitHeight = height > top ? height - top : 0;
    split_->SetWindowPos(nullptr, 0, top, width, splitHeight, SWP_NOZORDER);
    split_->SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, splitHeight));
    return 0;
}

LRESULT MonthTabs::OnTcnSelChange(NMHDR*) {
    month_ = GetCurSel() + 1;
    ShowMonth(year_, month_, 1);
    return 0;
}

void MonthTabs::ShowMonth(int year, int month, int day) {
    calendar_layout::ClampMonth(year, month);
    year_ = year;
    month_ = month;
    SetCurSel(month - 1);
    CalendarGrid* grid = Grid();
    if (!grid) return;
    grid->LayoutMonth(year, month, day);
    host_.UpdateCategoryCounts();
    grid->InvalidateRect(nullptr, TRUE);
}

void MonthTabs::NextYear() {
    ShowMonth(year_ + 1, month_, 1);
}

void MonthTabs::PreviousYear() {
    ShowMonth(year_ - 1, month_, 1);
}

void MonthTabs::NextMonth() {
    DateValue d;
    d.SetDate(year_, month_, 1);
    d.AddMonths(1);
    ShowMonth(d.Year(), d.Month(), 1);
}

void MonthTabs::PreviousMonth() {
    DateValue d;
    d.SetDate(year_, month_, 1);
    d.SubtractMonths(1);
    ShowMonth(d.Year(), d.Month(), 1);
}

void MonthTabs::Today() {
    DateValue now;
    ShowMonth(now.Year(), now.Month(), now.Day());
}

void MonthTabs::Rebuild() {
    host_.RebuildCategoryTree();
    CalendarGrid* grid = Grid();
    if (!grid) return;
    grid->LayoutMonth(0, 0, 0);
    // The tree was labelled from the counts of the data before the reload;
    // the layout has just counted the reloaded schedules.
    host_.UpdateCategoryCounts();
    grid->InvalidateRect(nullptr, TRUE);
}
