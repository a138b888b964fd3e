#include "tests/server/ServerHarness.h"

#include "protocol/WireFormat.h"

#include <arpa/inet.h>
#include <libpq-fe.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Waits for the child to exit, at most `wait`; returns its status or -1.
int WaitForExit(pid_t pid, std::chrono::milliseconds wait) {
    Clock::time_point deadline = Clock::now() + wait;
    for (;;) {
        int status = 0;
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0 || Clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

pid_t Spawn(const std::vector<std::string>& arguments, int stdoutFd, int stderrFd) {
    std::vector<char*> argv;
    std::string program = CALENDAR_SERVER_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        if (stdoutFd >= 0) ::dup2(stdoutFd, 1);
        if (stderrFd >= 0) ::dup2(stderrFd, 2);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

}  // namespace

bool TestingOnPostgres() {
    const char* uriFile = std::getenv("CALENDAR_TEST_POSTGRES");
    return uriFile && *uriFile;
}

std::string FreshDatabase(const TempDir& folder) {
    if (!TestingOnPostgres()) return folder.Path() + "/calendar.db";
    std::ifstream file(std::getenv("CALENDAR_TEST_POSTGRES"));
    std::string clusterUri;
    std::getline(file, clusterUri);
    size_t slash = clusterUri.rfind('/');
    if (clusterUri.empty() || slash == std::string::npos) throw std::runtime_error("no test cluster URI");
    static int made = 0;
    std::string name = "calendar_" + std::to_string(::getpid()) + "_" + std::to_string(++made);
    PGconn* connection = PQconnectdb(clusterUri.c_str());
    std::string error = PQstatus(connection) == CONNECTION_OK ? "" : PQerrorMessage(connection);
    if (error.empty()) {
        // The name is made of digits here, never of outside input.
        PGresult* result = PQexec(connection, ("CREATE DATABASE " + name).c_str());
        if (PQresultStatus(result) != PGRES_COMMAND_OK) error = PQresultErrorMessage(result);
        PQclear(result);
    }
    PQfinish(connection);
    if (!error.empty()) throw std::runtime_error("cannot make a test database: " + error);
    return clusterUri.substr(0, slash + 1) + name;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "calendar-server-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ServerProcess::ServerProcess(std::vector<std::string> extraArguments, std::string databasePath)
    : databasePath_(databasePath.empty() ? FreshDatabase(folder_) : std::move(databasePath)),
      logPath_(folder_.Path() + "/server.log") {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
    int logFd = ::open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::vector<std::string> arguments = {"serve", "--db", databasePath_, "--port", "0"};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    pid_ = Spawn(arguments, pipeEnds[1], logFd);
    ::close(pipeEnds[1]);
    ::close(logFd);

    // Read the "listening on ADDR:PORT" line, with a deadline.
    std::string line;
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
    while (line.find('\n') == std::string::npos && Clock::now() < deadline) {
        pollfd waiter{pipeEnds[0], POLLIN, 0};
        if (::poll(&waiter, 1, 100) <= 0) continue;
        char buffer[256];
        ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        line.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeEnds[0]);
    const std::string prefix = "listening on ";
    size_t colon = line.rfind(':');
    if (line.compare(0, prefix.size(), prefix) != 0 || colon == std::string::npos) {
        Kill();
        throw std::runtime_error("calendar-server did not start: " + line + Log());
    }
    port_ = std::atoi(line.c_str() + colon + 1);
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0) Kill();
}

int ServerProcess::Stop() {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    int status = WaitForExit(pid_, std::chrono::seconds(30));
    if (status < 0) {
        Kill();
        return -1;
    }
    pid_ = -1;
    return status;
}

void ServerProcess::Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    WaitForExit(pid_, std::chrono::seconds(30));
    pid_ = -1;
}

std::string ServerProcess::Log() const {
    std::ifstream file(logPath_);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

int RunServerCommand(const std::vector<std::string>& arguments, std::string* output) {
    TempDir folder;
    std::string outputPath = folder.Path() + "/stdout";
    int outFd = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_t pid = Spawn(arguments, outFd, -1);
    ::close(outFd);
    int status = WaitForExit(pid, std::chrono::seconds(60));
    if (output) {
        std::ifstream file(outputPath);
        std::stringstream text;
        text << file.rdbuf();
        *output = text.str();
    }
    return status;
}

TestConnection::TestConnection(int port, int receiveBufferBytes, const char* sourceAddress) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBufferBytes > 0) {
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof receiveBufferBytes);
    }
    if (sourceAddress) {
        sockaddr_in source{};
        source.sin_family = AF_INET;
        ::inet_pton(AF_INET, sourceAddress, &source.sin_addr);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
            ::close(fd_);
            throw std::runtime_error(std::string("bind ") + sourceAddress + ": " + std::strerror(errno));
        }
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error(std::string("connect: ") + std::strerror(errno));
    }
}

