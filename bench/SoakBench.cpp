// soak_bench.exe [CLIENTS [SECONDS [SCHEDULES]]]: the real calendar server
// holding SCHEDULES schedules (100,000), CLIENTS client threads (20) each
// refreshing in a loop with the client's own load sequence for SECONDS
// (180); every failed request and every load with the wrong counts is an
// error, and the server's resident memory is sampled from Linux once a
// second. Runs under Wine (x86_64 build).
#include "bench/TableRow.h"
#include "tests/support/CalendarServerProcess.h"
#include "tests/support/LoadSoak.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#ifndef RDZ_BENCH_SERVER
#error "RDZ_BENCH_SERVER must name the uninstrumented calendar-server program"
#endif
#ifndef RDZ_SEED_PROGRAM
#error "RDZ_SEED_PROGRAM must name the seed-schedules program"
#endif

namespace {

// Growth of the server's memory after the warm-up that still counts as
// flat: the shared replies are built during the warm-up, so what comes
// later is allocator noise.
constexpr long kFlatMarginKb = 8 * 1024;

}  // namespace

int main(int argc, char** argv) {
    LoadSoakOptions options;
    options.clients = argc > 1 ? std::atoi(argv[1]) : 20;
    options.seconds = argc > 2 ? std::atoi(argv[2]) : 180;
    options.schedules = argc > 3 ? static_cast<size_t>(std::atol(argv[3])) : 100000;

    const std::string database = std::string(RDZ_TEST_TMP) + "/soak-bench.db";
    const std::string seed = "rm -f " + ShellQuote(database) + "* && mkdir -p " + ShellQuote(RDZ_TEST_TMP) + " && " +
                             ShellQuote(RDZ_SEED_PROGRAM) + " " + ShellQuote(database) + " " +
                             std::to_string(options.schedules);
    if (!RunShell(seed, 300000)) {
        std::printf("seeding failed\n");
        return 1;
    }
    CalendarServerProcess server(RDZ_BENCH_SERVER, database);
    if (server.Port() == 0) {
        std::printf("calendar server did not start\n");
        return 1;
    }

    LoadSoakResult result = RunLoadSoak(server, options);
    server.Stop();

    long growth = result.residentAfterWarmUpKb - result.residentWarmKb;
    bool flat = result.samples > 0 && growth <= kFlatMarginKb;
    std::printf("soak: %d clients, %d s, %zu schedules\n", options.clients, options.seconds, options.schedules);
    std::printf("loads completed:             %d (HELLO, GET 1, GET 2, GET 3 each)\n", result.loads);
    std::printf("errors:                      %d\n", result.errors);
    for (const std::string& error : result.firstErrors) std::printf("  %s\n", error.c_str());
    std::printf("load time:                   median %.0f ms, p95 %.0f ms, max %.0f ms\n",
                Percentile(result.loadMilliseconds, 0.5), Percentile(result.loadMilliseconds, 0.95),
                Percentile(result.loadMilliseconds, 1.0));
    std::printf("server RSS at start:         %.1f MB\n", result.residentAtStartKb / 1024.0);
    std::printf("server RSS, warm-up peak:    %.1f MB\n", result.residentWarmKb / 1024.0);
    std::printf("server RSS, later peak:      %.1f MB (%d samples; last %.1f MB)\n",
                result.residentAfterWarmUpKb / 1024.0, result.samples, result.residentLastKb / 1024.0);
    std::printf("growth after warm-up:        %+.1f MB (flat: within %.0f MB) %s\n", growth / 1024.0,
                kFlatMarginKb / 1024.0, flat ? "flat" : "NOT FLAT");
    PrintRow(Format("soak under Wine: %d clients refreshing in a loop for %d s (HELLO, GET 1, 2, 3), %zu schedules",
                    options.clients, options.seconds, options.schedules),
             Format("%d errors in %d loads", result.errors, result.loads),
             Format("load time: median %.0f s, max %.0f s", Percentile(result.loadMilliseconds, 0.5) / 1e3,
                    Percentile(result.loadMilliseconds, 1.0) / 1e3),
             "-", Format("no error: %s", result.errors == 0 && result.loads > 0 ? "met" : "not met"));
    PrintRow("soak: server resident memory after the warm-up (every client loaded once)",
             Format("peak %.1f MB, last %.1f MB", result.residentAfterWarmUpKb / 1024.0, result.residentLastKb / 1024.0),
             Format("peak during the warm-up: %.1f MB (idle %.1f MB)", result.residentWarmKb / 1024.0,
                    result.residentAtStartKb / 1024.0),
             Format("%+.1f MB", growth / 1024.0), Format("flat (within 8 MB): %s", flat ? "met" : "not met"));
    return result.errors == 0 && result.loads > 0 && flat ? 0 : 1;
}
