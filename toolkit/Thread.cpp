#include "toolkit/Services.h"

HANDLE Thread::Create(SECURITY_ATTRIBUTES* security, SIZE_T stackSize, void* parameter, DWORD creationFlags) {
    if (handle) Close();
    // Stored before the thread exists: Start reads it on the new thread.
    parameter_ = parameter;
    threadId_ = 0;
    handle = CreateThread(security, stackSize, &Thread::Start, this, creationFlags, &threadId_);
    return handle;
}

DWORD Thread::Run(void*) { return 0; }

DWORD WINAPI Thread::Start(void* self) {
    Thread* thread = static_cast<Thread*>(self);
    return thread->Run(thread->parameter_);
}
