// Message dispatch: one virtual handler per message, its parameters decoded,
// and the reflection of notifications to the sending control's object.
#include "toolkit/Window.h"

#include "toolkit/Services.h"

#include <windowsx.h>

namespace {

// Mouse and move coordinates are signed: a captured mouse can be left of or
// above the window.
int XOf(LPARAM lParam) { return GET_X_LPARAM(lParam); }
int YOf(LPARAM lParam) { return GET_Y_LPARAM(lParam); }
// Sizes are unsigned 16-bit.
int WidthOf(LPARAM lParam) { return LOWORD(lParam); }
int HeightOf(LPARAM lParam) { return HIWORD(lParam); }
UINT KeysOf(WPARAM wParam) { return static_cast<UINT>(wParam); }

}  // namespace

LRESULT WindowBase::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOVING: return OnMoving(wParam, reinterpret_cast<RECT*>(lParam));
    case WM_MOVE: return OnMove(XOf(lParam), YOf(lParam));
    case WM_MOUSEMOVE: return OnMouseMove(LOWORD(wParam), XOf(lParam), YOf(lParam));
    case WM_MENUCHAR: {
        Menu menu(reinterpret_cast<HMENU>(lParam));
        return OnMenuChar(wParam, HIWORD(wParam), menu);
    }
    case WM_MEASUREITEM: return OnMeasureItem(wParam, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
    case WM_INITMENUPOPUP: {
        Menu menu(reinterpret_cast<HMENU>(wParam));
        return OnInitMenuPopup(menu, LOWORD(lParam), HIWORD(lParam));
    }
    case WM_ACTIVATE: return OnActivate(wParam, HIWORD(wParam), window);
    case WM_ACTIVATEAPP: return OnActivateApp(wParam, lParam);
    case WM_CHAR: return OnChar(wParam, lParam);
    case WM_CLOSE: return OnClose();
    case WM_COMMAND: return OnCommand(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CREATE: return OnCreate(reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_DESTROY:
        // Only the main window object ends the message loop, and only when its
        // handler lets it. Default processing always follows.
        if (OnDestroy() && FirstInList() == this) PostQuitMessage(0);
        return 0;
    case WM_DISPLAYCHANGE: return OnDisplayChange(wParam, LOWORD(lParam), HIWORD(lParam));
    case WM_DRAWITEM: return OnDrawItem(wParam, reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
    case WM_DROPFILES: {
        DropFiles drop(reinterpret_cast<HDROP>(wParam));
        return OnDropFiles(drop);
    }
    case WM_ERASEBKGND: {
        Dc dc(reinterpret_cast<HDC>(wParam));
        return OnEraseBkgnd(dc);
    }
    case WM_HSCROLL: return OnHScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_IME_CHAR: return OnImeChar(wParam, lParam);
    case WM_IME_COMPOSITION: return OnImeComposition(wParam, lParam);
    case WM_IME_COMPOSITIONFULL: return OnImeCompositionFull();
    case WM_IME_CONTROL: return OnImeControl(wParam, lParam);
    case WM_IME_ENDCOMPOSITION: return OnImeEndComposition();
    case WM_IME_KEYDOWN: return OnImeKeyDown(wParam, lParam);
    case WM_IME_KEYUP: return OnImeKeyUp(wParam, lParam);
    case WM_IME_NOTIFY: return OnImeNotify(wParam, lParam);
    case WM_IME_SELECT: return OnImeSelect(wParam, lParam);
    case WM_IME_SETCONTEXT: return OnImeSetContext(wParam, lParam);
    case WM_IME_STARTCOMPOSITION: return OnImeStartComposition();
    case WM_KEYDOWN: return OnKeyDown(wParam, lParam);
    case WM_KILLFOCUS: return OnKillFocus(reinterpret_cast<HWND>(wParam));
    case WM_LBUTTONDBLCLK: return OnLButtonDblClk(KeysOf(wParam), XOf(lParam), YOf(lParam));
    case WM_LBUTTONDOWN: return OnLButtonDown(KeysOf(wParam), XOf(lParam), YOf(lParam));
    case WM_LBUTTONUP: return OnLButtonUp(KeysOf(wParam), XOf(lParam), YOf(lParam));
    case WM_MBUTTONDBLCLK: return OnMButtonDblClk(KeysOf(wParam), XOf(lParam), YOf(lParam));
    case WM_MBUTTONDOWN: return OnMButtonDown(KeysOf(wParam), XOf(lParam), YOf(lParam));
    case WM_MBUTTONUP: return OnMButtonUp(KeysOf(wParam), XOf(lParam), YOf(lParam));
    case WM_NOTIFY: return DispatchNotify(wParam, reinterpret_cast<NMHDR*>(lParam));
    case WM_PAINT: {
        PaintDc dc(window);
        return OnPaint(dc);
    }
    case WM_RBUTTONDBLCLK: return OnRButtonDblClk(KeysOf(wParam), XOf(lParam), YOf(lParam));
    case WM_RBUTTONDOWN: return OnRButtonDown(KeysOf(wParam), XOf(lParam), YOf(lParam));
    case WM_RBUTTONUP: return OnRButtonUp(KeysOf(wParam), XOf(lParam), YOf(lParam));
    case WM_SETCURSOR: return OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam));
    case WM_SETFOCUS: return OnSetFocus(reinterpret_cast<HWND>(wParam));
    case WM_SIZE: return OnSize(static_cast<UINT>(wParam), WidthOf(lParam), HeightOf(lParam));
    case WM_VSCROLL: return OnVScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_WINDOWPOSCHANGED: return OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(lParam));
    case WM_WINDOWPOSCHANGING: return OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
    default: return 0;
    }
}

LRESULT WindowBase::DispatchNotify(WPARAM wParam, NMHDR* header) {
    if (!header) return 0;
    if (header->code == TTN_GETDISPINFOA && OnToolTipText(header)) return 1;

    // Handled by the window itself: default processing follows, and whatever
    // the handler put in `result` is not returned to the sender.
    if (OnNotify(wParam, header)) return 0;

    // Reflected to the sending control's own object, whose `result` becomes
    // the notification's return value. A window that names itself as sender
    // has just been asked: it is not asked twice.
    WindowBase* sender = FromHandle(header->hwndFrom);
    if (!sender || sender == this) return 0;
    sender->result = 0;
    LRESULT handled = sender->OnNotify(wParam, header);
    if (!handled) return 0;
    result = sender->result;
    return handled;
}
