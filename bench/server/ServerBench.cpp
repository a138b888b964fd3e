// The calendar server on loopback, each figure next to the same client
// against a bare peer that accepts, reads the request line, writes a canned
// reply of the same size and closes. The ratio of the two is the server's
// own cost: storage, formatting and its network loop.
//
//   GET 1 of 100,000 schedules
//   sequential SETs (each a durable transaction: WAL, synchronous=FULL),
//   next to the disk's raw rate of appending 100 bytes and fdatasync
//   HELLO from 8 concurrent clients
//   HELLO latency while 8 clients loop on GET 1 of 100,000 schedules
//   peak server memory with 200 clients asking for GET 1 and never reading
//   the iCalendar feed: 200 subscribers polling an unchanged calendar (304)
//   next to HELLO from 200 clients, and the whole feed of 100,000
//   schedules next to GET 1 of the same data
//   a conditional change of a schedule (the revision loaded as one more
//   field) next to the plain change, alternating in one run
//   1,000 clients asking VERSIONS once every 30 s: the server process's CPU
//   time per request (from /proc), as a share of one core
//
// The first three run against both engines: a SQLite file, and a PostgreSQL
// database on a private cluster the benchmark starts (as the tests do). The
// SET rate of 1 and of 4 server processes sharing one database shows how
// writes scale across processes.
#include "bench/RowReporter.h"
#include "protocol/Records.h"
#include "protocol/WireFormat.h"
#include "server/CalendarStore.h"
#include "server/DateKey.h"
#include "tests/server/ServerHarness.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

constexpr int kScheduleCount = 100000;

// Accepts connections, reads each request line, answers with a canned reply
// chosen by the request's first byte and closes: the transport alone.
class BarePeer {
public:
    BarePeer(std::string getReply, std::string shortReply)
        : getReply_(std::move(getReply)), shortReply_(std::move(shortReply)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, SOMAXCONN) != 0) {
            throw std::runtime_error("bare peer cannot listen");
        }
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        for (int i = 0; i < 4; ++i) threads_.emplace_back([this] { Serve(); });
    }

    ~BarePeer() {
        stopping_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        for (std::thread& thread : threads_) thread.join();
        ::close(listener_);
    }

    int Port() const { return port_; }

private:
    void Serve() {
        while (!stopping_) {
            int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0) {
                if (stopping_) return;
                continue;
            }
            std::string line;
            char buffer[4096];
            while (line.find('\n') == std::string::npos) {
                ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                line.append(buffer, static_cast<size_t>(n));
            }
            const std::string& reply = line.compare(0, 3, "GET") == 0 ? getReply_ : shortReply_;
            size_t sent = 0;
            while (sent < reply.size()) {
                ssize_t n = ::send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<size_t>(n);
            }
            ::shutdown(fd, SHUT_WR);
            while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
            }
            ::close(fd);
        }
    }

    std::string getReply_;
    std::string shortReply_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::vector<std::thread> threads_;
};

// The servers and the peer, set up once for all benchmarks.
struct Setup {
    std::unique_ptr<ServerProcess> readServer;   // 100,000 schedules
    std::unique_ptr<ServerProcess> writeServer;  // takes the SETs
    std::unique_ptr<TempDir> postgresFolder;
    std::string postgresWrite;                       // the write database's URI
    std::unique_ptr<ServerProcess> postgresRead;     // 100,000 schedules
    std::unique_ptr<ServerProcess> postgresWriter;   // takes the SETs
    std::unique_ptr<BarePeer> peer;
    std::unique_ptr<ServerProcess> feedServer;  // 100,000 schedules, with the feed
    int feedPort = 0;
    std::string feedTag;
    size_t feedBytes = 0;
    double feedBuildMs = 0;  // the first request: the feed built from the database
    int genreId = 0;
    size_t getReplyBytes = 0;          // from SQLite (and the bare peer)
    size_t postgresGetReplyBytes = 0;  // the same records; the version on its status line has its own digits
};

Setup* setup = nullptr;

