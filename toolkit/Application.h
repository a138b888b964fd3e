// The application object that the toolkit's entry point runs, and the small
// objects an application uses for its start-up: the message holder of its
// message loop, kernel handles and the named mutex.
#pragma once

#include <windows.h>

// Base of the one application object of a program. Its constructor makes it
// the application; the entry point then stores the start-up arguments in it,
// registers the toolkit's window class and runs InitInstance and Run.
class Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Start-up work before the message loop; returning 0 ends the program
    // with exit code 0 without calling Run.
    virtual BOOL InitInstance();
    // The program's main work, normally the message loop; its result is the
    // process exit code.
    virtual int Run();

    // Stores the entry point's arguments and registers "QxKit_Window".
    void Initialize(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);

    HINSTANCE Instance() const { return hInstance; }
    HINSTANCE PreviousInstance() const { return hPrevInstance; }
    // The command line after the program name, as the entry point got it.
    LPSTR CommandLine() const { return lpCmdLine; }
    int ShowCommand() const { return nCmdShow; }

protected:
    HINSTANCE hInstance = nullptr;
    HINSTANCE hPrevInstance = nullptr;
    LPSTR lpCmdLine = nullptr;
    int nCmdShow = 0;
};

// The registered application object, or null when the program has none.
Application* GetApplication();

// The module instance the toolkit loads resources from and creates windows
// with: the application's, or the executable's own when there is no
// application object yet (test programs, code running before the entry point).
HINSTANCE GetInstance();

// The entry point's work, after the run-time library has constructed the
// global objects: reports a missing application object (exit code 0), else
// Initialize, InitInstance and Run. WinMain calls it.
int RunApplicationEntry(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);

// ---------------------------------------------------------------------------
// Message loop

// One MSG for a message loop; its fields stay readable after each call.
class MessageHolder {
public:
    MessageHolder() : msg_{} {}
    virtual ~MessageHolder() = default;
    MessageHolder(const MessageHolder&) = delete;
    MessageHolder& operator=(const MessageHolder&) = delete;

    // GetMessageA into the held MSG: 0 on WM_QUIT, -1 on error, else nonzero.
    BOOL Get(HWND window, UINT firstMessage, UINT lastMessage);
    BOOL Translate();
    LRESULT Dispatch();

    const MSG& Message() const { return msg_; }

private:
    MSG msg_;
};

// The toolkit's message loop: gets, translates and dispatches every message of
// the thread until WM_QUIT and returns the quit message's exit code. (A -1 from
// GetMessageA does not end it.)
int RunMessageLoop();

// ---------------------------------------------------------------------------
// Kernel objects

// Owns one kernel handle and closes it when destroyed.
class KernelHandle {
public:
    KernelHandle() = default;
    virtual ~KernelHandle();
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;

    HANDLE Handle() const { return handle; }

    // CloseHandle: 1 and a null handle on success; 0 and the handle kept on
    // failure.
    BOOL Close();

protected:
    HANDLE handle = nullptr;
};

// A (normally named) mutex. Destroying it releases the mutex, then closes the
// handle.
class Mutex : public KernelHandle {
public:
    Mutex() = default;
    ~Mutex() override;

    // CreateMutexA; the handle is kept and returned. Read GetLastError right
    // after the call: ERROR_ALREADY_EXISTS means another holder named it first.
    // A handle already held is closed first.
    HANDLE Create(SECURITY_ATTRIBUTES* security, BOOL initialOwner, const char* name);
};
