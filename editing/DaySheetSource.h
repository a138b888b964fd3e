// What the day sheet works on: one day of the calendar (its date, the copies
// of its schedules and of its date information) and where the rest comes
// from (the store's categories for the entry dialog, the server for the
// changes). The sheet only reads it; the caller keeps it alive while the
// sheet is shown.
#pragma once

#include "protocol/CategorySet.h"
#include "protocol/Records.h"
#include "protocol/ServerContext.h"
#include "toolkit/Services.h"

#include <vector>

struct DaySheetSource {
    DateValue date;
    // The day's schedules, all of them whatever the tree's filter.
    const std::vector<ScheduleRecord>& schedules;
    // The day's date information, or null when none was loaded.
    const DateInfoRecord* dateInfo;
    const CategorySet& categories;
    const ServerContext& context;
};
