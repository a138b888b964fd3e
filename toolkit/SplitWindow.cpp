// The two-pane split window: the first pane keeps the size the user dragged
// it to, the second fills the rest behind a 3-pixel bar.
#include "toolkit/Window.h"

#include "toolkit/Application.h"

#include <algorithm>

namespace {

const char SPLIT_CLASS[] = "QxKit_SplitWindow";

void RegisterSplitClass() {
    HINSTANCE instance = GetInstance();
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (GetClassInfoExA(instance, SPLIT_CLASS, &windowClass)) return;
    windowClass = WNDCLASSEXA{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &WindowBase::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_SIZEWE);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    windowClass.lpszClassName = SPLIT_CLASS;
    RegisterClassExA(&windowClass);
}

RECT WindowRectOf(const WindowBase& pane) {
    RECT rect{};
    GetWindowRect(pane.Handle(), &rect);
    return rect;
}

// The pane's own visibility, not its ancestors': the layout must come out
// right while the frame is still being built, before it is shown.
bool IsShown(const WindowBase* pane) {
    return pane && pane->Handle() && (GetWindowLongPtrA(pane->Handle(), GWL_STYLE) & WS_VISIBLE) != 0;
}

}  // namespace

SplitWindow::SplitWindow() {
    RegisterSplitClass();
}

SplitWindow::~SplitWindow() {
    secondPane.reset();
    firstPane.reset();
}

void SplitWindow::SetFirstPane(std::unique_ptr<WindowBase> pane) {
    firstPane = std::move(pane);
}

void SplitWindow::SetSecondPane(std::unique_ptr<WindowBase> pane) {
    secondPane = std::move(pane);
}

int SplitWindow::SetVertical(int value) {
    int previous = vertical;
    vertical = value;
    return previous;
}

LRESULT SplitWindow::OnSize(UINT, int width, int height) {
    width &= 0xFFFF;
    height &= 0xFFFF;
    LPCSTR cursor = vertical == 1 ? IDC_SIZEWE : IDC_SIZENS;
    SetClassLongPtr(GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(LoadCursorA(nullptr, cursor)));

    bool firstShown = IsShown(firstPane.get());
    int bar = firstShown ? BAR_THICKNESS : 0;
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (vertical == 1) {
        RECT first = firstShown ? WindowRectOf(*firstPane) : RECT{};
        int firstWidth = firstShown ? first.right - first.left : 0;
        if (firstShown) ::SetWindowPos(firstPane->Handle(), nullptr, 0, 0, firstWidth, height, flags);
        if (secondPane && secondPane->Handle()) {
            ::SetWindowPos(secondPane->Handle(), nullptr, firstWidth + bar, 0,
                           std::max(0, width - firstWidth - bar), height, flags);
        }
    } else {
        RECT first = firstShown ? WindowRectOf(*firstPane) : RECT{};
        int firstHeight = firstShown ? first.bottom - first.top : 0;
        if (firstShown) ::SetWindowPos(firstPane->Handle(), nullptr, 0, 0, width, firstHeight, flags);
        if (secondPane && secondPane->Handle()) {
            ::SetWindowPos(secondPane->Handle(), nullptr, 0, firstHeight + bar, width,
                           std::max(0, height - firstHeight - bar), flags);
        }
    }
    UpdateWindow();
    return 1;
}

LRESULT SplitWindow::OnLButtonDown(UINT, int, int) {
    SetCapture();
    dragging = 1;
    return 1;
}

LRESULT SplitWindow::OnLButtonUp(UINT, int, int) {
    dragging = 0;
    ReleaseCapture();
    return 1;
}

LRESULT SplitWindow::OnMouseMove(UINT keys, int x, int y) {
    if (!(keys & MK_LBUTTON) || !dragging) return 1;
    if (!firstPane || !firstPane->Handle()) return 1;

    RECT first = WindowRectOf(*firstPane);
    // The pane follows the pointer; a pointer dragged past the window's edge
    // gives an empty pane, never a negative size.
    int paneWidth = vertical == 1 ? std::max(0, static_cast<int>(static_cast<short>(x))) : first.right - first.left;
    int paneHeight = vertical == 1 ? first.bottom - first.top : std::max(0, static_cast<int>(static_cast<short>(y)));
    ::SetWindowPos(firstPane->Handle(), nullptr, 0, 0, paneWidth, paneHeight,
                   SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    OnSize(SIZE_RESTORED, ClientWidth(), ClientHeight());
    return 1;
}

LRESULT SplitWindow::OnMessage(HWND, UINT message, WPARAM, LPARAM) {
    // ReleaseCapture above also lands here; any other loss of the capture
    // (another window took it) ends the drag as well.
    if (message == WM_CAPTURECHANGED) dragging = 0;
    return 0;
}
