// The frame's status bar: one text (the selected day's), at the bottom.
#pragma once

#include "toolkit/Dialog.h"

#include <string>

class MainStatusBar : public StatusBarCtrl {
public:
    static constexpr int kId = 3;

    // Creates the hidden status bar in `parent`.
    HWND CreateIn(HWND parent);
    void SetStatusText(const std::string& text) { SetText(text); }
};
