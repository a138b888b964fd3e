#include "server/SqliteCalendarStore.h"

#include "protocol/Records.h"
#include "protocol/WireFormat.h"

#include <sqlite3.h>

#include <algorithm>
#include <climits>

namespace {

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS categories (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    level INTEGER NOT NULL,
    parent_id INTEGER NOT NULL DEFAULT 0,
    name BLOB NOT NULL,
    short_name BLOB NOT NULL,
    edit_state INTEGER NOT NULL DEFAULT 0,
    entered TEXT NOT NULL,
    host TEXT NOT NULL,
    revision INTEGER NOT NULL DEFAULT 1);
CREATE TABLE IF NOT EXISTS schedules (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    date INTEGER NOT NULL,
    text BLOB NOT NULL,
    genre_id INTEGER NOT NULL REFERENCES categories(id),
    aux INTEGER NOT NULL DEFAULT 0,
    entered TEXT NOT NULL,
    host TEXT NOT NULL,
    revision INTEGER NOT NULL DEFAULT 1);
CREATE INDEX IF NOT EXISTS schedules_by_date ON schedules(date, id);
CREATE INDEX IF NOT EXISTS schedules_by_genre ON schedules(genre_id);
CREATE TABLE IF NOT EXISTS date_info (
    date INTEGER PRIMARY KEY,
    name BLOB NOT NULL,
    holiday INTEGER NOT NULL,
    aux INTEGER NOT NULL DEFAULT 1,
    entered TEXT NOT NULL,
    host TEXT NOT NULL,
    revision INTEGER NOT NULL DEFAULT 1);
CREATE TABLE IF NOT EXISTS foreign_events (
    key BLOB PRIMARY KEY,
    entered TEXT NOT NULL,
    host TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS data_versions (
    data_set INTEGER PRIMARY KEY,
    version INTEGER NOT NULL);
INSERT OR IGNORE INTO data_versions (data_set, version) VALUES (1, 0), (2, 0), (3, 0);
)sql";

// Every change to a data set's table, by whatever writes the file, moves
// the data set's counter on in the same transaction.
const char* const kVersionTriggers[][2] = {{"schedules", "1"}, {"categories", "2"}, {"date_info", "3"}};

// The tables whose records carry a revision; a database made before there
// were revisions gets the column, every record then at revision 1.
const char* const kRevisionTables[] = {"categories", "schedules", "date_info"};

}  // namespace

struct SqliteCalendarStore::Statements {
    explicit Statements(SqliteConnection& db)
        : selectSchedules(db,
                          "SELECT date, id, text, genre_id, revision, entered, host FROM schedules"
                          " ORDER BY date, id"),
          selectNames(db, "SELECT id, parent_id, short_name FROM categories"),
          selectCategories(db,
                           "SELECT id, level, parent_id, name, short_name, edit_state, entered, host, revision"
                           " FROM categories ORDER BY id"),
          selectDateInfo(db, "SELECT date, name, holiday, revision, entered, host FROM date_info ORDER BY date"),
          selectLevel(db, "SELECT level FROM categories WHERE id = ?1"),
          scheduleExists(db, "SELECT 1 FROM schedules WHERE id = ?1"),
          scheduleRevision(db, "SELECT revision FROM schedules WHERE id = ?1"),
          categoryRevision(db, "SELECT revision FROM categories WHERE id = ?1"),
          dateInfoRevision(db, "SELECT revision FROM date_info WHERE date = ?1"),
          insertSchedule(db,
                         "INSERT INTO schedules (date, text, genre_id, aux, entered, host)"
                         " VALUES (?1, ?2, ?3, 0, ?4, ?5)"),
          updateSchedule(db,
                         "UPDATE schedules SET date = ?2, text = ?3, genre_id = ?4, entered = ?5, host = ?6,"
                         " revision = revision + 1 WHERE id = ?1"),
          deleteSchedule(db, "DELETE FROM schedules WHERE id = ?1"),
          countGenreSchedules(db, "SELECT COUNT(*) FROM schedules WHERE genre_id = ?1"),
          selectGenresUnder(db, "SELECT id, name FROM categories WHERE parent_id = ?1 AND level = ?2"),
          insertCategory(db,
                         "INSERT INTO categories (level, parent_id, name, short_name, edit_state, entered, host)"
                         " VALUES (?1, ?2, ?3, ?4, 0, ?5, ?6)"),
          updateGenre(db,
                      "UPDATE categories SET parent_id = ?2, name = ?3, short_name = ?4, entered = ?5, host = ?6,"
                      " revision = revision + 1 WHERE id = ?1"),
          deleteCategory(db, "DELETE FROM categories WHERE id = ?1"),
          upsertDateInfo(db,
                         "INSERT INTO date_info (date, name, holiday, aux, entered, host)"
                         " VALUES (?1, ?2, ?3, ?4, ?5, ?6)"
                         " ON CONFLICT(date) DO UPDATE SET name = excluded.name, holiday = excluded.holiday,"
                         " aux = excluded.aux, entered = excluded.entered, host = excluded.host,"
                         " revision = date_info.revision + 1"),
          fillHoliday(db,
                      "INSERT INTO date_info (date, name, holiday, aux, entered, host)"
                      " VALUES (?1, ?2, 1, 1, ?3, ?4)"
                      " ON CONFLICT(date) DO UPDATE SET name = excluded.name, holiday = 1,"
                      " entered = excluded.entered, host = excluded.host, revision = date_info.revision + 1"
                      " WHERE length(date_info.name) = 0"),
          foreignEventKnown(db, "SELECT 1 FROM foreign_events WHERE key = ?1"),
          rememberForeignEvent(db, "INSERT INTO foreign_events (key, entered, host) VALUES (?1, ?2, ?3)"),
          countSchedules(db, "SELECT COUNT(*) FROM schedules"),
          countCategories(db, "SELECT COUNT(*) FROM categories"),
          selectVersions(db, "SELECT data_set, version FROM data_versions") {}

