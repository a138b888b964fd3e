// A console reporter that also keeps each benchmark's figures (the median
// when the runs are repeated) so the program can print its rows of the
// README's benchmark table when everything has run:
// "| measure | figure | reference, same run | ratio | goal |".
#pragma once

#include "bench/TableRow.h"

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class RowReporter : public benchmark::ConsoleReporter {
public:
    // Plain text: the output goes to files as often as to a terminal.
    RowReporter() : benchmark::ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            bool repeated = run.repetitions > 1;
            bool wanted = repeated ? run.run_type == Run::RT_Aggregate && run.aggregate_name == "median"
                                   : run.run_type == Run::RT_Iteration;
            if (wanted) runs_[run.run_name.str()] = run;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // The first kept run whose name begins with `name` (e.g.
    // "GetAllSchedules/1/"), or null when none ran or all failed.
    const Run* Find(const std::string& name) const {
        auto found = runs_.lower_bound(name);
        if (found == runs_.end() || found->first.compare(0, name.size(), name) != 0) return nullptr;
        return &found->second;
    }
    // A counter of a kept run; 0 when absent.
    double Counter(const std::string& name, const std::string& counter) const {
        const Run* run = Find(name);
        if (!run) return 0;
        auto found = run->counters.find(counter);
        return found == run->counters.end() ? 0 : static_cast<double>(found->second);
    }
    // Time per iteration in milliseconds (wall clock); 0 when absent.
    double Milliseconds(const std::string& name) const {
        const Run* run = Find(name);
        if (!run) return 0;
        return run->GetAdjustedRealTime() * 1e3 / benchmark::GetTimeUnitMultiplier(run->time_unit);
    }
    // Time per iteration in milliseconds of CPU time; 0 when absent.
    double CpuMilliseconds(const std::string& name) const {
        const Run* run = Find(name);
        if (!run) return 0;
        return run->GetAdjustedCPUTime() * 1e3 / benchmark::GetTimeUnitMultiplier(run->time_unit);
    }

private:
    std::map<std::string, Run> runs_;
};
