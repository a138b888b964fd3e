// The client's application object: single instance per user, the uninstall
// switch, the frame's window class, creation and placement of the frame, and
// the message loop.
#pragma once

#include "toolkit/Application.h"

#include <memory>

class MainFrame;

class CalendarApp : public Application {
public:
    // Mutex name and frame window class name alike.
    static constexpr const char* kInstanceName = "RendezClient";
    static constexpr const char* kMakerKey = "Software\\Sorano";

    // Exit codes when the frame cannot come up.
    static constexpr int kExitClassNotRegistered = 1;
    static constexpr int kExitFrameNotCreated = 2;

    // Creates the frame object (without its window) and the mutex object.
    CalendarApp();
    // Releases the mutex first, then deletes the frame.
    ~CalendarApp() override;

    // The whole start-up and the message loop; returns the exit code.
    int Run() override;

    // Removes the client's registry data (or, with another client running,
    // warns over its frame); never opens a window. Returns 0.
    int Uninstall(bool anotherRuns);

    // Registers the frame class, creates, places and shows the frame. Returns
    // 0 on success, else the exit code of the failure.
    int StartFrame();

    MainFrame* Frame() const { return frame_.get(); }

private:
    // Declared in this order so that the mutex goes first.
    std::unique_ptr<MainFrame> frame_;
    std::unique_ptr<Mutex> mutex_;
};
