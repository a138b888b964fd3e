// The calendar protocol's bytes: request prefixes, text codings, reply
// framing and field copying. Plain C++ with no Windows header, shared by the
// client, the calendar server, the native tests, the fuzzer and the benchmark.
#pragma once

#include "text/ShiftJis.h"
#include "text/TextTools.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// Version token that every request line carries.
inline constexpr std::string_view kProtocolToken = "RDZVP/0.0";
inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr std::string_view kHelloLine = "HELLO RDZVP/0.0\r\n";

// Asks a server for the change counters of its three data sets; a server
// that does not know the request answers with a failure.
inline constexpr std::string_view kVersionsLine = "VERSIONS RDZVP/0.0\r\n";

// Client to server: "+" "%" ":" " " become "+2B" "+25" "+3A" "+20", and CR
// and LF become "+0D" and "+0A" so that a line break inside a text can never
// end the request line; every other byte passes unchanged.
std::string Escape(std::string_view text);

// Server to client: every "+" followed by at least one byte is replaced,
// with the (at most) two bytes after it, by the byte whose value is the low
// 8 bits of those bytes read as a hexadecimal number (no digits give 0).
std::string Unescape(std::string_view text);

// Doubles every "'" and then every "\" byte, for the text of a search
// condition.
std::string QuoteSqlText(std::string_view text);

// Integers are read by ParseInt (the atoi rule) and written by FormatInt
// ("%d"), both in text/TextTools.h.

// Unescape(escaped) straight into a fixed-width field, with the rules of
// CopyToField (text/ShiftJis.h); no intermediate string. Returns the number
// of bytes copied.
size_t UnescapeToField(char* field, size_t width, std::string_view escaped);

template <size_t N>
size_t UnescapeToField(char (&field)[N], std::string_view escaped) {
    return UnescapeToField(field, N, escaped);
}

// Position of the next CR LF at or after `from`, or npos.
inline size_t FindLineEnd(std::string_view text, size_t from) {
    while (from < text.size()) {
        const void* cr = std::memchr(text.data() + from, '\r', text.size() - from);
        if (!cr) break;
        size_t at = static_cast<size_t>(static_cast<const char*>(cr) - text.data());
        if (at + 1 < text.size() && text[at + 1] == '\n') return at;
        from = at + 1;
    }
    return std::string_view::npos;
}

// Calls visit(line) for every line of a reply cut at CR LF, the piece after
// the last CR LF included. Stops early when visit returns false.
template <typename Visitor>
void ForEachLine(std::string_view reply, Visitor&& visit) {
    size_t start = 0;
    for (;;) {
        size_t end = FindLineEnd(reply, start);
        if (end == std::string_view::npos) {
            visit(reply.substr(start));
            return;
        }
        if (!visit(reply.substr(start, end - start))) return;
        start = end + kLineEnd.size();
    }
}

// A record line is any line that contains "DATA".
inline bool IsRecordLine(std::string_view line) {
    // Servers write "DATA" first: check there before searching the line.
    return line.substr(0, 4) == "DATA" || line.find("DATA") != std::string_view::npos;
}

// Calls visit(line) for every record line of a reply, in order.
template <typename Visitor>
void ForEachRecordLine(std::string_view reply, Visitor&& visit) {
    ForEachLine(reply, [&](std::string_view line) {
        if (IsRecordLine(line)) visit(line);
        return true;
    });
}

// The ":"-separated fields of a record line. Field 0 is the part before the
// first ":"; a field past the end of the line reads as empty, so a short
// line gives 0 for missing integers and "" for missing texts.
class RecordFields {
public:
    explicit RecordFields(std::string_view line);

    size_t Count() const { return count_; }
    std::string_view Text(size_t index) const;
    int32_t Int(size_t index) const { return ParseInt(Text(index)); }

    // The most fields any data set reads; later fields are ignored.
    static constexpr size_t kMaxFields = 12;

private:
    std::string_view fields_[kMaxFields];
    size_t count_ = 0;
};

// A success reply is non-empty and does not begin with "-".
inline bool IsSuccessReply(std::string_view reply) {
    return !reply.empty() && reply.front() != '-';
}

// Whether a success reply reads as this protocol at all: its first line is
// a status line ("+..."), a record line, or empty. Anything else (another
// service on the port, noise) is not a reply to judge or to read records
// from.
inline bool IsProtocolReply(std::string_view reply) {
    std::string_view first = reply.substr(0, FindLineEnd(reply, 0));
    return first.empty() || first.front() == '+' || IsRecordLine(first);
}

// The number of record lines that a success reply of a GET announces: the
// reply's first line is "+OK RDZVP/0.0 " followed by decimal digits, alone or
// followed by a space and more words (" VERSION 17"). Returns false when the
// first line is anything else (the plain framing, which announces nothing).
// A count beyond 64 bits reads as the largest value.
bool ReadAnnouncedRecordCount(std::string_view reply, uint64_t& count);

// The data set's change counter that a GET of a whole data set announces
// after its count: "+OK RDZVP/0.0 <count> VERSION <version>". A server that
// announces it also sends every record's revision and takes conditional
// changes. False when the first line carries no such version.
bool ReadAnnouncedVersion(std::string_view reply, int64_t& version);

