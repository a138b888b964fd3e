#include "server/SqlCalendarStore.h"

#include "protocol/Records.h"
#include "protocol/WireFormat.h"
#include "server/ReplyFormat.h"
#include "text/ShiftJis.h"

#include <stdexcept>

namespace {

Failure NoSuchGenre(int32_t genreId) {
    if (genreId == 0) return MakeFailure("no-genre", "ジャンルが選ばれていません");
    return MakeFailure("no-such-genre", "ジャンル(id " + FormatInt(genreId) +
                                            ")がありません。ほかの人が削除した可能性があります");
}

// A record changed or deleted by someone else since the client loaded it;
// `subject` names it ("このスケジュールは" ...).
Failure Conflict(const char* subject, bool deleted) {
    if (deleted) {
        return MakeFailure("conflict-deleted", std::string(subject) +
                                                   "、読み込んだ後にほかの人が削除しました。この変更は保存していません。"
                                                   "カレンダーには、削除された後の内容を表示します");
    }
    return MakeFailure("conflict-changed", std::string(subject) +
                                               "、読み込んだ後にほかの人が変更しました。この変更は保存していません。"
                                               "カレンダーには、その人が変更した内容を表示します");
}

// A schedule or genre: the record must still exist with the revision sent.
std::optional<Failure> CheckRecordRevision(const char* subject, int32_t expected, std::optional<int32_t> stored) {
    if (!stored) return Conflict(subject, true);
    if (*stored != expected) return Conflict(subject, false);
    return std::nullopt;
}

const char* const kScheduleSubject = "このスケジュールは";
const char* const kGenreSubject = "このジャンルは";
const char* const kDateInfoSubject = "この日付の設定は";

}  // namespace

std::optional<Failure> SqlCalendarStore::ApplySchedule(const ScheduleChange& change, const ChangeStamp& stamp) {
    if (change.op == OP_NONE || (change.op == OP_DELETE && change.id == 0)) return std::nullopt;
    WriteTransaction transaction(*this);
    // An addition never conflicts: the revision it carries means nothing.
    bool adding = change.op == OP_ADD || change.id == 0;
    bool checked = !adding && change.expected.conditional;
    if (checked) {
        std::optional<int32_t> stored = RevisionOf(DATASET_SCHEDULES, change.id);
        if (auto conflict = CheckRecordRevision(kScheduleSubject, change.expected.revision, stored)) return conflict;
    }
    if (change.op == OP_DELETE) {
        // Deleting a schedule someone else already deleted leaves what the
        // user wanted: no schedule with that id (unless the user expected
        // the one loaded, checked above).
        DeleteSchedule(change.id);
        transaction.Commit();
        return std::nullopt;
    }
    if (!adding && !checked && !ScheduleExists(change.id)) {
        return MakeFailure("no-such-schedule", "変更するスケジュール(id " + FormatInt(change.id) +
                                                   ")がありません。ほかの人が削除した可能性があります");
    }
    std::optional<int64_t> level = change.genreId == 0 ? std::nullopt : LevelOf(change.genreId);
    if (!level || *level != LEVEL_GENRE) return NoSuchGenre(change.genreId);
    if (adding) {
        InsertSchedule(change.date, change.text, change.genreId, stamp);
    } else {
        UpdateSchedule(change, stamp);
    }
    transaction.Commit();
    return std::nullopt;
}

