#include "protocol/VersionCheck.h"

#include "protocol/ProtocolClient.h"
#include "protocol/WireFormat.h"
#include "settings/Settings.h"

#include <memory>
#include <new>
#include <thread>

namespace {

// The server a check asks, copied from the settings when it starts; the
// failures of its one request are shown to nobody.
class QuietContext : public ServerContext {
public:
    QuietContext(const std::string& address, DWORD port) {
        settings_.szAddress = address;
        settings_.dwPortNo = port;
    }

    const Settings& ServerSettings() const override { return settings_; }
    HWND MessageOwner() const override { return nullptr; }
    DWORD SilenceLimitMs() const override { return kVersionCheckSilenceMs; }
    bool QuietFailures() const override { return true; }

private:
    Settings settings_;
};

void RunCheck(const QuietContext& context, HWND window, UINT message, uint32_t ticket) {
    // Always posts: lParam 0 says that the check could not even hold its answer.
    VersionCheckResult* posted = nullptr;
    try {
        auto result = std::make_unique<VersionCheckResult>();
        ProtocolClient client(context);
        ExchangeResult reply = client.Exchange(std::string(kVersionsLine), "");
        result->answered = reply.success && ReadVersionsReply(reply.reply, result->versions);
        posted = result.release();
    } catch (const std::bad_alloc&) {
    }
    if (!PostMessageA(window, message, ticket, reinterpret_cast<LPARAM>(posted))) delete posted;
}

}  // namespace

bool StartVersionCheck(const std::string& address, DWORD port, HWND window, UINT message, uint32_t ticket) {
    try {
        auto context = std::make_shared<const QuietContext>(address, port);
        std::thread([context, window, message, ticket] { RunCheck(*context, window, message, ticket); }).detach();
        return true;
    } catch (const std::exception&) {
        return false;  // std::system_error: no thread
    }
}
