// What a protocol client needs from the program around it: the settings
// that name the server (read afresh for every connection) and the window
// that owns its message boxes. The main frame provides both.
#pragma once

#include <windows.h>

class Settings;

class ServerContext {
public:
    virtual ~ServerContext() = default;
    virtual const Settings& ServerSettings() const = 0;
    virtual HWND MessageOwner() const = 0;
};
