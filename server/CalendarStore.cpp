#include "server/CalendarStore.h"

#include "server/Postgres.h"
#include "server/PostgresCalendarStore.h"
#include "server/Sqlite.h"
#include "server/SqliteCalendarStore.h"

#include <sqlite3.h>

#include <cstdio>
#include <ctime>

ChangeStamp StampNow(const std::string& host) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min);
    return ChangeStamp{text, host};
}

bool IsPostgresLocation(const std::string& location) {
    return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

std::unique_ptr<CalendarStore> OpenCalendarStore(const std::string& location) {
    if (IsPostgresLocation(location)) return std::make_unique<PostgresCalendarStore>(location);
    return std::make_unique<SqliteCalendarStore>(location);
}

namespace {

Failure Busy() {
    return MakeFailure("busy", "サーバーが混み合っています。しばらくしてからやり直してください");
}

Failure DiskFull() {
    return MakeFailure("disk-full", "サーバーのディスクがいっぱいで保存できません");
}

// The tag carries the database's own words for the administrator's log.
Failure DatabaseFailure(const std::string& what) {
    return MakeFailure("database: " + what, "サーバーのデータベースでエラーが起きました。管理者に連絡してください");
}

}  // namespace

bool IsStoreInterruption(const std::exception& error) {
    if (const auto* sqlite = dynamic_cast<const SqliteError*>(&error)) return (sqlite->Code() & 0xFF) == SQLITE_INTERRUPT;
    if (const auto* postgres = dynamic_cast<const PgError*>(&error)) return postgres->State() == "57014";
    return false;
}

std::optional<Failure> StoreFailure(const std::exception& error) {
    if (const auto* sqlite = dynamic_cast<const SqliteError*>(&error)) {
        int primary = sqlite->Code() & 0xFF;
        if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) return Busy();
        if (primary == SQLITE_FULL) return DiskFull();
        return DatabaseFailure(sqlite->what());
    }
    if (const auto* postgres = dynamic_cast<const PgError*>(&error)) {
        const std::string& state = postgres->State();
        // Serialization failure, deadlock, lock not available.
        if (state == "40001" || state == "40P01" || state == "55P03") return Busy();
        if (state == "53100") return DiskFull();
        return DatabaseFailure(postgres->what());
    }
    return std::nullopt;
}
