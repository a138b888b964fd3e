// RendezClient.exe started as its own process, the way a person starts it:
// no arguments, its settings from the registry. Ending the object ends the
// process if it still runs.
#pragma once

#include <windows.h>

class ClientProcess {
public:
    ClientProcess();
    ~ClientProcess();
    ClientProcess(const ClientProcess&) = delete;
    ClientProcess& operator=(const ClientProcess&) = delete;

    bool Started() const { return process_.hProcess != nullptr; }
    bool Running() const;
    DWORD Id() const { return process_.dwProcessId; }
    // The exit code once the process has ended within `timeoutMs`, else -1.
    long WaitForExit(unsigned timeoutMs) const;

private:
    PROCESS_INFORMATION process_;
};
