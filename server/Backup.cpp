#include "server/Backup.h"

#include "server/CalendarStore.h"
#include "server/Sqlite.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

// How long a copy waits for a lock another connection holds for a moment
// (a checkpoint, a writer's commit) before it gives up.
constexpr int kBusyRetries = 200;
constexpr int kBusyPauseMillis = 50;

std::runtime_error SystemError(const std::string& what, const std::string& path) {
    return std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

void RemoveIfPresent(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) throw SystemError("cannot remove", path);
}

// Removes a SQLite file with the journal files SQLite may keep beside it.
void RemoveDatabaseFiles(const std::string& path) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) RemoveIfPresent(path + suffix);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {}, second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

void SyncPath(const std::string& path, int flags) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) throw SystemError("cannot open", path);
    int result = ::fsync(fd);
    int saved = errno;
    ::close(fd);
    errno = saved;
    if (result != 0) throw SystemError("cannot write", path);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Copies every page of `from` into `to` in one step: the source is read in
// one read transaction (one consistent moment; in WAL mode writers go on),
// the target is replaced as one write transaction.
void CopyPages(SqliteConnection& from, SqliteConnection& to) {
    sqlite3_backup* backup = sqlite3_backup_init(to.Handle(), "main", from.Handle(), "main");
    if (!backup) throw SqliteError(sqlite3_errcode(to.Handle()), std::string("backup: ") + sqlite3_errmsg(to.Handle()));
    int code = SQLITE_OK;
    for (int attempt = 0; attempt < kBusyRetries; ++attempt) {
        code = sqlite3_backup_step(backup, -1);
        if (code != SQLITE_BUSY && code != SQLITE_LOCKED) break;
        sqlite3_sleep(kBusyPauseMillis);
    }
    int finished = sqlite3_backup_finish(backup);
    if (code != SQLITE_DONE) throw SqliteError(code, std::string("backup: ") + sqlite3_errstr(code));
    to.Check(finished, "backup");
}

CalendarCounts CountRecords(SqliteConnection& db) {
    SqliteStatement count(db,
                          "SELECT (SELECT COUNT(*) FROM categories), (SELECT COUNT(*) FROM schedules),"
                          " (SELECT COUNT(*) FROM date_info)");
    count.Step();
    return CalendarCounts{count.Int(0), count.Int(1), count.Int(2)};
}

// Refuses a file that does not hold a whole, undamaged calendar whose
// schedules all file under genres it holds.
void CheckCalendarFile(SqliteConnection& db, const std::string& path) {
    int64_t tableCount = 0;
    try {
        SqliteStatement tables(db,
                               "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'"
                               " AND name IN ('categories', 'schedules', 'date_info', 'data_versions')");
        if (tables.Step()) tableCount = tables.Int(0);
    } catch (const SqliteError& error) {
        throw std::runtime_error(path + " is no calendar backup (" + error.what() + ")");
    }
    if (tableCount != 4) throw std::runtime_error(path + " is no calendar backup");
    SqliteStatement check(db, "PRAGMA quick_check");
    if (!check.Step() || check.Bytes(0) != "ok") throw std::runtime_error(path + " is damaged: " + std::string(check.Bytes(0)));
    SqliteStatement orphans(db, "PRAGMA foreign_key_check");
    if (orphans.Step()) throw std::runtime_error(path + " holds schedules of genres it does not hold");
}

// Turns a finished copy into a self-contained file (no WAL beside it) and
// checks it.
CalendarCounts SettleBackupFile(const std::string& path) {
    SqliteConnection db(path, false);
    db.Execute("PRAGMA journal_mode = DELETE");
    CheckCalendarFile(db, path);
    return CountRecords(db);
}