// A loopback port free at the moment.
int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::string SeedDatabase(const std::string& path, int schedules, int& genreId) {
    std::unique_ptr<CalendarStore> opened = OpenCalendarStore(path);
    CalendarStore& store = *opened;
    ChangeStamp stamp = StampNow("192.168.10.21");
    int32_t category = store.AddCategory("業務", "業務", stamp);
    genreId = store.AddGenre(category, "会議", "会議", stamp);
    static const char* const texts[] = {"定例会議 10:30 第二会議室", "Weekly sync with the design team",
                                        "出張（大阪）新幹線 のぞみ 7:03発", "締切: 月次報告書 100% 提出",
                                        "歯医者 15:00", "Release 2.4 + hotfix review"};
    std::vector<ScheduleRow> rows;
    for (int i = 0; i < schedules; ++i) {
        CivilDate day = AddDays(CivilDate{2026, 1, 1}, i % 730);
        rows.push_back(ScheduleRow{ToDateKey(day), texts[i % 6], genreId});
    }
    store.ImportSchedules(rows, stamp);
    return path;
}

void Initialize() {
    setup = new Setup;
    // On the build tree's disk, not a memory file system, so durability costs what it costs.
    std::string readPath = std::string(BENCH_DATA_DIR) + "/bench-read.db";
    std::string writePath = std::string(BENCH_DATA_DIR) + "/bench-write.db";
    for (const std::string& path : {readPath, writePath}) {
        for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((path + suffix).c_str());
    }
    int ignored = 0;
    SeedDatabase(readPath, kScheduleCount, ignored);
    SeedDatabase(writePath, 0, setup->genreId);
    setup->readServer = std::make_unique<ServerProcess>(
        std::vector<std::string>{"--threads", "4", "--max-per-address", "256"}, readPath);
    setup->writeServer = std::make_unique<ServerProcess>(std::vector<std::string>{"--threads", "4"}, writePath);

    std::string cluster = std::string(BENCH_DATA_DIR) + "/postgres-cluster";
    std::string start = std::string(RDZ_SOURCE_DIR) + "/scripts/postgres-test-cluster.sh start " + cluster;
    if (std::system(start.c_str()) != 0) throw std::runtime_error("cannot start the PostgreSQL cluster");
    ::setenv("CALENDAR_TEST_POSTGRES", (cluster + "/uri").c_str(), 1);
    setup->postgresFolder = std::make_unique<TempDir>();
    std::string postgresRead = SeedDatabase(FreshDatabase(*setup->postgresFolder), kScheduleCount, ignored);
    setup->postgresWrite = SeedDatabase(FreshDatabase(*setup->postgresFolder), 0, ignored);
    setup->postgresRead = std::make_unique<ServerProcess>(
        std::vector<std::string>{"--threads", "4", "--max-per-address", "256"}, postgresRead);
    setup->postgresWriter =
        std::make_unique<ServerProcess>(std::vector<std::string>{"--threads", "4"}, setup->postgresWrite);
    std::string getReply = Exchange(setup->readServer->Port(), BuildGetLine(1, ""));
    setup->getReplyBytes = getReply.size();
    // Same records, same stamp widths: the same record lines from either
    // engine (each counts its own version).
    std::string postgresReply = Exchange(setup->postgresRead->Port(), BuildGetLine(1, ""));
    setup->postgresGetReplyBytes = postgresReply.size();
    if (postgresReply.size() - postgresReply.find("\r\n") != getReply.size() - getReply.find("\r\n")) {
        throw std::runtime_error("the engines' GET 1 replies differ");
    }
    setup->peer = std::make_unique<BarePeer>(getReply, "+OK RDZVP/0.0\r\n");

    setup->feedPort = FreePort();
    setup->feedServer = std::make_unique<ServerProcess>(
        std::vector<std::string>{"--threads", "4", "--max-per-address", "256", "--ics-listen",
                                 "127.0.0.1:" + std::to_string(setup->feedPort)},
        readPath);
    auto building = std::chrono::steady_clock::now();
    std::string feed = Exchange(setup->feedPort, "GET /calendar.ics HTTP/1.1\r\n\r\n");
    setup->feedBuildMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - building).count();
    size_t tagAt = feed.find("\r\nETag: ");
    if (feed.compare(0, 15, "HTTP/1.1 200 OK") != 0 || tagAt == std::string::npos) {
        throw std::runtime_error("the feed does not answer");
    }
    setup->feedTag = feed.substr(tagAt + 8, feed.find("\r\n", tagAt + 8) - tagAt - 8);
    setup->feedBytes = feed.size();
}

