// The calendar in one SQLite file. Reads run side by side in WAL mode;
// writes are serialized by SQLite (BEGIN IMMEDIATE), each SET in one
// transaction.
#pragma once

#include "server/CalendarStore.h"
#include "server/Sqlite.h"

#include <memory>
#include <optional>
#include <string>

class SqliteCalendarStore final : public CalendarStore {
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

    // GET: appends one record line per record to `reply`; returns the
    // number of lines appended. The budget is checked as rows go by; when it
    // runs out, WorkStopped is thrown and `reply` is partial.
    size_t AppendSchedules(const ScheduleFilter& filter, std::string& reply, WorkBudget& budget) override;
    size_t AppendCategories(std::string& reply, WorkBudget& budget) override;
    size_t AppendDateInfo(std::string& reply, WorkBudget& budget) override;

    // SET: applies one checked change in one transaction; on failure
    // nothing is stored and the failure says why.
    std::optional<Failure> ApplySchedule(const ScheduleChange& change, const ChangeStamp& stamp) override;
    std::optional<Failure> ApplyGenre(const GenreChange& change, const ChangeStamp& stamp) override;
    std::optional<Failure> ApplyDateInfo(const DateInfoChange& change, const ChangeStamp& stamp) override;

    // Administration, each in one transaction. Return the new ids.
    int32_t AddCategory(const std::string& name, const std::string& shortName, const ChangeStamp& stamp) override;
    int32_t AddGenre(int32_t categoryId, const std::string& name, const std::string& shortName,
                     const ChangeStamp& stamp) override;
    void ImportSchedules(const std::vector<ScheduleRow>& rows, const ChangeStamp& stamp) override;
    // Names each holiday unless the day already has a name; returns the
    // number of days written.
    int FillHolidays(const std::vector<HolidayRow>& holidays, const ChangeStamp& stamp) override;

    int64_t CountSchedules() override;
    int64_t CountCategories() override;

    CalendarContents Export() override;
    void Import(const CalendarContents& contents) override;

private:
    void BeginRead() override;
    void EndRead() override;
    void CreateSchema();
    int64_t LastIdOf(const char* table);
    // Level of the category record `id`, or nullopt when there is none.
    std::optional<int64_t> LevelOf(int32_t id);
    int32_t InsertCategoryRecord(int32_t level, int32_t parentId, const std::string& name,
                                 const std::string& shortName, const ChangeStamp& stamp);
    int32_t CheckedNewId();

    // SQLite calls back while it works; a run-out budget interrupts it.
    static int OnProgress(void* store);
    class BudgetInForce;

    std::string path_;
    SqliteConnection connection_;
    std::optional<SqliteReadTransaction> snapshot_;
    WorkBudget* budget_ = nullptr;  // of the GET running now
    struct Statements;
    std::unique_ptr<Statements> statements_;
};
