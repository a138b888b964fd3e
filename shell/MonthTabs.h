// The twelve month tabs above the calendar; their display area holds the
// split window with the category tree and the grid. Keeps the shown year and
// month within 1971-01 .. 2037-12 and carries out the month navigation.
#pragma once

#include "toolkit/Dialog.h"

class CalendarGrid;
class CalendarHost;
class CalendarSplit;

class MonthTabs : public TabCtrl {
public:
    // Child id and style in the frame's client pane ("QXKITTabControl32").
    static constexpr int kId = 4;
    static constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;

    explicit MonthTabs(CalendarHost& host);
    ~MonthTabs() override;

    // Clamps to 1971-01 .. 2037-12, selects the month's tab, lays the grid
    // out on the day, updates the tree's counts and repaints.
    void ShowMonth(int year, int month, int day);
    void NextYear();
    void PreviousYear();
    void NextMonth();
    void PreviousMonth();
    void Today();
    // After a reload: the tree again, the shown month again.
    void Rebuild();

    int Year() const { return year_; }
    int Month() const { return month_; }
    CalendarSplit* Split() const { return split_.get(); }
    CalendarGrid* Grid() const;

    LRESULT OnCreate(CREATESTRUCTA* create) override;
    LRESULT OnSize(UINT type, int width, int height) override;
    LRESULT OnTcnSelChange(NMHDR* header) override;

private:
    CalendarHost& host_;
    std::unique_ptr<CalendarSplit> split_;
    int year_ = 0;
    int month_ = 0;
};
