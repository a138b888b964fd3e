#include "toolkit/Services.h"

HMENU Menu::LoadMenu(HINSTANCE instance, const char* name) {
    menu_ = ::LoadMenuA(instance, name);
    return menu_;
}

HMENU Menu::GetSubMenu(HMENU menu, int position) {
    menu_ = ::GetSubMenu(menu, position);
    return menu_;
}

BOOL Menu::EnableMenuItem(UINT item, UINT enable) { return ::EnableMenuItem(menu_, item, enable); }

DWORD Menu::CheckMenuItem(UINT item, UINT check) { return ::CheckMenuItem(menu_, item, check); }

BOOL Menu::TrackPopupMenu(UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect) {
    return ::TrackPopupMenu(menu_, flags, x, y, reserved, owner, rect);
}

BOOL Menu::GetMenuItemInfo(UINT item, BOOL byPosition, MENUITEMINFOA* info) {
    return ::GetMenuItemInfoA(menu_, item, byPosition, info);
}

UINT Menu::GetItemState(UINT item, BOOL byPosition) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE;
    if (!::GetMenuItemInfoA(menu_, item, byPosition, &info)) return 0;
    return info.fState;
}
