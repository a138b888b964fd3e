#include "toolkit/Window.h"

#include "toolkit/Application.h"
#include "toolkit/Services.h"

#include <vector>

namespace {

// The window list (head and tail) and the object being created: plain globals
// of the user-interface thread, as the toolkit has no other.
WindowBase* g_windowListHead = nullptr;
WindowBase* g_windowListTail = nullptr;
WindowBase* g_objectBeingCreated = nullptr;

}  // namespace

WindowBase::WindowBase() {
    Register();
}

WindowBase::WindowBase(HWND existing) {
    Register();
    hwnd = existing;
}

WindowBase::~WindowBase() {
    Unlink();
}

void WindowBase::Register() {
    if (IsInList(this)) return;
    hwnd = nullptr;
    next = nullptr;
    prev = nullptr;
    if (!g_windowListHead) {
        g_windowListHead = g_windowListTail = this;
    } else {
        prev = g_windowListTail;
        g_windowListTail->next = this;
        g_windowListTail = this;
    }
    result = 0;
}

void WindowBase::Unlink() {
    if (!IsInList(this)) return;
    if (g_windowListHead == this) g_windowListHead = next;
    if (g_windowListTail == this) g_windowListTail = prev;
    if (prev) prev->next = next;
    if (next) next->prev = prev;
    next = prev = nullptr;
    // A dying object must never be attached to a window later.
    if (g_objectBeingCreated == this) g_objectBeingCreated = nullptr;
}

bool WindowBase::IsInList(const WindowBase* object) {
    for (WindowBase* item = g_windowListHead; item; item = item->next) {
        if (item == object) return true;
    }
    return false;
}

WindowBase* WindowBase::FromHandle(HWND window) {
    if (!window) return nullptr;
    for (WindowBase* item = g_windowListHead; item; item = item->next) {
        if (item->hwnd == window) return item;
    }
    return nullptr;
}

WindowBase* WindowBase::FirstInList() {
    return g_windowListHead;
}

WindowBase* WindowBase::ObjectBeingCreated() {
    return g_objectBeingCreated;
}

void WindowBase::SetObjectBeingCreated(WindowBase* object) {
    g_objectBeingCreated = object;
}

WindowBase* WindowBase::AttachObjectBeingCreated(HWND window) {
    WindowBase* object = g_objectBeingCreated;
    if (!object) return nullptr;
    object->hwnd = window;
    g_objectBeingCreated = nullptr;
    return object;
}

HWND WindowBase::Create(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                        int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance, void* createParam) {
    SetObjectBeingCreated(this);
    HWND created = CreateWindowExA(exStyle, className, windowName, style, x, y, width, height, parent, menuOrId,
                                   instance, createParam);
    // When the window could not be made, or its class's procedure never asked
    // for an object, the mark must not stay behind: the next unrelated window
    // would be attached to this object.
    if (g_objectBeingCreated == this) g_objectBeingCreated = nullptr;
    hwnd = created;
    return created;
}

LRESULT CALLBACK WindowBase::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowBase* object = FromHandle(window);
    if (!object) object = AttachObjectBeingCreated(window);
    if (!object) return DefWindowProcA(window, message, wParam, lParam);

    object->result = 0;
    if (object->Dispatch(window, message, wParam, lParam)) return object->result;
    if (object->OnMessage(window, message, wParam, lParam)) return object->result;
    return DefWindowProcA(window, message, wParam, lParam);
}

ATOM RegisterToolkitWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = &WindowBase::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    windowClass.lpszClassName = "QxKit_Window";
    return RegisterClassExA(&windowClass);
}

// ---------------------------------------------------------------------------
// Thin operations

int WindowBase::MessageBox(const char* text, const char* caption, UINT style) {
    return ShowMessageBox(hwnd, text, caption, style);
}

