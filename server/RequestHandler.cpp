#include "server/RequestHandler.h"

#include "protocol/Records.h"
#include "server/ReplyFormat.h"

#include <sqlite3.h>

#include <new>

namespace {

HandledRequest FailureReply(std::string kind, const Failure& failure) {
    return HandledRequest{ErrorReply(failure.message), std::move(kind), "error(" + failure.tag + ")"};
}

std::optional<Failure> ApplySet(CalendarStore& store, const Request& request, const ChangeStamp& stamp) {
    switch (request.dataSet) {
    case DATASET_SCHEDULES: return store.ApplySchedule(request.schedule, stamp);
    case DATASET_CATEGORIES: return store.ApplyGenre(request.genre, stamp);
    default: return store.ApplyDateInfo(request.dateInfo, stamp);
    }
}

void AppendGet(CalendarStore& store, const Request& request, std::string& reply) {
    switch (request.dataSet) {
    case DATASET_SCHEDULES: store.AppendSchedules(request.filter, reply); break;
    case DATASET_CATEGORIES: store.AppendCategories(reply); break;
    default: store.AppendDateInfo(reply); break;
    }
}

}  // namespace

std::string RequestKindForLog(std::string_view line) {
    for (std::string_view word : {"HELLO", "GET", "SET"}) {
        if (line.substr(0, word.size()) != word) continue;
        std::string kind(word);
        // "GET RDZVP/0.0 n": the data set digit sits at a fixed place.
        constexpr size_t digitAt = 14;
        if (word != "HELLO" && line.size() > digitAt && line[digitAt] >= '0' && line[digitAt] <= '9') {
            kind += ' ';
            kind += line[digitAt];
        }
        return kind;
    }
    return "?";
}

HandledRequest RequestHandler::Handle(std::string_view line, const std::string& clientHost) {
    std::string kind = RequestKindForLog(line);
    Outcome<Request> parsed = ParseRequest(line);
    if (!parsed.Ok()) return FailureReply(kind, parsed.Error());
    const Request& request = parsed.Value();
    try {
        HandledRequest handled{std::string(kSuccessStatusLine), kind, "ok"};
        if (request.kind == RequestKind::Get) {
            AppendGet(store_, request, handled.reply);
        } else if (request.kind == RequestKind::Set) {
            std::optional<Failure> failure = ApplySet(store_, request, StampNow(clientHost));
            if (failure) return FailureReply(kind, *failure);
        }
        return handled;
    } catch (const SqliteError& error) {
        int primary = error.Code() & 0xFF;
        if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
            return FailureReply(kind, MakeFailure("busy", "サーバーが混み合っています。しばらくしてからやり直してください"));
        }
        if (primary == SQLITE_FULL) {
            return FailureReply(kind, MakeFailure("disk-full", "サーバーのディスクがいっぱいで保存できません"));
        }
        // The tag carries SQLite's own words for the administrator's log.
        return FailureReply(kind, MakeFailure(std::string("database: ") + error.what(),
                                              "サーバーのデータベースでエラーが起きました。"
                                              "管理者に連絡してください"));
    } catch (const std::bad_alloc&) {
        return FailureReply(kind, MakeFailure("out-of-memory", "サーバーのメモリが足りません"));
    } catch (const std::exception& error) {
        return FailureReply(kind, MakeFailure(std::string("internal: ") + error.what(),
                                              "サーバー内部でエラーが起きました。管理者に連絡してください"));
    }
}
