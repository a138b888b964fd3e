// The server's three data sets in one SQLite database: schedules, the
// categories with their genres, and the date-information master. Each
// worker thread owns one store (one connection); reads run side by side in
// WAL mode, writes are serialized by SQLite, each SET in one transaction.
#pragma once

#include "server/Outcome.h"
#include "server/RequestParser.h"
#include "server/Sqlite.h"
#include "server/StoreVersion.h"
#include "server/WorkBudget.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Who made a change and when, stamped on every stored record.
struct ChangeStamp {
    std::string entered;  // local time, "YYYY/MM/DD HH:MM"
    std::string host;     // the client's address
};

// The stamp for a change made now from `host`.
ChangeStamp StampNow(const std::string& host);

// One schedule for a bulk import (demo data, benchmark seeding).
struct ScheduleRow {
    int32_t date = 0;
    std::string text;
    int32_t genreId = 0;
};

struct HolidayRow {
    int32_t date = 0;
    std::string name;
};

class CalendarStore {
public:
    // Opens the database at `path`, creating the file and the tables when
    // they do not exist yet.
    explicit CalendarStore(const std::string& path);
    ~CalendarStore();
    CalendarStore(const CalendarStore&) = delete;
    CalendarStore& operator=(const CalendarStore&) = delete;

    // How this connection commits: the journal mode ("wal") and the
    // synchronous level (2 = FULL: a commit is on disk before it returns).
    std::string JournalMode();
    int SynchronousLevel();

    // A consistent view for several reads (the version and a GET), held
    // while the object lives.
    class ReadSnapshot {
    public:
        explicit ReadSnapshot(CalendarStore& store) : transaction_(store.connection_) {}

    private:
        SqliteReadTransaction transaction_;
    };

    // The change counters of the data sets; moved on by every committed
    // change, from this process or any other.
    StoreVersion Version();

    // GET: appends one record line per record to `reply`; returns the
    // number of lines appended. The budget is checked as rows go by; when it
    // runs out, WorkStopped is thrown and `reply` is partial.
    size_t AppendSchedules(const ScheduleFilter& filter, std::string& reply, WorkBudget& budget);
    size_t AppendCategories(std::string& reply, WorkBudget& budget);
    size_t AppendDateInfo(std::string& reply, WorkBudget& budget);

    // SET: applies one checked change in one transaction; on failure
    // nothing is stored and the failure says why.
    std::optional<Failure> ApplySchedule(const ScheduleChange& change, const ChangeStamp& stamp);
    std::optional<Failure> ApplyGenre(const GenreChange& change, const ChangeStamp& stamp);
    std::optional<Failure> ApplyDateInfo(const DateInfoChange& change, const ChangeStamp& stamp);

    // Administration, each in one transaction. Return the new ids.
    int32_t AddCategory(const std::string& name, const std::string& shortName, const ChangeStamp& stamp);
    int32_t AddGenre(int32_t categoryId, const std::string& name, const std::string& shortName,
                     const ChangeStamp& stamp);
    void ImportSchedules(const std::vector<ScheduleRow>& rows, const ChangeStamp& stamp);
    // Names each holiday unless the day already has a name; returns the
    // number of days written.
    int FillHolidays(const std::vector<HolidayRow>& holidays, const ChangeStamp& stamp);

    int64_t CountSchedules();
    int64_t CountCategories();

private:
    void CreateSchema();
    // Level of the category record `id`, or nullopt when there is none.
    std::optional<int64_t> LevelOf(int32_t id);
    int32_t InsertCategoryRecord(int32_t level, int32_t parentId, const std::string& name,
                                 const std::string& shortName, const ChangeStamp& stamp);
    int32_t CheckedNewId();

    // SQLite calls back while it works; a run-out budget interrupts it.
    static int OnProgress(void* store);
    class BudgetInForce;

    SqliteConnection connection_;
    WorkBudget* budget_ = nullptr;  // of the GET running now
    struct Statements;
    std::unique_ptr<Statements> statements_;
};