    SqliteStatement selectSchedules;
    SqliteStatement selectNames;
    SqliteStatement selectCategories;
    SqliteStatement selectDateInfo;
    SqliteStatement selectLevel;
    SqliteStatement scheduleExists;
    SqliteStatement scheduleRevision;
    SqliteStatement categoryRevision;
    SqliteStatement dateInfoRevision;
    SqliteStatement insertSchedule;
    SqliteStatement updateSchedule;
    SqliteStatement deleteSchedule;
    SqliteStatement countGenreSchedules;
    SqliteStatement selectGenresUnder;
    SqliteStatement insertCategory;
    SqliteStatement updateGenre;
    SqliteStatement deleteCategory;
    SqliteStatement upsertDateInfo;
    SqliteStatement fillHoliday;
    SqliteStatement foreignEventKnown;
    SqliteStatement rememberForeignEvent;
    SqliteStatement countSchedules;
    SqliteStatement countCategories;
    SqliteStatement selectVersions;
};

// Resets a cached statement when the caller is done with it, also on errors.
class StatementUse {
public:
    explicit StatementUse(SqliteStatement& statement) : statement_(statement) {}
    ~StatementUse() { statement_.Reset(); }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;
    SqliteStatement* operator->() { return &statement_; }

private:
    SqliteStatement& statement_;
};

SqliteCalendarStore::SqliteCalendarStore(const std::string& path) : path_(path), connection_(path, true) {
    // A writer waits for another writer's transaction instead of failing.
    connection_.Execute("PRAGMA busy_timeout = 10000");
    connection_.Execute("PRAGMA journal_mode = WAL");
    // Every answered SET is on disk: the WAL is synced at each commit.
    connection_.Execute("PRAGMA synchronous = FULL");
    connection_.Execute("PRAGMA foreign_keys = ON");
    CreateSchema();
    statements_ = std::make_unique<Statements>(connection_);
    sqlite3_progress_handler(connection_.Handle(), 10000, &SqliteCalendarStore::OnProgress, this);
}

SqliteCalendarStore::~SqliteCalendarStore() = default;

std::string SqliteCalendarStore::CommitDurability() {
    return "journal_mode=" + JournalMode() + " synchronous=" + std::to_string(SynchronousLevel());
}

void SqliteCalendarStore::BeginRead() {
    snapshot_.emplace(connection_);
}

void SqliteCalendarStore::EndRead() {
    snapshot_.reset();
}

std::string SqliteCalendarStore::JournalMode() {
    SqliteStatement query(connection_, "PRAGMA journal_mode");
    return query.Step() ? std::string(query.Bytes(0)) : std::string();
}

