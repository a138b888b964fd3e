#include "tests/e2e/FaultRelay.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

sockaddr_in Loopback(unsigned short port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    address.sin_port = htons(port);
    return address;
}

void SetTimeouts(SOCKET s, DWORD ms) {
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}

bool SendAll(SOCKET s, const char* data, size_t size) {
    while (size > 0) {
        int sent = send(s, data, static_cast<int>(std::min<size_t>(size, 1 << 20)), 0);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

// Closing with a zero linger time sends a reset instead of the end of the
// stream.
void Reset(SOCKET s) {
    linger abortive{1, 0};
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive);
    closesocket(s);
}

// Ends the reply normally and lets the client read it to the end.
void Finish(SOCKET s) {
    shutdown(s, 1);  // SD_SEND
    char buffer[256];
    while (recv(s, buffer, sizeof buffer, 0) > 0) {
    }
    closesocket(s);
}

}  // namespace

FaultRelay::FaultRelay(unsigned short serverPort) : serverPort_(serverPort) {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Listen();
    }
    thread_ = std::thread([this] { Loop(); });
}

FaultRelay::~FaultRelay() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        released_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    Close();
    WSACleanup();
}

void FaultRelay::PassOn() {
    std::lock_guard<std::mutex> lock(mutex_);
    rule_ = Rule();
}

void FaultRelay::Slow(const std::string& prefix, size_t pieceBytes, unsigned pauseMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    rule_ = Rule();
    rule_.kind = Kind::Slow;
    rule_.prefix = prefix;
    rule_.pieceBytes = std::max<size_t>(pieceBytes, 1);
    rule_.pauseMs = pauseMs;
}

void FaultRelay::Answer(const std::string& prefix, const std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    rule_ = Rule();
    rule_.kind = Kind::Answer;
    rule_.prefix = prefix;
    rule_.bytes = bytes;
}

void FaultRelay::HoldBefore(const std::string& prefix, int nth) {
    std::lock_guard<std::mutex> lock(mutex_);
    rule_ = Rule();
    rule_.kind = Kind::Hold;
    rule_.prefix = prefix;
    rule_.nth = nth;
    held_ = false;
    released_ = false;
}

bool FaultRelay::WaitHeld(unsigned timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return held_; });
}

void FaultRelay::Release() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
    }
    changed_.notify_all();
}

void FaultRelay::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    listener_ = INVALID_SOCKET;
}

bool FaultRelay::Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    return listener_ != INVALID_SOCKET || Listen();
}

std::vector<std::string> FaultRelay::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

// With the lock held.
bool FaultRelay::Listen() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return false;
    BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in address = Loopback(port_);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0) {
        closesocket(s);
        return false;
    }
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    listener_ = s;
    return true;
}

void FaultRelay::Loop() {
    for (;;) {
        SOCKET listener = INVALID_SOCKET;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) break;
            listener = listener_;
        }
        if (listener == INVALID_SOCKET) {
            Sleep(20);
            continue;
        }
        // Close may take the listener away meanwhile: select and accept then fail.
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener, &readable);
        timeval wait{0, 50000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
        SOCKET client = accept(listener, nullptr, nullptr);
        if (client != INVALID_SOCKET) Serve(client);
    }
}

void FaultRelay::Serve(SOCKET client) {
    SetTimeouts(client, 30000);  // never hang the test on a client that stays
    std::string request;
    char buffer[512];
    while (request.find("\r\n") == std::string::npos) {
        int received = recv(client, buffer, sizeof buffer, 0);
        if (received <= 0) break;
        request.append(buffer, static_cast<size_t>(received));
    }
    Rule rule;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request.substr(0, request.find("\r\n")));
        if (request.compare(0, rule_.prefix.size(), rule_.prefix) == 0) ++rule_.seen;
        rule = rule_;
    }
    const bool matches = rule.kind != Kind::PassOn && request.compare(0, rule.prefix.size(), rule.prefix) == 0;
    if (matches && rule.kind == Kind::Answer) {
        SendAll(client, rule.bytes.data(), rule.bytes.size());
        Finish(client);
        return;
    }
    if (matches && rule.kind == Kind::Hold && rule.seen == rule.nth) {
        std::unique_lock<std::mutex> lock(mutex_);
        held_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
    }
    const bool slow = matches && rule.kind == Kind::Slow;
    PassToServer(client, request, slow ? rule.pieceBytes : 0, slow ? rule.pauseMs : 0);
}

void FaultRelay::PassToServer(SOCKET client, const std::string& request, size_t pieceBytes, unsigned pauseMs) {
    SOCKET server = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(serverPort_);
    if (server == INVALID_SOCKET || connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (server != INVALID_SOCKET) closesocket(server);
        Reset(client);
        return;
    }
    SetTimeouts(server, 30000);
    SendAll(server, request.data(), request.size());
    std::vector<char> buffer(1 << 16);
    for (bool clientTakes = true; clientTakes;) {
        int received = recv(server, buffer.data(), static_cast<int>(buffer.size()), 0);
        if (received < 0) {
            closesocket(server);
            Reset(client);
            return;
        }
        if (received == 0) break;
        const size_t size = static_cast<size_t>(received);
        const size_t piece = pieceBytes == 0 ? size : pieceBytes;
        for (size_t at = 0; at < size && clientTakes; at += piece) {
            if (pieceBytes != 0) Sleep(pauseMs);
            clientTakes = SendAll(client, buffer.data() + at, std::min(piece, size - at));
        }
    }
    closesocket(server);
    Finish(client);
}
