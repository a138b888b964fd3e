// Data set 2: the categories (level 0) and their genres (level 1), fetched
// with GET 2, changed one at a time with SET 2, and looked up by id, level
// and parent.
#pragma once

#include "protocol/ProtocolClient.h"
#include "protocol/Records.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CategorySet : public ProtocolClient {
public:
    explicit CategorySet(const ServerContext& context) : ProtocolClient(context) {}
    ~CategorySet() override = default;

    // Fetches categories and genres; only a successful reply replaces
    // `records`. 1 success, 0 failure.
    int Get(const std::string& condition);
    // Sends one record with SET 2; nothing on the client changes.
    int Set(const CategoryRecord& record);

    // Takes ownership of `record` and appends it.
    void Append(std::unique_ptr<CategoryRecord> record);
    // Replaces this set's records by independent copies of `other`'s.
    void CopyFrom(const CategorySet& other);

    // The lookups return pointers into `records`, in store order; the
    // caller owns the vector, not the records.
    std::vector<CategoryRecord*> ListAll() const;
    CategoryRecord* FindById(int32_t id) const;
    std::vector<CategoryRecord*> ListByLevel(int32_t level) const;
    std::vector<CategoryRecord*> ListByParent(int32_t parentId) const;

    std::vector<std::unique_ptr<CategoryRecord>> records;
};
