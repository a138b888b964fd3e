// The real calendar server, a native Linux program, run from a Windows test
// under Wine: Wine starts Unix programs, so the test starts it through
// /bin/sh with a fresh database in a folder of its own, on a free port.
#pragma once

#include <string>
#include <vector>

class CalendarServerProcess {
public:
    // `setupCommands` are run first, in order, as "calendar-server COMMAND
    // --db DB ARGS..." (each a command word and its arguments, e.g.
    // {"add-category", "業務", "業務"}); then the server starts, with
    // `serveArguments` after its own (e.g. {"--max-connections", "1"}).
    explicit CalendarServerProcess(const std::vector<std::vector<std::string>>& setupCommands = {},
                                   const std::vector<std::string>& serveArguments = {});
    // Serves an existing database with the given server program; the
    // database is left in place.
    CalendarServerProcess(const std::string& serverProgram, const std::string& existingDatabase);
    ~CalendarServerProcess();
    CalendarServerProcess(const CalendarServerProcess&) = delete;
    CalendarServerProcess& operator=(const CalendarServerProcess&) = delete;

    // 0 when the server did not come up.
    unsigned short Port() const { return port_; }
    // Ends the server (SIGTERM) and waits until it has gone.
    void Stop();
    // Ends the server at once (SIGKILL), as a crash or a power cut would.
    void Kill();
    // Starts the server again on the same database and port after Stop or
    // Kill; false when it did not come up. Its log goes on in the same file.
    bool Restart();
    // Whether a reply of the running server waits in a connection's send
    // queue: the client takes it more slowly than the server writes.
    bool IsSending() const;
    // What the server logged so far.
    std::string Log() const;
    // Requests of one kind ("SET 2", "GET 1", "HELLO") logged after the
    // first `from` bytes of the log.
    size_t Logged(const std::string& kind, size_t from = 0) const;
    // The server's resident memory (VmRSS of its Linux process) in kB; 0
    // when it is not running or cannot be read.
    long ResidentKilobytes() const;

private:
    void Start(const std::string& setupScript, const std::string& serverProgram, const std::string& database,
               const std::vector<std::string>& serveArguments = {});
    bool Launch(const std::string& script);
    std::string ServeArguments() const;

    std::string folder_;  // Unix path
    std::string serverProgram_;
    std::string database_;
    std::vector<std::string> serveArguments_;
    unsigned short port_ = 0;
    bool running_ = false;
    mutable long serverPid_ = 0;  // found on first use
};

// A Unix path as Wine sees it (drive Z: is the Unix root).
std::string WindowsPathOf(const std::string& unixPath);
// Runs `/bin/sh -c script` and waits for it (at most `timeoutMs`).
bool RunShell(const std::string& script, unsigned timeoutMs = 60000);
// Quotes a word for /bin/sh.
std::string ShellQuote(const std::string& word);
