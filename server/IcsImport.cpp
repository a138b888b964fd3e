#include "server/IcsImport.h"

#include "protocol/WireFormat.h"
#include "server/Cp932Text.h"
#include "server/DateKey.h"
#include "server/RequestParser.h"
#include "text/ShiftJis.h"

#include <libical/ical.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <set>

namespace {

struct ComponentFree {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

struct IteratorFree {
    void operator()(icalrecur_iterator* iterator) const { icalrecur_iterator_free(iterator); }
};

// Iterations of one rule before it is given up as endless below the range.
constexpr int kMaxRuleSteps = 200000;

std::string Describe(icalcomponent* event) {
    const char* uid = icalcomponent_get_uid(event);
    return uid ? std::string("event ") + uid : std::string("an event without UID");
}

// The last line of the text, lines unfolded, must end the calendar: a file
// cut short is refused as a whole.
bool EndsCalendar(const std::string& text) {
    size_t end = text.find_last_not_of("\r\n \t");
    if (end == std::string::npos) return false;
    size_t start = text.find_last_of('\n', end);
    std::string last = text.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start == std::string::npos ? 0 : start + 1));
    for (char& c : last) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return last == "END:VCALENDAR";
}

int32_t KeyOf(const icaltimetype& time) {
    if (time.year < kFirstYear || time.year > kLastYear) return 0;
    return ToDateKey(CivilDate{time.year, time.month, time.day});
}

class Planner {
public:
    Planner(const IcsImportOptions& options, IcsImportPlan& plan) : options_(options), plan_(plan) {
        if (!options.zone.empty()) {
            target_ = icaltimezone_get_builtin_timezone(options.zone.c_str());
            if (!target_) throw IcsImportError("unknown time zone " + options.zone);
        }
    }

    void Calendar(icalcomponent* calendar) {
        utcTarget_ = target_;
        if (!utcTarget_) {
            icalproperty* wr = icalcomponent_get_first_property(calendar, ICAL_X_PROPERTY);
            for (; wr; wr = icalcomponent_get_next_property(calendar, ICAL_X_PROPERTY)) {
                const char* name = icalproperty_get_x_name(wr);
                const char* value = icalproperty_get_x(wr);
                if (name && value && std::string(name) == "X-WR-TIMEZONE") {
                    utcTarget_ = icaltimezone_get_builtin_timezone(value);
                }
            }
        }
        // Occurrences that events of their own replace (RECURRENCE-ID).
        std::map<std::string, std::vector<icaltimetype>> replaced;
        for (icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); event;
             event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
            icalproperty* recurrence = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY);
            const char* uid = icalcomponent_get_uid(event);
            if (recurrence && uid) {
                replaced[uid].push_back(icalproperty_get_datetime_with_component(recurrence, event));
            }
        }
        for (icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); event;
             event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
            const char* uid = icalcomponent_get_uid(event);
            auto found = uid ? replaced.find(uid) : replaced.end();
            Event(event, found == replaced.end() ? std::vector<icaltimetype>() : found->second);
        }
    }