// range(0): 1 = the calendar server on SQLite, 2 = on PostgreSQL, 0 = the
// bare peer.
int PortFor(const benchmark::State& state, bool writes) {
    if (state.range(0) == 0) return setup->peer->Port();
    if (state.range(0) == 2) return writes ? setup->postgresWriter->Port() : setup->postgresRead->Port();
    return writes ? setup->writeServer->Port() : setup->readServer->Port();
}

const char* LabelOf(const benchmark::State& state) {
    switch (state.range(0)) {
    case 0: return "bare peer";
    case 1: return "calendar-server, SQLite";
    default: return "calendar-server, PostgreSQL";
    }
}

// The size of a whole GET 1 reply from the server PortFor names.
size_t GetReplyBytes(const benchmark::State& state) {
    return state.range(0) == 2 ? setup->postgresGetReplyBytes : setup->getReplyBytes;
}

void GetAllSchedules(benchmark::State& state) {
    const std::string line = BuildGetLine(1, "");
    size_t bytes = 0;
    for (auto _ : state) {
        std::string reply = Exchange(PortFor(state, false), line);
        if (reply.size() != GetReplyBytes(state)) state.SkipWithError("short reply");
        bytes += reply.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["records"] = kScheduleCount;
    state.SetLabel(LabelOf(state));
}
BENCHMARK(GetAllSchedules)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void SequentialSets(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        std::string line = ScheduleSetLine(OP_ADD, 20270101 + i % 28, 0, "bench " + std::to_string(i), setup->genreId);
        ++i;
        std::string reply = Exchange(PortFor(state, true), line);
        if (!IsSuccessReply(reply)) state.SkipWithError("SET failed");
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(LabelOf(state));
}
BENCHMARK(SequentialSets)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMicrosecond)->UseRealTime();

