#include "protocol/DateInfoSet.h"

int DateInfoSet::Get(const std::string& condition) {
    return FetchRecords(DATASET_DATE_INFO, condition, kCaptionGetDateInfo, records, &ParseDateInfoRecord);
}

int DateInfoSet::Set(const DateInfoRecord& record) {
    const bool conditional = context_.TakesConditionalChanges(DATASET_DATE_INFO);
    return SendRecord(DATASET_DATE_INFO, FormatDateInfoSetBody(record, conditional));
}
