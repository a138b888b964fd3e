#include "toolkit/Application.h"

// The one process-wide application pointer. The Application constructor sets
// it and its destructor clears it (see EntryPoint.cpp).
Application* g_application = nullptr;

Application* GetApplication() {
    return g_application;
}

HINSTANCE GetInstance() {
    if (g_application && g_application->Instance()) return g_application->Instance();
    return GetModuleHandleA(nullptr);
}

// ---------------------------------------------------------------------------

BOOL MessageHolder::Get(HWND window, UINT firstMessage, UINT lastMessage) {
    return GetMessageA(&msg_, window, firstMessage, lastMessage);
}

BOOL MessageHolder::Translate() {
    return TranslateMessage(&msg_);
}

LRESULT MessageHolder::Dispatch() {
    return DispatchMessageA(&msg_);
}

int RunMessageLoop() {
    MessageHolder holder;
    // GetMessageA's -1 (an invalid filter) is not an end: only WM_QUIT is.
    while (holder.Get(nullptr, 0, 0) != 0) {
        holder.Translate();
        holder.Dispatch();
    }
    return static_cast<int>(holder.Message().wParam);
}

// ---------------------------------------------------------------------------

KernelHandle::~KernelHandle() {
    if (handle) Close();
}

BOOL KernelHandle::Close() {
    if (!CloseHandle(handle)) return FALSE;
    handle = nullptr;
    return TRUE;
}

Mutex::~Mutex() {
    // Fails harmlessly when this process does not own the mutex.
    if (handle) ReleaseMutex(handle);
}

HANDLE Mutex::Create(SECURITY_ATTRIBUTES* security, BOOL initialOwner, const char* name) {
    if (handle) {
        ReleaseMutex(handle);
        Close();
    }
    handle = CreateMutexA(security, initialOwner, name);
    return handle;
}
