#include "protocol/CategorySet.h"

int CategorySet::Get(const std::string& condition) {
    return FetchRecords(DATASET_CATEGORIES, condition, kCaptionGetCategories, records, &ParseCategoryRecord);
}

int CategorySet::Set(const CategoryRecord& record) {
    const bool conditional = context_.TakesConditionalChanges(DATASET_CATEGORIES);
    return SendRecord(DATASET_CATEGORIES, FormatCategorySetBody(record, conditional));
}

void CategorySet::Append(std::unique_ptr<CategoryRecord> record) {
    if (record) records.push_back(std::move(record));
}

void CategorySet::CopyFrom(const CategorySet& other) {
    if (&other == this) return;
    records.clear();
    records.reserve(other.records.size());
    for (const auto& record : other.records) records.push_back(std::make_unique<CategoryRecord>(*record));
}

std::vector<CategoryRecord*> CategorySet::ListAll() const {
    std::vector<CategoryRecord*> all;
    all.reserve(records.size());
    for (const auto& record : records) all.push_back(record.get());
    return all;
}

CategoryRecord* CategorySet::FindById(int32_t id) const {
    for (const auto& record : records) {
        if (record->id == id) return record.get();
    }
    return nullptr;
}

std::vector<CategoryRecord*> CategorySet::ListByLevel(int32_t level) const {
    std::vector<CategoryRecord*> matching;
    for (const auto& record : records) {
        if (record->level == level) matching.push_back(record.get());
    }
    return matching;
}

std::vector<CategoryRecord*> CategorySet::ListByParent(int32_t parentId) const {
    std::vector<CategoryRecord*> matching;
    for (const auto& record : records) {
        if (record->parentId == parentId) matching.push_back(record.get());
    }
    return matching;
}
