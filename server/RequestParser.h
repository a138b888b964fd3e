// The request side of the calendar protocol as pure functions over bytes:
// finding the request line in what a connection has received, and turning
// that line into a checked request. No socket, no database, no global state,
// so every function here can be fuzzed.
#pragma once

#include "server/Outcome.h"
#include "server/ShiftJisLike.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Longest request line accepted, line end not counted.
inline constexpr size_t kMaxRequestLine = 64 * 1024;

// Most clauses a GET 1 condition may join (the client sends up to three).
inline constexpr size_t kMaxConditionClauses = 16;

// Longest texts the client's record fields hold.
inline constexpr size_t kMaxTextBytes = 255;
inline constexpr size_t kMaxShortNameBytes = 63;

enum class FrameStatus { NeedMore, Complete, TooLong };

struct Frame {
    FrameStatus status = FrameStatus::NeedMore;
    size_t lineLength = 0;  // Complete: bytes of the line without its line end
};

// Looks for the end of the request line in the bytes a connection has
// received so far (`received` always starts at the first byte of the
// connection). Consumes nothing.
// - NeedMore: no line feed yet and the line may still fit: read more bytes.
// - Complete: the line is received[0, lineLength); it ended with CR LF (or a
//   bare LF, whose missing CR is forgiven). Bytes after the line are ignored.
// - TooLong: the line is longer than kMaxRequestLine; reply with an error.
Frame FindRequestLine(std::string_view received);

enum class RequestKind { Hello, Get, Set, Versions };

// A parsed "schedule like", "sk0.id" and "sk1.id" condition. Every clause
// must hold (the clauses are joined by "and").
struct ScheduleFilter {
    std::vector<int32_t> categoryIds;
    std::vector<int32_t> genreIds;
    std::vector<ShiftJisLikePattern> patterns;

    bool Empty() const { return categoryIds.empty() && genreIds.empty() && patterns.empty(); }
    // categoryId and genreId are those of the schedule's genre; 0 if none.
    bool Accepts(int32_t categoryId, int32_t genreId, std::string_view text) const;
};

// A SET that carries the revision its record had when the client loaded it
// (one field more than the plain form) applies only while the stored record
// still has that revision; the plain form applies whatever is stored.
struct ExpectedRevision {
    bool conditional = false;
    int32_t revision = 0;  // 0 for SET 3: the day had no record
};

struct ScheduleChange {
    int32_t op = 0;
    int32_t date = 0;
    int32_t id = 0;
    std::string text;
    int32_t genreId = 0;
    ExpectedRevision expected;
};

struct GenreChange {
    int32_t op = 0;
    int32_t id = 0;
    int32_t level = 0;
    int32_t parentId = 0;
    std::string name;
    std::string shortName;
    ExpectedRevision expected;
};

struct DateInfoChange {
    int32_t date = 0;
    std::string name;
    int32_t holiday = 0;
    int32_t aux = 0;
    ExpectedRevision expected;
};

// One checked request. Only the member of its kind and data set is filled.
struct Request {
    RequestKind kind = RequestKind::Hello;
    int dataSet = 0;
    ScheduleFilter filter;    // GET 1
    ScheduleChange schedule;  // SET 1
    GenreChange genre;        // SET 2
    DateInfoChange dateInfo;  // SET 3
};

// The request line of VERSIONS, which asks for the data sets' change
// counters, without its line end.
inline constexpr std::string_view kVersionsRequest = "VERSIONS RDZVP/0.0";

// Parses one request line (without its line end). On success the request is
// fully checked for everything that needs no stored data: field counts,
// integer syntax, op codes, real dates, text lengths, revisions. On error the failure
// carries the message for the client. Never reads outside `line`.
Outcome<Request> ParseRequest(std::string_view line);

// The GET 1 condition after Unescape: empty, or at most
// kMaxConditionClauses clauses joined by "and ", each "sk0.id = N ",
// "sk1.id = N " or "schedule like '...' ".
Outcome<ScheduleFilter> ParseCondition(std::string_view condition);

// A decimal integer as "%d" writes it (optional "-", digits without a
// leading zero, within the signed 32-bit range; "0" but not "-0");
// nothing else.
bool ParseStrictInt(std::string_view field, int32_t& value);
