// The client side of the calendar protocol: one request per connection,
// the reply read until the server closes, failures shown to the user.
#pragma once

#include "protocol/ServerContext.h"
#include "protocol/TcpSocket.h"
#include "protocol/WireFormat.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

// Failure captions of the requests.
inline constexpr const char* kCaptionHello = "HELLO失敗";
inline constexpr const char* kCaptionGetSchedules = "GetScheduleに失敗";
inline constexpr const char* kCaptionGetCategories = "GetScheduleに失敗";
inline constexpr const char* kCaptionGetDateInfo = "Getに失敗";
inline constexpr const char* kCaptionSet = "SET失敗";

// Shown when a GET reply that announced its number of record lines brought
// fewer of them.
inline constexpr const char* kTextReplyCut = "サーバーからの応答が途中で切れました。";

// Shown when the server fell silent for the context's silence limit.
inline constexpr const char* kTextServerSilent = "サーバーから応答がありません。";

// Shown when a reply is not of this protocol at all.
inline constexpr const char* kTextReplyUnreadable = "サーバーからの応答を読み取れません。";

// Shown when a GET reply or its records do not fit in memory; the request
// fails and the set keeps its records.
inline constexpr const char* kTextOutOfMemory = "メモリが不足しているため、受信したデータを保持できません。";

// Shown (under "Connect失敗") when the settings' port is no number from 1 to
// 65535, a value from the registry that no page checked: the request fails
// without a connection.
std::string PortOutOfRangeText(DWORD port);

// A reply and how it was judged.
struct ExchangeResult {
    std::string reply;
    bool success = false;
};

class ProtocolClient {
public:
    explicit ProtocolClient(const ServerContext& context);
    virtual ~ProtocolClient();
    ProtocolClient(const ProtocolClient&) = delete;
    ProtocolClient& operator=(const ProtocolClient&) = delete;

    // 1 connected, 0 failed (the failure has been shown; a port outside 1 to
    // 65535 fails before any connection, naming the setting).
    int Connect();
    // 1 when the server answered HELLO with a success reply, else 0.
    int Hello();
    // Sends one request line and reads the reply. A failed connection, a
    // failed receive (the system's text for the WinSock error is shown), a
    // reply too large for the memory left (kTextOutOfMemory), an empty reply
    // or one beginning with "-" (the reply is shown, unescaped) and a reply
    // not of this protocol (kTextReplyUnreadable) fail; every message is
    // shown under `failureCaption`.
    ExchangeResult Exchange(const std::string& line, const char* failureCaption);

    const TcpSocket& Socket() const { return *socket_; }

    // The data set's change counter that the last successful GET through
    // this client announced, or -1 when it announced none.
    int64_t AnnouncedVersion() const { return announcedVersion_; }

protected:
    // GET of one data set: on a success reply replaces `records` by one
    // zero-filled record per record line, filled by `parse`, in order, and
    // returns 1. The records are made as the reply arrives, so the reply is
    // never held whole; a count that the success line announces is reserved
    // as far as the bytes received could hold that many records. A success
    // reply that announces more record lines than it brings is a failure
    // (kTextReplyCut under `failureCaption`), and so is running out of memory
    // for the records (kTextOutOfMemory). On failure returns 0 and leaves
    // `records` as they were.
    template <typename Record>
    int FetchRecords(int dataSet, const std::string& condition, const char* failureCaption,
                     std::vector<std::unique_ptr<Record>>& records, void (*parse)(std::string_view, Record&));
    // SET of one record body; 1 on a success reply, else 0.
    int SendRecord(int dataSet, const std::string& body);

    const ServerContext& context_;

private:
    using PieceTaker = std::function<void(std::string_view)>;

    void ShowFailure(const char* text, const char* caption) const;
    // The system's text for a WinSock error code.
    void ShowSystemFailure(int code, const char* caption) const;
    // Connects, sends `line` and hands every piece of the reply to `take` as
    // it arrives. True when the reply ended with the server's orderly close;
    // false after a failed connection, a failed receive, a silent server or
    // running out of memory (in `take` too), each shown under `caption`.
    bool Transfer(const std::string& line, const char* caption, const PieceTaker& take);
    // Shows why a reply read by `reader` is not a success (its unescaped
    // text, or kTextReplyUnreadable); true for a success.
    bool AcceptReply(const ReplyReader& reader, const char* caption) const;

    std::unique_ptr<TcpSocket> socket_;
    int64_t announcedVersion_ = -1;
};

template <typename Record>
int ProtocolClient::FetchRecords(int dataSet, const std::string& condition, const char* failureCaption,
                                 std::vector<std::unique_ptr<Record>>& records,
                                 void (*parse)(std::string_view, Record&)) {
    try {
        std::vector<std::unique_ptr<Record>> fetched;
        ReplyReader reader;
        uint64_t received = 0;
        bool first = true;
        bool counted = false;
        uint64_t announced = 0;
        auto take = [&](std::string_view line) {
            if (first) {
                first = false;
                counted = ReadAnnouncedRecordCount(line, announced);
            }
            if (!IsRecordLine(line)) return;
            if (fetched.size() == fetched.capacity()) {
                uint64_t room = RecordRoom(fetched.size(), counted, announced, received);
                if (room != 0) fetched.reserve(static_cast<size_t>(std::min<uint64_t>(room, fetched.max_size())));
            }
            auto record = std::make_unique<Record>();
            parse(line, *record);
            fetched.push_back(std::move(record));
        };
        bool whole = Transfer(BuildGetLine(dataSet, condition), failureCaption, [&](std::string_view piece) {
            received += piece.size();
            reader.Feed(piece, take);
        });
        if (!whole) return 0;
        reader.Finish(take);
        if (!AcceptReply(reader, failureCaption)) return 0;
        if (counted && fetched.size() < announced) {
            ShowFailure(kTextReplyCut, failureCaption);
            return 0;
        }
        records = std::move(fetched);
        if (!ReadAnnouncedVersion(reader.FirstLine(), announcedVersion_)) announcedVersion_ = -1;
        return 1;
    } catch (const std::bad_alloc&) {
        // Out of memory after the reply: the records made so far are gone by
        // now and the old set is whole. Uncaught, the exception would end
        // the program.
        ShowFailure(kTextOutOfMemory, failureCaption);
        return 0;
    }
}
