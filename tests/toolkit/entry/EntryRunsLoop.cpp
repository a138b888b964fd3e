// A complete little application: checks what the entry point stored, opens a
// main window, runs the message loop until that window is destroyed and
// exits with its own code.
#include "tests/toolkit/entry/EntryLog.h"
#include "toolkit/Application.h"
#include "toolkit/Window.h"

namespace {

class LoopApp : public Application {
public:
    BOOL InitInstance() override {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        bool registered = GetClassInfoExA(hInstance, "QxKit_Window", &windowClass) != FALSE;
        AppendEntryLog(std::string("instance|") + (hInstance == GetModuleHandleA(nullptr) ? "own" : "other"));
        AppendEntryLog(std::string("class|") + (registered ? "registered" : "missing"));
        AppendEntryLog(std::string("cmdline|") + (lpCmdLine ? lpCmdLine : "(null)"));
        AppendEntryLog("application|" + std::string(GetApplication() == this ? "this" : "other"));
        return TRUE;
    }
    int Run() override {
        HWND window = mainWindow.Create(0, "QxKit_Window", "main", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                        nullptr, GetInstance(), nullptr);
        if (!window) return 2;
        PostMessageA(window, WM_CLOSE, 0, 0);
        int loopCode = RunMessageLoop();
        AppendEntryLog("loop|" + std::to_string(loopCode));
        return 51;
    }

private:
    WindowBase mainWindow;
} app;

}  // namespace
