// The process entry point and the application object's own operations. They
// share this file so that every program defining an application object links
// WinMain from the toolkit library; programs without one (test programs with
// their own main) never pull it in.
#include "toolkit/Application.h"

#include "resources/ToolkitResource.h"
#include "toolkit/Services.h"
#include "toolkit/Window.h"

extern Application* g_application;

Application::Application() {
    // A second application object replaces the first.
    g_application = this;
}

Application::~Application() {
    // Nothing may reach a destroyed application through the global.
    if (g_application == this) g_application = nullptr;
}

BOOL Application::InitInstance() {
    return TRUE;
}

int Application::Run() {
    return 0;
}

void Application::Initialize(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand) {
    hInstance = instance;
    hPrevInstance = previousInstance;
    lpCmdLine = commandLine;
    nCmdShow = showCommand;
    // A failure shows later as windows that cannot be created.
    RegisterToolkitWindowClass(instance);
}

int RunApplicationEntry(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand) {
    Application* application = GetApplication();
    if (!application) {
        std::string text = LoadString(instance, IDS_TOOLKIT_NO_APPLICATION);
        ShowMessageBox(nullptr, text.c_str(), "QXKIT_ERROR", MB_OK);
        return 0;
    }
    application->Initialize(instance, previousInstance, commandLine, showCommand);
    if (!application->InitInstance()) return 0;
    return application->Run();
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand) {
    return RunApplicationEntry(instance, previousInstance, commandLine, showCommand);
}
