// One month as six weeks of seven days under a title and the weekday names:
// lays the month out from the store, selects a day with mouse or keyboard,
// writes the selected day's status text and opens its day sheet. Everything
// is painted through one off-screen bitmap.
#pragma once

#include "protocol/GenreTally.h"
#include "resources/Resource.h"
#include "shell/CalendarLayout.h"
#include "shell/DayCell.h"
#include "shell/MonthTitleCell.h"
#include "shell/WeekdayCell.h"
#include "toolkit/Services.h"
#include "toolkit/Window.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class CalendarHost;
class MonthTabs;

class CalendarGrid : public WindowBase {
public:
    // Child id and style in CalendarSplit, window class "QxKit_Window".
    static constexpr int kId = 1;
    static constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
    // The first submenu of this menu resource is the day menu.
    static constexpr int kDayMenuId = IDR_POPUP;

    // `tabs` carries out the month keys (Ctrl+PageUp and the like); without
    // it they do nothing.
    CalendarGrid(CalendarHost& host, MonthTabs* tabs);
    ~CalendarGrid() override;

    // Moves the shown date to the given day (all 0: keeps it) and fills the
    // 42 day cells: dates, flags, schedules, date information, genreCounts;
    // then selects the remembered position again.
    void LayoutMonth(int year, int month, int day);
    // Marks day (column, row) selected, tells the frame a day is selected,
    // writes the day's status text and remembers the position.
    void SelectCell(int column, int row);
    // Opens the day sheet of the selected day on `startPage`; after a
    // confirmed sheet reloads schedules and date information and shows them.
    void OpenDaySheet(int startPage);

    // Schedules and date information of the shown days again from the store
    // (genreCounts included), keeping dates, flags and selection.
    void LoadRecords();
    // The days list the store's records until then: before a load replaces
    // them, each day copies its own (a paint during the load draws those).
    void KeepOwnCopies();
    // Clears every day's selected mark and tells the frame.
    void DeselectAll();

    // Draws the whole grid as it would appear in a client area of
    // width x height into `dc` (the paint does this into its off-screen
    // bitmap).
    void Render(Dc& dc, int width, int height);

    DayCell& Cell(int column, int row) { return *days_[calendar_layout::CellIndex(column, row)]; }
    // The selected day (searching column by column), or null.
    DayCell* SelectedCell(calendar_layout::CellPosition* position = nullptr);
    const DateValue& ShownDate() const { return shownDate_; }
    int FirstKey() const { return firstKey_; }
    int LastKey() const { return lastKey_; }
    calendar_layout::CellPosition RememberedPosition() const { return remembered_; }
    // Menu 110 as loaded; its first submenu is the day menu.
    HMENU DayMenu() const { return dayMenu_.Handle(); }

    // Genre ids whose schedules the day cells list, in the tree's order;
    // written by the category tree (repaint the grid after writing).
    std::vector<int32_t> genreFilter;
    // Genre id -> schedules dated first key .. last key; read by the tree.
    std::map<int32_t, int32_t> genreCounts;

    LRESULT OnCreate(CREATESTRUCTA* create) override;
    LRESULT OnPaint(PaintDc& dc) override;
    LRESULT OnEraseBkgnd(Dc& dc) override;
    LRESULT OnSize(UINT type, int width, int height) override;
    LRESULT OnLButtonDown(UINT keys, int x, int y) override;
    LRESULT OnLButtonDblClk(UINT keys, int x, int y) override;
    LRESULT OnRButtonDown(UINT keys, int x, int y) override;
    LRESULT OnKeyDown(WPARAM virtualKey, LPARAM keyData) override;
    LRESULT OnCommand(UINT notifyCode, UINT id, HWND control) override;

private:
    // Selects the day under (x, y) and deselects the others; above the days
    // deselects all. Returns whether a day was hit.
    bool SelectAt(int x, int y);
    void MoveByArrow(UINT key);
    void PositionCells(int width, int height);

    CalendarHost& host_;
    MonthTabs* tabs_;
    MonthTitleCell title_;
    std::array<std::unique_ptr<WeekdayCell>, calendar_layout::kColumns> weekdays_;
    std::array<std::unique_ptr<DayCell>, calendar_layout::kDayCells> days_;
    DateValue shownDate_;
    int firstKey_ = 0;
    int lastKey_ = 0;
    calendar_layout::CellPosition remembered_;
    GenreTally genreTally_;
    Menu dayMenu_;
};