private:
    // The time as the schedule shows it: its own zone's wall clock, or
    // converted as the options say.
    icaltimetype WallClock(icaltimetype time) const {
        if (time.is_date) return time;
        if (target_ && time.zone) return icaltime_convert_to_zone(time, target_);
        if (!icaltime_is_utc(time)) return time;
        if (utcTarget_) return icaltime_convert_to_zone(time, utcTarget_);
        std::time_t when = icaltime_as_timet_with_zone(time, icaltimezone_get_utc_timezone());
        std::tm local{};
        localtime_r(&when, &local);
        icaltimetype out = icaltime_null_time();
        out.year = local.tm_year + 1900;
        out.month = local.tm_mon + 1;
        out.day = local.tm_mday;
        out.hour = local.tm_hour;
        out.minute = local.tm_min;
        out.second = local.tm_sec;
        return out;
    }

    static bool SameOccurrence(icaltimetype occurrence, icaltimetype other) {
        if (other.is_date || occurrence.is_date) return icaltime_compare_date_only(occurrence, other) == 0;
        if (other.zone && occurrence.zone && other.zone != occurrence.zone) {
            other = icaltime_convert_to_zone(other, const_cast<icaltimezone*>(occurrence.zone));
        }
        return occurrence.year == other.year && occurrence.month == other.month && occurrence.day == other.day &&
               occurrence.hour == other.hour && occurrence.minute == other.minute &&
               occurrence.second == other.second;
    }

    // The summary as stored bytes, its replaced characters counted.
    std::string StoredText(const char* summary) {
        std::string utf8 = summary ? summary : "";
        std::string lines;
        for (char c : utf8) {
            if (c == '\n') {
                lines += "\r\n";
            } else if (c != '\r' && c != '\0') {
                lines += c;
            }
        }
        Cp932Conversion converted = Utf8ToCp932(lines);
        plan_.replacedCharacters += converted.replaced;
        return converted.text;
    }

    // The text cut to the record's field on a character boundary.
    static std::string Fitted(std::string text, bool& cut) {
        std::string_view fitted = CutToWidth(text, kMaxTextBytes);
        if (fitted.size() < text.size()) {
            cut = true;
            text.resize(fitted.size());
        }
        return text;
    }

    void Event(icalcomponent* event, const std::vector<icaltimetype>& replacedOccurrences) {
        if (icalcomponent_get_status(event) == ICAL_STATUS_CANCELLED) {
            ++plan_.cancelled;
            return;
        }
        icalproperty* startProperty = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
        icaltimetype start = startProperty ? icalproperty_get_datetime_with_component(startProperty, event)
                                           : icaltime_null_time();
        bool realStart = start.year >= 1 && start.month >= 1 && start.month <= 12 && start.day >= 1 &&
                         start.day <= DaysInMonth(start.year, start.month) && start.hour >= 0 && start.hour < 24 &&
                         start.minute >= 0 && start.minute < 60 && start.second >= 0 && start.second <= 60;
        if (icaltime_is_null_time(start) || !icaltime_is_valid_time(start) || !realStart) {
            throw IcsImportError(Describe(event) + " has no readable DTSTART");
        }
        icaltimetype end = icaltime_null_time();
        if (icalproperty* endProperty = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY)) {
            end = icalproperty_get_datetime_with_component(endProperty, event);
        } else if (icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY)) {
            end = icaltime_add(start, icalcomponent_get_duration(event));
        }
        // Days the event covers after its first.
        int extraDays = 0;
        if (!icaltime_is_null_time(end)) {
            icaltimetype first = WallClock(start);
            icaltimetype last = WallClock(end);
            int64_t days = DaysFromCivil(CivilDate{last.year, last.month, last.day}) -
                           DaysFromCivil(CivilDate{first.year, first.month, first.day});
            // An end is exclusive: a day's end at midnight, an all-day
            // event's end date, belong to the day before.
            bool endsAtMidnight = start.is_date || (last.hour == 0 && last.minute == 0 && last.second == 0);
            if (endsAtMidnight && days > 0) --days;
            if (days > kMaxEventDays - 1) {
                ++plan_.cutSpans;
                days = kMaxEventDays - 1;
            }
            extraDays = static_cast<int>(std::max<int64_t>(days, 0));
        }

        const char* uid = icalcomponent_get_uid(event);
        std::string key = uid ? uid : std::string("(no UID) ") + icaltime_as_ical_string(start) + " " +
                                          (icalcomponent_get_summary(event) ? icalcomponent_get_summary(event) : "");
        if (icalproperty* recurrence = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY)) {
            key += std::string(" RECURRENCE-ID ") +
                   icaltime_as_ical_string(icalproperty_get_datetime_with_component(recurrence, event));
        }

        // Very long identities are remembered by their start and a hash.
        if (key.size() > 512) {
            uint64_t hash = 1469598103934665603ull;
            for (unsigned char c : key) hash = (hash ^ c) * 1099511628211ull;
            char tail[32];
            std::snprintf(tail, sizeof tail, " #%016llx", static_cast<unsigned long long>(hash));
            key = key.substr(0, 256) + tail;
        }

        std::vector<icaltimetype> starts;
        icalproperty* rule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
        bool recurring = rule && !icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY);
        if (recurring) {
            std::vector<icaltimetype> excluded = replacedOccurrences;
            for (icalproperty* ex = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); ex;
                 ex = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
                excluded.push_back(icalproperty_get_datetime_with_component(ex, event));
            }
            Expand(event, start, excluded, starts);
        } else {
            starts.push_back(start);
        }

        ForeignEvent planned;
        planned.key = key;
        std::string body = StoredText(icalcomponent_get_summary(event));
        bool cut = false;
        for (const icaltimetype& occurrence : starts) {
            icaltimetype shown = WallClock(occurrence);
            bool timed = !occurrence.is_date;
            if (options_.holidays && timed && options_.genreId == 0) {
                ++plan_.timedWithoutGenre;
                continue;
            }
            char prefix[16] = "";
            if (timed) std::snprintf(prefix, sizeof prefix, "%02d:%02d ", shown.hour, shown.minute);
            std::string firstText = Fitted(prefix + body, cut);
            std::string laterText = Fitted(body, cut);
            for (int day = 0; day <= extraDays; ++day) {
                icaltimetype date = shown;
                if (day > 0) icaltime_adjust(&date, day, 0, 0, 0);
                int32_t dateKey = KeyOf(date);
                if (!IsValidDateKey(dateKey)) {
                    ++plan_.outOfRange;
                    continue;
                }
                if (options_.holidays && !timed) {
                    planned.holidays.push_back(HolidayRow{dateKey, firstText});
                } else {
                    planned.schedules.push_back(ScheduleRow{dateKey, day == 0 ? firstText : laterText, options_.genreId});
                }
            }
        }
        if (cut) ++plan_.cutTexts;
        plan_.events.push_back(std::move(planned));
    }

    void Expand(icalcomponent* event, icaltimetype start, const std::vector<icaltimetype>& excluded,
                std::vector<icaltimetype>& starts) {
        std::vector<icaltimetype> candidates;
        for (icalproperty* rule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); rule;
             rule = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
            std::unique_ptr<icalrecur_iterator, IteratorFree> iterator(
                icalrecur_iterator_new(icalproperty_get_rrule(rule), start));
            if (!iterator) throw IcsImportError(Describe(event) + " has an RRULE that cannot be read");
            for (int step = 0; step < kMaxRuleSteps; ++step) {
                icaltimetype next = icalrecur_iterator_next(iterator.get());
                if (icaltime_is_null_time(next)) break;
                int32_t key = KeyOf(WallClock(next));
                if (next.year > kLastYear || (key != 0 && key > options_.to)) break;
                if (key == 0 || key < options_.from) continue;
                candidates.push_back(next);
                if (candidates.size() > options_.maxOccurrences * 2 + 16) break;
            }
        }
        for (icalproperty* extra = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); extra;
             extra = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
            icaltimetype time = icalproperty_get_datetime_with_component(extra, event);
            int32_t key = KeyOf(WallClock(time));
            if (!icaltime_is_null_time(time) && key >= options_.from && key <= options_.to) candidates.push_back(time);
        }
        std::sort(candidates.begin(), candidates.end(),
                  [](const icaltimetype& a, const icaltimetype& b) { return icaltime_compare(a, b) < 0; });
        for (const icaltimetype& candidate : candidates) {
            bool skip = false;
            for (const icaltimetype& ex : excluded) skip = skip || SameOccurrence(candidate, ex);
            for (const icaltimetype& done : starts) skip = skip || icaltime_compare(done, candidate) == 0;
            if (skip) continue;
            if (starts.size() >= options_.maxOccurrences) {
                ++plan_.cappedEvents;
                return;
            }
            starts.push_back(candidate);
        }
    }

    const IcsImportOptions& options_;
    IcsImportPlan& plan_;
    icaltimezone* target_ = nullptr;
    icaltimezone* utcTarget_ = nullptr;
};

}  // namespace