int SqliteCalendarStore::SynchronousLevel() {
    SqliteStatement query(connection_, "PRAGMA synchronous");
    return query.Step() ? static_cast<int>(query.Int(0)) : -1;
}

void SqliteCalendarStore::CreateSchema() {
    SqliteWriteTransaction transaction(connection_);
    connection_.Execute(kSchema);
    for (const char* table : kRevisionTables) {
        bool hasRevision = false;
        SqliteStatement columns(connection_, "SELECT name FROM pragma_table_info(?1)");
        columns.BindText(1, table);
        while (columns.Step()) hasRevision = hasRevision || columns.Bytes(0) == "revision";
        if (hasRevision) continue;
        std::string sql = std::string("ALTER TABLE ") + table + " ADD COLUMN revision INTEGER NOT NULL DEFAULT 1";
        connection_.Execute(sql.c_str());
    }
    for (const auto& table : kVersionTriggers) {
        for (const char* change : {"INSERT", "UPDATE", "DELETE"}) {
            std::string sql = std::string("CREATE TRIGGER IF NOT EXISTS ") + table[0] + "_" + change +
                              "_version AFTER " + change + " ON " + table[0] +
                              " BEGIN UPDATE data_versions SET version = version + 1 WHERE data_set = " + table[1] +
                              "; END";
            connection_.Execute(sql.c_str());
        }
    }
    transaction.Commit();
}

StoreVersion SqliteCalendarStore::Version() {
    StoreVersion version{};
    StatementUse rows(statements_->selectVersions);
    while (rows->Step()) {
        int64_t dataSet = rows->Int(0);
        if (dataSet >= 1 && dataSet <= 3) version[static_cast<size_t>(dataSet - 1)] = rows->Int(1);
    }
    return version;
}

int SqliteCalendarStore::OnProgress(void* store) {
    WorkBudget* budget = static_cast<SqliteCalendarStore*>(store)->budget_;
    return budget && budget->Exhausted() ? 1 : 0;
}

// Puts a budget in force for SQLite's own work while a GET runs.
class SqliteCalendarStore::BudgetInForce {
public:
    BudgetInForce(SqliteCalendarStore& store, WorkBudget& budget) : store_(store) { store_.budget_ = &budget; }
    ~BudgetInForce() { store_.budget_ = nullptr; }
    BudgetInForce(const BudgetInForce&) = delete;
    BudgetInForce& operator=(const BudgetInForce&) = delete;

private:
    SqliteCalendarStore& store_;
};

size_t SqliteCalendarStore::AppendSchedules(const ScheduleFilter& filter, std::string& reply, WorkBudget& budget) {
    BudgetInForce inForce(*this, budget);
    // The names come from the same snapshot as the schedules.
    std::optional<SqliteReadTransaction> snapshot;
    if (!connection_.InTransaction()) snapshot.emplace(connection_);
    GenreNames names;
    {
        StatementUse rows(statements_->selectNames);
        while (rows->Step()) names.Add(static_cast<int32_t>(rows->Int(0)), static_cast<int32_t>(rows->Int(1)), rows->Bytes(2));
    }
    size_t lines = 0;
    size_t rowsSeen = 0;
    StatementUse rows(statements_->selectSchedules);
    while (rows->Step()) {
        if (++rowsSeen % kRowsPerCheck == 0) budget.Check(reply.capacity());
        if (names.AppendSchedule(reply, filter, rows->Int(0), rows->Int(1), rows->Bytes(2),
                                 static_cast<int32_t>(rows->Int(3)), rows->Int(4), rows->Bytes(5), rows->Bytes(6))) {
            ++lines;
        }
    }
    return lines;
}

size_t SqliteCalendarStore::AppendCategories(std::string& reply, WorkBudget& budget) {
    BudgetInForce inForce(*this, budget);
    size_t lines = 0;
    StatementUse rows(statements_->selectCategories);
    while (rows->Step()) {
        if (lines % kRowsPerCheck == kRowsPerCheck - 1) budget.Check(reply.capacity());
        AppendCategoryLine(reply, rows->Int(0), rows->Int(1), rows->Int(2), rows->Bytes(3), rows->Bytes(4),
                           rows->Int(5), rows->Bytes(6), rows->Bytes(7), rows->Int(8));
        ++lines;
    }
    return lines;
}

