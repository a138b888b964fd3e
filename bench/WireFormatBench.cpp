// Parsing a GET 1 reply of 100,000 schedules into records, next to a plain
// memchr line split of the same bytes.
#include "bench/RowReporter.h"
#include "bench/ScheduleReply.h"
#include "protocol/Records.h"
#include "protocol/WireFormat.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kLines = 100000;

const std::string& Reply() {
    static const std::string reply = MakeScheduleReply(kLines);
    return reply;
}

void BM_PlainLineSplit(benchmark::State& state) {
    const std::string& reply = Reply();
    for (auto _ : state) {
        std::vector<std::string_view> lines;
        lines.reserve(kLines + 2);
        const char* p = reply.data();
        const char* end = p + reply.size();
        while (p < end) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            if (!nl) nl = end;
            lines.emplace_back(p, static_cast<size_t>(nl - p));
            p = nl + 1;
        }
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(reply.size()));
}

// Parsing alone: every line into a record of one reused array, so the
// figure is the parser's and not the allocator's or the page faults'.
void BM_ParseScheduleReply(benchmark::State& state) {
    const std::string& reply = Reply();
    std::vector<ScheduleRecord> records(kLines + 1);
    for (auto _ : state) {
        size_t count = 0;
        ForEachRecordLine(reply, [&](std::string_view line) {
            // Parsing writes every field (texts zero-filled behind their
            // bytes); only the pending-change code is the caller's.
            ScheduleRecord& record = records[count++];
            record.op = OP_NONE;
            ParseScheduleRecord(line, record);
        });
        benchmark::DoNotOptimize(records.data());
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(reply.size()));
}

// What the schedule set does with a reply: one heap record per line.
void BM_ParseIntoHeapRecords(benchmark::State& state) {
    const std::string& reply = Reply();
    for (auto _ : state) {
        std::vector<std::unique_ptr<ScheduleRecord>> records;
        records.reserve(kLines);
        ForEachRecordLine(reply, [&](std::string_view line) {
            auto record = std::make_unique<ScheduleRecord>();
            ParseScheduleRecord(line, *record);
            records.push_back(std::move(record));
        });
        benchmark::DoNotOptimize(records.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(reply.size()));
}

BENCHMARK(BM_PlainLineSplit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseScheduleReply)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseIntoHeapRecords)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RowReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    // CPU time: steadier than wall time on a shared machine.
    double split = reporter.CpuMilliseconds("BM_PlainLineSplit");
    double parse = reporter.CpuMilliseconds("BM_ParseScheduleReply");
    double heap = reporter.CpuMilliseconds("BM_ParseIntoHeapRecords");
    if (split <= 0 || parse <= 0 || heap <= 0) return 1;
    double megabytes = static_cast<double>(Reply().size()) / 1e6;
    double rate = megabytes / (parse / 1e3);
    std::printf("\n");
    PrintRow(Format("parse a GET 1 reply of %d schedules (%.1f MB) into records", kLines, megabytes),
             Format("%.1f ms, %.0f MB/s", parse, rate), Format("plain memchr line split: %.2f ms", split),
             Format("%.0fx the split", parse / split),
             Format("200 MB/s: %s; 3x the split: %s", rate >= 200 ? "met" : "not met",
                    parse <= 3 * split ? "met" : "not met"));
    PrintRow("parse into one heap record per line, as the set does",
             Format("%.0f ms, %.0f MB/s", heap, megabytes / (heap / 1e3)), Format("plain memchr line split: %.2f ms", split),
             Format("%.0fx the split", heap / split), "-");
    return 0;
}
