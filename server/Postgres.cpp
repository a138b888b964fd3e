#include "server/Postgres.h"

#include <libpq-fe.h>

#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>

namespace {

// Notices (e.g. "relation already exists, skipping") are not for the log.
void IgnoreNotice(void*, const PGresult*) {}

std::string StateOf(const PGresult* result) {
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    return state ? state : "";
}

}  // namespace

PgResult::~PgResult() {
    PQclear(result_);
}

int PgResult::Rows() const {
    return PQntuples(result_);
}

int64_t PgResult::Changed() const {
    const char* count = PQcmdTuples(result_);
    return count && *count ? std::strtoll(count, nullptr, 10) : 0;
}

int64_t PgResult::Int(int row, int column) const {
    const auto* bytes = reinterpret_cast<const unsigned char*>(PQgetvalue(result_, row, column));
    int length = PQgetlength(result_, row, column);
    // Binary integers are big-endian two's complement of 2, 4 or 8 bytes.
    uint64_t value = 0;
    for (int i = 0; i < length; ++i) value = (value << 8) | bytes[i];
    if (length > 0 && length < 8 && (bytes[0] & 0x80) != 0) value |= ~uint64_t{0} << (length * 8);
    return static_cast<int64_t>(value);
}

std::string_view PgResult::Bytes(int row, int column) const {
    return std::string_view(PQgetvalue(result_, row, column), static_cast<size_t>(PQgetlength(result_, row, column)));
}

bool PgResult::IsNull(int row, int column) const {
    return PQgetisnull(result_, row, column) != 0;
}

PgConnection::PgConnection(const std::string& conninfo) : connection_(PQconnectdb(conninfo.c_str())) {
    if (!connection_ || PQstatus(connection_) != CONNECTION_OK) {
        std::string message = connection_ ? PQerrorMessage(connection_) : "out of memory";
        PQfinish(connection_);
        connection_ = nullptr;
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
        throw PgError("", "cannot connect to PostgreSQL: " + message);
    }
    PQsetNoticeReceiver(connection_, &IgnoreNotice, nullptr);
}

PgConnection::~PgConnection() {
    PQfinish(connection_);
}

PgResult PgConnection::Checked(PGresult* result, const char* context) {
    ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return PgResult(result);
    std::string message = result ? PQresultErrorMessage(result) : PQerrorMessage(connection_);
    std::string state = StateOf(result);
    PQclear(result);
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    if (PQstatus(connection_) == CONNECTION_BAD) {
        // Lost the server: reconnect for the next request, statements and all.
        PQreset(connection_);
        if (PQstatus(connection_) == CONNECTION_OK) {
            for (const auto& statement : prepared_) {
                PQclear(PQprepare(connection_, statement.first.c_str(), statement.second.c_str(), 0, nullptr));
            }
        }
    }
    throw PgError(state, std::string(context) + ": " + message);
}

void PgConnection::Execute(const char* sql) {
    Checked(PQexec(connection_, sql), "PostgreSQL");
}

void PgConnection::Prepare(const char* name, const char* sql) {
    Checked(PQprepare(connection_, name, sql, 0, nullptr), name);
    prepared_.emplace_back(name, sql);
}

PgResult PgConnection::Run(const char* name, const std::vector<PgParam>& params) {
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (const PgParam& param : params) {
        values.push_back(param.value.data());
        lengths.push_back(static_cast<int>(param.value.size()));
        formats.push_back(param.binary ? 1 : 0);
    }
    return Checked(PQexecPrepared(connection_, name, static_cast<int>(params.size()), values.data(), lengths.data(),
                                  formats.data(), 1),
                   name);
}

bool PgConnection::InTransaction() const {
    return PQtransactionStatus(connection_) != PQTRANS_IDLE;
}

std::string PgConnection::Describe() const {
    const char* host = PQhost(connection_);
    return std::string("PostgreSQL ") + (host ? host : "") + ":" + PQport(connection_) + "/" + PQdb(connection_);
}

std::string PgConnection::Setting(const char* name) {
    const char* value = PQparameterStatus(connection_, name);
    if (value) return value;
    PgResult result = Checked(PQexecParams(connection_, "SELECT current_setting($1)", 1, nullptr, &name, nullptr,
                                           nullptr, 1),
                              "current_setting");
    return std::string(result.Bytes(0, 0));
}

PgTransaction::PgTransaction(PgConnection& connection, const char* begin) : connection_(connection) {
    connection_.Execute(begin);
}

PgTransaction::~PgTransaction() {
    if (!open_) return;
    try {
        connection_.Execute("ROLLBACK");
    } catch (...) {
        // A lost connection has rolled back by itself.
    }
}

void PgTransaction::Commit() {
    open_ = false;
    connection_.Execute("COMMIT");
}
