// Data set 1: the schedules, fetched with GET 1 and changed one at a time
// with SET 1, and counted per genre for the calendar. The set keeps an index
// of its records by date, made once per fetch, so that a range of days is
// found without a pass over every record.
#pragma once

#include "protocol/ProtocolClient.h"
#include "protocol/Records.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// One record as the index by date holds it: its date and genre copied, so
// that a range of days is listed and counted without reading the records.
struct DateEntry {
    int32_t date;
    int32_t genreId;
    const ScheduleRecord* record;
};

class ScheduleSet : public ProtocolClient {
public:
    explicit ScheduleSet(const ServerContext& context) : ProtocolClient(context) {}
    ~ScheduleSet() override = default;

    // Fetches the schedules matching `condition` (empty: all); only a
    // successful reply replaces `records`. 1 success, 0 failure.
    int Get(const std::string& condition);
    // Sends one record with SET 1; nothing on the client changes.
    int Set(const ScheduleRecord& record);
    // Schedules per genre id among the records dated fromDate..toDate
    // (inclusive date keys); a genre appears only with at least one.
    std::map<int32_t, int32_t> CountByGenre(int32_t fromDate, int32_t toDate) const;

    // Calls visit(const ScheduleRecord&) for every record dated
    // fromDate..toDate (inclusive date keys, compared as signed integers):
    // by date, and the records of one date in store order.
    template <typename Visitor>
    void ForEachInDates(int32_t fromDate, int32_t toDate, Visitor&& visit) const;
    // The same walk, visit(const DateEntry&) for each: the record itself is
    // not read, so a range spread over a large store costs only its entries.
    template <typename Visitor>
    void ForEachEntryInDates(int32_t fromDate, int32_t toDate, Visitor&& visit) const;

    // Makes the index by date for `records` as they are now. Get does this;
    // code that fills `records` itself calls it afterwards. (A changed
    // number or array of records is noticed and the index made again, but
    // not dates or genres changed in place or records replaced one for one.)
    void IndexByDate() const;

    // In the order the server sent them. Pointers into it stay valid until
    // the next successful Get.
    std::vector<std::unique_ptr<ScheduleRecord>> records;

private:
    void DropIndex();
    // Whether the index describes `records` as they are; if not, tries to
    // make it (false when there is no memory for it: passes then read every
    // record).
    bool IndexCurrent() const;

    static constexpr ptrdiff_t kPrefetchAhead = 8;

    // The records, ordered by (date, position in `records`).
    mutable std::vector<DateEntry> byDate_;
    // The array and size of `records` that byDate_ describes.
    mutable const void* indexedArray_ = nullptr;
    mutable size_t indexedSize_ = 0;
    mutable bool indexed_ = false;
};

template <typename Visitor>
void ScheduleSet::ForEachEntryInDates(int32_t fromDate, int32_t toDate, Visitor&& visit) const {
    if (fromDate > toDate) return;
    if (!IndexCurrent()) {
        for (const auto& record : records) {
            if (record->date >= fromDate && record->date <= toDate) {
                visit(DateEntry{record->date, record->genreId, record.get()});
            }
        }
        return;
    }
    auto at = std::lower_bound(byDate_.begin(), byDate_.end(), fromDate,
                               [](const DateEntry& entry, int32_t date) { return entry.date < date; });
    for (const auto end = byDate_.end(); at != end && at->date <= toDate; ++at) visit(*at);
}

template <typename Visitor>
void ScheduleSet::ForEachInDates(int32_t fromDate, int32_t toDate, Visitor&& visit) const {
    if (fromDate > toDate) return;
    if (!IndexCurrent()) {
        for (const auto& record : records) {
            if (record->date >= fromDate && record->date <= toDate) visit(static_cast<const ScheduleRecord&>(*record));
        }
        return;
    }
    auto at = std::lower_bound(byDate_.begin(), byDate_.end(), fromDate,
                               [](const DateEntry& entry, int32_t date) { return entry.date < date; });
    const auto end = byDate_.end();
    for (; at != end && at->date <= toDate; ++at) {
        // The records of a range lie all over the store: ask for the ones a
        // few steps ahead while this one is read.
        if (end - at > kPrefetchAhead) __builtin_prefetch(at[kPrefetchAhead].record);
        visit(*at->record);
    }
}
