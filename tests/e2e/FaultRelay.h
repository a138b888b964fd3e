// A relay on 127.0.0.1 between the client and the real calendar server, for
// the faults a real server cannot be made to show on cue. Each connection's
// request line is read, then, by the rule of the moment, the request goes on
// to the server and its reply comes back (at once or slowly), or the relay
// answers with bytes of its own, or the request waits until the test
// releases it. The listener can be closed and opened again on its port, so
// the client meets refused connections as from a stopped server. A request
// that cannot reach the server is ended with a connection reset.
#pragma once

#include <winsock.h>
#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FaultRelay {
public:
    explicit FaultRelay(unsigned short serverPort);
    ~FaultRelay();
    FaultRelay(const FaultRelay&) = delete;
    FaultRelay& operator=(const FaultRelay&) = delete;

    // 0 when the relay could not listen.
    unsigned short Port() const { return port_; }

    // The rules, for the requests whose line begins with `prefix`; each call
    // replaces the rule before it.
    // Every request goes on to the server, its reply comes back at once.
    void PassOn();
    // The reply comes back in pieces of `pieceBytes`, each `pauseMs` after
    // the one before (the first too).
    void Slow(const std::string& prefix, size_t pieceBytes, unsigned pauseMs);
    // The relay answers with `bytes` and closes; the server sees nothing.
    void Answer(const std::string& prefix, const std::string& bytes);
    // The `nth` such request (counting from 1) waits, before it goes on to
    // the server, until Release.
    void HoldBefore(const std::string& prefix, int nth);
    bool WaitHeld(unsigned timeoutMs);
    void Release();

    // Stops listening: connections are refused until Open.
    void Close();
    // Listens again on the same port; false if that failed.
    bool Open();

    // The request lines received so far, without their CR LF, in order.
    std::vector<std::string> Requests() const;

private:
    enum class Kind { PassOn, Slow, Answer, Hold };
    struct Rule {
        Kind kind = Kind::PassOn;
        std::string prefix;
        size_t pieceBytes = 0;
        unsigned pauseMs = 0;
        std::string bytes;
        int nth = 0;
        int seen = 0;
    };

    bool Listen();
    void Loop();
    void Serve(SOCKET client);
    void PassToServer(SOCKET client, const std::string& request, size_t pieceBytes, unsigned pauseMs);

    unsigned short serverPort_;
    unsigned short port_ = 0;
    SOCKET listener_ = INVALID_SOCKET;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Rule rule_;
    bool held_ = false;
    bool released_ = false;
    bool stopping_ = false;
    std::vector<std::string> requests_;

    std::thread thread_;
};
