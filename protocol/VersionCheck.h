// The background question "has anything changed?": one VERSIONS request to
// the server on a thread of its own, never on the user-interface thread and
// never with a message box; the answer is posted to a window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// What a check posts back: lParam of the message points to it, and the
// window that receives it deletes it.
struct VersionCheckResult {
    bool answered = false;  // false: no server, or one that does not know the request
    int64_t versions[3] = {0, 0, 0};
};

// Starts a check of the server at `address`:`port` that posts `message` to
// `window` with wParam = `ticket` and lParam = a new VersionCheckResult
// (deleted again when the window is gone; 0 when there was no memory for
// one). The thread keeps nothing of the
// caller's: a check still under way when the program ends is simply ended
// with it. False when no thread could start (nothing will be posted).
bool StartVersionCheck(const std::string& address, DWORD port, HWND window, UINT message, uint32_t ticket);

// How long the check waits for a silent server before it gives up.
inline constexpr DWORD kVersionCheckSilenceMs = 10000;
