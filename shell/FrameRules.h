// The frame's decisions that need no window: whether a close hides the frame
// in the notification area, what a real close writes into the settings, the
// uninstall switch of the command line and the support forum's address.
#pragma once

#include "settings/Settings.h"

#include <windows.h>

// True when the close button only hides the frame: Ctrl not held, exit not
// requested, and both the tray icon and the close-to-tray option are on.
bool ClosesToTray(DWORD param1, bool ctrlDown, bool exitRequested);

// The window states that a real close stores.
struct PaneStates {
    bool toolBar = false;
    bool tree = false;
    bool statusBar = false;
    bool topMost = false;
};

// `param1` with the pane and always-on-top bits set from `panes`; the other
// bits pass unchanged.
DWORD WithPaneBits(DWORD param1, const PaneStates& panes);

// Stores the frame's last normal rectangle as the saved placement. Without
// one (null), or with an empty one, the placement the settings hold is kept:
// a zero-sized window would come back invisible.
void StorePlacement(Settings& settings, const RECT* lastNormal);

// Whether the first argument after the program name is "/u" in any case.
bool IsUninstallSwitch(int argc, char** argv);

// The support forum's address this build was configured with (the build
// setting RDZ_SUPPORT_URL); empty when the build names none.
const char* SupportForumAddress();

// Shown instead of opening a page when the build names no support forum.
inline constexpr const char* kTextNoSupportForum =
    "サポート掲示板のアドレスが設定されていません。このプログラムを配布した管理者にお問い合わせください。";
