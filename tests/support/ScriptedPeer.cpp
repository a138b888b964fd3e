#include "tests/support/ScriptedPeer.h"

#include <cstring>

namespace {

// WinSock for the peer's own use, independent of the code under test.
void EnsureWinSock() {
    struct WinSockUser {
        WinSockUser() {
            WSADATA data;
            WSAStartup(MAKEWORD(1, 1), &data);
        }
        ~WinSockUser() { WSACleanup(); }
    };
    static WinSockUser user;
}

sockaddr_in Loopback(unsigned short port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    address.sin_port = htons(port);
    return address;
}

unsigned short BoundPort(SOCKET s) {
    sockaddr_in bound;
    int length = sizeof bound;
    getsockname(s, reinterpret_cast<sockaddr*>(&bound), &length);
    return ntohs(bound.sin_port);
}

}  // namespace

ScriptedPeer::ScriptedPeer(std::vector<Reply> replies) : replies_(std::move(replies)) {
    EnsureWinSock();
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 8);
    port_ = BoundPort(listener_);
    thread_ = std::thread([this] { Serve(); });
}

ScriptedPeer::~ScriptedPeer() {
    closesocket(listener_);  // ends an accept still waiting
    if (thread_.joinable()) thread_.join();
}

void ScriptedPeer::Serve() {
    for (const Reply& reply : replies_) {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        DWORD timeoutMs = 5000;  // never hang the test on a client that stays
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
        std::string request;
        char buffer[512];
        while (request.find("\r\n") == std::string::npos) {
            int received = recv(client, buffer, sizeof buffer, 0);
            if (received <= 0) break;
            request.append(buffer, static_cast<size_t>(received));
        }
        bool reset = false;
        for (const std::string& piece : reply) {
            if (piece == ResetHere()) {
                reset = true;
                break;
            }
            send(client, piece.data(), static_cast<int>(piece.size()), 0);
            if (reply.size() > 1) Sleep(20);  // let the client read each piece on its own
        }
        int tail = -1;
        if (reset) {
            linger abort{1, 0};  // closing with a zero linger time sends a reset
            setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
        } else {
            shutdown(client, 1);  // SD_SEND: the reply ends here
            // The client closes once it has read everything: recv gives 0.
            tail = recv(client, buffer, sizeof buffer, 0);
        }
        closesocket(client);
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        clientClosed_.push_back(tail == 0);
    }
}

bool ScriptedPeer::WaitServed(std::chrono::milliseconds deadline) {
    auto until = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < until) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (requests_.size() == replies_.size()) return true;
        }
        Sleep(5);
    }
    return false;
}

std::vector<std::string> ScriptedPeer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<bool> ScriptedPeer::ClientClosed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return clientClosed_;
}

unsigned short UnusedPort() {
    EnsureWinSock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    unsigned short port = BoundPort(s);
    closesocket(s);
    return port;
}
