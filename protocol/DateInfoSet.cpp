#include "protocol/DateInfoSet.h"

int DateInfoSet::Get(const std::string& condition) {
    return FetchRecords(
        DATASET_DATE_INFO, condition, kCaptionGetDateInfo, [this] { records.clear(); },
        [this](std::string_view line) {
            auto record = std::make_unique<DateInfoRecord>();
            ParseDateInfoRecord(line, *record);
            records.push_back(std::move(record));
        });
}

int DateInfoSet::Set(const DateInfoRecord& record) {
    return SendRecord(DATASET_DATE_INFO, FormatDateInfoSetBody(record));
}
