#include "shell/MainStatusBar.h"

#include "toolkit/Application.h"

#include <commctrl.h>

namespace {

// Room around the notice's text: the part's borders and the grip.
constexpr int kNoticePadding = 24;

}  // namespace

HWND MainStatusBar::CreateIn(HWND parent) {
    return Create(0, nullptr, WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, parent,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kId)), GetInstance(), nullptr);
}

int MainStatusBar::PartEdges(int width, int noticeWidth, int (&edges)[2]) {
    if (noticeWidth <= 0) {
        edges[0] = -1;
        return 1;
    }
    // The day's text keeps what the notice leaves, never less than nothing.
    edges[0] = width > noticeWidth ? width - noticeWidth : 0;
    edges[1] = -1;
    return 2;
}

int MainStatusBar::MeasureNotice() const {
    if (notice_.empty() || !hwnd) return 0;
    HDC dc = ::GetDC(hwnd);
    if (!dc) return 0;
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageA(hwnd, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? ::SelectObject(dc, font) : nullptr;
    SIZE size{};
    ::GetTextExtentPoint32A(dc, notice_.data(), static_cast<int>(notice_.size()), &size);
    if (old) ::SelectObject(dc, old);
    ::ReleaseDC(hwnd, dc);
    return size.cx + kNoticePadding;
}

void MainStatusBar::SetNotice(const std::string& notice) {
    if (notice == notice_) return;
    notice_ = notice;
    noticeWidth_ = MeasureNotice();
    RECT client{};
    if (hwnd) ::GetClientRect(hwnd, &client);
    LayOut(client.right);
}

void MainStatusBar::LayOut(int width) {
    if (!hwnd) return;
    int edges[2];
    const int parts = PartEdges(width, noticeWidth_, edges);
    ::SendMessageA(hwnd, SB_SETPARTS, static_cast<WPARAM>(parts), reinterpret_cast<LPARAM>(edges));
    if (parts == 2) ::SendMessageA(hwnd, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(notice_.c_str()));
}
