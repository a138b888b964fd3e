// One blocking WinSock 1.1 stream socket. The first socket ever made starts
// WinSock for the whole process and cleans it up when it is destroyed.
#pragma once

#include <winsock.h>
#include <windows.h>

#include <string>
#include <string_view>

class TcpSocket {
public:
    TcpSocket();
    virtual ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    SOCKET Open(int family, int type, int protocol);
    // Makes a blocked send or receive fail with WSAETIMEDOUT after `ms`
    // milliseconds without progress (0: wait for ever).
    bool SetSilenceLimit(DWORD ms);
    int Connect(const sockaddr* address, int length);
    int Send(const char* bytes, int length, int flags);
    int Receive(char* buffer, int size, int flags);
    void Close();

    // One send call of the whole text (no terminating zero).
    int SendText(const std::string& text, int flags);
    // Every byte received (zero bytes included) until the peer closes or the
    // connection fails, read 255 bytes at a time. ReceiveError() then tells
    // which: 0 after an orderly close, else the WinSock error code.
    std::string ReceiveAll();
    // The same reads, each piece handed to take(std::string_view) as it
    // arrives instead of being kept.
    template <typename Take>
    void ReceiveEach(Take&& take);

    // The size of one read.
    static constexpr int kChunkSize = 255;
    int ReceiveError() const { return receiveError_; }

    SOCKET Handle() const { return handle_; }
    // True for the socket that started WinSock (tests look at this).
    bool OwnsStartup() const;

private:
    WSADATA wsaData_{};
    SOCKET handle_ = 0;
    int receiveError_ = 0;
};

template <typename Take>
void TcpSocket::ReceiveEach(Take&& take) {
    receiveError_ = 0;
    char buffer[kChunkSize];
    for (;;) {
        int received = Receive(buffer, kChunkSize, 0);
        if (received == 0) break;  // orderly close: the reply is whole
        if (received < 0) {
            // A reset or any other failure: what came is not the whole reply.
            int code = WSAGetLastError();
            receiveError_ = code != 0 ? code : WSAECONNRESET;
            break;
        }
        take(std::string_view(buffer, static_cast<size_t>(received)));
    }
}
