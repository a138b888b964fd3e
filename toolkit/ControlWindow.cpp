// Superclassed controls: the control's own procedure runs first, then the
// object's handlers see the message.
#include "toolkit/Window.h"

#include "toolkit/Application.h"

#include <cstring>
#include <map>
#include <string>

namespace {

// The base procedure of every toolkit control class registered so far, so a
// control window that has no object (yet, or any more) still gets its own
// control behaviour instead of only DefWindowProcA.
std::map<std::string, WNDPROC>& BaseProcsByClass() {
    static std::map<std::string, WNDPROC> procs;
    return procs;
}

WNDPROC BaseProcOfWindow(HWND window) {
    char name[256] = {};
    if (GetClassNameA(window, name, sizeof name) <= 0) return nullptr;
    auto found = BaseProcsByClass().find(name);
    return found == BaseProcsByClass().end() ? nullptr : found->second;
}

}  // namespace

void ControlWindow::Superclass(DWORD iccBits, const char* baseClass, const char* toolkitClass) {
    if (iccBits != 0) {
        INITCOMMONCONTROLSEX controls{};
        controls.dwSize = sizeof controls;
        controls.dwICC = iccBits;
        InitCommonControlsEx(&controls);
    }

    const char* name = toolkitClass ? toolkitClass : "";
    size_t length = strnlen(name, sizeof className - 1);
    std::memcpy(className, name, length);
    className[length] = '\0';

    HINSTANCE instance = GetInstance();
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (!baseClass || !GetClassInfoExA(instance, baseClass, &windowClass) || !windowClass.lpfnWndProc) {
        // No such base class: the object still works as a plain window.
        baseProc = &DefWindowProcA;
        return;
    }
    baseProc = windowClass.lpfnWndProc;
    BaseProcsByClass().emplace(className, baseProc);

    windowClass.cbSize = sizeof windowClass;
    windowClass.style &= ~static_cast<UINT>(CS_GLOBALCLASS);
    windowClass.lpfnWndProc = &ControlWindow::ControlProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    // Registered once per process; later registrations fail and are harmless.
    RegisterClassExA(&windowClass);
}

HWND ControlWindow::Create(DWORD exStyle, const char* windowName, DWORD style, int x, int y, int width, int height,
                           HWND parent, HMENU menuOrId, HINSTANCE instance, void* createParam) {
    return WindowBase::Create(exStyle, className, windowName, style, x, y, width, height, parent, menuOrId, instance,
                              createParam);
}

LRESULT CALLBACK ControlWindow::ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* object = dynamic_cast<ControlWindow*>(FromHandle(window));
    if (object) {
        WNDPROC base = object->baseProc ? object->baseProc : &DefWindowProcA;
        LRESULT controlResult = CallWindowProcA(base, window, message, wParam, lParam);
        // `result` is left alone: a notification handler of this object may
        // have set it and then be asking its own control something. It is
        // cleared where a notification is reflected to the object.
        if (object->Dispatch(window, message, wParam, lParam)) return controlResult;
        if (object->OnMessage(window, message, wParam, lParam)) return 1;
        return controlResult;
    }

    auto* creating = dynamic_cast<ControlWindow*>(ObjectBeingCreated());
    if (creating && !FromHandle(window)) {
        // The first message of a new control: the control initialises itself,
        // then the object is attached and sees the message too.
        if (creating->baseProc) CallWindowProcA(creating->baseProc, window, message, wParam, lParam);
        return WindowProc(window, message, wParam, lParam);
    }

    // A control whose object is gone (or a window object that is not a
    // control): keep the control's own behaviour.
    WNDPROC base = BaseProcOfWindow(window);
    if (base) return CallWindowProcA(base, window, message, wParam, lParam);
    return WindowProc(window, message, wParam, lParam);
}
