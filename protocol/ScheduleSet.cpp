#include "protocol/ScheduleSet.h"

int ScheduleSet::Get(const std::string& condition) {
    return FetchRecords(DATASET_SCHEDULES, condition, kCaptionGetSchedules, records, &ParseScheduleRecord);
}

int ScheduleSet::Set(const ScheduleRecord& record) {
    return SendRecord(DATASET_SCHEDULES, FormatScheduleSetBody(record));
}

std::map<int32_t, int32_t> ScheduleSet::CountByGenre(int32_t fromDate, int32_t toDate) const {
    std::map<int32_t, int32_t> counts;
    for (const auto& record : records) {
        if (record->date >= fromDate && record->date <= toDate) ++counts[record->genreId];
    }
    return counts;
}
