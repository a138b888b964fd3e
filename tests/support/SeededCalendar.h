// A real calendar server (CalendarServerProcess) seeded as the client seeds
// it: the categories made by the administration command before it starts,
// then genres and schedules added through the protocol, one SET each.
// Seeding that fails is reported to the running test.
#pragma once

#include "protocol/Records.h"
#include "tests/support/CalendarServerProcess.h"
#include "tests/support/TestServerContext.h"

#include <cstdint>
#include <string>
#include <vector>

class SeededCalendar {
public:
    // Each category's short name is its name; `serveArguments` go to the
    // server's serve command.
    explicit SeededCalendar(const std::vector<std::string>& categoryNames,
                            const std::vector<std::string>& serveArguments = {});
    SeededCalendar(const SeededCalendar&) = delete;
    SeededCalendar& operator=(const SeededCalendar&) = delete;

    CalendarServerProcess& Server() { return server_; }
    // 0 when the server did not come up.
    unsigned short Port() const { return server_.Port(); }
    // The categories' ids in the order they were named (empty when the
    // server did not hand them all back).
    const std::vector<int32_t>& Categories() const { return categories_; }

    // Adds a genre (its short name the same) under `categoryId`; returns its
    // id, 0 when the server did not store it.
    int32_t AddGenre(int32_t categoryId, const std::string& name);
    // Sends one schedule; returns what the SET returned (1: stored).
    int AddSchedule(int32_t date, int32_t genreId, const std::string& text, int32_t op = OP_ADD, int32_t id = 0);

private:
    CalendarServerProcess server_;
    TestServerContext context_;
    std::vector<int32_t> categories_;
};
