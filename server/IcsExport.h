// The calendar as iCalendar text (RFC 5545, with RFC 7986's calendar
// properties), for other calendar programs: every schedule an all-day
// event on its date, every named day or holiday an all-day event marked as
// such. Built and escaped by libical; texts converted from Shift-JIS.
#pragma once

#include "server/CalendarStore.h"
#include "server/DateKey.h"
#include "server/WorkBudget.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Which part of the calendar an export holds.
struct IcsFilter {
    std::vector<int32_t> categoryIds;  // schedules of any of these categories; empty: all
    std::vector<int32_t> genreIds;     // schedules of any of these genres; empty: all
    std::vector<std::string> texts;    // Shift-JIS; a schedule's text holds every one (search matching)
    int32_t from = kFirstDateKey;      // date keys, both ends included
    int32_t to = kLastDateKey;
    bool days = true;                  // named days and holidays

    // Takes one "name=value" term ("category", "genre", "text" in UTF-8,
    // "from", "to" as YYYYMMDD or YYYY-MM-DD, "days" 0 or 1); returns an
    // error text when the term is unknown or its value is not one.
    std::optional<std::string> Add(std::string_view name, std::string_view value);
};

struct IcsCalendarInfo {
    std::string name = "Rendez";        // UTF-8, for NAME and X-WR-CALNAME
    int refreshMinutes = 60;            // REFRESH-INTERVAL: how often a subscriber should poll
};

// Stable identities of the exported events, the same from every export and
// every server of one database.
std::string ScheduleUid(int32_t id);
std::string DayUid(int32_t date);

// The whole VCALENDAR, CR LF line ends, lines folded at 75 octets. The
// budget, when given, is checked as events go by (WorkStopped is thrown).
std::string BuildIcs(const CalendarContents& contents, const IcsFilter& filter, const IcsCalendarInfo& info,
                     WorkBudget* budget = nullptr);