size_t SqliteCalendarStore::AppendDateInfo(std::string& reply, WorkBudget& budget) {
    BudgetInForce inForce(*this, budget);
    size_t lines = 0;
    StatementUse rows(statements_->selectDateInfo);
    while (rows->Step()) {
        if (lines % kRowsPerCheck == kRowsPerCheck - 1) budget.Check(reply.capacity());
        AppendDateInfoLine(reply, rows->Int(0), rows->Bytes(1), rows->Int(2), rows->Int(3), rows->Bytes(4),
                           rows->Bytes(5));
        ++lines;
    }
    return lines;
}

std::optional<int64_t> SqliteCalendarStore::LevelOf(int32_t id) {
    StatementUse query(statements_->selectLevel);
    query->BindInt(1, id);
    if (!query->Step()) return std::nullopt;
    return query->Int(0);
}

int32_t SqliteCalendarStore::CheckedNewId() {
    int64_t id = connection_.LastInsertId();
    // The protocol carries ids as signed 32-bit integers.
    if (id <= 0 || id > INT32_MAX) throw SqliteError(0, "record ids exhausted");
    return static_cast<int32_t>(id);
}

void SqliteCalendarStore::BeginWrite() {
    writing_.emplace(connection_);
}

void SqliteCalendarStore::CommitWrite() {
    writing_->Commit();
}

void SqliteCalendarStore::EndWrite() {
    writing_.reset();
}

bool SqliteCalendarStore::ScheduleExists(int32_t id) {
    StatementUse exists(statements_->scheduleExists);
    exists->BindInt(1, id);
    return exists->Step();
}

std::optional<int32_t> SqliteCalendarStore::RevisionOf(int dataSet, int32_t key) {
    SqliteStatement& statement = dataSet == DATASET_SCHEDULES    ? statements_->scheduleRevision
                                 : dataSet == DATASET_CATEGORIES ? statements_->categoryRevision
                                                                 : statements_->dateInfoRevision;
    StatementUse query(statement);
    query->BindInt(1, key);
    if (!query->Step()) return std::nullopt;
    return static_cast<int32_t>(query->Int(0));
}

void SqliteCalendarStore::InsertSchedule(int32_t date, const std::string& text, int32_t genreId,
                                         const ChangeStamp& stamp) {
    StatementUse insert(statements_->insertSchedule);
    insert->BindInt(1, date).BindBytes(2, text).BindInt(3, genreId).BindText(4, stamp.entered).BindText(5, stamp.host);
    insert->Run();
    CheckedNewId();
}

void SqliteCalendarStore::UpdateSchedule(const ScheduleChange& change, const ChangeStamp& stamp) {
    StatementUse update(statements_->updateSchedule);
    update->BindInt(1, change.id).BindInt(2, change.date).BindBytes(3, change.text).BindInt(4, change.genreId);
    update->BindText(5, stamp.entered).BindText(6, stamp.host).Run();
}

void SqliteCalendarStore::DeleteSchedule(int32_t id) {
    StatementUse remove(statements_->deleteSchedule);
    remove->BindInt(1, id).Run();
}

int64_t SqliteCalendarStore::CountGenreSchedules(int32_t genreId) {
    StatementUse count(statements_->countGenreSchedules);
    count->BindInt(1, genreId);
    count->Step();
    return count->Int(0);
}

std::vector<std::pair<int32_t, std::string>> SqliteCalendarStore::GenresUnder(int32_t categoryId) {
    StatementUse query(statements_->selectGenresUnder);
    query->BindInt(1, categoryId).BindInt(2, LEVEL_GENRE);
    std::vector<std::pair<int32_t, std::string>> genres;
    while (query->Step()) genres.emplace_back(static_cast<int32_t>(query->Int(0)), std::string(query->Bytes(1)));
    return genres;
}

int32_t SqliteCalendarStore::InsertCategoryRecord(int32_t level, int32_t parentId, const std::string& name,
                                                  const std::string& shortName, const ChangeStamp& stamp) {
    StatementUse insert(statements_->insertCategory);
    insert->BindInt(1, level).BindInt(2, parentId).BindBytes(3, name).BindBytes(4, shortName);
    insert->BindText(5, stamp.entered).BindText(6, stamp.host).Run();
    return CheckedNewId();
}