IcsImportPlan PlanIcsImport(const std::string& text, const IcsImportOptions& options) {
    if (options.genreId == 0 && !options.holidays) throw IcsImportError("a genre is needed for the schedules");
    if (!EndsCalendar(text)) throw IcsImportError("the file does not end with END:VCALENDAR (cut short?)");
    Component root(icalparser_parse_string(text.c_str()));
    if (!root) throw IcsImportError("the file is no iCalendar text");
    IcsImportPlan plan;
    Planner planner(options, plan);
    if (icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT) {
        planner.Calendar(root.get());
    } else {
        bool any = false;
        for (icalcomponent* calendar = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT); calendar;
             calendar = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT)) {
            planner.Calendar(calendar);
            any = true;
        }
        if (!any) throw IcsImportError("the file holds no VCALENDAR");
    }
    return plan;
}

std::string DescribeIcsImport(const IcsImportPlan& plan, const ForeignImportTally& tally) {
    std::string out;
    auto line = [&out](const char* what, size_t count) {
        out += what;
        out += ": " + std::to_string(count) + "\n";
    };
    line("events imported", static_cast<size_t>(tally.events));
    line("schedules added", static_cast<size_t>(tally.schedules));
    line("holidays added", static_cast<size_t>(tally.holidays));
    line("events skipped, imported before", static_cast<size_t>(tally.known));
    line("holidays skipped, day already named", static_cast<size_t>(tally.namedDays));
    line("events skipped, cancelled", plan.cancelled);
    line("days skipped, outside 1971-2037", plan.outOfRange);
    line("timed events skipped, no genre given", plan.timedWithoutGenre);
    line("recurring events stopped at the occurrence cap", plan.cappedEvents);
    line("events cut to 366 days", plan.cutSpans);
    line(u8"characters replaced by 〓", plan.replacedCharacters);
    line("texts cut to 255 bytes", plan.cutTexts);
    return out;
}
