#include "shell/CalendarSplit.h"

#include "shell/CalendarGrid.h"
#include "shell/CalendarHost.h"
#include "shell/MonthTabs.h"
#include "toolkit/Application.h"

CalendarSplit::CalendarSplit(CalendarHost& host, MonthTabs* tabs) : host_(host), tabs_(tabs) {}

LRESULT CalendarSplit::OnCreate(CREATESTRUCTA*) {
    auto grid = std::make_unique<CalendarGrid>(host_, tabs_);
    grid_ = grid.get();
    std::unique_ptr<WindowBase> tree = host_.CreateCategoryTree(hwnd, *grid_);
    grid_->Create(0, "QxKit_Window", "", CalendarGrid::kStyle, 0, 0, 0, 0, hwnd,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(CalendarGrid::kId)), GetInstance(), nullptr);
    SetFirstPane(std::move(tree));
    SetSecondPane(std::move(grid));
    SetVertical(1);

    grid_->SetFocus();
    grid_->LayoutMonth(0, 0, 0);
    host_.RebuildCategoryTree();
    if (tabs_) tabs_->SetCurSel(DateValue().Month() - 1);
    UpdateWindow();
    return 0;
}
