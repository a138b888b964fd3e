// Links every client library into one GUI program, so both Windows builds
// prove the client links before its real executable exists. Running it makes
// one server check against the configured server.
#include "protocol/ProtocolClient.h"
#include "settings/Settings.h"

#include <windows.h>

namespace {

class LinkCheckContext : public ServerContext {
public:
    LinkCheckContext() { settings_.Load(); }
    const Settings& ServerSettings() const override { return settings_; }
    HWND MessageOwner() const override { return nullptr; }

private:
    Settings settings_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    LinkCheckContext context;
    ProtocolClient client(context);
    return client.Hello() ? 0 : 1;
}
