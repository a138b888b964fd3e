#include "server/CalendarServer.h"

#include "server/CalendarStore.h"
#include "server/ReplyFormat.h"
#include "server/RequestHandler.h"
#include "server/RequestLog.h"
#include "server/RequestParser.h"

#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>

namespace {

// Written by the signal handler, read by the loop through the wake pipe.
volatile sig_atomic_t stopRequested = 0;
volatile sig_atomic_t signalWakeFd = -1;  // read by the signal handler

void OnStopSignal(int) {
    stopRequested = 1;
    if (signalWakeFd >= 0) {
        char byte = 's';
        ssize_t ignored = ::write(signalWakeFd, &byte, 1);
        (void)ignored;
    }
}

const char* const kRefusedMessage = "このサーバーへの接続は許可されていません";
const char* const kBusyMessage = "サーバーが混み合っています。しばらくしてからやり直してください";
const char* const kTooLongMessage = "要求が長すぎます(64 KiB まで)";
const char* const kTimeoutMessage = "要求が時間内に届きませんでした";
const char* const kTruncatedMessage = "要求が途中で終わっています";
const char* const kAddressBusyMessage =
    "このアドレスからの接続が多すぎます。しばらくしてからやり直してください";
const char* const kStoppingMessage = "サーバーを停止しています。しばらくしてからやり直してください";

int MillisUntil(std::chrono::steady_clock::time_point deadline, std::chrono::steady_clock::time_point now) {
    if (deadline <= now) return 0;
    auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
    return static_cast<int>(std::min<long long>(millis, 1000));
}

// Bytes the client has not acknowledged yet: the measure of its progress.
int QueuedBytes(int fd) {
    int queued = 0;
    if (::ioctl(fd, SIOCOUTQ, &queued) != 0) return 0;
    return queued;
}

void RaiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace

CalendarServer::CalendarServer(ServerOptions options)
    : options_(std::move(options)),
      replyMemory_(options_.replyMemoryBytes),
      icsCache_(std::max<size_t>(options_.workerThreads, 1) / 2) {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_NONBLOCK | O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    wakeRead_ = UniqueFd(pipeEnds[0]);
    wakeWrite_ = UniqueFd(pipeEnds[1]);
    RaiseDescriptorLimit();
}

CalendarServer::~CalendarServer() {
    {
        std::lock_guard<std::mutex> lock(jobsMutex_);
        workersStop_ = true;
    }
    jobsReady_.notify_all();
    for (std::thread& worker : workers_) {
        if (worker.joinable()) worker.join();
    }
    if (signalWakeFd == wakeWrite_.Get()) signalWakeFd = -1;
}

void CalendarServer::InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

namespace {

// A listening socket on `host`:`port`; returns it with the "ADDR:PORT"
// actually bound.
UniqueFd BindListener(const std::string& host, int port, std::string& endpoint) {
    std::optional<IpAddress> address = IpAddress::Parse(host);
    if (!address) throw std::runtime_error("not an IP address: " + host);
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family = address->IsV4() ? AF_INET : AF_INET6;
    if (address->IsV4()) {
        auto& v4 = reinterpret_cast<sockaddr_in&>(storage);
        v4.sin_family = AF_INET;
        v4.sin_port = htons(static_cast<uint16_t>(port));
        std::memcpy(&v4.sin_addr, address->Bytes().data() + 12, 4);
        length = sizeof v4;
    } else {
        auto& v6 = reinterpret_cast<sockaddr_in6&>(storage);
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(static_cast<uint16_t>(port));
        std::memcpy(&v6.sin6_addr, address->Bytes().data(), 16);
        length = sizeof v6;
    }
    UniqueFd socket(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.Valid()) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    int on = 1;
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(socket.Get(), reinterpret_cast<sockaddr*>(&storage), length) != 0) {
        throw std::runtime_error("bind " + host + ":" + std::to_string(port) + ": " + std::strerror(errno));
    }
    if (::listen(socket.Get(), SOMAXCONN) != 0) throw std::runtime_error(std::string("listen: ") + std::strerror(errno));
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    ::getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&bound), &boundLength);
    int boundPort = ntohs(bound.ss_family == AF_INET ? reinterpret_cast<sockaddr_in&>(bound).sin_port
                                                     : reinterpret_cast<sockaddr_in6&>(bound).sin6_port);
    endpoint = address->ToString() + ":" + std::to_string(boundPort);
    return socket;
}

