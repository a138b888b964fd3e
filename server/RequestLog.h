// One line per request on stderr: time, client address, request kind and
// data set, bytes sent, milliseconds, result. Safe to call from any thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <string_view>

class RequestLog {
public:
    static void Write(std::string_view client, std::string_view kind, size_t bytesSent,
                      std::chrono::steady_clock::duration elapsed, std::string_view result);
    // A line about the server itself (start, stop, trouble).
    static void Note(std::string_view text);
};
