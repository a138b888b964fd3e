// The display area under the month tabs: the category tree on the left (when
// the frame shows it) and the month grid on the right, behind a draggable bar.
#pragma once

#include "toolkit/Window.h"

class CalendarGrid;
class CalendarHost;
class MonthTabs;

class CalendarSplit : public SplitWindow {
public:
    // Child id and style in MonthTabs, window class "QxKit_SplitWindow".
    static constexpr int kId = 100;
    static constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
    // The category tree: hidden until the frame shows it.
    static constexpr int kTreeId = 30;
    static constexpr DWORD kTreeExStyle = WS_EX_CLIENTEDGE;
    static constexpr DWORD kTreeStyle = WS_CHILD | WS_CLIPCHILDREN | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT;
    static constexpr int kTreeWidth = 150;

    CalendarSplit(CalendarHost& host, MonthTabs* tabs);

    CalendarGrid* Grid() const { return grid_; }
    WindowBase* Tree() const { return FirstPane(); }

    // Creates the tree (through the host) and the grid, shows the current
    // month and builds the tree.
    LRESULT OnCreate(CREATESTRUCTA* create) override;

private:
    CalendarHost& host_;
    MonthTabs* tabs_;
    CalendarGrid* grid_ = nullptr;  // the second pane
};
