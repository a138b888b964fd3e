// Helpers for tests with real windows: pumping the thread's messages until a
// condition holds (with a deadline) and the toolkit's window class.
#pragma once

#include "toolkit/Application.h"
#include "toolkit/Window.h"

#include <chrono>
#include <functional>

namespace window_test {

// Dispatches every queued message of this thread (not WM_QUIT, which stays
// queued for the caller to find).
inline void PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (msg.message == WM_QUIT) return;
        PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Pumps messages until `done` holds or the deadline passes; returns `done()`.
inline bool PumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(10000)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return done();
        PumpPending();
        if (done()) return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left > 50 ? 50 : left), QS_ALLINPUT);
    }
    return true;
}

// Whether a WM_QUIT is waiting in this thread's queue; takes it out.
inline bool TakeQuitMessage(WPARAM* exitCode = nullptr) {
    PumpPending();
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
    if (exitCode) *exitCode = msg.wParam;
    return true;
}

// "QxKit_Window" for this executable (a test program has no entry point that
// registers it).
inline void RegisterWindowClassOnce() {
    static ATOM atom = RegisterToolkitWindowClass(GetInstance());
    (void)atom;
}

// Ends a modal loop that a broken test would otherwise leave waiting for a
// user: after the timeout every window of this thread gets WM_CLOSE (a dialog
// then ends with 0, a property sheet cancels). `Fired` tells the test.
class ModalWatchdog {
public:
    explicit ModalWatchdog(UINT timeoutMs = 15000) {
        fired_ = false;
        timer_ = SetTimer(nullptr, 0, timeoutMs, &OnTimer);
    }
    ~ModalWatchdog() {
        if (timer_) KillTimer(nullptr, timer_);
    }
    ModalWatchdog(const ModalWatchdog&) = delete;
    ModalWatchdog& operator=(const ModalWatchdog&) = delete;

    static bool Fired() { return fired_; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        fired_ = true;
        EnumThreadWindows(GetCurrentThreadId(), &CloseWindowProc, 0);
    }
    static BOOL CALLBACK CloseWindowProc(HWND window, LPARAM) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return TRUE;
    }

    static inline bool fired_ = false;
    UINT_PTR timer_ = 0;
};

}  // namespace window_test
