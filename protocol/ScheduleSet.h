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

    // Makes the index by date for `records` as they are now. Get does this;
    // code that fills `records` itself calls it afterwards. (A changed
    // number or array of records is noticed and the index made again, but
    // not dates changed in place or records replaced one for one.)
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

    // How far ahead in the range a record's first cache line is asked for
    // (the slow part: a page and a line of memory nobody read lately), and
    // how far ahead the rest of the record, for visitors that copy records
    // whole. In a native test of this loop, asking for whole records eight
    // ahead was slower than asking for the first line alone; the two steps
    // beat both.
    static constexpr ptrdiff_t kPrefetchAhead = 8;
    static constexpr ptrdiff_t kPrefetchRestAhead = 2;
    static constexpr uintptr_t kCacheLine = 64;

    // Asks for the cache lines of `record` after its first.
    static void PrefetchRest(const ScheduleRecord* record) {
        const uintptr_t start = reinterpret_cast<uintptr_t>(record);
        for (uintptr_t line = (start & ~(kCacheLine - 1)) + kCacheLine; line < start + sizeof(ScheduleRecord);
             line += kCacheLine) {
            __builtin_prefetch(reinterpret_cast<const void*>(line));
        }
    }

    // The records, ordered by (date, position in `records`).
    mutable std::vector<const ScheduleRecord*> byDate_;
    // The array and size of `records` that byDate_ describes.
    mutable const void* indexedArray_ = nullptr;
    mutable size_t indexedSize_ = 0;
    mutable bool indexed_ = false;
};

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
                               [](const ScheduleRecord* record, int32_t date) { return record->date < date; });
    const auto end = byDate_.end();
    for (; at != end; ++at) {
        // The records of a range lie all over the store: ask for the ones a
        // few steps ahead while this one is read.
        if (end - at > kPrefetchAhead) __builtin_prefetch(at[kPrefetchAhead]);
        if (end - at > kPrefetchRestAhead) PrefetchRest(at[kPrefetchRestAhead]);
        const ScheduleRecord& record = **at;
        if (record.date > toDate) break;
        visit(record);
    }
}
