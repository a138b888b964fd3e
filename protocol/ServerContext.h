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
    // How long a connection may stay silent (no byte sent or received)
    // before the request is given up as failed. A server that stopped
    // answering would otherwise hold the calling thread, and with it the
    // window, for good; a slow but steady reply is never cut.
    virtual DWORD SilenceLimitMs() const { return kDefaultSilenceLimitMs; }
    static constexpr DWORD kDefaultSilenceLimitMs = 30000;

    // Whether the server that the data set was last loaded from announced
    // its version, and with it the records' revisions: changes to that data
    // set then go out conditional (Records.h).
    virtual bool TakesConditionalChanges(int /*dataSet*/) const { return false; }
    // Called before a change to the data set is sent.
    virtual void ChangeSent(int /*dataSet*/) const {}
    // True for requests that run unseen in the background: their failures
    // are judged as usual but shown to nobody.
    virtual bool QuietFailures() const { return false; }
};
