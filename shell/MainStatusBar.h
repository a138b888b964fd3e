// The frame's status bar: the selected day's text and, while the server
// holds changes by others that are not loaded yet, a second part at its
// right end that says so.
#pragma once

#include "toolkit/Dialog.h"

#include <string>

// The notice of changes by others.
inline constexpr const char* kTextChangedElsewhere = "他の端末で更新されました (F5で最新の情報に更新)";

class MainStatusBar : public StatusBarCtrl {
public:
    static constexpr int kId = 3;

    // Creates the hidden status bar in `parent`.
    HWND CreateIn(HWND parent);
    void SetStatusText(const std::string& text) { SetText(text); }
    // Shows `notice` in a second part, or removes the part for "".
    void SetNotice(const std::string& notice);
    const std::string& Notice() const { return notice_; }
    // Places the parts for a bar `width` pixels wide.
    void LayOut(int width);

    // The right edges of the parts for a bar `width` wide with a notice part
    // `noticeWidth` wide (0: none); -1 runs to the bar's end. Returns how
    // many parts there are.
    static int PartEdges(int width, int noticeWidth, int (&edges)[2]);

private:
    int MeasureNotice() const;

    std::string notice_;
    int noticeWidth_ = 0;
};
