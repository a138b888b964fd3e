// The calendar as an iCalendar feed over HTTP/1.1 (gzip-compressed for
// clients that accept it), served by the server's
// own event loop (one request per connection, then close) so the feed keeps
// every promise of the calendar protocol: allow-list, connection caps,
// deadlines for slow clients, the time budget and the reply memory.
// A subscriber's program polls; the ETag and Last-Modified follow the data
// sets' versions, so a poll of an unchanged calendar is answered with 304
// after one small query.
#pragma once

#include "server/CalendarStore.h"
#include "server/IcsExport.h"
#include "server/ReplyBytes.h"
#include "server/RequestHandler.h"
#include "server/RequestParser.h"
#include "server/StoreVersion.h"
#include "server/WorkBudget.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>

// Longest request head (request line and headers) accepted.
inline constexpr size_t kMaxHttpHead = 16 * 1024;

// Looks for the blank line that ends an HTTP request head in what the
// connection has received (CR LF CR LF, or bare LF LF). Complete: the head
// is received[0, lineLength).
Frame FindHttpHead(std::string_view received);

// A complete response with a plain-text body, for errors and refusals.
std::string HttpErrorResponse(int status, std::string_view text);

// The unfiltered feed, built once per data-set version and shared by every
// connection, the time this server first saw each version (the feed's
// Last-Modified), and the count of feeds being built: a build holds a
// worker for a second or more, so at most `maxBuilds` run at once and the
// calendar protocol always keeps workers of its own.
class IcsFeedCache {
public:
    explicit IcsFeedCache(size_t maxBuilds = 1);
    // Takes one of the build slots; false when every one is taken.
    bool StartBuild();
    void EndBuild();
    // The Last-Modified time of `version`.
    std::time_t ChangedAt(const StoreVersion& version);
    // The whole response, plain or gzip-compressed, built at `version`. When
    // there is none, the caller is told to build it, unless another worker
    // is building it already: then the last one built (of an older version,
    // with its own tag) is handed out meanwhile, so a change never makes
    // every worker build the same large feed at once.
    std::optional<ReplyBytes> Find(const StoreVersion& version, bool gzip);
    // Ends a build: keeps the response, or (nullopt) gives the build up.
    void Keep(const StoreVersion& version, bool gzip, const std::optional<ReplyBytes>& response);

private:
    std::mutex mutex_;
    size_t maxBuilds_;
    size_t builds_ = 0;
    StoreVersion seen_{};
    bool seenAny_ = false;
    std::time_t changedAt_;
    struct Entry {
        int building = 0;  // requests building this response now
        bool valid = false;
        StoreVersion version{};
        ReplyBytes response;
    };
    Entry entries_[2];  // plain, gzip
};

class IcsFeed {
public:
    IcsFeed(CalendarStore& store, IcsFeedCache& cache, ReplyMemory& memory, IcsCalendarInfo info)
        : store_(store), cache_(cache), memory_(memory), info_(std::move(info)) {}

    // Answers one request head; never throws.
    HandledRequest Handle(std::string_view head, std::chrono::steady_clock::time_point deadline,
                          const std::atomic<bool>* stopping);

private:
    CalendarStore& store_;
    IcsFeedCache& cache_;
    ReplyMemory& memory_;
    IcsCalendarInfo info_;
};
