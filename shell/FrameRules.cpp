#include "shell/FrameRules.h"

#include "shell/SupportForumAddress.h"  // generated: RDZ_SUPPORT_URL

#include <cstring>

bool ClosesToTray(DWORD param1, bool ctrlDown, bool exitRequested) {
    const DWORD both = P1_USE_TRAY | P1_CLOSE_TO_TRAY;
    return !ctrlDown && !exitRequested && (param1 & both) == both;
}

DWORD WithPaneBits(DWORD param1, const PaneStates& panes) {
    auto set = [&param1](DWORD bit, bool on) { param1 = on ? (param1 | bit) : (param1 & ~bit); };
    set(P1_SHOW_TOOLBAR, panes.toolBar);
    set(P1_SHOW_CATEGORY_TREE, panes.tree);
    set(P1_SHOW_STATUSBAR, panes.statusBar);
    set(P1_TOPMOST, panes.topMost);
    return param1;
}

void StorePlacement(Settings& settings, const RECT* lastNormal) {
    if (!lastNormal || lastNormal->right <= lastNormal->left || lastNormal->bottom <= lastNormal->top) return;
    settings.dwWindowLeft = lastNormal->left;
    settings.dwWindowTop = lastNormal->top;
    settings.dwWindowWidth = lastNormal->right - lastNormal->left;
    settings.dwWindowHeight = lastNormal->bottom - lastNormal->top;
}

bool IsUninstallSwitch(int argc, char** argv) {
    return argc > 1 && argv && argv[1] && _stricmp(argv[1], "/u") == 0;
}

const char* SupportForumAddress() { return RDZ_SUPPORT_URL; }