std::string WindowBase::GetText() const {
    int length = ::GetWindowTextLengthA(hwnd);
    if (length <= 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    int copied = ::GetWindowTextA(hwnd, buffer.data(), length + 1);
    return std::string(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

int WindowBase::ClientWidth() const {
    RECT rect{};
    ::GetClientRect(hwnd, &rect);
    return rect.right - rect.left;
}

int WindowBase::ClientHeight() const {
    RECT rect{};
    ::GetClientRect(hwnd, &rect);
    return rect.bottom - rect.top;
}

int WindowBase::WindowWidth() const {
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    return rect.right - rect.left;
}

int WindowBase::WindowHeight() const {
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    return rect.bottom - rect.top;
}

// ---------------------------------------------------------------------------
// Default handlers: nothing handled, except OnDestroy, whose 1 lets the main
// window's destruction end the message loop.

LRESULT WindowBase::OnMessage(HWND, UINT, WPARAM, LPARAM) { return 0; }
LRESULT WindowBase::OnNotify(WPARAM, NMHDR*) { return 0; }
LRESULT WindowBase::OnToolTipText(NMHDR*) { return 0; }
LRESULT WindowBase::OnMoving(WPARAM, RECT*) { return 0; }
LRESULT WindowBase::OnMove(int, int) { return 0; }
LRESULT WindowBase::OnMouseMove(UINT, int, int) { return 0; }
LRESULT WindowBase::OnMenuChar(WPARAM, UINT, Menu&) { return 0; }
LRESULT WindowBase::OnMeasureItem(WPARAM, MEASUREITEMSTRUCT*) { return 0; }
LRESULT WindowBase::OnInitMenuPopup(Menu&, UINT, BOOL) { return 0; }
LRESULT WindowBase::OnActivate(WPARAM, BOOL, HWND) { return 0; }
LRESULT WindowBase::OnActivateApp(WPARAM, LPARAM) { return 0; }
LRESULT WindowBase::OnChar(WPARAM, LPARAM) { return 0; }
LRESULT WindowBase::OnClose() { return 0; }
LRESULT WindowBase::OnCommand(UINT, UINT, HWND) { return 0; }
LRESULT WindowBase::OnCreate(CREATESTRUCTA*) { return 0; }
LRESULT WindowBase::OnDestroy() { return 1; }
LRESULT WindowBase::OnDisplayChange(WPARAM, UINT, UINT) { return 0; }
LRESULT WindowBase::OnDrawItem(WPARAM, DRAWITEMSTRUCT*) { return 0; }
LRESULT WindowBase::OnDropFiles(DropFiles&) { return 0; }
LRESULT WindowBase::OnEraseBkgnd(Dc&) { return 0; }
LRESULT WindowBase::OnHScroll(UINT, UINT, HWND) { return 0; }
LRESULT WindowBase::OnImeChar(WPARAM, LPARAM) { return 0; }
LRESULT WindowBase::OnImeComposition(WPARAM, LPARAM) { return 0; }
LRESULT WindowBase::OnImeCompositionFull() { return 0; }
LRESULT WindowBase::OnImeControl(WPARAM, LPARAM) { return 0; }
LRESULT WindowBase::OnImeEndComposition() { return 0; }
LRESULT WindowBase::OnImeKeyDown(WPARAM, LPARAM) { return 0; }
LRESULT WindowBase::OnImeKeyUp(WPARAM, LPARAM) { return 0; }
LRESULT WindowBase::OnImeNotify(WPARAM, LPARAM) { return 0; }
LRESULT WindowBase::OnImeSelect(WPARAM, LPARAM) { return 0; }
LRESULT WindowBase::OnImeSetContext(WPARAM, LPARAM) { return 0; }
LRESULT WindowBase::OnImeStartComposition() { return 0; }
LRESULT WindowBase::OnKeyDown(WPARAM, LPARAM) { return 0; }
LRESULT WindowBase::OnKillFocus(HWND) { return 0; }
LRESULT WindowBase::OnLButtonDblClk(UINT, int, int) { return 0; }
LRESULT WindowBase::OnLButtonDown(UINT, int, int) { return 0; }
LRESULT WindowBase::OnLButtonUp(UINT, int, int) { return 0; }
LRESULT WindowBase::OnMButtonDblClk(UINT, int, int) { return 0; }
LRESULT WindowBase::OnMButtonDown(UINT, int, int) { return 0; }
LRESULT WindowBase::OnMButtonUp(UINT, int, int) { return 0; }
LRESULT WindowBase::OnPaint(PaintDc&) { return 0; }
LRESULT WindowBase::OnRButtonDblClk(UINT, int, int) { return 0; }
LRESULT WindowBase::OnRButtonDown(UINT, int, int) { return 0; }
LRESULT WindowBase::OnRButtonUp(UINT, int, int) { return 0; }
LRESULT WindowBase::OnSetCursor(HWND, UINT, UINT) { return 0; }
LRESULT WindowBase::OnSetFocus(HWND) { return 0; }
LRESULT WindowBase::OnSize(UINT, int, int) { return 0; }
LRESULT WindowBase::OnVScroll(UINT, UINT, HWND) { return 0; }
LRESULT WindowBase::OnWindowPosChanged(WINDOWPOS*) { return 0; }
LRESULT WindowBase::OnWindowPosChanging(WINDOWPOS*) { return 0; }