// The change counters of data sets 1, 2 and 3 in a success reply to
// kVersionsLine: "+OK RDZVP/0.0 <v1> <v2> <v3>". False for any other reply.
bool ReadVersionsReply(std::string_view reply, int64_t (&versions)[3]);

// The shortest record line: "DATA" and its CR LF.
inline constexpr size_t kShortestRecordLine = 6;

// How many records a set being filled should make room for before it takes
// its next one, so that an announced count is reserved at once yet a wrong
// or hostile count never reserves more than the bytes received could hold:
// the smaller of the announced count and the record lines that fit in
// `bytesReceived`. 0 when nothing is announced or the room is no larger than
// `have` (the set then grows as usual).
inline uint64_t RecordRoom(uint64_t have, bool announced, uint64_t count, uint64_t bytesReceived) {
    if (!announced || count <= have) return 0;
    uint64_t room = bytesReceived / kShortestRecordLine + 1;
    if (count < room) room = count;
    return room > have ? room : 0;
}

// A reply read piece by piece as it arrives, judged and cut into lines the
// way a whole reply is: a reply beginning with "-" is a failure, kept whole
// for its message; any other reply is cut into lines at CR LF (ForEachLine),
// and once its first line is complete that line tells whether the reply is
// of this protocol at all (IsProtocolReply). Each line of a protocol reply
// goes to `visit` as soon as it is complete (the piece after the last CR LF
// at Finish); only the line being received, the first line and a failure's
// text are held.
class ReplyReader {
public:
    enum class Verdict {
        kEmpty,       // nothing arrived: a failure with an empty text
        kFailure,     // began with "-": FailureText() is the whole reply
        kUnreadable,  // a first line of another kind: no line was passed on
        kSuccess,     // a reply of this protocol: every line was passed on
    };

    // Takes the next piece of the reply; calls visit(line) for every line
    // it completes.
    template <typename Visitor>
    void Feed(std::string_view bytes, Visitor&& visit);
    // The reply has ended: passes on its last line.
    template <typename Visitor>
    void Finish(Visitor&& visit);

    // After Finish.
    Verdict Result() const { return verdict_; }
    const std::string& FailureText() const { return failure_; }
    // The first line of a success reply (for its announced count).
    const std::string& FirstLine() const { return firstLine_; }

private:
    enum class State { kStart, kFirstLine, kLines, kFailure, kUnreadable };

    template <typename Visitor>
    void Line(std::string_view line, Visitor& visit);

    State state_ = State::kStart;
    Verdict verdict_ = Verdict::kEmpty;
    std::string partial_;  // the line being received
    std::string failure_;
    std::string firstLine_;
};

template <typename Visitor>
void ReplyReader::Line(std::string_view line, Visitor& visit) {
    if (state_ == State::kFirstLine) {
        if (!line.empty() && line.front() != '+' && !IsRecordLine(line)) {
            state_ = State::kUnreadable;
            return;
        }
        firstLine_.assign(line.data(), line.size());
        state_ = State::kLines;
    }
    if (state_ == State::kLines) visit(line);
}

template <typename Visitor>
void ReplyReader::Feed(std::string_view bytes, Visitor&& visit) {
    if (bytes.empty()) return;
    if (state_ == State::kStart) state_ = bytes.front() == '-' ? State::kFailure : State::kFirstLine;
    if (state_ == State::kFailure) {
        failure_.append(bytes.data(), bytes.size());
        return;
    }
    if (state_ == State::kUnreadable) return;  // read to the end, kept nowhere
    size_t pos = 0;
    // A CR LF split between two pieces.
    if (!partial_.empty() && partial_.back() == '\r' && bytes.front() == '\n') {
        partial_.pop_back();
        Line(partial_, visit);
        partial_.clear();
        pos = 1;
    }
    for (;;) {
        size_t end = FindLineEnd(bytes, pos);
        if (end == std::string_view::npos) break;
        if (partial_.empty()) {
            Line(bytes.substr(pos, end - pos), visit);
        } else {
            partial_.append(bytes.data() + pos, end - pos);
            Line(partial_, visit);
            partial_.clear();
        }
        if (state_ == State::kUnreadable) return;
        pos = end + kLineEnd.size();
    }
    partial_.append(bytes.data() + pos, bytes.size() - pos);
}

template <typename Visitor>
void ReplyReader::Finish(Visitor&& visit) {
    if (state_ == State::kFirstLine || state_ == State::kLines) Line(partial_, visit);
    partial_.clear();
    partial_.shrink_to_fit();
    switch (state_) {
    case State::kStart: verdict_ = Verdict::kEmpty; break;
    case State::kFailure: verdict_ = Verdict::kFailure; break;
    case State::kUnreadable: verdict_ = Verdict::kUnreadable; break;
    default: verdict_ = Verdict::kSuccess; break;
    }
}

// Request lines.
std::string BuildGetLine(int dataSet, std::string_view condition);
std::string BuildSetLine(int dataSet, std::string_view body);
