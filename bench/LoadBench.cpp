// Loading 100,000 and 1,000,000 schedules from the real calendar server on
// loopback with the client's whole load sequence, next to a bare receive of
// the same GET 1 reply through the same 255-byte reads; and the memory the
// loaded records take, including the peak of a reload, which keeps the old
// set until the new one is complete. Runs under Wine (x86_64 build).
#include "bench/TableRow.h"
#include "protocol/ScheduleStore.h"
#include "protocol/WireFormat.h"
#include "settings/Settings.h"
#include "tests/support/CalendarServerProcess.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#ifndef RDZ_BENCH_SERVER
#error "RDZ_BENCH_SERVER must name the uninstrumented calendar-server program"
#endif
#ifndef RDZ_SEED_PROGRAM
#error "RDZ_SEED_PROGRAM must name the seed-schedules program"
#endif

namespace {

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

// The peak working set of this process (Wine reads it from Linux: the
// peak resident memory, VmHWM).
double PeakWorkingSetMegabytes() {
    PROCESS_MEMORY_COUNTERS counters;
    ZeroMemory(&counters, sizeof counters);
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<double>(counters.PeakWorkingSetSize) / 1e6;
}

// A fast read of the whole GET 1 reply (64 KB reads), so that the server
// has built its shared reply before anything is timed.
void WarmServer(unsigned short port) {
    TcpSocket socket;
    socket.Open(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address;
    ZeroMemory(&address, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    if (socket.Connect(reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
    socket.SendText(BuildGetLine(DATASET_SCHEDULES, ""), 0);
    std::vector<char> buffer(65536);
    while (socket.Receive(buffer.data(), static_cast<int>(buffer.size()), 0) > 0) {
    }
    socket.Close();
}

// The highest private memory seen while it runs, sampled every 10 ms.
class PeakSampler {
public:
    PeakSampler() : peak_(PrivateBytes()), thread_([this] {
        while (!stop_) {
            SIZE_T now = PrivateBytes();
            if (now > peak_) peak_ = now;
            Sleep(10);
        }
    }) {}
    ~PeakSampler() { Finish(); }
    SIZE_T Finish() {
        if (thread_.joinable()) {
            stop_ = true;
            thread_.join();
        }
        SIZE_T now = PrivateBytes();
        if (now > peak_) peak_ = now;
        return peak_;
    }

private:
    std::atomic<SIZE_T> peak_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::unique_ptr<CalendarServerProcess> SeedAndServe(int schedules) {
    const std::string database = std::string(RDZ_TEST_TMP) + "/load-bench-" + std::to_string(schedules) + ".db";
    const std::string seed = "rm -f " + ShellQuote(database) + "* && mkdir -p " + ShellQuote(RDZ_TEST_TMP) + " && " +
                             ShellQuote(RDZ_SEED_PROGRAM) + " " + ShellQuote(database) + " " +
                             std::to_string(schedules);
    if (!RunShell(seed, 600000)) {
        std::printf("seeding failed\n");
        return nullptr;
    }
    auto server = std::make_unique<CalendarServerProcess>(RDZ_BENCH_SERVER, database);
    if (server->Port() == 0) {
        std::printf("calendar server did not start\n");
        return nullptr;
    }
    return server;
}

// 100,000 schedules: medians of the load and of the bare receive, and the
// private memory one loaded set takes.
bool MeasureTypicalLoad() {
    constexpr int kSchedules = 100000;
    std::unique_ptr<CalendarServerProcess> server = SeedAndServe(kSchedules);
    if (!server) return false;
    BenchContext context(server->Port());

    // Warm both paths (server page cache, connections) once.
    size_t replyBytes = BareReceive(server->Port());
    SIZE_T before = PrivateBytes();
    auto store = std::make_unique<ScheduleStore>(context);
    store->RunLoad(kLoadEverything, nullptr);
    SIZE_T after = PrivateBytes();
    size_t loaded = store->schedules.records.size();

    std::vector<double> bare;
    std::vector<double> load;
    for (int round = 0; round < kRounds; ++round) {
        auto t0 = std::chrono::steady_clock::now();
        BareReceive(server->Port());
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
    PrintRow(Format("client under Wine: RunLoad(0xFFFF) of %d schedules (%.1f MB reply)", kSchedules, replyBytes / 1e6),
             Format("%.0f ms", loadMs), Format("bare receive, same 255-byte reads: %.0f ms", bareMs),
             Format("%.2fx the time", loadMs / bareMs), Format("at most 1.5x: %s", loadMs <= 1.5 * bareMs ? "met" : "not met"));
    PrintRow("client under Wine: private memory taken by the loaded set", Format("%.1f MB", growth / 1e6),
             Format("%d x %zu-byte records: %.1f MB", kSchedules, sizeof(ScheduleRecord), recordBytes / 1e6),
             Format("%.2fx", growth / recordBytes), Format("at most 1.2x: %s", growth <= 1.2 * recordBytes ? "met" : "not met"));
    server->Stop();
    return loaded == static_cast<size_t>(kSchedules);
}

// 1,000,000 schedules: one bare receive, the first load into an empty
// store and a reload over the full one, with the private memory after each
// and the peak during the reload (old and new set at once).
bool MeasureLargeLoad() {
    constexpr int kSchedules = 1000000;
    std::unique_ptr<CalendarServerProcess> server = SeedAndServe(kSchedules);
    if (!server) return false;
    BenchContext context(server->Port());

    WarmServer(server->Port());
    SIZE_T base = PrivateBytes();
    auto t0 = std::chrono::steady_clock::now();
    size_t replyBytes = BareReceive(server->Port());
    auto t1 = std::chrono::steady_clock::now();
    SIZE_T afterBare = PrivateBytes();

    auto store = std::make_unique<ScheduleStore>(context);
    t1 = std::chrono::steady_clock::now();
    PeakSampler firstPeak;
    store->RunLoad(kLoadEverything, nullptr);
    SIZE_T firstLoadPeak = firstPeak.Finish();
    auto t2 = std::chrono::steady_clock::now();
    SIZE_T oneSet = PrivateBytes();

    PeakSampler reloadPeak;
    store->RunLoad(kLoadEverything, nullptr);
    SIZE_T reloadPeakBytes = reloadPeak.Finish();
    auto t3 = std::chrono::steady_clock::now();
    SIZE_T afterReload = PrivateBytes();
    size_t loaded = store->schedules.records.size();
    // The index by date that each load makes, once more on its own.
    auto t4 = std::chrono::steady_clock::now();
    store->schedules.IndexByDate();
    double indexMs = Milliseconds(std::chrono::steady_clock::now() - t4);

    double bareMs = Milliseconds(t1 - t0);
    double firstMs = Milliseconds(t2 - t1);
    double reloadMs = Milliseconds(t3 - t2);
    auto mb = [base](SIZE_T bytes) { return (static_cast<double>(bytes) - static_cast<double>(base)) / 1e6; };
    std::printf("schedules loaded:            %zu (reply %.1f MB)\n", loaded, replyBytes / 1e6);
    std::printf("bare receive of GET 1:       %.0f ms\n", bareMs);
    std::printf("RunLoad(0xFFFF), empty store: %.0f ms (%.2f x bare)\n", firstMs, firstMs / bareMs);
    std::printf("RunLoad(0xFFFF), reload:     %.0f ms (%.2f x bare)\n", reloadMs, reloadMs / bareMs);
    std::printf("private memory over the start (MB): after bare receive %.1f, peak of first load %.1f,\n"
                "  one set loaded %.1f, peak of reload %.1f, after reload %.1f\n",
                mb(afterBare), mb(firstLoadPeak), mb(oneSet), mb(reloadPeakBytes), mb(afterReload));
    std::printf("per record in one set:       %.0f bytes (sizeof = %zu)\n",
                (static_cast<double>(oneSet) - static_cast<double>(base)) / kSchedules, sizeof(ScheduleRecord));
    double peakWorkingSet = PeakWorkingSetMegabytes();
    std::printf("peak working set (VmHWM):    %.1f MB\n", peakWorkingSet);
    // The i686 build holds the same 552-byte records in the same slabs, and
    // 4-byte instead of 8-byte pointers in the set's array.
    double i686Peak = mb(reloadPeakBytes) - 2.0 * kSchedules * (sizeof(void*) - 4) / 1e6;
    PrintRow(Format("client under Wine: reload of %d schedules (%.0f MB reply) over a full store", kSchedules,
                    replyBytes / 1e6),
             Format("%.1f s", reloadMs / 1e3), Format("bare receive, same 255-byte reads: %.1f s", bareMs / 1e3),
             Format("%.2fx the time", reloadMs / bareMs), "-");
    std::printf("index by date:               %.1f ms (%.2f %% of the reload)\n", indexMs, 100 * indexMs / reloadMs);
    PrintRow(Format("client under Wine: index by date of %d schedules, made by each load", kSchedules),
             Format("%.0f ms", indexMs), Format("the reload above: %.1f s", reloadMs / 1e3),
             Format("%.2f %% of the reload", 100 * indexMs / reloadMs),
             Format("at most 5 %%: %s", indexMs <= 0.05 * reloadMs ? "met" : "not met"));
    PrintRow(Format("client under Wine: private memory, %d schedules: one set; reload peak (two sets)",
                    kSchedules),
             Format("%.0f MB; %.0f MB", mb(oneSet), mb(reloadPeakBytes)),
             Format("%d x %zu-byte records: %.0f MB", kSchedules, sizeof(ScheduleRecord),
                    static_cast<double>(kSchedules) * sizeof(ScheduleRecord) / 1e6),
             Format("%.2fx; %.2fx", mb(oneSet) / (kSchedules * sizeof(ScheduleRecord) / 1e6),
                    mb(reloadPeakBytes) / (kSchedules * sizeof(ScheduleRecord) / 1e6)),
             Format("reload peak at most 2.05x: %s (peak working set of the Wine process: %.0f MB)",
                    mb(reloadPeakBytes) <= 2.05 * kSchedules * sizeof(ScheduleRecord) / 1e6 ? "met" : "not met",
                    peakWorkingSet));
    PrintRow("i686 client (estimated from the above): reload peak of 1,000,000 schedules", Format("%.0f MB", i686Peak),
             "address space: 2048 MB plain, 4096 MB large-address-aware on 64-bit Windows",
             Format("%.0f %% of 2 GB, %.0f %% of 4 GB", 100 * i686Peak / 2048, 100 * i686Peak / 4096),
             Format("half the space left: %s in 2 GB, %s in 4 GB", i686Peak < 1024 ? "yes" : "no",
                    i686Peak < 2048 ? "yes" : "no"));
    server->Stop();
    return loaded == static_cast<size_t>(kSchedules);
}

}  // namespace

// Arguments: "typical" or "large" runs only that part.
int main(int argc, char** argv) {
    std::string part = argc > 1 ? argv[1] : "";
    bool ok = true;
    if (part.empty() || part == "typical") ok = MeasureTypicalLoad() && ok;
    if (part.empty() || part == "large") ok = MeasureLargeLoad() && ok;
    return ok ? 0 : 1;
}
