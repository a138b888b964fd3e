#include "shell/ClientPane.h"

#include "shell/MainFrame.h"
#include "shell/MainToolBar.h"
#include "shell/MonthTabs.h"
#include "toolkit/Application.h"

ClientPane::ClientPane(CalendarHost& host) : host_(host) {}
ClientPane::~ClientPane() = default;

HWND ClientPane::CreateIn(HWND frame) {
    return Create(0, "QxKit_Window", nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0, frame,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kId)), GetInstance(), nullptr);
}

LRESULT ClientPane::OnCreate(CREATESTRUCTA*) {
    toolBar_ = std::make_unique<MainToolBar>();
    toolBar_->CreateIn(hwnd);
    monthTabs_ = std::make_unique<MonthTabs>(host_);
    monthTabs_->Create(0, nullptr, MonthTabs::kStyle, 0, 0, 0, 0, hwnd,
                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(MonthTabs::kId)), GetInstance(), nullptr);
    return 0;
}

LRESULT ClientPane::OnSize(UINT type, int width, int height) {
    width &= 0xFFFF;
    height &= 0xFFFF;
    toolBar_->SendMessage(WM_SIZE, type, MAKELPARAM(width, height));
    const int toolBarHeight = (GetWindowLongPtrA(toolBar_->Handle(), GWL_STYLE) & WS_VISIBLE) ? toolBar_->WindowHeight() : 0;
    const int rest = height > toolBarHeight ? height - toolBarHeight : 0;
    ::SetWindowPos(monthTabs_->Handle(), nullptr, 0, toolBarHeight, width, rest, SWP_NOZORDER);
    monthTabs_->SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, rest));
    toolBar_->InvalidateRect(nullptr, TRUE);
    return 0;
}

LRESULT ClientPane::OnCommand(UINT notifyCode, UINT id, HWND control) {
    if (MainFrame* frame = GetMainFrame()) {
        frame->SendMessage(WM_COMMAND, MAKEWPARAM(id, notifyCode), reinterpret_cast<LPARAM>(control));
    }
    return 1;
}