std::optional<Failure> SqlCalendarStore::ApplyGenre(const GenreChange& change, const ChangeStamp& stamp) {
    if (change.op == OP_NONE || (change.op == OP_DELETE && change.id == 0)) return std::nullopt;
    WriteTransaction transaction(*this);
    // An add gets a new id; the id it carries means nothing.
    bool adding = change.op == OP_ADD || change.id == 0;
    std::optional<int64_t> level = adding ? std::nullopt : LevelOf(change.id);
    if (level && *level != LEVEL_GENRE) {
        return MakeFailure("not-a-genre", "id " + FormatInt(change.id) +
                                              " はカテゴリです。カテゴリはサーバーの管理者だけが変更できます");
    }
    if (!adding && change.expected.conditional) {
        std::optional<int32_t> stored = level ? RevisionOf(DATASET_CATEGORIES, change.id) : std::nullopt;
        if (auto conflict = CheckRecordRevision(kGenreSubject, change.expected.revision, stored)) return conflict;
    }
    if (change.op == OP_DELETE) {
        if (!level) return std::nullopt;  // already gone: nothing left to delete
        int64_t schedules = CountGenreSchedules(change.id);
        if (schedules > 0) {
            return MakeFailure("genre-in-use", "このジャンルにはスケジュールが " +
                                                   FormatInt(static_cast<int32_t>(schedules)) +
                                                   " 件登録されているため削除できません");
        }
        DeleteCategory(change.id);
        transaction.Commit();
        return std::nullopt;
    }
    if (!adding && !level) {
        return MakeFailure("no-such-genre", "変更するジャンル(id " + FormatInt(change.id) +
                                                ")がありません。ほかの人が削除した可能性があります");
    }
    std::optional<int64_t> parentLevel = change.parentId == 0 ? std::nullopt : LevelOf(change.parentId);
    if (!parentLevel || *parentLevel != LEVEL_CATEGORY) {
        return MakeFailure("no-such-category", "ジャンルを入れるカテゴリ(id " + FormatInt(change.parentId) +
                                                   ")がありません");
    }
    if (auto wrong = CheckGenreName(change, adding)) return wrong;
    if (adding) {
        InsertCategoryRecord(LEVEL_GENRE, change.parentId, change.name, change.shortName, stamp);
    } else {
        UpdateGenre(change, stamp);
    }
    transaction.Commit();
    return std::nullopt;
}

std::optional<Failure> SqlCalendarStore::CheckGenreName(const GenreChange& change, bool adding) {
    // Names nobody could tell apart in the tree, the lists and the search.
    const std::string_view name = TrimBlanks(change.name);
    if (name.empty()) return MakeFailure("blank-genre-name", "ジャンルの名称が空白だけです。名称を入れてください");
    for (const auto& [id, other] : GenresUnder(change.parentId)) {
        if (!adding && id == change.id) continue;
        if (TrimBlanks(other) == name) {
            return MakeFailure("duplicate-genre-name",
                               "このカテゴリには「" + std::string(name) + "」という名称のジャンルがすでにあります");
        }
    }
    return std::nullopt;
}

std::optional<Failure> SqlCalendarStore::ApplyDateInfo(const DateInfoChange& change, const ChangeStamp& stamp) {
    WriteTransaction transaction(*this);
    if (change.expected.conditional) {
        // Revision 0: the day had no record when it was loaded.
        std::optional<int32_t> stored = RevisionOf(DATASET_DATE_INFO, change.date);
        if (stored.value_or(0) != change.expected.revision) return Conflict(kDateInfoSubject, !stored);
    }
    UpsertDateInfo(change, stamp);
    transaction.Commit();
    return std::nullopt;
}

int32_t SqlCalendarStore::AddCategory(const std::string& name, const std::string& shortName,
                                      const ChangeStamp& stamp) {
    WriteTransaction transaction(*this);
    int32_t id = InsertCategoryRecord(LEVEL_CATEGORY, 0, name, shortName, stamp);
    transaction.Commit();
    return id;
}

int32_t SqlCalendarStore::AddGenre(int32_t categoryId, const std::string& name, const std::string& shortName,
                                   const ChangeStamp& stamp) {
    WriteTransaction transaction(*this);
    int32_t id = InsertCategoryRecord(LEVEL_GENRE, categoryId, name, shortName, stamp);
    transaction.Commit();
    return id;
}

void SqlCalendarStore::ImportSchedules(const std::vector<ScheduleRow>& rows, const ChangeStamp& stamp) {
    WriteTransaction transaction(*this);
    for (const ScheduleRow& row : rows) InsertSchedule(row.date, row.text, row.genreId, stamp);
    transaction.Commit();
}

