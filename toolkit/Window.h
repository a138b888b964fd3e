// Window objects: every window of the program is an object derived from
// WindowBase that receives its messages through one virtual handler per
// message. Also the superclassed control base and the two-pane split window.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

// Argument objects that Dispatch builds for one handler call (Services.h).
class Dc;
class PaintDc;
class Menu;
class DropFiles;

// Root of all window objects. Every live object sits in one process-wide
// list, in order of construction; the list is the only way from a window
// handle to its object, and its first object is the main window, whose
// destruction ends the message loop.
//
// Handlers return nonzero when they handled the message; the window
// procedure then returns `result`, which is 0 unless the handler set it.
// 0 lets default processing run.
class WindowBase {
public:
    WindowBase();
    // Attaches an existing window (a dialog item, say) without changing its
    // window procedure.
    explicit WindowBase(HWND existing);
    // Unlinks the object; the window itself must already be destroyed, or it
    // loses its object.
    virtual ~WindowBase();
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    // The object of `window`, or null.
    static WindowBase* FromHandle(HWND window);
    // The head of the window list (the main window object), or null.
    static WindowBase* FirstInList();
    // The object the next unknown window will be attached to, or null.
    static WindowBase* ObjectBeingCreated();

    // The toolkit window procedure: of "QxKit_Window", "QxKit_SplitWindow"
    // and of the application's own window classes.
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // CreateWindowExA with this object attached to the new window from its
    // first message on. Returns the handle, also stored in the object (null on
    // failure).
    HWND Create(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y, int width,
                int height, HWND parent, HMENU menuOrId, HINSTANCE instance, void* createParam);

    HWND Handle() const { return hwnd; }
    LRESULT Result() const { return result; }
    void SetResult(LRESULT value) { result = value; }

