// The frame's client area above the status bar: the toolbar along the top
// and the month tabs below it. Passes every command on to the frame.
#pragma once

#include "toolkit/Dialog.h"
#include "toolkit/Window.h"

#include <memory>

class CalendarHost;
class MainToolBar;
class MonthTabs;

class ClientPane : public WindowBase {
public:
    static constexpr int kId = 3;

    explicit ClientPane(CalendarHost& host);
    ~ClientPane() override;

    // Creates the pane in the frame.
    HWND CreateIn(HWND frame);

    MainToolBar* ToolBar() const { return toolBar_.get(); }
    MonthTabs* Tabs() const { return monthTabs_.get(); }

    // The toolbar, then the month tabs.
    LRESULT OnCreate(CREATESTRUCTA* create) override;
    // Toolbar along the top, month tabs in the rest.
    LRESULT OnSize(UINT type, int width, int height) override;
    // Toolbar clicks and everything else go to the frame unchanged.
    LRESULT OnCommand(UINT notifyCode, UINT id, HWND control) override;

private:
    CalendarHost& host_;
    std::unique_ptr<MainToolBar> toolBar_;
    std::unique_ptr<MonthTabs> monthTabs_;
};
