// The client's copy of the server's three data sets, and the load sequence
// that fills it step by step under a mask.
#pragma once

#include "protocol/CategorySet.h"
#include "protocol/DateInfoSet.h"
#include "protocol/ScheduleSet.h"

#include <cstdint>
#include <functional>

// Steps of a load.
enum : uint32_t {
    LOAD_CHECK_SERVER = 0x01,
    LOAD_SCHEDULES = 0x02,
    LOAD_CATEGORIES = 0x04,
    LOAD_DATE_INFO = 0x08,
};

// The masks the program uses.
inline constexpr uint32_t kLoadEverything = 0xFFFF;
inline constexpr uint32_t kLoadRefresh = LOAD_SCHEDULES | LOAD_CATEGORIES | LOAD_DATE_INFO;
inline constexpr uint32_t kLoadAfterCategoryDialog = LOAD_CATEGORIES;
inline constexpr uint32_t kLoadAfterDaySheet = LOAD_SCHEDULES | LOAD_DATE_INFO;

// Receives each progress text of a load.
using LoadStatusOutput = std::function<void(const char* text)>;

class ScheduleStore {
public:
    // The schedules are made first: their socket starts WinSock for the
    // whole run, and, destroyed last, cleans it up last.
    explicit ScheduleStore(const ServerContext& context)
        : schedules(context), categories(context), dateInfo(context), context_(context) {}
    ScheduleStore(const ScheduleStore&) = delete;
    ScheduleStore& operator=(const ScheduleStore&) = delete;

    // Runs the steps the mask selects, in the fixed order server check,
    // schedules, categories, date information, on the calling thread. The
    // first failing step ends the sequence after its own texts; sets of
    // steps that ran keep their new data, the others their old. Returns 0.
    int RunLoad(uint32_t mask, const LoadStatusOutput& status);

    ScheduleSet schedules;
    CategorySet categories;
    DateInfoSet dateInfo;

private:
    const ServerContext& context_;
};
