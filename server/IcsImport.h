// Events of another calendar's iCalendar file as schedules (or holidays) of
// this one: each event on its start date in its own time zone, with its
// start time in front of the text when it has one; recurring events
// expanded over a range up to a cap; an event over several days one
// schedule a day. Read by libical; the whole file is checked before
// anything is written, and the store writes it in one transaction.
#pragma once

#include "server/CalendarStore.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

struct IcsImportOptions {
    int32_t genreId = 0;  // genre of the schedules; 0 only with `holidays`
    bool holidays = false;  // all-day events become named holidays
    int32_t from = 0;  // recurring events: occurrences from..to (date keys)
    int32_t to = 0;
    size_t maxOccurrences = 1000;  // of one recurring event
    // Time zone (e.g. "Asia/Tokyo") every timed event is converted to.
    // Empty: a time with a zone stays in its own zone, a UTC time goes to
    // the file's X-WR-TIMEZONE or else to the server's local time.
    std::string zone;
};

// The most days one event may span; longer ones are cut there.
inline constexpr int kMaxEventDays = 366;

struct IcsImportPlan {
    std::vector<ForeignEvent> events;
    size_t replacedCharacters = 0;  // became "〓"
    size_t cutTexts = 0;            // cut to 255 bytes
    size_t cancelled = 0;           // STATUS:CANCELLED events
    size_t outOfRange = 0;          // days outside 1971..2037
    size_t cappedEvents = 0;        // recurring events stopped at the cap
    size_t timedWithoutGenre = 0;   // --holidays without --genre: timed events left out
    size_t cutSpans = 0;            // events longer than kMaxEventDays
};

class IcsImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the file's text; throws IcsImportError when it is no whole
// iCalendar file or an event has no readable start.
IcsImportPlan PlanIcsImport(const std::string& text, const IcsImportOptions& options);

// What an import did, one "what: count" line each, in UTF-8.
std::string DescribeIcsImport(const IcsImportPlan& plan, const ForeignImportTally& tally);
