// The calendar server on loopback, each figure next to the same client
// against a bare peer that accepts, reads the request line, writes a canned
// reply of the same size and closes. The ratio of the two is the server's
// own cost: storage, formatting and its network loop.
//
//   GET 1 of 100,000 schedules
//   sequential SETs (each a durable transaction: WAL, synchronous=FULL)
//   HELLO from 8 concurrent clients
#include "protocol/Records.h"
#include "protocol/WireFormat.h"
#include "server/CalendarStore.h"
#include "server/DateKey.h"
#include "tests/server/ServerHarness.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
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
    std::unique_ptr<BarePeer> peer;
    int genreId = 0;
    size_t getReplyBytes = 0;
};

Setup* setup = nullptr;

std::string SeedDatabase(const std::string& path, int schedules, int& genreId) {
    CalendarStore store(path);
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
    setup->readServer = std::make_unique<ServerProcess>(std::vector<std::string>{"--threads", "4"}, readPath);
    setup->writeServer = std::make_unique<ServerProcess>(std::vector<std::string>{"--threads", "4"}, writePath);
    std::string getReply = Exchange(setup->readServer->Port(), BuildGetLine(1, ""));
    setup->getReplyBytes = getReply.size();
    setup->peer = std::make_unique<BarePeer>(getReply, "+OK RDZVP/0.0\r\n");
}

// range(0): 1 = the calendar server, 0 = the bare peer.
int PortFor(const benchmark::State& state, bool writes) {
    if (state.range(0) == 0) return setup->peer->Port();
    return writes ? setup->writeServer->Port() : setup->readServer->Port();
}

void GetAllSchedules(benchmark::State& state) {
    const std::string line = BuildGetLine(1, "");
    size_t bytes = 0;
    for (auto _ : state) {
        std::string reply = Exchange(PortFor(state, false), line);
        if (reply.size() != setup->getReplyBytes) state.SkipWithError("short reply");
        bytes += reply.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["records"] = kScheduleCount;
    state.SetLabel(state.range(0) ? "calendar-server" : "bare peer");
}
BENCHMARK(GetAllSchedules)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void SequentialSets(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        std::string line = ScheduleSetLine(OP_ADD, 20270101 + i % 28, 0, "bench " + std::to_string(i), setup->genreId);
        ++i;
        std::string reply = Exchange(PortFor(state, true), line);
        if (!IsSuccessReply(reply)) state.SkipWithError("SET failed");
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(state.range(0) ? "calendar-server" : "bare peer");
}
BENCHMARK(SequentialSets)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond)->UseRealTime();

void HelloFromEightClients(benchmark::State& state) {
    const std::string line = "HELLO RDZVP/0.0\r\n";
    for (auto _ : state) {
        std::string reply = Exchange(PortFor(state, false), line);
        if (!IsSuccessReply(reply)) state.SkipWithError("HELLO failed");
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(state.range(0) ? "calendar-server" : "bare peer");
}
BENCHMARK(HelloFromEightClients)->Arg(1)->Arg(0)->Threads(8)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Initialize();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    setup->readServer->Stop();
    setup->writeServer->Stop();
    delete setup;
    return 0;
}
