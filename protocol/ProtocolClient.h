// The client side of the calendar protocol: one request per connection,
// the reply read until the server closes, failures shown to the user.
#pragma once

#include "protocol/ServerContext.h"
#include "protocol/TcpSocket.h"
#include "protocol/WireFormat.h"

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

protected:
    // GET of one data set: on a success reply replaces `records` by one
    // zero-filled record per record line, filled by `parse`, in order, and
    // returns 1. A success reply that announces more record lines than it
    // brings is a failure (kTextReplyCut under `failureCaption`), and so is
    // running out of memory for the reply or its records (kTextOutOfMemory).
    // On failure returns 0 and leaves `records` as they were.
    template <typename Record>
    int FetchRecords(int dataSet, const std::string& condition, const char* failureCaption,
                     std::vector<std::unique_ptr<Record>>& records, void (*parse)(std::string_view, Record&));
    // SET of one record body; 1 on a success reply, else 0.
    int SendRecord(int dataSet, const std::string& body);

    const ServerContext& context_;

private:
    void ShowFailure(const char* text, const char* caption) const;

    std::unique_ptr<TcpSocket> socket_;
};

template <typename Record>
int ProtocolClient::FetchRecords(int dataSet, const std::string& condition, const char* failureCaption,
                                 std::vector<std::unique_ptr<Record>>& records,
                                 void (*parse)(std::string_view, Record&)) {
    try {
        ExchangeResult result = Exchange(BuildGetLine(dataSet, condition), failureCaption);
        if (!result.success) return 0;
        std::vector<std::unique_ptr<Record>> fetched;
        ForEachRecordLine(result.reply, [&](std::string_view line) {
            auto record = std::make_unique<Record>();
            parse(line, *record);
            fetched.push_back(std::move(record));
        });
        uint64_t announced = 0;
        if (ReadAnnouncedRecordCount(result.reply, announced) && fetched.size() < announced) {
            ShowFailure(kTextReplyCut, failureCaption);
            return 0;
        }
        records = std::move(fetched);
        return 1;
    } catch (const std::bad_alloc&) {
        // Out of memory while making the records: the reply and the records
        // made so far are gone by now and the old set is whole. Uncaught,
        // the exception would end the program.
        ShowFailure(kTextOutOfMemory, failureCaption);
        return 0;
    }
}