void SqliteCalendarStore::UpdateGenre(const GenreChange& change, const ChangeStamp& stamp) {
    StatementUse update(statements_->updateGenre);
    update->BindInt(1, change.id).BindInt(2, change.parentId).BindBytes(3, change.name).BindBytes(4, change.shortName);
    update->BindText(5, stamp.entered).BindText(6, stamp.host).Run();
}

void SqliteCalendarStore::DeleteCategory(int32_t id) {
    StatementUse remove(statements_->deleteCategory);
    remove->BindInt(1, id).Run();
}

void SqliteCalendarStore::UpsertDateInfo(const DateInfoChange& change, const ChangeStamp& stamp) {
    StatementUse upsert(statements_->upsertDateInfo);
    upsert->BindInt(1, change.date).BindBytes(2, change.name).BindInt(3, change.holiday).BindInt(4, change.aux);
    upsert->BindText(5, stamp.entered).BindText(6, stamp.host).Run();
}

int SqliteCalendarStore::FillHoliday(const HolidayRow& holiday, const ChangeStamp& stamp) {
    StatementUse fill(statements_->fillHoliday);
    fill->BindInt(1, holiday.date).BindBytes(2, holiday.name).BindText(3, stamp.entered).BindText(4, stamp.host);
    fill->Run();
    return connection_.Changes();
}

bool SqliteCalendarStore::ForeignEventKnown(const std::string& key) {
    StatementUse known(statements_->foreignEventKnown);
    known->BindBytes(1, key);
    return known->Step();
}

void SqliteCalendarStore::RememberForeignEvent(const std::string& key, const ChangeStamp& stamp) {
    StatementUse remember(statements_->rememberForeignEvent);
    remember->BindBytes(1, key).BindText(2, stamp.entered).BindText(3, stamp.host).Run();
}

int64_t SqliteCalendarStore::CountSchedules() {
    StatementUse count(statements_->countSchedules);
    count->Step();
    return count->Int(0);
}

int64_t SqliteCalendarStore::CountCategories() {
    StatementUse count(statements_->countCategories);
    count->Step();
    return count->Int(0);
}

int64_t SqliteCalendarStore::LastIdOf(const char* table) {
    SqliteStatement query(connection_,
                          "SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = ?1), 0),"
                          " coalesce((SELECT max(id) FROM categories WHERE ?1 = 'categories'), 0),"
                          " coalesce((SELECT max(id) FROM schedules WHERE ?1 = 'schedules'), 0))");
    query.BindText(1, table);
    return query.Step() ? query.Int(0) : 0;
}

CalendarContents SqliteCalendarStore::Export() {
    SqliteReadTransaction snapshot(connection_);
    CalendarContents contents;
    SqliteStatement categories(connection_,
                               "SELECT id, level, parent_id, edit_state, revision, name, short_name, entered, host"
                               " FROM categories ORDER BY id");
    while (categories.Step()) {
        CalendarContents::Category& row = contents.categories.emplace_back();
        row.id = static_cast<int32_t>(categories.Int(0));
        row.level = static_cast<int32_t>(categories.Int(1));
        row.parentId = static_cast<int32_t>(categories.Int(2));
        row.editState = static_cast<int32_t>(categories.Int(3));
        row.revision = static_cast<int32_t>(categories.Int(4));
        row.name = categories.Bytes(5);
        row.shortName = categories.Bytes(6);
        row.entered = categories.Bytes(7);
        row.host = categories.Bytes(8);
    }
    SqliteStatement schedules(connection_,
                              "SELECT id, date, genre_id, aux, revision, text, entered, host FROM schedules ORDER BY id");
    while (schedules.Step()) {
        CalendarContents::Schedule& row = contents.schedules.emplace_back();
        row.id = static_cast<int32_t>(schedules.Int(0));
        row.date = static_cast<int32_t>(schedules.Int(1));
        row.genreId = static_cast<int32_t>(schedules.Int(2));
        row.aux = static_cast<int32_t>(schedules.Int(3));
        row.revision = static_cast<int32_t>(schedules.Int(4));
        row.text = schedules.Bytes(5);
        row.entered = schedules.Bytes(6);
        row.host = schedules.Bytes(7);
    }
    SqliteStatement dates(connection_,
                          "SELECT date, holiday, aux, revision, name, entered, host FROM date_info ORDER BY date");
    while (dates.Step()) {
        CalendarContents::DateInfo& row = contents.dateInfo.emplace_back();
        row.date = static_cast<int32_t>(dates.Int(0));
        row.holiday = static_cast<int32_t>(dates.Int(1));
        row.aux = static_cast<int32_t>(dates.Int(2));
        row.revision = static_cast<int32_t>(dates.Int(3));
        row.name = dates.Bytes(4);
        row.entered = dates.Bytes(5);
        row.host = dates.Bytes(6);
    }
    SqliteStatement foreign(connection_, "SELECT key, entered, host FROM foreign_events ORDER BY key");
    while (foreign.Step()) {
        contents.foreignEvents.push_back(CalendarContents::ForeignKey{
            std::string(foreign.Bytes(0)), std::string(foreign.Bytes(1)), std::string(foreign.Bytes(2))});
    }
    contents.lastCategoryId = LastIdOf("categories");
    contents.lastScheduleId = LastIdOf("schedules");
    return contents;
}

