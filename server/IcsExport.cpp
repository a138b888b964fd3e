#include "server/IcsExport.h"

#include "protocol/Records.h"
#include "server/Cp932Text.h"
#include "server/ShiftJisLike.h"

#include <libical/ical.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <memory>
#include <unordered_map>

namespace {

// A libical component owned until the end of the scope.
struct ComponentFree {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

bool ParseId(std::string_view text, int32_t& value) {
    if (text.empty() || text.size() > 10) return false;
    int64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
    }
    if (number > INT32_MAX) return false;
    value = static_cast<int32_t>(number);
    return true;
}

bool ParseDate(std::string_view text, int32_t& key) {
    std::string digits;
    if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
        digits = std::string(text.substr(0, 4)) + std::string(text.substr(5, 2)) + std::string(text.substr(8, 2));
    } else if (text.size() == 8) {
        digits = std::string(text);
    } else {
        return false;
    }
    int32_t value = 0;
    if (!ParseId(digits, value) || !IsValidDateKey(value)) return false;
    key = value;
    return true;
}

icaltimetype DateOf(int32_t key) {
    CivilDate civil = FromDateKey(key);
    icaltimetype date = icaltime_null_date();
    date.year = civil.year;
    date.month = civil.month;
    date.day = civil.day;
    return date;
}

// A stamp ("YYYY/MM/DD HH:MM", the server's local time) in UTC; nullopt
// when the stamp is no such time.
std::optional<icaltimetype> StampTime(const std::string& entered) {
    int year, month, day, hour, minute;
    char end;
    if (std::sscanf(entered.c_str(), "%4d/%2d/%2d %2d:%2d%c", &year, &month, &day, &hour, &minute, &end) != 5) {
        return std::nullopt;
    }
    if (year < 1971 || year > 2099 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59) {
        return std::nullopt;
    }
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_isdst = -1;
    std::time_t when = std::mktime(&local);
    if (when == static_cast<std::time_t>(-1)) return std::nullopt;
    return icaltime_from_timet_with_zone(when, 0, icaltimezone_get_utc_timezone());
}

void AddX(icalcomponent* component, const char* name, const std::string& value) {
    icalproperty* property = icalproperty_new_x(value.c_str());
    icalproperty_set_x_name(property, name);
    icalcomponent_add_property(component, property);
}

// The names as one CATEGORIES property, a list of values. libical writes
// a CATEGORIES value's commas as list separators, so a comma inside a name
// would split it in every reader: it becomes the full-width comma.
void AddCategories(icalcomponent* component, std::initializer_list<const std::string*> names) {
    std::string value;
    for (const std::string* name : names) {
        if (name->empty()) continue;
        if (!value.empty()) value += ',';
        for (char c : *name) {
            if (c == ',') {
                value += u8"，";
            } else {
                value += c;
            }
        }
    }
    if (!value.empty()) icalcomponent_add_property(component, icalproperty_new_categories(value.c_str()));
}

// The properties every exported event has.
Component NewDayEvent(const std::string& uid, int32_t date, const std::string& summary, const std::string& entered,
                      const std::string& host, icaltimetype exportTime) {
    Component event(icalcomponent_new(ICAL_VEVENT_COMPONENT));
    icalcomponent_add_property(event.get(), icalproperty_new_uid(uid.c_str()));
    std::optional<icaltimetype> stamp = StampTime(entered);
    icalcomponent_add_property(event.get(), icalproperty_new_dtstamp(stamp ? *stamp : exportTime));
    if (stamp) {
        // A record keeps the time of its last change only.
        icalcomponent_add_property(event.get(), icalproperty_new_created(*stamp));
        icalcomponent_add_property(event.get(), icalproperty_new_lastmodified(*stamp));
    }
    icalcomponent_add_property(event.get(), icalproperty_new_dtstart(DateOf(date)));
    // One day long, said outright: a date alone means that day as well, but
    // some calendar servers refuse an event with neither an end nor a
    // duration, and DURATION is the shorter of the two.
    icalcomponent_add_property(event.get(), icalproperty_new_duration(icaldurationtype_from_int(24 * 60 * 60)));
    icalcomponent_add_property(event.get(), icalproperty_new_summary(summary.c_str()));
    icalcomponent_add_property(event.get(), icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
    if (!host.empty()) AddX(event.get(), "X-RENDEZ-HOST", Cp932ToUtf8(host));
    return event;
}

// Stored text as an iCalendar TEXT value: line breaks as one newline.
std::string TextValue(const std::string& stored) {
    std::string utf8 = Cp932ToUtf8(stored);
    std::string value;
    value.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\r') {
            value += '\n';
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
        } else {
            value += utf8[i];
        }
    }
    return value;
}

void AppendComponent(std::string& out, icalcomponent* component) {
    char* text = icalcomponent_as_ical_string_r(component);
    out += text;
    icalmemory_free_buffer(text);
}

}  // namespace

std::optional<std::string> IcsFilter::Add(std::string_view name, std::string_view value) {
    int32_t number = 0;
    if (name == "category" || name == "genre") {
        if (!ParseId(value, number)) return std::string(name) + " must be an id";
        (name == "category" ? categoryIds : genreIds).push_back(number);
    } else if (name == "text") {
        if (value.empty()) return std::string("text must not be empty");
        texts.push_back(Utf8ToCp932(value).text);
    } else if (name == "from" || name == "to") {
        if (!ParseDate(value, number)) return std::string(name) + " must be a date YYYY-MM-DD from 1971 to 2037";
        (name == "from" ? from : to) = number;
    } else if (name == "days") {
        if (value != "0" && value != "1") return std::string("days must be 0 or 1");
        days = value == "1";
    } else {
        return "unknown filter " + std::string(name);
    }
    return std::nullopt;
}

