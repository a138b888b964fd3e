#include "protocol/ScheduleSet.h"

#include "protocol/GenreTally.h"

#include <new>

int ScheduleSet::Get(const std::string& condition) {
    // The old index goes first and the new one is made once the old records
    // are gone, so a reload's peak (both sets at once) holds no index; after
    // a failure it is made again for the records kept.
    DropIndex();
    int fetched = FetchRecords(DATASET_SCHEDULES, condition, kCaptionGetSchedules, records, &ParseScheduleRecord);
    IndexByDate();
    return fetched;
}

void ScheduleSet::DropIndex() {
    std::vector<DateEntry>().swap(byDate_);
    indexed_ = false;
}

int ScheduleSet::Set(const ScheduleRecord& record) {
    const bool conditional = context_.TakesConditionalChanges(DATASET_SCHEDULES);
    return SendRecord(DATASET_SCHEDULES, FormatScheduleSetBody(record, conditional));
}

std::map<int32_t, int32_t> ScheduleSet::CountByGenre(int32_t fromDate, int32_t toDate) const {
    GenreTally tally;
    tally.Start();
    ForEachEntryInDates(fromDate, toDate, [&tally](const DateEntry& entry) { tally.Add(entry.genreId); });
    std::map<int32_t, int32_t> counts;
    tally.Finish(counts);
    return counts;
}

void ScheduleSet::IndexByDate() const {
    std::vector<DateEntry>().swap(byDate_);
    indexed_ = false;
    indexedArray_ = records.data();
    indexedSize_ = records.size();
    if (records.size() > UINT32_MAX) return;  // positions would not fit the keys: passes read every record
    try {
        // One key per record, the date (sign bit flipped, so that unsigned
        // order is signed order) above the position: sorting the keys
        // orders by date and keeps store order within a date.
        // The genres are gathered in the same pass, in store order, so that
        // filling the entries never reads the records in date order, which
        // is all over the store.
        std::vector<uint64_t> keys(records.size());
        std::vector<int32_t> genres(records.size());
        for (size_t i = 0; i < records.size(); ++i) {
            const uint32_t date = static_cast<uint32_t>(records[i]->date) ^ 0x80000000u;
            keys[i] = (static_cast<uint64_t>(date) << 32) | i;
            genres[i] = records[i]->genreId;
        }
        std::sort(keys.begin(), keys.end());
        byDate_.resize(keys.size());
        for (size_t i = 0; i < keys.size(); ++i) {
            const uint32_t at = static_cast<uint32_t>(keys[i]);
            const int32_t date = static_cast<int32_t>(static_cast<uint32_t>(keys[i] >> 32) ^ 0x80000000u);
            byDate_[i] = DateEntry{date, genres[at], records[at].get()};
        }
        indexed_ = true;
    } catch (const std::bad_alloc&) {
        std::vector<DateEntry>().swap(byDate_);  // the plain passes still give every answer
    }
}

bool ScheduleSet::IndexCurrent() const {
    if (indexedArray_ != records.data() || indexedSize_ != records.size()) IndexByDate();
    return indexed_;
}
