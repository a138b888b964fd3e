// Runs one request line against the store and produces the reply bytes,
// plus what the request log needs to know about it.
#pragma once

#include "server/CalendarStore.h"
#include "server/ReplyBytes.h"

#include <string>
#include <string_view>

struct HandledRequest {
    ReplyBytes reply;
    std::string kind;    // "HELLO", "GET 1", "SET 2", ... for the log
    std::string result;  // "ok" or "error(tag)"
};

class RequestHandler {
public:
    explicit RequestHandler(CalendarStore& store) : store_(store) {}

    HandledRequest Handle(std::string_view line, const std::string& clientHost);

private:
    CalendarStore& store_;
};

// The log's name of a request line, even of one that does not parse.
std::string RequestKindForLog(std::string_view line);
