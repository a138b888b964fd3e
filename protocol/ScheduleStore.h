// The client's copy of the server's three data sets, and the load sequence
// that fills it step by step under a mask.
#pragma once

#include "protocol/CategorySet.h"
#include "protocol/DateInfoSet.h"
#include "protocol/LoadMask.h"
#include "protocol/ScheduleSet.h"

#include <cstdint>
#include <functional>

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

    // The version each data set was last loaded at, as its server announced
    // it (-1: announced none, or never loaded).
    void LoadedVersions(int64_t (&versions)[3]) const {
        versions[0] = schedules.AnnouncedVersion();
        versions[1] = categories.AnnouncedVersion();
        versions[2] = dateInfo.AnnouncedVersion();
    }
    // Whether changes to data set `dataSet` (1 to 3) may go out conditional:
    // its server announced a version when it was last loaded.
    bool TakesConditionalChanges(int dataSet) const {
        int64_t versions[3];
        LoadedVersions(versions);
        return dataSet >= 1 && dataSet <= 3 && versions[dataSet - 1] >= 0;
    }

    ScheduleSet schedules;
    CategorySet categories;
    DateInfoSet dateInfo;

private:
    const ServerContext& context_;
};
