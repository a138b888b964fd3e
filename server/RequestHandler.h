// Runs one request line against the store and produces the reply bytes,
// plus what the request log needs to know about it.
#pragma once

#include "server/CalendarStore.h"
#include "server/ReplyBytes.h"
#include "server/ReplyCache.h"
#include "server/WorkBudget.h"

#include <atomic>
#include <chrono>

#include <string>
#include <string_view>

struct HandledRequest {
    ReplyBytes reply;
    std::string kind;    // "HELLO", "GET 1", "SET 2", ... for the log
    std::string result;  // "ok" or "error(tag)"
};

class RequestHandler {
public:
    // `cache` and `memory` are shared by every worker's handler.
    RequestHandler(CalendarStore& store, ReplyCache& cache, ReplyMemory& memory)
        : store_(store), cache_(cache), memory_(memory) {}

    // Runs the request within `deadline`; `stopping` cuts it short.
    HandledRequest Handle(std::string_view line, const std::string& clientHost,
                          std::chrono::steady_clock::time_point deadline, const std::atomic<bool>* stopping);

private:
    ReplyBytes Get(const Request& request, std::chrono::steady_clock::time_point deadline,
                   const std::atomic<bool>* stopping);

    CalendarStore& store_;
    ReplyCache& cache_;
    ReplyMemory& memory_;
};

// The log's name of a request line, even of one that does not parse.
std::string RequestKindForLog(std::string_view line);
