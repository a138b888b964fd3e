#include "shell/MainStatusBar.h"

#include "toolkit/Application.h"

HWND MainStatusBar::CreateIn(HWND parent) {
    return Create(0, nullptr, WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, parent,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kId)), GetInstance(), nullptr);
}
