#include "tests/support/LoadSoak.h"

#include "protocol/ScheduleStore.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TestServerContext.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t at = static_cast<size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

LoadSoakResult RunLoadSoak(const CalendarServerProcess& server, const LoadSoakOptions& options) {
    using Clock = std::chrono::steady_clock;
    LoadSoakResult result;
    MessageBoxRecorder boxes;
    // The first socket starts WinSock for the whole run, before any client
    // thread exists, as the program's main frame does.
    TcpSocket startupOwner;

    std::mutex mutex;
    std::atomic<int> running{options.clients};
    std::atomic<int> warming{options.clients};
    const Clock::time_point end = Clock::now() + std::chrono::seconds(options.seconds);
    result.residentAtStartKb = server.ResidentKilobytes();

    std::vector<std::thread> clients;
    for (int i = 0; i < options.clients; ++i) {
        clients.emplace_back([&] {
            TestServerContext context("127.0.0.1", server.Port());
            ScheduleStore store(context);
            for (bool first = true; first || Clock::now() < end; first = false) {
                Clock::time_point begun = Clock::now();
                store.RunLoad(kLoadEverything, nullptr);
                double ms = std::chrono::duration<double, std::milli>(Clock::now() - begun).count();
                size_t schedules = store.schedules.records.size();
                size_t categories = store.categories.records.size();
                // The last client to finish its first load reads the warm
                // server at once: on a quick machine every first load may end
                // before the sampling loop below has looked even once.
                const long warmKb = first && --warming == 0 ? server.ResidentKilobytes() : 0;
                std::lock_guard<std::mutex> lock(mutex);
                result.residentWarmKb = std::max(result.residentWarmKb, warmKb);
                ++result.loads;
                result.loadMilliseconds.push_back(ms);
                if (schedules != options.schedules || categories < options.minimumCategories) {
                    ++result.errors;
                    if (result.firstErrors.size() < 5) {
                        result.firstErrors.push_back("load brought " + std::to_string(schedules) + " schedules and " +
                                                     std::to_string(categories) + " categories");
                    }
                }
            }
            --running;
        });
    }

    while (running > 0) {
        Sleep(1000);
        long resident = server.ResidentKilobytes();
        if (resident == 0) continue;
        std::lock_guard<std::mutex> lock(mutex);
        result.residentLastKb = resident;
        if (warming > 0) {
            result.residentWarmKb = std::max(result.residentWarmKb, resident);
        } else {
            result.residentAfterWarmUpKb = std::max(result.residentAfterWarmUpKb, resident);
            ++result.samples;
        }
    }
    for (std::thread& client : clients) client.join();

    for (const RecordedMessageBox& box : boxes.Shown()) {
        ++result.errors;
        if (result.firstErrors.size() < 5) result.firstErrors.push_back(box.caption + ": " + box.text);
    }
    return result;
}