// The HTTP status of an early refusal on the feed's port.
int HttpStatusOf(std::string_view message) {
    if (message == kRefusedMessage) return 403;
    if (message == kTooLongMessage) return 431;
    if (message == kTimeoutMessage) return 408;
    if (message == kTruncatedMessage) return 400;
    return 503;  // busy, busy address, stopping
}

}  // namespace

std::string CalendarServer::Listen() {
    std::string endpoint;
    listener_ = BindListener(options_.listenAddress, options_.port, endpoint);
    if (!options_.icsListen.empty()) {
        size_t colon = options_.icsListen.rfind(':');
        if (colon == std::string::npos) throw std::runtime_error("--ics-listen needs ADDR:PORT");
        std::string host = options_.icsListen.substr(0, colon);
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
        char* end = nullptr;
        long port = std::strtol(options_.icsListen.c_str() + colon + 1, &end, 10);
        if (*end != '\0' || colon + 1 == options_.icsListen.size() || port < 0 || port > 65535) {
            throw std::runtime_error("--ics-listen needs ADDR:PORT");
        }
        icsListener_ = BindListener(host, static_cast<int>(port), icsEndpoint_);
    }
    return endpoint;
}

void CalendarServer::Run() {
    signalWakeFd = wakeWrite_.Get();
    for (size_t i = 0; i < std::max<size_t>(options_.workerThreads, 1); ++i) {
        workers_.emplace_back([this] { WorkerMain(); });
    }

    std::vector<pollfd> waits;
    for (;;) {
        Clock::time_point now = Clock::now();
        if (!stopping_ && stopRequested) BeginStop(now);
        if (stopping_ && reading_.empty() && inFlight_ == 0 && writing_.empty() && lingering_.empty()) break;

        // Wake pipe, then the listener, then reading, then lingering sockets.
        waits.clear();
        waits.push_back(pollfd{wakeRead_.Get(), POLLIN, 0});
        bool listening = listener_.Valid() && now >= acceptPausedUntil_;
        if (listening) waits.push_back(pollfd{listener_.Get(), POLLIN, 0});
        bool listeningIcs = listening && icsListener_.Valid();
        if (listeningIcs) waits.push_back(pollfd{icsListener_.Get(), POLLIN, 0});
        size_t firstReading = waits.size();
        Clock::time_point nextDeadline = now + std::chrono::seconds(1);
        for (const Reading& connection : reading_) {
            waits.push_back(pollfd{connection.socket.Get(), POLLIN, 0});
            nextDeadline = std::min(nextDeadline, connection.deadline);
        }
        size_t firstWriting = waits.size();
        for (const Writing& writing : writing_) {
            waits.push_back(pollfd{writing.socket.Get(), POLLOUT, 0});
            nextDeadline = std::min(nextDeadline, writing.stallDeadline);
        }
        size_t firstLingering = waits.size();
        for (const Lingering& closing : lingering_) {
            waits.push_back(pollfd{closing.socket.Get(), POLLIN, 0});
            nextDeadline = std::min(nextDeadline, closing.deadline);
        }
        if (!listening && listener_.Valid()) nextDeadline = std::min(nextDeadline, acceptPausedUntil_);

        int ready = ::poll(waits.data(), waits.size(), MillisUntil(nextDeadline, now));
        if (ready < 0 && errno != EINTR) {
            RequestLog::Note(std::string("poll failed: ") + std::strerror(errno));
            break;
        }
        now = Clock::now();
        if (ready > 0) {
            if (waits[0].revents != 0) {
                char drain[64];
                while (::read(wakeRead_.Get(), drain, sizeof drain) > 0) {
                }
            }
            // Lingering sockets: discard what arrives, close at end of stream.
            for (size_t i = lingering_.size(); i-- > 0;) {
                if (waits[firstLingering + i].revents == 0) continue;
                char sink[4096];
                ssize_t n = ::recv(lingering_[i].socket.Get(), sink, sizeof sink, 0);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                    lingering_.erase(lingering_.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
            // Replies on their way, from the back so erasing keeps indexes valid.
            for (size_t i = writing_.size(); i-- > 0;) {
                if (waits[firstWriting + i].revents == 0) continue;
                if (SendMore(writing_[i], now)) continue;
                Writing done = std::move(writing_[i]);
                writing_.erase(writing_.begin() + static_cast<std::ptrdiff_t>(i));
                FinishWriting(std::move(done), now);
            }
            // Reading connections, from the back so erasing keeps indexes valid.
            for (size_t i = reading_.size(); i-- > 0;) {
                if (waits[firstReading + i].revents != 0) ReadFrom(i, now);
            }
            if (listening && waits[1].revents != 0) AcceptAll(listener_, false, now);
            if (listeningIcs && waits[2].revents != 0) AcceptAll(icsListener_, true, now);
        }
        CollectFinished(now);
        ExpireDeadlines(now);
    }

    {
        std::lock_guard<std::mutex> lock(jobsMutex_);
        workersStop_ = true;
    }
    jobsReady_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
    signalWakeFd = -1;
}

void CalendarServer::BeginStop(Clock::time_point now) {
    stopping_ = true;
    stopWork_ = true;
    listener_.Reset();
    icsListener_.Reset();
    RequestLog::Note("stopping: no new connections, finishing the requests in flight");
    // Clients still sending get a short while to finish their line, and
    // those still taking a reply a short while to finish taking it.
    const Clock::time_point last = now + std::chrono::seconds(2);
    for (Reading& connection : reading_) connection.deadline = std::min(connection.deadline, last);
    for (Writing& writing : writing_) writing.stallDeadline = std::min(writing.stallDeadline, last);
    for (Lingering& closing : lingering_) closing.deadline = std::min(closing.deadline, last);
}

void CalendarServer::AcceptAll(const UniqueFd& listener, bool http, Clock::time_point now) {
    for (;;) {
        sockaddr_storage peer{};
        socklen_t peerLength = sizeof peer;
        int fd = ::accept4(listener.Get(), reinterpret_cast<sockaddr*>(&peer), &peerLength,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors: let closing sockets go before trying again.
                acceptPausedUntil_ = now + std::chrono::milliseconds(100);
                RequestLog::Note(std::string("accept paused: ") + std::strerror(errno));
            }
            return;
        }
        UniqueFd socket(fd);
        IpAddress address = IpAddress::FromSockaddr(peer);
        std::string client = address.ToString();
        if (!options_.allowList.Allows(address)) {
            RefuseEarly(std::move(socket), client, "-", kRefusedMessage, "refused(not-allowed)", now, now, http);
            continue;
        }
        if (reading_.size() + inFlight_ + writing_.size() >= options_.maxConnections) {
            RefuseEarly(std::move(socket), client, "-", kBusyMessage, "refused(busy)", now, now, http);
            continue;
        }
        size_t& fromAddress = perAddress_[client];
        if (fromAddress >= options_.maxPerAddress) {
            RefuseEarly(std::move(socket), client, "-", kAddressBusyMessage, "refused(busy-address)", now, now, http);
            continue;
        }
        ++fromAddress;
        reading_.push_back(Reading{std::move(socket), client, std::string(), now, now + options_.requestTimeout, http});
    }
}

bool CalendarServer::ReadFrom(size_t index, Clock::time_point now) {
    Reading& connection = reading_[index];
    char buffer[8192];
    // Read at most what the longest line with its line end needs.
    size_t most = connection.http ? kMaxHttpHead + 4 : kMaxRequestLine + 2;
    size_t room = most - std::min(connection.received.size(), most);
    ssize_t n = ::recv(connection.socket.Get(), buffer, std::min(sizeof buffer, std::max<size_t>(room, 1)), 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;

    auto leave = [&]() {
        Reading gone = std::move(reading_[index]);
        reading_.erase(reading_.begin() + static_cast<std::ptrdiff_t>(index));
        return gone;
    };
    // Every way out but a complete request ends the connection.
    auto end = [&]() {
        Reading gone = leave();
        Release(gone.client);
        return gone;
    };
    if (n < 0) {
        Reading gone = end();
        RequestLog::Write(gone.client, RequestKindForLog(gone.received), 0, now - gone.started,
                          std::string("dropped(") + std::strerror(errno) + ")");
        return false;
    }
    if (n == 0) {
        Reading gone = end();
        if (gone.received.empty()) {
            RequestLog::Write(gone.client, "-", 0, now - gone.started, "dropped(closed without request)");
        } else {
            // The client stopped sending mid-line but may still be reading.
            std::string kind = RequestKindForLog(gone.received);
            RefuseEarly(std::move(gone.socket), gone.client, kind, kTruncatedMessage, "error(truncated)",
                        gone.started, now, gone.http);
        }
        return false;
    }
    connection.received.append(buffer, static_cast<size_t>(n));
    Frame frame = connection.http ? FindHttpHead(connection.received) : FindRequestLine(connection.received);
    if (frame.status == FrameStatus::NeedMore) return true;
    Reading done = frame.status == FrameStatus::TooLong ? end() : leave();
    if (frame.status == FrameStatus::TooLong) {
        RefuseEarly(std::move(done.socket), done.client, RequestKindForLog(done.received), kTooLongMessage,
                    "error(line-too-long)", done.started, now, done.http);
        return false;
    }
    done.received.resize(frame.lineLength);
    if (done.http) {
        Dispatch(Job{std::move(done.socket), std::move(done.client), std::move(done.received), done.started, true});
        return false;
    }
    if (done.received == "HELLO RDZVP/0.0") {
        // The server check needs no database: answered here, it never
        // waits behind the workers' requests.
        static const ReplyBytes helloReply{std::string(kSuccessStatusLine)};
        Writing writing;
        writing.socket = std::move(done.socket);
        writing.client = std::move(done.client);
        writing.kind = "HELLO";
        writing.result = "ok";
        writing.reply = helloReply;
        writing.started = done.started;
        ++inFlight_;  // StartWriting counts it back
        StartWriting(std::move(writing), now);
        return false;
    }
    Dispatch(Job{std::move(done.socket), std::move(done.client), std::move(done.received), done.started});
    return false;
}

void CalendarServer::ExpireDeadlines(Clock::time_point now) {
    for (size_t i = reading_.size(); i-- > 0;) {
        if (reading_[i].deadline > now) continue;
        Reading late = std::move(reading_[i]);
        reading_.erase(reading_.begin() + static_cast<std::ptrdiff_t>(i));
        Release(late.client);
        RefuseEarly(std::move(late.socket), late.client, RequestKindForLog(late.received),
                    stopping_ ? kStoppingMessage : kTimeoutMessage, "error(timeout)", late.started, now, late.http);
    }
    for (size_t i = writing_.size(); i-- > 0;) {
        Writing& writing = writing_[i];
        if (writing.stallDeadline > now) continue;
        // The server had nothing to send; has the client taken anything?
        int queued = QueuedBytes(writing.socket.Get());
        if (queued < writing.queued && !stopping_) {
            writing.queued = queued;
            writing.stallDeadline = now + options_.replyStallTimeout;
            continue;
        }
        Writing late = std::move(writing);
        writing_.erase(writing_.begin() + static_cast<std::ptrdiff_t>(i));
        FinishWriting(std::move(late), now);
    }
    for (size_t i = lingering_.size(); i-- > 0;) {
        Lingering& closing = lingering_[i];
        if (closing.deadline > now) continue;
        int queued = QueuedBytes(closing.socket.Get());
        if (queued > 0 && queued < closing.queued && !stopping_) {
            closing.queued = queued;
            closing.deadline = now + options_.replyStallTimeout;
            continue;
        }
        Lingering done = std::move(closing);
        lingering_.erase(lingering_.begin() + static_cast<std::ptrdiff_t>(i));
        if (queued > 0) {
            RequestLog::Note("reply cut off in the send queue: client stopped reading; connection reset");
            Reset(std::move(done.socket));
        }
    }
}

void CalendarServer::Reset(UniqueFd socket) {
    linger abortive{1, 0};
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    socket.Reset();
}

void CalendarServer::RefuseEarly(UniqueFd socket, const std::string& client, std::string_view kind,
                                 std::string_view message, std::string_view result, Clock::time_point started,
                                 Clock::time_point now, bool http) {
    std::string reply = http ? HttpErrorResponse(HttpStatusOf(message), message) : ErrorReply(message);
    // The reply is small and the socket's buffer empty: one send takes it.
    ssize_t n = ::send(socket.Get(), reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    RequestLog::Write(client, kind, n > 0 ? static_cast<size_t>(n) : 0, now - started, result);
    ::shutdown(socket.Get(), SHUT_WR);
    StartLinger(std::move(socket), now);
}

void CalendarServer::StartLinger(UniqueFd socket, Clock::time_point now) {
    // Bounded like the live connections; past that the socket just closes.
    if (lingering_.size() >= options_.maxConnections * 2) return;
    // While the client still has bytes of the reply to take, it gets the
    // stall limit to make progress, as while the reply was being written.
    int queued = QueuedBytes(socket.Get());
    auto wait = queued > 0 && !stopping_ ? std::max(options_.lingerTime, options_.replyStallTimeout) : options_.lingerTime;
    lingering_.push_back(Lingering{std::move(socket), now + wait, queued});
}

void CalendarServer::Dispatch(Job job) {
    ++inFlight_;
    {
        std::lock_guard<std::mutex> lock(jobsMutex_);
        jobs_.push_back(std::move(job));
    }
    jobsReady_.notify_one();
}

void CalendarServer::CollectFinished(Clock::time_point now) {
    std::vector<Writing> finished;
    {
        std::lock_guard<std::mutex> lock(finishedMutex_);
        finished.swap(finished_);
    }
    for (Writing& writing : finished) StartWriting(std::move(writing), now);
}

void CalendarServer::StartWriting(Writing writing, Clock::time_point now) {
    --inFlight_;
    writing.stallDeadline = now + options_.replyStallTimeout;
    if (writing.waiting && SendMore(writing, now)) {
        writing_.push_back(std::move(writing));
    } else {
        FinishWriting(std::move(writing), now);
    }
}

bool CalendarServer::SendMore(Writing& writing, Clock::time_point now) {
    size_t before = writing.sent;
    // A turn of the loop sends a bounded share of each reply, so accepting
    // and answering cheap requests never waits long behind large replies.
    constexpr size_t kBytesPerTurn = 256 * 1024;
    bool waiting = SendWithoutWaiting(writing, kBytesPerTurn);
    if (writing.sent > before) writing.stallDeadline = now + options_.replyStallTimeout;
    writing.queued = QueuedBytes(writing.socket.Get());
    return waiting;
}

bool CalendarServer::SendWithoutWaiting(Writing& writing, size_t limit) {
    std::string_view reply = writing.reply.View();
    size_t until = writing.sent + std::min(limit, reply.size() - writing.sent);
    while (writing.sent < reply.size()) {
        if (writing.sent >= until) {
            writing.waiting = true;  // more to send at the next turn
            return true;
        }
        ssize_t n = ::send(writing.socket.Get(), reply.data() + writing.sent, until - writing.sent,
                           MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            writing.sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // The client's buffer is full: wait for room. Anything else ends it.
        writing.waiting = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        return writing.waiting;
    }
    writing.waiting = false;
    return false;
}

void CalendarServer::Release(const std::string& client) {
    auto found = perAddress_.find(client);
    if (found == perAddress_.end()) return;
    if (--found->second == 0) perAddress_.erase(found);
}

void CalendarServer::FinishWriting(Writing writing, Clock::time_point now) {
    Release(writing.client);
    std::string result = std::move(writing.result);
    if (writing.sent < writing.reply.Size()) {
        result += " (reply cut off: client stopped reading; connection reset)";
        RequestLog::Write(writing.client, writing.kind, writing.sent, now - writing.started, result);
        Reset(std::move(writing.socket));
        return;
    }
    RequestLog::Write(writing.client, writing.kind, writing.sent, now - writing.started, result);
    ::shutdown(writing.socket.Get(), SHUT_WR);
    StartLinger(std::move(writing.socket), now);
}

void CalendarServer::WorkerMain() {
    std::unique_ptr<CalendarStore> store;
    try {
        store = OpenCalendarStore(options_.databasePath);
    } catch (const std::exception& error) {
        RequestLog::Note(std::string("worker cannot open the database: ") + error.what());
    }
    std::unique_ptr<RequestHandler> handler =
        store ? std::make_unique<RequestHandler>(*store, cache_, replyMemory_) : nullptr;
    std::unique_ptr<IcsFeed> feed =
        store ? std::make_unique<IcsFeed>(*store, icsCache_, replyMemory_, options_.icsInfo) : nullptr;
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(jobsMutex_);
            jobsReady_.wait(lock, [this] { return workersStop_ || !jobs_.empty(); });
            if (jobs_.empty()) return;  // stopping and nothing left
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        if (!handler && job.http) {
            HandOver(job, "HTTP", "error(no-database)", ReplyBytes(HttpErrorResponse(503, "no database")));
            continue;
        }
        if (!handler) {
            HandOver(job, RequestKindForLog(job.line), "error(no-database)",
                     ReplyBytes(ErrorReply("サーバーのデータベースを開けません。管理者に連絡してください")));
            continue;
        }
        // A client that has reset the connection gets no reply built.
        pollfd gone{job.socket.Get(), POLLIN, 0};
        if (::poll(&gone, 1, 0) > 0 && (gone.revents & (POLLERR | POLLHUP)) != 0) {
            HandOver(job, RequestKindForLog(job.line), "dropped(client gone before the reply)", ReplyBytes());
            continue;
        }
        HandledRequest handled;
        try {
            handled = job.http ? feed->Handle(job.line, Clock::now() + options_.queryTimeout, &stopWork_)
                               : handler->Handle(job.line, job.client, Clock::now() + options_.queryTimeout, &stopWork_);
        } catch (const std::exception& error) {
            // Nothing may end the worker: the client still gets an answer.
            RequestLog::Note(std::string("request failed: ") + error.what());
            handled.kind = job.http ? "HTTP" : RequestKindForLog(job.line);
            handled.result = "error(internal)";
            handled.reply = ReplyBytes(job.http ? HttpErrorResponse(500, "internal error")
                                                : ErrorReply("サーバー内部のエラーです。しばらくしてからやり直してください"));
        }
        HandOver(job, std::move(handled.kind), std::move(handled.result), std::move(handled.reply));
    }
}

void CalendarServer::HandOver(Job& job, std::string kind, std::string result, ReplyBytes reply) {
    Writing writing;
    writing.socket = std::move(job.socket);
    writing.client = std::move(job.client);
    writing.kind = std::move(kind);
    writing.result = std::move(result);
    writing.reply = std::move(reply);
    writing.started = job.started;
    // Most replies fit the socket's buffer: the worker sends what goes out
    // at once, and the event loop takes over only a reply the client is slow
    // to take.
    SendWithoutWaiting(writing);
    writing.queued = QueuedBytes(writing.socket.Get());
    {
        std::lock_guard<std::mutex> lock(finishedMutex_);
        finished_.push_back(std::move(writing));
    }
    char byte = 'f';
    ssize_t ignored = ::write(wakeWrite_.Get(), &byte, 1);
    (void)ignored;
}