// A private temporary SQLite file, removed with its journals.
class TemporaryDatabase {
public:
    TemporaryDatabase() {
        const char* folder = std::getenv("TMPDIR");
        std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/calendar-restore-XXXXXX";
        int fd = ::mkstemp(pattern.data());
        if (fd < 0) throw SystemError("cannot create", pattern);
        ::close(fd);
        path_ = pattern;
    }
    ~TemporaryDatabase() {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) ::unlink((path_ + suffix).c_str());
    }
    TemporaryDatabase(const TemporaryDatabase&) = delete;
    TemporaryDatabase& operator=(const TemporaryDatabase&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

CalendarCounts BackupCalendar(const std::string& location, const std::string& file) {
    if (IsPostgresLocation(file)) throw std::runtime_error("a backup is a SQLite file, not " + file);
    if (file == location || SameFile(file, location)) throw std::runtime_error("the backup would overwrite the database itself");
    const std::string partial = file + ".partial";
    RemoveDatabaseFiles(partial);
    try {
        if (IsPostgresLocation(location)) {
            CalendarContents contents = OpenCalendarStore(location)->Export();
            OpenCalendarStore(partial)->Import(contents);
        } else {
            SqliteConnection source(location, false);
            source.Execute("PRAGMA busy_timeout = 10000");
            {
                SqliteStatement tables(source, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'data_versions'");
                if (!tables.Step() || tables.Int(0) != 1) throw std::runtime_error(location + " holds no calendar");
            }
            SqliteConnection target(partial, true);
            CopyPages(source, target);
        }
        CalendarCounts counts = SettleBackupFile(partial);
        SyncPath(partial, O_RDONLY);
        RemoveDatabaseFiles(file);
        if (::rename(partial.c_str(), file.c_str()) != 0) throw SystemError("cannot rename to", file);
        SyncPath(FolderOf(file), O_RDONLY | O_DIRECTORY);
        return counts;
    } catch (...) {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) ::unlink((partial + suffix).c_str());
        throw;
    }
}

CalendarCounts RestoreCalendar(const std::string& file, const std::string& location) {
    if (file == location || SameFile(file, location)) throw std::runtime_error("the backup and the database are one file");
    SqliteConnection backup(file, false, true);
    CheckCalendarFile(backup, file);
    // The store reads only SQLite files it may write to: a private copy,
    // brought up to the tables this server uses (a backup made before
    // records had revisions gets them at 1) before anything is replaced.
    TemporaryDatabase copy;
    {
        SqliteConnection scratch(copy.Path(), true);
        CopyPages(backup, scratch);
    }
    std::unique_ptr<CalendarStore> restored = OpenCalendarStore(copy.Path());

    if (IsPostgresLocation(location)) {
        CalendarContents contents = restored->Export();
        OpenCalendarStore(location)->Import(contents);
        return CalendarCounts{static_cast<long long>(contents.categories.size()),
                              static_cast<long long>(contents.schedules.size()),
                              static_cast<long long>(contents.dateInfo.size())};
    }

    OpenCalendarStore(location);  // creates the file and its tables when missing
    SqliteConnection target(location, false);
    target.Execute("PRAGMA busy_timeout = 10000");
    long long before[3] = {0, 0, 0};
    {
        SqliteStatement versions(target, "SELECT data_set, version FROM data_versions");
        while (versions.Step()) {
            int64_t dataSet = versions.Int(0);
            if (dataSet >= 1 && dataSet <= 3) before[dataSet - 1] = versions.Int(1);
        }
    }
    restored.reset();
    {
        SqliteConnection source(copy.Path(), false);
        CopyPages(source, target);
    }
    // The counters move on past what either file had: no reply built from
    // the replaced contents can pass for a reply of the restored ones.
    SqliteWriteTransaction transaction(target);
    SqliteStatement bump(target, "UPDATE data_versions SET version = MAX(version, ?2) + 1 WHERE data_set = ?1");
    for (int dataSet = 1; dataSet <= 3; ++dataSet) {
        bump.BindInt(1, dataSet).BindInt(2, before[dataSet - 1]).Run();
        bump.Reset();
    }
    transaction.Commit();
    return CountRecords(target);
}
