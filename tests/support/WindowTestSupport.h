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

}  // namespace window_test
