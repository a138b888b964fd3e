// Loading 100,000 schedules from the real calendar server on loopback with
// the client's whole load sequence, next to a bare receive of the same GET 1
// reply through the same 255-byte reads; and the private memory the loaded
// records take. Runs under Wine (x86_64 build).
#include "protocol/ScheduleStore.h"
#include "protocol/WireFormat.h"
#include "settings/Settings.h"
#include "tests/support/CalendarServerProcess.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#ifndef RDZ_BENCH_SERVER
#error "RDZ_BENCH_SERVER must name the uninstrumented calendar-server program"
#endif
#ifndef RDZ_SEED_PROGRAM
#error "RDZ_SEED_PROGRAM must name the seed-schedules program"
#endif

namespace {

constexpr int kSchedules = 100000;
constexpr int kRounds = 7;

class BenchContext : public ServerContext {
public:
    explicit BenchContext(unsigned short port) {
        settings_.szAddress = "127.0.0.1";
        settings_.dwPortNo = port;
    }
    const Settings& ServerSettings() const override { return settings_; }
    HWND MessageOwner() const override { return nullptr; }

private:
    Settings settings_;
};

double Milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Committed private memory of the process, summed over its address space
// (Wine does not report PrivateUsage).
SIZE_T PrivateBytes() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* address = nullptr;
         VirtualQuery(address, &region, sizeof region) == sizeof region;
         address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        if (region.RegionSize == 0) break;
    }
    return total;
}

// The transport alone: one connection, the GET 1 line, the reply read to
// the end in 255-byte reads.
size_t BareReceive(unsigned short port) {
    TcpSocket socket;
    socket.Open(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address;
    ZeroMemory(&address, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    if (socket.Connect(reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 0;
    socket.SendText(BuildGetLine(DATASET_SCHEDULES, ""), 0);
    size_t size = socket.ReceiveAll().size();
    socket.Close();
    return size;
}

}  // namespace

int main() {
    const std::string database = std::string(RDZ_TEST_TMP) + "/load-bench.db";
    const std::string seed = "rm -f " + ShellQuote(database) + "* && mkdir -p " + ShellQuote(RDZ_TEST_TMP) + " && " +
                             ShellQuote(RDZ_SEED_PROGRAM) + " " + ShellQuote(database) + " " +
                             std::to_string(kSchedules);
    if (!RunShell(seed, 300000)) {
        std::printf("seeding failed\n");
        return 1;
    }
    CalendarServerProcess server(RDZ_BENCH_SERVER, database);
    if (server.Port() == 0) {
        std::printf("calendar server did not start\n");
        return 1;
    }
    BenchContext context(server.Port());

    // Warm both paths (server page cache, connections) once.
    size_t replyBytes = BareReceive(server.Port());
    SIZE_T before = PrivateBytes();
    auto store = std::make_unique<ScheduleStore>(context);
    store->RunLoad(kLoadEverything, nullptr);
    SIZE_T after = PrivateBytes();
    size_t loaded = store->schedules.records.size();

    std::vector<double> bare;
    std::vector<double> load;
    for (int round = 0; round < kRounds; ++round) {
        auto t0 = std::chrono::steady_clock::now();
        BareReceive(server.Port());
        auto t1 = std::chrono::steady_clock::now();
        store->RunLoad(kLoadEverything, nullptr);
        auto t2 = std::chrono::steady_clock::now();
        bare.push_back(Milliseconds(t1 - t0));
        load.push_back(Milliseconds(t2 - t1));
    }

    double bareMs = Median(bare);
    double loadMs = Median(load);
    double recordBytes = static_cast<double>(kSchedules) * sizeof(ScheduleRecord);
    double growth = static_cast<double>(after) - static_cast<double>(before);
    std::printf("schedules loaded:            %zu (reply %.1f MB)\n", loaded, replyBytes / 1e6);
    std::printf("bare receive of GET 1:       %.1f ms (median of %d)\n", bareMs, kRounds);
    std::printf("RunLoad(0xFFFF):             %.1f ms (median of %d)\n", loadMs, kRounds);
    std::printf("load / bare receive:         %.2f (goal <= 1.5)\n", loadMs / bareMs);
    std::printf("private memory growth:       %.1f MB\n", growth / 1e6);
    std::printf("100,000 x sizeof(record):    %.1f MB (sizeof = %zu)\n", recordBytes / 1e6, sizeof(ScheduleRecord));
    std::printf("growth / record bytes:       %.2f (goal <= 1.2)\n", growth / recordBytes);
    server.Stop();
    return loaded == static_cast<size_t>(kSchedules) ? 0 : 1;
}
