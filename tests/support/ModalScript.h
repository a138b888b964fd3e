// Drives modal dialogs and property sheets from inside a test: a thread
// timer runs the steps in order while the modal loop waits for its user. A
// step that returns false is tried again at the next tick (its window is
// not up yet, say). Steps act by posting, so a dialog that a step opens runs
// in its own loop, not inside the step; the timer ticks on in nested loops.
#pragma once

#include "tests/support/WindowTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

namespace window_test {

class ModalScript {
public:
    using Step = std::function<bool()>;

    explicit ModalScript(std::vector<Step> steps, UINT intervalMs = 20) : steps_(std::move(steps)) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, intervalMs, &OnTimer);
    }
    ~ModalScript() {
        if (timer_) KillTimer(nullptr, timer_);
        if (current_ == this) current_ = nullptr;
    }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    // How many steps have run to their end.
    size_t StepsDone() const { return next_; }
    bool Finished() const { return next_ == steps_.size(); }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        ModalScript* script = current_;
        if (!script || script->running_ || script->Finished()) return;
        script->running_ = true;
        if (script->steps_[script->next_]()) ++script->next_;
        script->running_ = false;
    }

    static inline ModalScript* current_ = nullptr;
    std::vector<Step> steps_;
    size_t next_ = 0;
    bool running_ = false;
    UINT_PTR timer_ = 0;
};

// Runs a modal loop (`run`: DoModal, a command that opens a dialog...)
// while `steps` drive it, under a watchdog; the test fails when the watchdog
// had to end the loop or a step was left undone. Returns what `run` returned.
inline INT_PTR RunScripted(std::vector<ModalScript::Step> steps, const std::function<INT_PTR()>& run) {
    ModalWatchdog watchdog;
    ModalScript script(std::move(steps));
    INT_PTR outcome = run();
    EXPECT_FALSE(ModalWatchdog::Fired()) << "stuck after step " << script.StepsDone();
    EXPECT_TRUE(script.Finished()) << "ended after step " << script.StepsDone();
    return outcome;
}

// A hidden top-level window heading the window list, as the main frame does
// in the program: it owns the dialogs under test, and their end posts no
// WM_QUIT. Construct it before any other window object.
class StandInFrame : public WindowBase {
public:
    StandInFrame() {
        RegisterWindowClassOnce();
        Create(0, "QxKit_Window", "stand-in frame", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200, nullptr, nullptr,
               GetInstance(), nullptr);
    }
    ~StandInFrame() override {
        if (hwnd) DestroyWindow(hwnd);
        TakeQuitMessage();
    }
};

struct ShownWindowSearch {
    const std::string* caption;
    HWND found;
};

inline BOOL CALLBACK MatchShownWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<ShownWindowSearch*>(data);
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    if (IsWindowVisible(window) && *search->caption == text) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A shown top-level window of this thread with the given caption, or null.
inline HWND FindShownWindow(const std::string& caption) {
    ShownWindowSearch search{&caption, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &MatchShownWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A button press as the dialog sees it, queued behind what is pending. Only
// an enabled button can be pressed: false otherwise.
inline bool PressButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (!button || !IsWindowEnabled(button)) return false;
    return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != 0;
}

inline bool ItemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

inline std::string ItemText(HWND dialog, int id) {
    char text[1024] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// Selects a list box item (-1: none) and tells the dialog, as a click does.
inline void SelectListItem(HWND dialog, int id, int index) {
    HWND list = GetDlgItem(dialog, id);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

// The texts of a list box's items, in list order.
inline std::vector<std::string> ListItems(HWND dialog, int id) {
    HWND list = GetDlgItem(dialog, id);
    std::vector<std::string> items;
    int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::string text(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)) + 1, '\0');
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(text.find('\0'));
        items.push_back(text);
    }
    return items;
}

// The texts of a combo box's items, in list order.
inline std::vector<std::string> ComboItems(HWND dialog, int id) {
    HWND combo = GetDlgItem(dialog, id);
    std::vector<std::string> items;
    int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::string text(static_cast<size_t>(SendMessageA(combo, CB_GETLBTEXTLEN, i, 0)) + 1, '\0');
        SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(text.find('\0'));
        items.push_back(text);
    }
    return items;
}

// The text of one cell of a report-view list view.
inline std::string ListViewCell(HWND list, int row, int column) {
    char text[300] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

}  // namespace window_test
