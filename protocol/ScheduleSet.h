// Data set 1: the schedules, fetched with GET 1 and changed one at a time
// with SET 1, and counted per genre for the calendar.
#pragma once

#include "protocol/ProtocolClient.h"
#include "protocol/Records.h"

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

    // In the order the server sent them. Pointers into it stay valid until
    // the next successful Get.
    std::vector<std::unique_ptr<ScheduleRecord>> records;
};
