// Data set 3: the date-information master (day names and holidays), fetched
// with GET 3; SET 3 states one day's name and holiday mark.
#pragma once

#include "protocol/ProtocolClient.h"
#include "protocol/Records.h"

#include <memory>
#include <string>
#include <vector>

class DateInfoSet : public ProtocolClient {
public:
    explicit DateInfoSet(const ServerContext& context) : ProtocolClient(context) {}
    ~DateInfoSet() override = default;

    // Only a successful reply replaces `records`. 1 success, 0 failure.
    int Get(const std::string& condition);
    // Sends date, name and holiday mark of one record with SET 3.
    int Set(const DateInfoRecord& record);

    std::vector<std::unique_ptr<DateInfoRecord>> records;
};