std::string ScheduleUid(int32_t id) {
    return "schedule-" + std::to_string(id) + "@rendez";
}

std::string DayUid(int32_t date) {
    return "day-" + std::to_string(date) + "@rendez";
}

std::string BuildIcs(const CalendarContents& contents, const IcsFilter& filter, const IcsCalendarInfo& info,
                     WorkBudget* budget) {
    size_t events = 0;
    auto check = [&](const std::string& out) {
        if (budget && ++events % 256 == 0) budget->Check(out.capacity());
    };
    icaltimetype now = icaltime_current_time_with_zone(icaltimezone_get_utc_timezone());

    Component calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Rendez//calendar-server//JA"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_calscale("GREGORIAN"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_method(ICAL_METHOD_PUBLISH));
    icalcomponent_add_property(calendar.get(), icalproperty_new_name(info.name.c_str()));
    AddX(calendar.get(), "X-WR-CALNAME", info.name);
    icaldurationtype refresh = icaldurationtype_from_int(std::max(1, info.refreshMinutes) * 60);
    icalproperty* interval = icalproperty_new_refreshinterval(refresh);
    icalproperty_add_parameter(interval, icalparameter_new_value(ICAL_VALUE_DURATION));
    icalcomponent_add_property(calendar.get(), interval);
    AddX(calendar.get(), "X-PUBLISHED-TTL", icaldurationtype_as_ical_string(refresh));

    // The calendar's own lines, then each event serialized on its own, so
    // a large calendar never lives twice (as a tree and as text).
    std::string head;
    AppendComponent(head, calendar.get());
    const std::string kEnd = "END:VCALENDAR\r\n";
    std::string out = head.substr(0, head.size() - kEnd.size());

    struct Names {
        int32_t categoryId = 0;
        std::string category, genre;
    };
    std::unordered_map<int32_t, std::string> categoryNames;
    for (const CalendarContents::Category& row : contents.categories) {
        if (row.level == LEVEL_CATEGORY) categoryNames[row.id] = Cp932ToUtf8(row.name);
    }
    std::unordered_map<int32_t, Names> genres;
    for (const CalendarContents::Category& row : contents.categories) {
        if (row.level != LEVEL_GENRE) continue;
        auto category = categoryNames.find(row.parentId);
        genres[row.id] = Names{row.parentId, category == categoryNames.end() ? std::string() : category->second,
                               Cp932ToUtf8(row.name)};
    }
    std::vector<ShiftJisLikePattern> patterns;
    for (const std::string& text : filter.texts) patterns.emplace_back("%" + text + "%");

    if (filter.days) {
        for (const CalendarContents::DateInfo& day : contents.dateInfo) {
            if (day.date < filter.from || day.date > filter.to || !IsValidDateKey(day.date)) continue;
            if (day.name.empty() && day.holiday == 0) continue;
            bool holiday = day.holiday != 0;
            std::string summary = day.name.empty() ? u8"祝日" : TextValue(day.name);
            Component event = NewDayEvent(DayUid(day.date), day.date, summary, day.entered, day.host, now);
            static const std::string kHoliday = u8"祝日", kNamed = u8"日付名称";
            AddCategories(event.get(), {holiday ? &kHoliday : &kNamed});
            AddX(event.get(), "X-RENDEZ-DAY", holiday ? "HOLIDAY" : "NAMED");
            AppendComponent(out, event.get());
            check(out);
        }
    }

    std::vector<const CalendarContents::Schedule*> schedules;
    schedules.reserve(contents.schedules.size());
    for (const CalendarContents::Schedule& schedule : contents.schedules) {
        if (schedule.date < filter.from || schedule.date > filter.to || !IsValidDateKey(schedule.date)) continue;
        auto names = genres.find(schedule.genreId);
        int32_t categoryId = names == genres.end() ? 0 : names->second.categoryId;
        if (!filter.categoryIds.empty() &&
            std::find(filter.categoryIds.begin(), filter.categoryIds.end(), categoryId) == filter.categoryIds.end()) {
            continue;
        }
        if (!filter.genreIds.empty() &&
            std::find(filter.genreIds.begin(), filter.genreIds.end(), schedule.genreId) == filter.genreIds.end()) {
            continue;
        }
        bool matches = true;
        for (const ShiftJisLikePattern& pattern : patterns) matches = matches && pattern.Matches(schedule.text);
        if (matches) schedules.push_back(&schedule);
    }
    std::stable_sort(schedules.begin(), schedules.end(), [](auto* a, auto* b) {
        return a->date != b->date ? a->date < b->date : a->id < b->id;
    });
    for (const CalendarContents::Schedule* schedule : schedules) {
        Component event = NewDayEvent(ScheduleUid(schedule->id), schedule->date, TextValue(schedule->text),
                                      schedule->entered, schedule->host, now);
        auto names = genres.find(schedule->genreId);
        if (names != genres.end()) AddCategories(event.get(), {&names->second.category, &names->second.genre});
        AddX(event.get(), "X-RENDEZ-GENRE", std::to_string(schedule->genreId));
        AppendComponent(out, event.get());
        check(out);
    }
    out += kEnd;
    if (budget) budget->Check(out.capacity());
    return out;
}
