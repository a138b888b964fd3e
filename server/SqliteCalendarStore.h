// The calendar in one SQLite file. Reads run side by side in WAL mode;
// writes are serialized by SQLite (BEGIN IMMEDIATE), each SET in one
// transaction.
#pragma once

#include "server/SqlCalendarStore.h"
#include "server/Sqlite.h"

#include <memory>
#include <optional>
#include <string>

class SqliteCalendarStore final : public SqlCalendarStore {
public:
    // Opens the database at `path`, creating the file and the tables when
    // they do not exist yet.
    explicit SqliteCalendarStore(const std::string& path);
    ~SqliteCalendarStore() override;

    // How this connection commits: the journal mode ("wal") and the
    // synchronous level (2 = FULL: a commit is on disk before it returns).
    std::string JournalMode();
    int SynchronousLevel();

    std::string Describe() override { return path_; }
    std::string CommitDurability() override;
    StoreVersion Version() override;

    size_t AppendSchedules(const ScheduleFilter& filter, std::string& reply, WorkBudget& budget) override;
    size_t AppendCategories(std::string& reply, WorkBudget& budget) override;
    size_t AppendDateInfo(std::string& reply, WorkBudget& budget) override;

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
    int64_t LastIdOf(const char* table);
    int32_t CheckedNewId();

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

    // SQLite calls back while it works; a run-out budget interrupts it.
    static int OnProgress(void* store);
    class BudgetInForce;

    std::string path_;
    SqliteConnection connection_;
    std::optional<SqliteReadTransaction> snapshot_;
    std::optional<SqliteWriteTransaction> writing_;
    WorkBudget* budget_ = nullptr;  // of the GET running now
    struct Statements;
    std::unique_ptr<Statements> statements_;
};
