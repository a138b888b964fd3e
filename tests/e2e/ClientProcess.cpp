#include "tests/e2e/ClientProcess.h"

#include "tests/support/CalendarServerProcess.h"

#include <string>

#ifndef RDZ_CLIENT_EXE
#error "RDZ_CLIENT_EXE must name the client program (Unix path)"
#endif

ClientProcess::ClientProcess() {
    std::string command = "\"" + WindowsPathOf(RDZ_CLIENT_EXE) + "\"";
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    ZeroMemory(&process_, sizeof process_);
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_)) {
        process_.hProcess = nullptr;
    }
    if (process_.hThread) CloseHandle(process_.hThread);
}

ClientProcess::~ClientProcess() {
    if (!process_.hProcess) return;
    if (Running()) TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hProcess);
}

bool ClientProcess::Running() const {
    return Started() && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

long ClientProcess::WaitForExit(unsigned timeoutMs) const {
    DWORD code = 0;
    if (!Started() || WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
}
