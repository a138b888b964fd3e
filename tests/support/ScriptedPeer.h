// A real TCP peer on 127.0.0.1 for protocol tests: for each scripted reply
// it accepts one connection, records the request bytes up to the first CR LF,
// answers with the scripted bytes (in the given pieces) and closes, or resets
// the connection where a reply says so.
#pragma once

#include <winsock.h>
#include <windows.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedPeer {
public:
    // Each reply is sent as its pieces, one send call each.
    using Reply = std::vector<std::string>;

    explicit ScriptedPeer(std::vector<Reply> replies);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    unsigned short Port() const { return port_; }

    // Waits (with a deadline) until every scripted connection has been served.
    bool WaitServed(std::chrono::milliseconds deadline = std::chrono::seconds(10));

    std::vector<std::string> Requests() const;
    // True for each served connection whose client closed its end after the
    // reply (the peer read end-of-stream).
    std::vector<bool> ClientClosed() const;

private:
    void Serve();

    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::vector<Reply> replies_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::vector<bool> clientClosed_;
    std::thread thread_;
};

// A reply as one piece.
inline ScriptedPeer::Reply Whole(const std::string& bytes) { return {bytes}; }

// A piece that is not sent: the peer resets the connection there instead of
// closing it normally (the pieces after it are dropped).
inline const std::string& ResetHere() {
    static const std::string marker("\0reset the connection\0", 22);
    return marker;
}

// A port on 127.0.0.1 where nothing listens (bound, then released).
unsigned short UnusedPort();
