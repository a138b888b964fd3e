// Test support: the real calendar-server process on a free loopback port
// with a fresh database, and a client that runs one exchange over TCP.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

// A temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// The engine under test: SQLite files, or, when CALENDAR_TEST_POSTGRES names
// the file holding a test cluster's URI, fresh PostgreSQL databases.
bool TestingOnPostgres();
// A new empty database: "FOLDER/calendar.db", or a new database on the test
// cluster (as a postgresql:// URI).
std::string FreshDatabase(const TempDir& folder);

class ServerProcess {
public:
    // Starts "calendar-server serve --db DB --port 0 EXTRA..." and waits for
    // its "listening on" line. An empty database path means a fresh database
    // (see FreshDatabase).
    explicit ServerProcess(std::vector<std::string> extraArguments = {}, std::string databasePath = "");
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    int Port() const { return port_; }
    pid_t Pid() const { return pid_; }
    const std::string& DatabasePath() const { return databasePath_; }

    // SIGTERM, then waits for the exit; returns the exit status (or -1).
    int Stop();
    // SIGKILL at once, as a crash or power cut would.
    void Kill();
    // Everything the server wrote to stderr so far.
    std::string Log() const;

private:
    TempDir folder_;
    std::string databasePath_;
    std::string logPath_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// Runs "calendar-server ARGS..." to the end; returns its exit code and
// fills `output` with its stdout.
int RunServerCommand(const std::vector<std::string>& arguments, std::string* output = nullptr);

// One exchange: connect, send the bytes, read until the server closes.
std::string Exchange(int port, std::string_view request, const char* sourceAddress = nullptr);

// A connected socket for tests that drive the exchange themselves.
class TestConnection {
public:
    // A small receive buffer makes a client that does not read stall the
    // server sooner. `sourceAddress` (127.x.y.z) makes the client another
    // host on loopback.
    explicit TestConnection(int port, int receiveBufferBytes = 0, const char* sourceAddress = nullptr);
    ~TestConnection();
    TestConnection(const TestConnection&) = delete;
    TestConnection& operator=(const TestConnection&) = delete;

    void Send(std::string_view bytes);
    void ShutdownSending();
    // Reads until the server closes or the deadline passes.
    std::string ReadAll(std::chrono::milliseconds deadline = std::chrono::seconds(30));
    // True when reply bytes are waiting within the time (nothing is read).
    bool ReadableWithin(std::chrono::milliseconds wait);
    // True when the server has closed the connection within the time.
    bool ClosedWithin(std::chrono::milliseconds wait);
    int Fd() const { return fd_; }

private:
    int fd_ = -1;
};

// Record lines of a reply, in order.
std::vector<std::string> RecordLines(std::string_view reply);

// Request lines as the client builds them.
std::string ScheduleSetLine(int op, int date, int id, std::string_view text, int genreId);
std::string GenreSetLine(int op, int id, int level, int parentId, std::string_view name, std::string_view shortName);
std::string DateInfoSetLine(int date, std::string_view name, int holiday);
// The conditional form of a SET line: `revision` added as its last field.
std::string WithRevision(const std::string& setLine, int revision);

// The version that a GET reply's status line names ("+OK RDZVP/0.0 <n>
// VERSION <v>"), or -1 when it names none.
long long AnnouncedVersion(std::string_view reply);
