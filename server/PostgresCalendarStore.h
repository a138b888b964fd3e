// The calendar in a PostgreSQL database that several server processes may
// share. Texts are stored as bytea: the Shift-JIS bytes go in and come out
// exactly, whatever the database's encoding, and searches match them in the
// server the same way as on SQLite. Writes take one transaction-scoped
// advisory lock, so a check and the change it guards (a genre deleted only
// while no schedule uses it) hold across processes; commits are synchronous.
#pragma once

#include "server/Postgres.h"
#include "server/SqlCalendarStore.h"

#include <optional>
#include <string>

class PostgresCalendarStore final : public SqlCalendarStore {
public:
    // Connects and creates the tables when they do not exist yet.
    explicit PostgresCalendarStore(const std::string& conninfo);

    std::string Describe() override { return connection_.Describe(); }
    std::string CommitDurability() override;
    StoreVersion Version() override;

    size_t AppendSchedules(const ScheduleFilter& filter, std::string& reply, WorkBudget& budget) override;
    size_t AppendCategories(std::string& reply, WorkBudget& budget) override;
    size_t AppendDateInfo(std::string& reply, WorkBudget& budget) override;

    // A few statements of many rows each, in one transaction.
    void ImportSchedules(const std::vector<ScheduleRow>& rows, const ChangeStamp& stamp) override;

    int64_t CountSchedules() override;
    int64_t CountCategories() override;

    CalendarContents Export() override;
    void Import(const CalendarContents& contents) override;

private:
    void BeginRead() override;
    void EndRead() override;
    void BeginWrite() override;
    void CommitWrite() override;
    void EndWrite() override;
    void CreateSchema();
    void PrepareStatements();

    std::optional<int64_t> LevelOf(int32_t id) override;
    bool ScheduleExists(int32_t id) override;
    std::optional<int32_t> RevisionOf(int dataSet, int32_t key) override;
    void InsertSchedule(int32_t date, const std::string& text, int32_t genreId, const ChangeStamp& stamp) override;
    void UpdateSchedule(const ScheduleChange& change, const ChangeStamp& stamp) override;
    void DeleteSchedule(int32_t id) override;
    int64_t CountGenreSchedules(int32_t genreId) override;
    std::vector<std::pair<int32_t, std::string>> GenresUnder(int32_t categoryId) override;
    int32_t InsertCategoryRecord(int32_t level, int32_t parentId, const std::string& name,
                                 const std::string& shortName, const ChangeStamp& stamp) override;
    void UpdateGenre(const GenreChange& change, const ChangeStamp& stamp) override;
    void DeleteCategory(int32_t id) override;
    void UpsertDateInfo(const DateInfoChange& change, const ChangeStamp& stamp) override;
    int FillHoliday(const HolidayRow& holiday, const ChangeStamp& stamp) override;
    bool ForeignEventKnown(const std::string& key) override;
    void RememberForeignEvent(const std::string& key, const ChangeStamp& stamp) override;
    int64_t Count(const char* statement);

    PgConnection connection_;
    std::optional<PgTransaction> snapshot_;
    std::optional<PgTransaction> writing_;
};
