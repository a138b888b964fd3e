// The network side of the calendar server. One event-loop thread accepts
// connections, reads request lines and writes replies, all with deadlines,
// so slow, silent or non-reading clients never hold a worker; a small pool
// of worker threads, each with its own database connection, answers
// complete requests. A connection whose reply went out whole ends with the
// sending side shut down and a drain of what the client still sends, so the
// client receives the whole reply before the close; one given up on (the
// client made no progress for the stall limit) is reset instead.
#pragma once

#include "server/IcsExport.h"
#include "server/IcsFeed.h"
#include "server/NetAddress.h"
#include "server/ReplyBytes.h"
#include "server/ReplyCache.h"
#include "server/WorkBudget.h"
#include "server/UniqueFd.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

struct ServerOptions {
    std::string databasePath = "./calendar.db";
    std::string listenAddress = "127.0.0.1";
    int port = 54321;
    AllowList allowList = AllowList::LoopbackOnly();
    size_t workerThreads = 4;
    // Connections being read or answered at once; more are told the server is busy.
    size_t maxConnections = 256;
    // Of those, connections from one client address, so that one host
    // cannot take every slot; more from it are told so.
    size_t maxPerAddress = 32;
    // Time a client has to send its whole request line.
    std::chrono::milliseconds requestTimeout{10000};
    // Longest pause in the client's progress through the reply: bytes
    // leaving the socket's send queue, however few. A client that keeps
    // reading gets the whole reply however slowly it reads.
    std::chrono::milliseconds replyStallTimeout{10000};
    // How long a closing connection is drained once its send queue is empty.
    std::chrono::milliseconds lingerTime{2000};
    // Longest time one request may work; past it the client gets an error.
    std::chrono::milliseconds queryTimeout{3000};
    // Memory that search replies (built per request) may take together
    // until they are sent; past it a search is told the server is busy.
    size_t replyMemoryBytes = size_t{96} << 20;
    // "ADDR:PORT" where the calendar is also served as an iCalendar feed
    // over HTTP (same allow-list and limits); empty: not served.
    std::string icsListen;
    IcsCalendarInfo icsInfo;
};

class CalendarServer {
public:
    explicit CalendarServer(ServerOptions options);
    ~CalendarServer();
    CalendarServer(const CalendarServer&) = delete;
    CalendarServer& operator=(const CalendarServer&) = delete;

    // Binds and listens; returns the "ADDR:PORT" actually listened on.
    // Throws std::runtime_error when the address cannot be used.
    std::string Listen();
    // The feed's "ADDR:PORT" after Listen (empty when not served).
    const std::string& IcsEndpoint() const { return icsEndpoint_; }

    // Runs until SIGTERM or SIGINT (see InstallStopSignals), then stops
    // accepting, finishes the requests in flight and returns.
    void Run();

    // Routes SIGTERM and SIGINT to the running server's loop.
    static void InstallStopSignals();

private:
    using Clock = std::chrono::steady_clock;

    struct Reading {
        UniqueFd socket;
        std::string client;
        std::string received;
        Clock::time_point started;
        Clock::time_point deadline;
        bool http = false;  // came in on the feed's listener
    };
    // A connection whose reply is wholly in the kernel: the sending side is
    // shut down, what the client still sends is discarded until it closes,
    // and the kernel's queue goes on to the client as long as it reads.
    struct Lingering {
        UniqueFd socket;
        Clock::time_point deadline;
        int queued = 0;  // bytes in the send queue at the last look
    };
    struct Job {
        UniqueFd socket;
        std::string client;
        std::string line;  // or the HTTP request head
        Clock::time_point started;
        bool http = false;
    };
    // An answered request whose reply the client has not taken in full yet.
    struct Writing {
        UniqueFd socket;
        std::string client;
        std::string kind;
        std::string result;
        ReplyBytes reply;
        size_t sent = 0;
        bool waiting = true;  // the client's buffer was full at the last send
        int queued = 0;       // bytes in the send queue after the last send or look
        Clock::time_point started;
        Clock::time_point stallDeadline;  // moved on by every bit of progress
    };

    void AcceptAll(const UniqueFd& listener, bool http, Clock::time_point now);
    // Reads what is there; returns false when the connection left `reading_`.
    bool ReadFrom(size_t index, Clock::time_point now);
    void ExpireDeadlines(Clock::time_point now);
    void CollectFinished(Clock::time_point now);
    // Sends what the client's socket takes now; false when the reply is done
    // or cannot go on.
    bool SendMore(Writing& writing, Clock::time_point now);
    // Sends until the socket would block, the reply is done, `limit` bytes
    // went out or the send fails; returns (and notes) whether more is to be
    // sent.
    static bool SendWithoutWaiting(Writing& writing, size_t limit = SIZE_MAX);
    // Logs the request and starts the close.
    void FinishWriting(Writing writing, Clock::time_point now);
    void BeginStop(Clock::time_point now);
    // A connection from `client` stops being read or answered.
    void Release(const std::string& client);

    // An error reply that ends the connection before any request ran.
    void RefuseEarly(UniqueFd socket, const std::string& client, std::string_view kind, std::string_view message,
                     std::string_view result, Clock::time_point started, Clock::time_point now, bool http = false);
    void StartLinger(UniqueFd socket, Clock::time_point now);
    // Gives up on a connection so that the client sees a failed receive
    // (a reset), never a close that looks like the end of a whole reply.
    static void Reset(UniqueFd socket);

    // Hands an answered request's reply to the loop's writing.
    void StartWriting(Writing writing, Clock::time_point now);
    void Dispatch(Job job);
    void WorkerMain();
    // Answers one job and hands the reply back to the event loop.
    void HandOver(Job& job, std::string kind, std::string result, ReplyBytes reply);

    ServerOptions options_;
    // Shared by the workers: the unconditioned replies and the memory of
    // the others (declared before every holder of a reply, so it outlives
    // them); set when stopping, so long requests end at once.
    ReplyCache cache_;
    ReplyMemory replyMemory_;
    std::atomic<bool> stopWork_{false};
    UniqueFd listener_;
    UniqueFd icsListener_;
    std::string icsEndpoint_;
    IcsFeedCache icsCache_;
    UniqueFd wakeRead_;
    UniqueFd wakeWrite_;
    bool stopping_ = false;
    Clock::time_point acceptPausedUntil_{};

    std::vector<Reading> reading_;
    std::vector<Lingering> lingering_;
    std::vector<Writing> writing_;
    size_t inFlight_ = 0;  // jobs handed to workers and not yet back
    // Connections read, answered or written, by client address.
    std::unordered_map<std::string, size_t> perAddress_;

    std::mutex jobsMutex_;
    std::condition_variable jobsReady_;
    std::deque<Job> jobs_;
    bool workersStop_ = false;
    std::vector<std::thread> workers_;

    std::mutex finishedMutex_;
    std::vector<Writing> finished_;  // answered requests back from the workers
};