void SqliteCalendarStore::Import(const CalendarContents& contents) {
    SqliteWriteTransaction transaction(connection_);
    if (CountSchedules() != 0 || CountCategories() != 0) throw SqliteError(0, path_ + " already holds data");
    {
        SqliteStatement count(connection_, "SELECT COUNT(*) FROM date_info");
        if (count.Step() && count.Int(0) != 0) throw SqliteError(0, path_ + " already holds data");
    }
    SqliteStatement category(connection_,
                             "INSERT INTO categories"
                             " (id, level, parent_id, edit_state, name, short_name, entered, host, revision)"
                             " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    for (const CalendarContents::Category& row : contents.categories) {
        category.BindInt(1, row.id).BindInt(2, row.level).BindInt(3, row.parentId).BindInt(4, row.editState);
        category.BindBytes(5, row.name).BindBytes(6, row.shortName).BindBytes(7, row.entered).BindBytes(8, row.host);
        category.BindInt(9, row.revision);
        category.Run();
        category.Reset();
    }
    SqliteStatement schedule(connection_,
                             "INSERT INTO schedules (id, date, genre_id, aux, text, entered, host, revision)"
                             " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    for (const CalendarContents::Schedule& row : contents.schedules) {
        schedule.BindInt(1, row.id).BindInt(2, row.date).BindInt(3, row.genreId).BindInt(4, row.aux);
        schedule.BindBytes(5, row.text).BindBytes(6, row.entered).BindBytes(7, row.host).BindInt(8, row.revision);
        schedule.Run();
        schedule.Reset();
    }
    SqliteStatement date(connection_,
                         "INSERT INTO date_info (date, holiday, aux, name, entered, host, revision)"
                         " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    for (const CalendarContents::DateInfo& row : contents.dateInfo) {
        date.BindInt(1, row.date).BindInt(2, row.holiday).BindInt(3, row.aux);
        date.BindBytes(4, row.name).BindBytes(5, row.entered).BindBytes(6, row.host).BindInt(7, row.revision);
        date.Run();
        date.Reset();
    }
    SqliteStatement foreign(connection_,
                            "INSERT OR IGNORE INTO foreign_events (key, entered, host) VALUES (?1, ?2, ?3)");
    for (const CalendarContents::ForeignKey& row : contents.foreignEvents) {
        foreign.BindBytes(1, row.key).BindBytes(2, row.entered).BindBytes(3, row.host);
        foreign.Run();
        foreign.Reset();
    }
    // Ids once given out and since deleted stay used up.
    for (const auto& [table, last] : {std::pair<const char*, int64_t>{"categories", contents.lastCategoryId},
                                      std::pair<const char*, int64_t>{"schedules", contents.lastScheduleId}}) {
        SqliteStatement forget(connection_, "DELETE FROM sqlite_sequence WHERE name = ?1");
        forget.BindText(1, table).Run();
        SqliteStatement keep(connection_, "INSERT INTO sqlite_sequence (name, seq) VALUES (?1, ?2)");
        keep.BindText(1, table).BindInt(2, std::max(last, LastIdOf(table))).Run();
    }
    transaction.Commit();
}
