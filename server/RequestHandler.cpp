#include "server/RequestHandler.h"

#include "protocol/Records.h"
#include "server/ReplyFormat.h"

#include <new>

namespace {

HandledRequest FailureReply(std::string kind, const Failure& failure) {
    return HandledRequest{ReplyBytes(ErrorReply(failure.message)), std::move(kind), "error(" + failure.tag + ")"};
}

std::optional<Failure> ApplySet(CalendarStore& store, const Request& request, const ChangeStamp& stamp) {
    switch (request.dataSet) {
    case DATASET_SCHEDULES: return store.ApplySchedule(request.schedule, stamp);
    case DATASET_CATEGORIES: return store.ApplyGenre(request.genre, stamp);
    default: return store.ApplyDateInfo(request.dateInfo, stamp);
    }
}

// The records after room for the status line, which goes in front of them
// once their number is known: the reply is never copied. A reply charged to
// the shared memory gives its charge back when its last holder lets go.
// `version`, when given, is the data set's version the records were read at.
ReplyBytes BuildGetReply(CalendarStore& store, const Request& request, WorkBudget& budget,
                         std::optional<int64_t> version) {
    std::string buffer(kStatusLineRoom, ' ');
    size_t lines = 0;
    switch (request.dataSet) {
    case DATASET_SCHEDULES: lines = store.AppendSchedules(request.filter, buffer, budget); break;
    case DATASET_CATEGORIES: lines = store.AppendCategories(buffer, budget); break;
    default: lines = store.AppendDateInfo(buffer, budget); break;
    }
    budget.Check(buffer.capacity());
    std::string status = GetStatusLine(lines, version);
    size_t begin = kStatusLineRoom - status.size();
    buffer.replace(begin, status.size(), status);
    if (!budget.Memory()) return ReplyBytes(std::make_shared<const std::string>(std::move(buffer)), begin);
    size_t charge = budget.TakeCharge();
    return ReplyBytes(budget.Memory()->Adopt(std::move(buffer), charge), begin);
}

Failure StoppedFailure(const WorkStopped& stopped) {
    switch (stopped.WhyStopped()) {
    case WorkStopped::Reason::Time:
        return MakeFailure("time-budget", "要求の処理に時間がかかりすぎるため打ち切りました。条件を絞ってやり直してください");
    case WorkStopped::Reason::Memory:
        return MakeFailure("reply-memory", "サーバーが混み合っています。しばらくしてからやり直してください");
    default:
        return MakeFailure("stopping", "サーバーを停止しています。しばらくしてからやり直してください");
    }
}

}  // namespace

std::string RequestKindForLog(std::string_view line) {
    if (line.substr(0, 8) == "VERSIONS") return "VERSIONS";
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

ReplyBytes RequestHandler::Get(const Request& request, std::chrono::steady_clock::time_point deadline,
                               const std::atomic<bool>* stopping) {
    if (request.dataSet == DATASET_SCHEDULES && !request.filter.Empty()) {
        // A search: built for this request alone, under the shared memory.
        WorkBudget budget(deadline, stopping, &memory_);
        return BuildGetReply(store_, request, budget, std::nullopt);
    }
    // Everyone refreshing asks for these: one reply per data set and store
    // version, shared. The version and the records come from one snapshot,
    // and the status line names the data set's version of that snapshot.
    // Their work grows only with the data, never with what a client sends,
    // so only a stop cuts them short (a large calendar on a slow machine
    // still loads).
    (void)deadline;
    WorkBudget budget(std::chrono::steady_clock::time_point::max(), stopping, nullptr);
    CalendarStore::ReadSnapshot snapshot(store_);
    StoreVersion version = store_.Version();
    if (std::optional<ReplyBytes> cached = cache_.Find(request.dataSet, version)) return *cached;
    ReplyBytes reply = BuildGetReply(store_, request, budget, version[static_cast<size_t>(request.dataSet - 1)]);
    cache_.Keep(request.dataSet, version, reply);
    return reply;
}

HandledRequest RequestHandler::Handle(std::string_view line, const std::string& clientHost,
                                      std::chrono::steady_clock::time_point deadline,
                                      const std::atomic<bool>* stopping) {
    std::string kind = RequestKindForLog(line);
    Outcome<Request> parsed = ParseRequest(line);
    if (!parsed.Ok()) return FailureReply(kind, parsed.Error());
    const Request& request = parsed.Value();
    try {
        if (request.kind == RequestKind::Get) return HandledRequest{Get(request, deadline, stopping), kind, "ok"};
        // One small read of the counters: no snapshot, no GET work.
        if (request.kind == RequestKind::Versions) {
            return HandledRequest{ReplyBytes(VersionsReply(store_.Version())), kind, "ok"};
        }
        if (request.kind == RequestKind::Set) {
            std::optional<Failure> failure = ApplySet(store_, request, StampNow(clientHost));
            if (failure) return FailureReply(kind, *failure);
        }
        return HandledRequest{ReplyBytes(std::string(kSuccessStatusLine)), kind, "ok"};
    } catch (const WorkStopped& stopped) {
        return FailureReply(kind, StoppedFailure(stopped));
    } catch (const std::bad_alloc&) {
        return FailureReply(kind, MakeFailure("out-of-memory", "サーバーのメモリが足りません"));
    } catch (const std::exception& error) {
        if (IsStoreInterruption(error)) {
            bool isStopping = stopping && stopping->load();
            return FailureReply(kind, StoppedFailure(WorkStopped(isStopping ? WorkStopped::Reason::Stopping
                                                                            : WorkStopped::Reason::Time)));
        }
        if (std::optional<Failure> failure = StoreFailure(error)) return FailureReply(kind, *failure);
        return FailureReply(kind, MakeFailure(std::string("internal: ") + error.what(),
                                              "サーバー内部でエラーが起きました。管理者に連絡してください"));
    }
}
