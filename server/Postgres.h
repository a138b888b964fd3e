// Small owners of libpq handles: a connection with its prepared statements
// and a result. Every value travels as a bound parameter; texts go out and
// come back in binary form, so Shift-JIS bytes are never converted.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct pg_conn;
struct pg_result;

class PgError : public std::runtime_error {
public:
    PgError(std::string state, const std::string& what) : std::runtime_error(what), state_(std::move(state)) {}
    // The five-character SQLSTATE ("" when the connection itself failed).
    const std::string& State() const { return state_; }

private:
    std::string state_;
};

// One bound parameter: an integer (sent as text) or bytes (sent as binary).
struct PgParam {
    static PgParam Int(int64_t value) { return PgParam{std::to_string(value), false}; }
    static PgParam Bytes(std::string_view bytes) { return PgParam{std::string(bytes), true}; }
    std::string value;
    bool binary = false;
};

class PgResult {
public:
    explicit PgResult(pg_result* result) : result_(result) {}
    ~PgResult();
    PgResult(PgResult&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
    PgResult& operator=(PgResult&&) = delete;
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;

    int Rows() const;
    // Rows an INSERT, UPDATE or DELETE changed.
    int64_t Changed() const;
    // Values of binary results: integers of any width, bytes as they are.
    int64_t Int(int row, int column) const;
    std::string_view Bytes(int row, int column) const;
    bool IsNull(int row, int column) const;

private:
    pg_result* result_;
};

class PgConnection {
public:
    // Connects with anything libpq takes (a postgresql:// URI or key=value words).
    explicit PgConnection(const std::string& conninfo);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Runs SQL text without parameters (several statements allowed).
    void Execute(const char* sql);
    // Prepares `sql` under `name` on this connection.
    void Prepare(const char* name, const char* sql);
    // Runs a prepared statement; results come back in binary form.
    PgResult Run(const char* name, const std::vector<PgParam>& params = {});
    bool InTransaction() const;
    // "host:port/database" for the log, without any password.
    std::string Describe() const;
    std::string Setting(const char* name);

private:
    PgResult Checked(pg_result* result, const char* context);

    pg_conn* connection_ = nullptr;
    // Statements prepared so far, prepared again after a reconnection.
    std::vector<std::pair<std::string, std::string>> prepared_;
};

// BEGIN ... COMMIT, rolled back unless committed. `begin` is the SQL that
// opens the transaction (and may take locks).
class PgTransaction {
public:
    PgTransaction(PgConnection& connection, const char* begin);
    ~PgTransaction();
    PgTransaction(const PgTransaction&) = delete;
    PgTransaction& operator=(const PgTransaction&) = delete;

    void Commit();

private:
    PgConnection& connection_;
    bool open_ = true;
};