void HelloFromEightClients(benchmark::State& state) {
    const std::string line = "HELLO RDZVP/0.0\r\n";
    for (auto _ : state) {
        std::string reply = Exchange(PortFor(state, false), line);
        if (!IsSuccessReply(reply)) state.SkipWithError("HELLO failed");
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(LabelOf(state));
}
BENCHMARK(HelloFromEightClients)->Arg(1)->Arg(2)->Arg(0)->Threads(8)->Unit(benchmark::kMicrosecond)->UseRealTime();

// 200 subscribers at once against the server with the feed: range(0) 1 =
// polls of the unchanged calendar with If-None-Match (each a 304), 0 =
// HELLO on the calendar protocol, for reference.
void PollsFrom200Subscribers(benchmark::State& state) {
    const std::string poll =
        "GET /calendar.ics HTTP/1.1\r\nHost: localhost\r\nIf-None-Match: " + setup->feedTag + "\r\n\r\n";
    for (auto _ : state) {
        if (state.range(0) == 1) {
            if (Exchange(setup->feedPort, poll).compare(0, 12, "HTTP/1.1 304") != 0) state.SkipWithError("no 304");
        } else if (!IsSuccessReply(Exchange(setup->feedServer->Port(), "HELLO RDZVP/0.0\r\n"))) {
            state.SkipWithError("HELLO failed");
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(state.range(0) == 1 ? "304 polls" : "HELLO");
}
BENCHMARK(PollsFrom200Subscribers)->Arg(1)->Arg(0)->Threads(200)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The whole feed (the shared text, built once per data-set version), next
// to GetAllSchedules/1 of the same 100,000 schedules; range(0) 1 = asked
// for gzip, as subscribers' programs do, 0 = plain.
void WholeFeed(benchmark::State& state) {
    std::string get = "GET /calendar.ics HTTP/1.1\r\nHost: localhost\r\n";
    if (state.range(0) == 1) get += "Accept-Encoding: gzip\r\n";
    get += "\r\n";
    size_t bytes = 0;
    for (auto _ : state) {
        std::string response = Exchange(setup->feedPort, get);
        if (response.compare(0, 15, "HTTP/1.1 200 OK") != 0) state.SkipWithError("no feed");
        bytes += response.size();
    }
    state.counters["response_MB"] = static_cast<double>(bytes) / static_cast<double>(state.iterations()) / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.SetLabel(state.range(0) == 1 ? "gzip" : "plain");
}
BENCHMARK(WholeFeed)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

double Median(std::vector<double> values);

// One schedule changed over and over through the write server of range(0)
// (1 = SQLite, 2 = PostgreSQL), each iteration once with the plain SET and
// once with the conditional one carrying the revision it must still have;
// the medians of each kind, from the same run and disk.
void ConditionalAndPlainChanges(benchmark::State& state) {
    const int port = PortFor(state, true);
    static int scheduleIds[3] = {0, 0, 0};
    static int revisions[3] = {0, 0, 0};
    const size_t engine = static_cast<size_t>(state.range(0));
    if (scheduleIds[engine] == 0) {
        const std::string text = "changed by the benchmark";
        if (!IsSuccessReply(Exchange(port, ScheduleSetLine(OP_ADD, 20290101, 0, text, setup->genreId)))) {
            state.SkipWithError("cannot add the schedule");
            return;
        }
        for (const std::string& line : RecordLines(Exchange(port, BuildGetLine(1, "")))) {
            if (RecordFields(line).Text(3) != Escape(text)) continue;
            scheduleIds[engine] = RecordFields(line).Int(2);
            revisions[engine] = RecordFields(line).Int(5);
        }
    }
    std::vector<double> plain, conditional;
    int i = 0;
    for (auto _ : state) {
        for (bool checked : {false, true}) {
            std::string line = ScheduleSetLine(OP_CHANGE, 20290101, scheduleIds[engine], "change " + std::to_string(i++),
                                               setup->genreId);
            if (checked) line = WithRevision(line, revisions[engine]);
            auto started = std::chrono::steady_clock::now();
            std::string reply = Exchange(port, line);
            double micros = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - started).count();
            if (!IsSuccessReply(reply)) {
                state.SkipWithError("a change was refused");
                return;
            }
            ++revisions[engine];
            (checked ? conditional : plain).push_back(micros);
        }
    }
    state.counters["plain_us"] = Median(plain);
    state.counters["conditional_us"] = Median(conditional);
    state.SetItemsProcessed(2 * state.iterations());
    state.SetLabel(LabelOf(state));
}
BENCHMARK(ConditionalAndPlainChanges)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond)->UseRealTime();

// CPU time (user and system, all threads) a process has used so far, in
// seconds, from /proc/<pid>/stat.
double CpuSeconds(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    size_t end = stat.rfind(')');
    if (end == std::string::npos) return -1;
    // After the command's ")": state is field 3, utime 14, stime 15.
    std::vector<std::string> fields;
    size_t pos = end + 2;
    while (pos < stat.size() && fields.size() < 13) {
        size_t space = stat.find(' ', pos);
        fields.push_back(stat.substr(pos, space - pos));
        pos = space == std::string::npos ? stat.size() : space + 1;
    }
    if (fields.size() < 13) return -1;
    return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// 1,000 simulated clients, each asking once a round (a client of the
// change notice asks once every 30 s), 30 rounds, from 50 threads; a fresh
// server of range(0)'s engine (1 = SQLite, 2 = PostgreSQL) on the 100,000
// schedules, so its CPU time is theirs alone. range(1): 1 = VERSIONS, 0 =
// HELLO (answered by the event loop) for reference.
void ThousandClientsPolling(benchmark::State& state) {
    constexpr int kClients = 1000;
    constexpr int kRounds = 30;
    constexpr int kThreads = 50;
    const std::string database = state.range(0) == 2 ? setup->postgresRead->DatabasePath()
                                                     : std::string(BENCH_DATA_DIR) + "/bench-read.db";
    const std::string request = state.range(1) == 1 ? "VERSIONS RDZVP/0.0\r\n" : "HELLO RDZVP/0.0\r\n";
    for (auto _ : state) {
        ServerProcess server({"--threads", "4", "--max-per-address", "256"}, database);
        if (!IsSuccessReply(Exchange(server.Port(), request))) {
            state.SkipWithError("no answer");
            break;
        }
        std::atomic<int> failures{0};
        double before = CpuSeconds(server.Pid());
        auto started = std::chrono::steady_clock::now();
        for (int round = 0; round < kRounds; ++round) {
            std::vector<std::thread> threads;
            for (int t = 0; t < kThreads; ++t) {
                threads.emplace_back([&] {
                    for (int client = 0; client < kClients / kThreads; ++client) {
                        if (!IsSuccessReply(Exchange(server.Port(), request))) ++failures;
                    }
                });
            }
            for (std::thread& thread : threads) thread.join();
        }
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        double cpu = CpuSeconds(server.Pid()) - before;
        server.Stop();
        if (failures.load() != 0) state.SkipWithError("a request failed");
        double perRequest = cpu / (kClients * kRounds);
        state.counters["cpu_us_per_request"] = perRequest * 1e6;
        state.counters["requests_per_s"] = kClients * kRounds / wall;
        // 1,000 clients every 30 s: 33.3 requests a second.
        state.counters["core_percent_1000_per_30s"] = 100.0 * perRequest * kClients / 30.0;
    }
    state.SetLabel(std::string(state.range(1) == 1 ? "VERSIONS, " : "HELLO, ") +
                   (state.range(0) == 2 ? "PostgreSQL" : "SQLite"));
}
BENCHMARK(ThousandClientsPolling)
    ->Args({1, 1})
    ->Args({1, 0})
    ->Args({2, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The disk's own rate for what a durable SET needs at least: append a
// small record to a file and fdatasync it.
void RawAppendAndFdatasync(benchmark::State& state) {
    std::string path = std::string(BENCH_DATA_DIR) + "/bench-fdatasync.bin";
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        state.SkipWithError("cannot open the file");
        return;
    }
    const std::string record(100, 'r');
    for (auto _ : state) {
        if (::write(fd, record.data(), record.size()) != static_cast<ssize_t>(record.size()) || ::fdatasync(fd) != 0) {
            state.SkipWithError("write or fdatasync failed");
            break;
        }
    }
    ::close(fd);
    ::unlink(path.c_str());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(RawAppendAndFdatasync)->Unit(benchmark::kMicrosecond)->UseRealTime();

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(fraction * values.size()))];
}

double Median(std::vector<double> values) {
    return Percentile(std::move(values), 0.5);
}

// The calendar protocol's clients while the feed is busy: 200 subscribers
// poll (304) and 2 fetch the whole plain feed in loops; each iteration is
// one HELLO on the protocol's port, timed.
void HelloWhileSubscribersPoll(benchmark::State& state) {
    std::atomic<bool> done{false};
    std::atomic<int> polls{0};
    std::atomic<int> wholeFeeds{0};
    std::vector<std::thread> subscribers;
    const std::string poll = "GET /calendar.ics HTTP/1.1\r\nIf-None-Match: " + setup->feedTag + "\r\n\r\n";
    for (int i = 0; i < 202; ++i) {
        subscribers.emplace_back([&, i] {
            std::string request = i < 200 ? poll : std::string("GET /calendar.ics HTTP/1.1\r\n\r\n");
            while (!done) {
                std::string response = Exchange(setup->feedPort, request);
                if (response.empty()) continue;
                ++polls;
                if (response.size() == setup->feedBytes) ++wholeFeeds;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<double> millis;
    for (auto _ : state) {
        auto started = std::chrono::steady_clock::now();
        std::string reply = Exchange(setup->feedServer->Port(), "HELLO RDZVP/0.0\r\n");
        millis.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count());
        if (!IsSuccessReply(reply)) state.SkipWithError("HELLO failed");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    done = true;
    for (std::thread& subscriber : subscribers) subscriber.join();
    state.counters["hello_p50_ms"] = Percentile(millis, 0.50);
    state.counters["hello_p99_ms"] = Percentile(millis, 0.99);
    state.counters["feed_requests"] = polls.load();
    state.counters["whole_feeds"] = wholeFeeds.load();
}
BENCHMARK(HelloWhileSubscribersPoll)->Iterations(400)->Unit(benchmark::kMillisecond)->UseRealTime();

// A cheap request while large ones are served: 8 clients loop on GET 1 of
// 100,000 schedules; each iteration is one HELLO, timed.
void HelloWhileEightClientsLoopOnGet(benchmark::State& state) {
    int port = PortFor(state, false);
    const size_t replyBytes = GetReplyBytes(state);
    std::atomic<bool> done{false};
    std::atomic<int> gets{0};
    std::vector<std::thread> loopers;
    for (int i = 0; i < 8; ++i) {
        loopers.emplace_back([&] {
            const std::string line = BuildGetLine(1, "");
            while (!done) {
                if (Exchange(port, line).size() == replyBytes) ++gets;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the loopers are at work
    std::vector<double> millis;
    for (auto _ : state) {
        auto started = std::chrono::steady_clock::now();
        std::string reply = Exchange(port, "HELLO RDZVP/0.0\r\n");
        millis.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count());
        if (!IsSuccessReply(reply)) state.SkipWithError("HELLO failed");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    done = true;
    for (std::thread& looper : loopers) looper.join();
    state.counters["hello_p50_ms"] = Percentile(millis, 0.50);
    state.counters["hello_p99_ms"] = Percentile(millis, 0.99);
    state.counters["hello_max_ms"] = Percentile(millis, 1.0);
    state.counters["gets_done"] = gets.load();
    state.SetLabel(LabelOf(state));
}
BENCHMARK(HelloWhileEightClientsLoopOnGet)->Arg(1)->Arg(0)->Iterations(400)->Unit(benchmark::kMillisecond)->UseRealTime();

// SETs from 8 concurrent clients spread over range(1) server processes
// sharing one database (range(0): 1 = SQLite, 2 = PostgreSQL), for three
// seconds; sets_per_s of 4 processes over that of 1 is the scaling.
void SetsFromServerProcesses(benchmark::State& state) {
    std::string database = state.range(0) == 2 ? setup->postgresWrite : std::string(BENCH_DATA_DIR) + "/bench-write.db";
    for (auto _ : state) {
        std::vector<std::unique_ptr<ServerProcess>> servers;
        for (int64_t i = 0; i < state.range(1); ++i) {
            servers.push_back(std::make_unique<ServerProcess>(std::vector<std::string>{"--threads", "4"}, database));
        }
        std::atomic<bool> done{false};
        std::atomic<int> sets{0};
        std::atomic<int> failures{0};
        std::vector<std::thread> clients;
        for (int client = 0; client < 8; ++client) {
            clients.emplace_back([&, client] {
                int port = servers[static_cast<size_t>(client) % servers.size()]->Port();
                for (int i = 0; !done; ++i) {
                    std::string line = ScheduleSetLine(OP_ADD, 20280101 + i % 28, 0, "bench " + std::to_string(i),
                                                       setup->genreId);
                    if (IsSuccessReply(Exchange(port, line))) {
                        ++sets;
                    } else {
                        ++failures;
                    }
                }
            });
        }
        std::this_thread::sleep_for(std::chrono::seconds(3));
        done = true;
        for (std::thread& client : clients) client.join();
        state.counters["sets_per_s"] = sets.load() / 3.0;
        if (failures.load() != 0) state.SkipWithError("a SET failed");
    }
    state.SetLabel(state.range(0) == 2 ? "PostgreSQL" : "SQLite");
}
BENCHMARK(SetsFromServerProcesses)
    ->Args({1, 1})
    ->Args({1, 4})
    ->Args({2, 1})
    ->Args({2, 4})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Peak resident memory of a process, from /proc.
double PeakMegabytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 6, "VmHWM:") == 0) return std::atof(line.c_str() + 6) / 1024.0;
    }
    return -1;
}

// 200 clients ask for GET 1 of 100,000 schedules and never read; a fresh
// server, so its peak memory is theirs. Bounded: 200 connections, a few
// seconds, loopback only.
void PeakMemoryWith200ClientsNotReading(benchmark::State& state) {
    std::string readPath = std::string(BENCH_DATA_DIR) + "/bench-read.db";
    for (auto _ : state) {
        ServerProcess server({"--threads", "4", "--max-per-address", "256", "--reply-timeout", "60"}, readPath);
        double before = PeakMegabytes(server.Pid());
        std::vector<std::unique_ptr<TestConnection>> clients;
        for (int i = 0; i < 200; ++i) {
            clients.push_back(std::make_unique<TestConnection>(server.Port()));
            clients.back()->Send(BuildGetLine(1, ""));
        }
        // Every client has its reply started (the first bytes wait unread).
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (auto& client : clients) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (!client->ReadableWithin(std::max(left, std::chrono::milliseconds(1)))) {
                state.SkipWithError("a reply did not start");
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
        state.counters["peak_MB"] = PeakMegabytes(server.Pid());
        state.counters["idle_peak_MB"] = before;
        clients.clear();
        server.Stop();
    }
}
BENCHMARK(PeakMemoryWith200ClientsNotReading)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

const char* Met(bool met) { return met ? "met" : "not met"; }

// The table rows, each figure next to its reference from the same run.
void PrintRows(const RowReporter& r) {
    std::printf("\n");
    double bareGet = r.Milliseconds("GetAllSchedules/0/");
    double sqliteGet = r.Milliseconds("GetAllSchedules/1/");
    double postgresGet = r.Milliseconds("GetAllSchedules/2/");
    std::string bareGetText = Format("bare peer: %.1f ms", bareGet);
    if (sqliteGet > 0 && bareGet > 0) {
        PrintRow(Format("server: GET 1 of %d schedules (%.1f MB reply), SQLite", kScheduleCount, setup->getReplyBytes / 1e6),
                 Format("%.1f ms", sqliteGet), bareGetText, Format("%.2fx the time", sqliteGet / bareGet),
                 Format("within 2x: %s", Met(sqliteGet <= 2 * bareGet)));
    }
    if (postgresGet > 0 && bareGet > 0) {
        PrintRow("server: GET 1, PostgreSQL", Format("%.1f ms", postgresGet), bareGetText,
                 Format("%.2fx the time", postgresGet / bareGet), Format("within 2x: %s", Met(postgresGet <= 2 * bareGet)));
    }
    double bareHello = r.Counter("HelloFromEightClients/0/", "items_per_second");
    for (int engine : {1, 2}) {
        double hello = r.Counter("HelloFromEightClients/" + std::to_string(engine) + "/", "items_per_second");
        if (hello <= 0 || bareHello <= 0) continue;
        PrintRow(Format("server: HELLO, 8 concurrent clients, %s", engine == 1 ? "SQLite" : "PostgreSQL"),
                 Format("%.0f/s", hello), Format("bare peer: %.0f/s", bareHello),
                 Format("%.0f %% of the rate", 100 * hello / bareHello), Format("80 %%: %s", Met(hello >= 0.8 * bareHello)));
    }
    double p99 = r.Counter("HelloWhileEightClientsLoopOnGet/1/", "hello_p99_ms");
    double bareP99 = r.Counter("HelloWhileEightClientsLoopOnGet/0/", "hello_p99_ms");
    if (p99 > 0) {
        PrintRow("server: HELLO while 8 clients loop on GET 1, SQLite",
                 Format("p50 %.1f ms, p99 %.1f ms", r.Counter("HelloWhileEightClientsLoopOnGet/1/", "hello_p50_ms"), p99),
                 Format("bare peer: p99 %.1f ms", bareP99), "-", Format("p99 within 50 ms: %s", Met(p99 <= 50)));
    }
    double raw = r.Counter("RawAppendAndFdatasync", "items_per_second");
    for (int engine : {1, 2}) {
        double sets = r.Counter("SequentialSets/" + std::to_string(engine) + "/", "items_per_second");
        if (sets <= 0 || raw <= 0) continue;
        PrintRow(Format("server: sequential durable SET 1, %s", engine == 1 ? "SQLite" : "PostgreSQL"),
                 Format("%.0f/s", sets), Format("append 100 bytes + fdatasync: %.0f/s", raw),
                 Format("%.0f %% of the rate", 100 * sets / raw),
                 engine == 1 ? Format("80 %%: %s", Met(sets >= 0.8 * raw)) : std::string("-"));
    }
    for (int engine : {1, 2}) {
        std::string prefix = "SetsFromServerProcesses/" + std::to_string(engine) + "/";
        double one = r.Counter(prefix + "1/", "sets_per_s");
        double four = r.Counter(prefix + "4/", "sets_per_s");
        if (one <= 0 || four <= 0) continue;
        PrintRow(Format("server: SET from 8 clients over 4 server processes, %s", engine == 1 ? "SQLite" : "PostgreSQL"),
                 Format("%.0f/s", four), Format("1 server process: %.0f/s", one), Format("%.2fx", four / one),
                 "- (writes take turns)");
    }
    double polls = r.Counter("PollsFrom200Subscribers/1/", "items_per_second");
    double hellos = r.Counter("PollsFrom200Subscribers/0/", "items_per_second");
    if (polls > 0 && hellos > 0) {
        PrintRow("server: iCalendar feed, 200 subscribers polling an unchanged calendar (304), SQLite",
                 Format("%.0f/s", polls), Format("HELLO from 200 clients: %.0f/s", hellos),
                 Format("%.2fx the HELLO rate", polls / hellos), Format("within 2x: %s", Met(polls * 2 >= hellos)));
    }
    if (setup->feedBuildMs > 0 && sqliteGet > 0) {
        PrintRow("server: first whole feed after a change (read and built, plain), SQLite",
                 Format("%.0f ms", setup->feedBuildMs), Format("GET 1 of the same: %.1f ms", sqliteGet),
                 Format("%.0fx the time", setup->feedBuildMs / sqliteGet), "- (once per change)");
    }
    for (int gzip : {1, 0}) {
        std::string name = "WholeFeed/" + std::to_string(gzip) + "/";
        double feed = r.Milliseconds(name);
        if (feed <= 0 || sqliteGet <= 0) continue;
        PrintRow(Format("server: whole iCalendar feed of %d schedules, %s (%.1f MB), SQLite", kScheduleCount,
                        gzip ? "gzip" : "plain", r.Counter(name, "response_MB")),
                 Format("%.1f ms", feed), Format("GET 1 of the same: %.1f ms", sqliteGet),
                 Format("%.2fx the time", feed / sqliteGet), Format("within 3x: %s", Met(feed <= 3 * sqliteGet)));
    }
    double feedP99 = r.Counter("HelloWhileSubscribersPoll", "hello_p99_ms");
    if (feedP99 > 0) {
        PrintRow("server: HELLO while 200 subscribers poll and 2 fetch the whole feed, SQLite",
                 Format("p50 %.1f ms, p99 %.1f ms", r.Counter("HelloWhileSubscribersPoll", "hello_p50_ms"), feedP99),
                 Format("HELLO while 8 clients loop on GET 1: p99 %.1f ms", p99), "-",
                 Format("p99 within 50 ms: %s", Met(feedP99 <= 50)));
    }
    for (int engine : {1, 2}) {
        std::string name = "ConditionalAndPlainChanges/" + std::to_string(engine) + "/";
        double plain = r.Counter(name, "plain_us");
        double conditional = r.Counter(name, "conditional_us");
        if (plain <= 0 || conditional <= 0) continue;
        PrintRow(Format("server: conditional SET 1 (change with its revision), %s", engine == 1 ? "SQLite" : "PostgreSQL"),
                 Format("%.2f ms", conditional / 1000), Format("plain change, same run: %.2f ms", plain / 1000),
                 Format("%.2fx the time", conditional / plain),
                 Format("at most 1.2x: %s", Met(conditional <= 1.2 * plain)));
    }
    double helloCpu = r.Counter("ThousandClientsPolling/1/0/", "cpu_us_per_request");
    for (int engine : {1, 2}) {
        std::string name = "ThousandClientsPolling/" + std::to_string(engine) + "/1/";
        double cpu = r.Counter(name, "cpu_us_per_request");
        if (cpu <= 0) continue;
        double share = r.Counter(name, "core_percent_1000_per_30s");
        PrintRow(Format("server: VERSIONS from 1000 clients every 30 s, %s", engine == 1 ? "SQLite" : "PostgreSQL"),
                 Format("%.3f %% of one core (%.0f us CPU a request)", share, cpu),
                 Format("HELLO, same way (SQLite): %.0f us CPU a request", helloCpu),
                 helloCpu > 0 ? Format("%.2fx HELLO's CPU", cpu / helloCpu) : std::string("-"),
                 Format("under 1 %%: %s", Met(share < 1)));
    }
    double peak = r.Counter("PeakMemoryWith200ClientsNotReading", "peak_MB");
    if (peak > 0) {
        PrintRow("server: peak memory, 200 clients ask for GET 1 and never read", Format("%.0f MB", peak),
                 Format("the same server idle: %.0f MB", r.Counter("PeakMemoryWith200ClientsNotReading", "idle_peak_MB")),
                 "-", Format("under 256 MB: %s", Met(peak < 256)));
    }
}

}  // namespace

int main(int argc, char** argv) {
    // The clients keep each whole reply in memory, as a calendar program
    // does. glibc maps every block over 32 MB afresh and unmaps it when
    // freed, so a 34 MB feed would pay for a new page fault every 4 KiB on
    // each request where a 10 MB GET 1 reuses its heap: freed memory is kept
    // for reuse at any size, and a reply's time is the transfer's.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Initialize();
    RowReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintRows(reporter);
    setup->readServer->Stop();
    setup->writeServer->Stop();
    setup->postgresRead->Stop();
    setup->postgresWriter->Stop();
    setup->feedServer->Stop();
    delete setup;
    std::string stop = std::string(RDZ_SOURCE_DIR) + "/scripts/postgres-test-cluster.sh stop " + BENCH_DATA_DIR +
                       "/postgres-cluster";
    return std::system(stop.c_str()) == 0 ? 0 : 1;
}
