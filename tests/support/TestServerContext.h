// A server context for tests: settings in memory that point at a local
// peer, and no owner window.
#pragma once

#include "protocol/ServerContext.h"
#include "settings/Settings.h"

#include <string>

class TestServerContext : public ServerContext {
public:
    TestServerContext(const std::string& address, DWORD port) {
        settings.szAddress = address;
        settings.dwPortNo = port;
    }
    const Settings& ServerSettings() const override { return settings; }
    HWND MessageOwner() const override { return owner; }
    DWORD SilenceLimitMs() const override { return silenceLimitMs; }
    bool TakesConditionalChanges(int) const override { return conditional; }
    void ChangeSent(int) const override { ++changesSent; }

    Settings settings;
    HWND owner = nullptr;
    DWORD silenceLimitMs = kDefaultSilenceLimitMs;
    // Changes go out conditional, as to a server that announced versions.
    bool conditional = false;
    mutable int changesSent = 0;
};
