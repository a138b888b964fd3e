#include "protocol/TcpSocket.h"

#include "toolkit/Services.h"

namespace {

// The socket that performed WSAStartup; set before any second thread exists.
TcpSocket* startupOwner = nullptr;

}  // namespace

TcpSocket::TcpSocket() {
    if (startupOwner) return;
    if (WSAStartup(MAKEWORD(1, 1), &wsaData_) != 0) {
        ShowMessageBox(nullptr, "WSAStartup", "失敗", MB_OK);
    }
    // Even after a failed start-up: the clean-up at the end is still owed.
    startupOwner = this;
}

TcpSocket::~TcpSocket() {
    Close();
    if (startupOwner == this) {
        if (WSACleanup() != 0) ShowMessageBox(nullptr, "WSACleanup", "失敗", MB_OK);
        startupOwner = nullptr;
        Sleep(10);
    }
}

bool TcpSocket::OwnsStartup() const { return startupOwner == this; }

SOCKET TcpSocket::Open(int family, int type, int protocol) {
    Close();
    handle_ = socket(family, type, protocol);
    return handle_;
}

bool TcpSocket::SetSilenceLimit(DWORD ms) {
    const char* value = reinterpret_cast<const char*>(&ms);
    return setsockopt(handle_, SOL_SOCKET, SO_RCVTIMEO, value, sizeof ms) == 0 &&
           setsockopt(handle_, SOL_SOCKET, SO_SNDTIMEO, value, sizeof ms) == 0;
}

int TcpSocket::Connect(const sockaddr* address, int length) { return connect(handle_, address, length); }

int TcpSocket::Send(const char* bytes, int length, int flags) { return send(handle_, bytes, length, flags); }

int TcpSocket::Receive(char* buffer, int size, int flags) { return recv(handle_, buffer, size, flags); }

void TcpSocket::Close() {
    if (handle_ != 0 && handle_ != INVALID_SOCKET) closesocket(handle_);
    handle_ = 0;
}

int TcpSocket::SendText(const std::string& text, int flags) {
    return Send(text.data(), static_cast<int>(text.size()), flags);
}

std::string TcpSocket::ReceiveAll() {
    std::string reply;
    ReceiveEach([&reply](std::string_view piece) { reply.append(piece.data(), piece.size()); });
    return reply;
}