TestConnection::~TestConnection() {
    if (fd_ >= 0) ::close(fd_);
}

void TestConnection::Send(std::string_view bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw std::runtime_error(std::string("send: ") + std::strerror(errno));
        sent += static_cast<size_t>(n);
    }
}

void TestConnection::ShutdownSending() {
    ::shutdown(fd_, SHUT_WR);
}

std::string TestConnection::ReadAll(std::chrono::milliseconds wait) {
    std::string reply;
    Clock::time_point deadline = Clock::now() + wait;
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd waiter{fd_, POLLIN, 0};
        if (::poll(&waiter, 1, static_cast<int>(std::max<decltype(left)>(left, 0))) <= 0) {
            if (Clock::now() >= deadline) throw std::runtime_error("server did not close the connection in time");
            continue;
        }
        char buffer[65536];
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw std::runtime_error(std::string("recv: ") + std::strerror(errno));
        if (n == 0) return reply;
        reply.append(buffer, static_cast<size_t>(n));
    }
}

bool TestConnection::ReadableWithin(std::chrono::milliseconds wait) {
    pollfd waiter{fd_, POLLIN, 0};
    return ::poll(&waiter, 1, static_cast<int>(wait.count())) > 0;
}

bool TestConnection::ClosedWithin(std::chrono::milliseconds wait) {
    try {
        ReadAll(wait);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

std::string Exchange(int port, std::string_view request, const char* sourceAddress) {
    TestConnection connection(port, 0, sourceAddress);
    connection.Send(request);
    return connection.ReadAll();
}

std::vector<std::string> RecordLines(std::string_view reply) {
    std::vector<std::string> lines;
    ForEachRecordLine(reply, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

std::string ScheduleSetLine(int op, int date, int id, std::string_view text, int genreId) {
    return BuildSetLine(1, FormatInt(op) + ":" + FormatInt(date) + ":" + FormatInt(id) + ":" + Escape(text) + ":" +
                               FormatInt(genreId));
}

std::string GenreSetLine(int op, int id, int level, int parentId, std::string_view name, std::string_view shortName) {
    return BuildSetLine(2, FormatInt(op) + ":" + FormatInt(id) + ":" + FormatInt(level) + ":" + FormatInt(parentId) +
                               ":" + Escape(name) + ":" + Escape(shortName));
}

std::string DateInfoSetLine(int date, std::string_view name, int holiday) {
    return BuildSetLine(3, FormatInt(date) + ":" + Escape(name) + ":" + FormatInt(holiday) + ":1");
}

std::string WithRevision(const std::string& setLine, int revision) {
    return setLine.substr(0, setLine.size() - kLineEnd.size()) + ":" + FormatInt(revision) + std::string(kLineEnd);
}

long long AnnouncedVersion(std::string_view reply) {
    std::string_view status = reply.substr(0, FindLineEnd(reply, 0));
    size_t at = status.find(" VERSION ");
    if (status.substr(0, 14) != "+OK RDZVP/0.0 " || at == std::string_view::npos) return -1;
    std::string digits(status.substr(at + 9));
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::stoll(digits);
}
