// Parsing a GET 1 reply of 100,000 schedules into records, next to a plain
// memchr line split of the same bytes.
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

// Prints parse time / split time once the runs are done.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            // CPU time: steadier than wall time on a shared machine.
            double perIteration = run.GetAdjustedCPUTime();
            if (run.benchmark_name().find("PlainLineSplit") != std::string::npos) split_ = perIteration;
            if (run.benchmark_name().find("ParseScheduleReply") != std::string::npos) parse_ = perIteration;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        if (split_ > 0 && parse_ > 0) {
            double megabytes = static_cast<double>(Reply().size()) / 1e6;
            std::printf("reply: %d lines, %.1f MB\n", kLines, megabytes);
            std::printf("parse: %.1f MB/s; parse / plain split = %.2f\n", megabytes / (parse_ / 1e3), parse_ / split_);
        }
    }

private:
    double split_ = 0;
    double parse_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