int SqlCalendarStore::FillHolidays(const std::vector<HolidayRow>& holidays, const ChangeStamp& stamp) {
    WriteTransaction transaction(*this);
    int written = 0;
    for (const HolidayRow& holiday : holidays) written += FillHoliday(holiday, stamp);
    transaction.Commit();
    return written;
}

ForeignImportTally SqlCalendarStore::ImportForeignEvents(const std::vector<ForeignEvent>& events,
                                                         const ChangeStamp& stamp) {
    WriteTransaction transaction(*this);
    std::unordered_map<int32_t, bool> genreExists;
    for (const ForeignEvent& event : events) {
        for (const ScheduleRow& row : event.schedules) {
            auto found = genreExists.find(row.genreId);
            if (found != genreExists.end()) continue;
            std::optional<int64_t> level = LevelOf(row.genreId);
            if (!level || *level != LEVEL_GENRE) {
                throw std::runtime_error("genre " + std::to_string(row.genreId) + " does not exist");
            }
            genreExists.emplace(row.genreId, true);
        }
    }
    ForeignImportTally tally;
    for (const ForeignEvent& event : events) {
        if (ForeignEventKnown(event.key)) {
            ++tally.known;
            continue;
        }
        RememberForeignEvent(event.key, stamp);
        ++tally.events;
        for (const ScheduleRow& row : event.schedules) {
            InsertSchedule(row.date, row.text, row.genreId, stamp);
            ++tally.schedules;
        }
        for (const HolidayRow& holiday : event.holidays) {
            if (FillHoliday(holiday, stamp) > 0) {
                ++tally.holidays;
            } else {
                ++tally.namedDays;
            }
        }
    }
    transaction.Commit();
    return tally;
}

void SqlCalendarStore::GenreNames::Add(int32_t id, int32_t parentId, std::string_view shortName) {
    names_[id] = Names{parentId, std::string(shortName)};
}

const SqlCalendarStore::GenreNames::Names* SqlCalendarStore::GenreNames::Find(int32_t id) const {
    auto found = names_.find(id);
    return found == names_.end() ? nullptr : &found->second;
}

bool SqlCalendarStore::GenreNames::AppendSchedule(std::string& reply, const ScheduleFilter& filter, int64_t date,
                                                  int64_t id, std::string_view text, int32_t genreId, int64_t revision,
                                                  std::string_view entered, std::string_view host) const {
    const Names* genre = Find(genreId);
    const Names* category = genre ? Find(genre->parentId) : nullptr;
    int32_t categoryId = genre ? genre->parentId : 0;
    // Conditions are matched here, on the bytes, the same for every engine.
    if (!filter.Empty() && !filter.Accepts(categoryId, genreId, text)) return false;
    RecordLineWriter line(reply);
    line.Int(date)
        .Int(id)
        .Text(text)
        .Int(genreId)
        .Int(revision)
        .Text(entered)
        .Text(host)
        .Text(genre ? std::string_view(genre->shortName) : std::string_view())
        .Text(category ? std::string_view(category->shortName) : std::string_view())
        .End();
    return true;
}

void SqlCalendarStore::AppendCategoryLine(std::string& reply, int64_t id, int64_t level, int64_t parentId,
                                          std::string_view name, std::string_view shortName, int64_t editState,
                                          std::string_view entered, std::string_view host, int64_t revision) {
    RecordLineWriter line(reply);
    line.Int(id).Int(level).Int(parentId).Text(name).Text(shortName).Int(editState).Text(entered).Text(host);
    line.Int(revision).End();
}

void SqlCalendarStore::AppendDateInfoLine(std::string& reply, int64_t date, std::string_view name, int64_t holiday,
                                          int64_t revision, std::string_view entered, std::string_view host) {
    RecordLineWriter line(reply);
    line.Int(date).Text(name).Int(holiday).Int(revision).Text(entered).Text(host).End();
}