    // Decodes one message and calls its handler; see WindowBase.cpp.
    virtual LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // -- Handlers, one per message ------------------------------------------
    // Every message after Dispatch returned 0, including those without a
    // handler of their own (WM_TIMER, WM_SYSCOMMAND, WM_CONTEXTMENU, ...).
    virtual LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY, and notifications reflected to the sending control's object.
    virtual LRESULT OnNotify(WPARAM wParam, NMHDR* header);
    // WM_NOTIFY with TTN_GETDISPINFOA: a tool tip asks for its text.
    virtual LRESULT OnToolTipText(NMHDR* header);
    virtual LRESULT OnMoving(WPARAM edge, RECT* rect);
    virtual LRESULT OnMove(int x, int y);
    virtual LRESULT OnMouseMove(UINT keys, int x, int y);
    virtual LRESULT OnMenuChar(WPARAM character, UINT menuFlag, Menu& menu);
    virtual LRESULT OnMeasureItem(WPARAM controlId, MEASUREITEMSTRUCT* item);
    virtual LRESULT OnInitMenuPopup(Menu& menu, UINT position, BOOL isWindowMenu);
    virtual LRESULT OnActivate(WPARAM state, BOOL minimized, HWND self);
    virtual LRESULT OnActivateApp(WPARAM active, LPARAM threadId);
    virtual LRESULT OnChar(WPARAM character, LPARAM keyData);
    virtual LRESULT OnClose();
    virtual LRESULT OnCommand(UINT notifyCode, UINT id, HWND control);
    virtual LRESULT OnCreate(CREATESTRUCTA* create);
    // Returns 1 by default: the main window's destruction then ends the
    // message loop. Return 0 to keep the loop running.
    virtual LRESULT OnDestroy();
    virtual LRESULT OnDisplayChange(WPARAM bitsPerPixel, UINT width, UINT height);
    virtual LRESULT OnDrawItem(WPARAM controlId, DRAWITEMSTRUCT* item);
    virtual LRESULT OnDropFiles(DropFiles& drop);
    virtual LRESULT OnEraseBkgnd(Dc& dc);
    virtual LRESULT OnHScroll(UINT request, UINT position, HWND scrollBar);
    virtual LRESULT OnImeChar(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnImeComposition(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnImeCompositionFull();
    virtual LRESULT OnImeControl(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnImeEndComposition();
    virtual LRESULT OnImeKeyDown(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnImeKeyUp(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnImeNotify(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnImeSelect(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnImeSetContext(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnImeStartComposition();
    virtual LRESULT OnKeyDown(WPARAM virtualKey, LPARAM keyData);
    virtual LRESULT OnKillFocus(HWND gainingFocus);
    virtual LRESULT OnLButtonDblClk(UINT keys, int x, int y);
    virtual LRESULT OnLButtonDown(UINT keys, int x, int y);
    virtual LRESULT OnLButtonUp(UINT keys, int x, int y);
    virtual LRESULT OnMButtonDblClk(UINT keys, int x, int y);
    virtual LRESULT OnMButtonDown(UINT keys, int x, int y);
    virtual LRESULT OnMButtonUp(UINT keys, int x, int y);
    virtual LRESULT OnPaint(PaintDc& dc);
    virtual LRESULT OnRButtonDblClk(UINT keys, int x, int y);
    virtual LRESULT OnRButtonDown(UINT keys, int x, int y);
    virtual LRESULT OnRButtonUp(UINT keys, int x, int y);
    virtual LRESULT OnSetCursor(HWND underCursor, UINT hitTest, UINT mouseMessage);
    virtual LRESULT OnSetFocus(HWND losingFocus);
    virtual LRESULT OnSize(UINT type, int width, int height);
    virtual LRESULT OnVScroll(UINT request, UINT position, HWND scrollBar);
    virtual LRESULT OnWindowPosChanged(WINDOWPOS* position);
    virtual LRESULT OnWindowPosChanging(WINDOWPOS* position);

    // -- Thin operations on the window: one Win32 call each ------------------
    BOOL EndDialog(INT_PTR value) { return ::EndDialog(hwnd, value); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(hwnd, id); }
    BOOL SetDlgItemText(int id, const char* text) { return ::SetDlgItemTextA(hwnd, id, text); }
    HMENU GetMenu() const { return ::GetMenu(hwnd); }
    HWND GetParent() const { return ::GetParent(hwnd); }
    int GetWindowText(char* buffer, int size) const { return ::GetWindowTextA(hwnd, buffer, size); }
    int GetWindowTextLength() const { return ::GetWindowTextLengthA(hwnd); }
    BOOL IsIconic() const { return ::IsIconic(hwnd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(hwnd); }
    BOOL IsZoomed() const { return ::IsZoomed(hwnd); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(hwnd); }
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int width, int height, UINT flags) {
        return ::SetWindowPos(hwnd, insertAfter, x, y, width, height, flags);
    }
    BOOL SetWindowText(const char* text) { return ::SetWindowTextA(hwnd, text); }
    BOOL ShowWindow(int showCommand) { return ::ShowWindow(hwnd, showCommand); }
    BOOL ClientToScreen(POINT* point) const { return ::ClientToScreen(hwnd, point); }
    BOOL ScreenToClient(POINT* point) const { return ::ScreenToClient(hwnd, point); }
    BOOL InvalidateRect(const RECT* rect, BOOL erase) { return ::InvalidateRect(hwnd, rect, erase); }
    BOOL LockWindowUpdate() { return ::LockWindowUpdate(hwnd); }
    BOOL UpdateWindow() { return ::UpdateWindow(hwnd); }
    ULONG_PTR SetClassLongPtr(int index, LONG_PTR value) { return ::SetClassLongPtrA(hwnd, index, value); }
    LONG_PTR SetWindowLongPtr(int index, LONG_PTR value) { return ::SetWindowLongPtrA(hwnd, index, value); }
    BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        return ::PostMessageA(hwnd, message, wParam, lParam);
    }
    LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
        return ::SendMessageA(hwnd, message, wParam, lParam);
    }
    // A message box owned by this window (through the program's message-box
    // seam).
    int MessageBox(const char* text, const char* caption, UINT style);
    BOOL EnableWindow(BOOL enable) { return ::EnableWindow(hwnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(hwnd); }
    HWND SetFocus() { return ::SetFocus(hwnd); }
    HWND SetCapture() { return ::SetCapture(hwnd); }

    // The window text as a string.
    std::string GetText() const;
    BOOL SetText(const std::string& text) { return ::SetWindowTextA(hwnd, text.c_str()); }

    int ClientWidth() const;
    int ClientHeight() const;
    int WindowWidth() const;
    int WindowHeight() const;

protected:
    // Marks `object` as the one the next unknown window is attached to.
    static void SetObjectBeingCreated(WindowBase* object);
    // Attaches the object being created, if any, to `window` and returns it.
    static WindowBase* AttachObjectBeingCreated(HWND window);
    // Whether `object` is a live window object (compares pointers only).
    static bool IsInList(const WindowBase* object);

    HWND hwnd = nullptr;
    LRESULT result = 0;

private:
    LRESULT DispatchNotify(WPARAM wParam, NMHDR* header);
    void Register();
    void Unlink();

    WindowBase* next = nullptr;
    WindowBase* prev = nullptr;
};

// Registers the toolkit's generic window class "QxKit_Window" for `instance`
// (a second registration fails harmlessly).
ATOM RegisterToolkitWindowClass(HINSTANCE instance);

// Base of every superclassed control: the control's class is registered again
// under a toolkit name with the toolkit's control procedure, which lets the
// control's own procedure run first and then the object's handlers.
class ControlWindow : public WindowBase {
public:
    ControlWindow() = default;
    explicit ControlWindow(HWND existing) : WindowBase(existing) {}

    static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Initialises the common-control classes in `iccBits` (if any), records the
    // base class's window procedure and registers `toolkitClass` after it.
    void Superclass(DWORD iccBits, const char* baseClass, const char* toolkitClass);

    // CreateWindowExA under the toolkit class name.
    HWND Create(DWORD exStyle, const char* windowName, DWORD style, int x, int y, int width, int height, HWND parent,
                HMENU menuOrId, HINSTANCE instance, void* createParam);

    WNDPROC BaseProc() const { return baseProc; }
    const char* ClassName() const { return className; }

protected:
    WNDPROC baseProc = nullptr;
    char className[256] = {};
};

// Two panes with a draggable bar between them: side by side (vertical bar)
// or one above the other. The owner creates both panes as children of the
// split window and hands the objects over.
class SplitWindow : public WindowBase {
public:
    static constexpr int BAR_THICKNESS = 3;

    SplitWindow();
    ~SplitWindow() override;

    // Takes ownership; a pane set before is deleted.
    void SetFirstPane(std::unique_ptr<WindowBase> pane);
    void SetSecondPane(std::unique_ptr<WindowBase> pane);
    WindowBase* FirstPane() const { return firstPane.get(); }
    WindowBase* SecondPane() const { return secondPane.get(); }

    // 1 = side by side, else one above the other; returns the previous value.
    int SetVertical(int value);
    int Vertical() const { return vertical; }
    bool Dragging() const { return dragging != 0; }

    // Lays the panes out in the client area.
    LRESULT OnSize(UINT type, int width, int height) override;
    LRESULT OnLButtonDown(UINT keys, int x, int y) override;
    LRESULT OnLButtonUp(UINT keys, int x, int y) override;
    LRESULT OnMouseMove(UINT keys, int x, int y) override;
    // Losing the capture ends a drag.
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::unique_ptr<WindowBase> firstPane;
    std::unique_ptr<WindowBase> secondPane;
    int vertical = 1;
    int dragging = 0;
};
