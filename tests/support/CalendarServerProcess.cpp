#include "tests/support/CalendarServerProcess.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifndef RDZ_CALENDAR_SERVER
#error "RDZ_CALENDAR_SERVER must name the native calendar-server program"
#endif
#ifndef RDZ_TEST_TMP
#error "RDZ_TEST_TMP must name a Unix folder for test files"
#endif

namespace {

std::string ReadWholeFile(const std::string& unixPath) {
    std::ifstream in(WindowsPathOf(unixPath), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string WindowsPathOf(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string ShellQuote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

namespace {

// Quotes one argument the way the Windows command-line parser (which Wine
// applies before it starts a Unix program) reads it back.
std::string QuoteWindowsArgument(const std::string& argument) {
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

}  // namespace

bool RunShell(const std::string& script, unsigned timeoutMs) {
    // Wine starts Unix programs but gives no process handle to wait on: the
    // script reports its end (and exit status) in a file of its own.
    static std::atomic<int> counter{0};
    const std::string done = std::string(RDZ_TEST_TMP) + "/shell-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(counter++) + ".done";
    std::string wrapped = "mkdir -p " + ShellQuote(RDZ_TEST_TMP) + "\n(\n" + script + "\n)\necho $? >" +
                          ShellQuote(done + ".part") + " && mv " + ShellQuote(done + ".part") + " " +
                          ShellQuote(done) + "\n";
    std::string command = "/bin/sh -c " + QuoteWindowsArgument(wrapped);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    // For a Unix program Wine gives no process handle and leaves no valid
    // thread handle either: closing that value would close some other handle
    // of this process (a socket's wait event, say).
    if (process.hProcess) {
        if (process.hThread) CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }

    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::string windowsDone = WindowsPathOf(done);
    while (std::chrono::steady_clock::now() < deadline) {
        if (GetFileAttributesA(windowsDone.c_str()) != INVALID_FILE_ATTRIBUTES) {
            std::string status = ReadWholeFile(done);
            DeleteFileA(windowsDone.c_str());
            return status.rfind("0", 0) == 0;
        }
        Sleep(10);
    }
    return false;
}

namespace {

std::string NewFolder() {
    static std::atomic<int> counter{0};
    return std::string(RDZ_TEST_TMP) + "/server-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(counter++);
}

}  // namespace

CalendarServerProcess::CalendarServerProcess(const std::vector<std::vector<std::string>>& setupCommands,
                                             const std::vector<std::string>& serveArguments)
    : folder_(NewFolder()) {
    const std::string server = ShellQuote(RDZ_CALENDAR_SERVER);
    const std::string database = folder_ + "/calendar.db";
    std::string setup;
    for (const std::vector<std::string>& command : setupCommands) {
        if (command.empty()) continue;
        setup += server + " " + ShellQuote(command[0]) + " --db " + ShellQuote(database);
        for (size_t i = 1; i < command.size(); ++i) setup += " " + ShellQuote(command[i]);
        setup += " >>setup.out 2>>setup.err || exit 1\n";
    }
    Start(setup, RDZ_CALENDAR_SERVER, database, serveArguments);
}

CalendarServerProcess::CalendarServerProcess(const std::string& serverProgram, const std::string& existingDatabase)
    : folder_(NewFolder()) {
    Start("", serverProgram, existingDatabase);
}

void CalendarServerProcess::Start(const std::string& setupScript, const std::string& serverProgram,
                                  const std::string& database, const std::vector<std::string>& serveArguments) {
    serverProgram_ = serverProgram;
    database_ = database;
    serveArguments_ = serveArguments;
    std::string script = "rm -rf " + ShellQuote(folder_) + " && mkdir -p " + ShellQuote(folder_) + " && cd " +
                         ShellQuote(folder_) + " || exit 1\n" + setupScript;
    // The time limit is a safety net: a server whose test died never
    // outlives the test run by long.
    script += "timeout 600 " + ShellQuote(serverProgram) + " serve --db " + ShellQuote(database) + " --port 0" +
              ServeArguments() + " >listening.txt 2>server.log </dev/null &\necho $! >server.pid\n";
    Launch(script);
}

std::string CalendarServerProcess::ServeArguments() const {
    std::string arguments;
    for (const std::string& argument : serveArguments_) arguments += " " + ShellQuote(argument);
    return arguments;
}

bool CalendarServerProcess::Restart() {
    if (running_ || port_ == 0) return false;
    std::string script = "cd " + ShellQuote(folder_) + " && rm -f listening.txt || exit 1\n";
    script += "timeout 600 " + ShellQuote(serverProgram_) + " serve --db " + ShellQuote(database_) + " --port " +
              std::to_string(port_) + ServeArguments() +
              " >listening.txt 2>>server.log </dev/null &\necho $! >server.pid\n";
    return Launch(script);
}

bool CalendarServerProcess::Launch(const std::string& script) {
    // The server runs as it would on a user's machine: without the private
    // locale folder of the Wine environment, whose path list glibc keeps
    // for good (LeakSanitizer would fail the server at its exit).
    if (!RunShell("unset LOCPATH\n" + script)) return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string line = ReadWholeFile(folder_ + "/listening.txt");
        size_t colon = line.rfind(':');
        if (line.find("listening on") != std::string::npos && colon != std::string::npos && line.back() == '\n') {
            port_ = static_cast<unsigned short>(std::stoi(line.substr(colon + 1)));
            running_ = true;
            return true;
        }
        Sleep(20);
    }
    return false;
}

CalendarServerProcess::~CalendarServerProcess() {
    Stop();
    RunShell("rm -rf " + ShellQuote(folder_));
}

void CalendarServerProcess::Stop() {
    if (!running_) return;
    running_ = false;
    const std::string pidFile = ShellQuote(folder_ + "/server.pid");
    RunShell("pid=$(cat " + pidFile + ") && kill -TERM $pid 2>/dev/null; "
             "for i in $(seq 1 200); do kill -0 $pid 2>/dev/null || exit 0; sleep 0.05; done; kill -KILL $pid");
}

void CalendarServerProcess::Kill() {
    if (!running_) return;
    running_ = false;
    // server.pid names the time limit's process; the server is its child.
    const std::string pidFile = ShellQuote(folder_ + "/server.pid");
    RunShell("pid=$(cat " + pidFile + ") && kill -KILL $(cat /proc/$pid/task/$pid/children); "
             "for i in $(seq 1 200); do kill -0 $pid 2>/dev/null || exit 0; sleep 0.05; done; kill -KILL $pid");
}

bool CalendarServerProcess::IsSending() const {
    if (!running_) return false;
    // /proc/net/tcp: local address and port in hex, state 01 = established,
    // then the send and receive queues' byte counts.
    char port[8];
    std::snprintf(port, sizeof port, "%04X", port_);
    return RunShell(std::string("awk '$2 ~ /:") + port +
                        "$/ && $4 == \"01\" && substr($5, 1, 8) != \"00000000\" { found = 1 } "
                        "END { exit !found }' /proc/net/tcp",
                    10000);
}

std::string CalendarServerProcess::Log() const {
    return ReadWholeFile(folder_ + "/setup.err") + ReadWholeFile(folder_ + "/server.log");
}

size_t CalendarServerProcess::Logged(const std::string& kind, size_t from) const {
    const std::string log = Log();
    const std::string token = " " + kind + " ";
    size_t count = 0;
    for (size_t at = log.find(token, from); at != std::string::npos; at = log.find(token, at + 1)) ++count;
    return count;
}

long CalendarServerProcess::ResidentKilobytes() const {
    if (!running_) return 0;
    if (serverPid_ == 0) {
        // server.pid names the time limit's process; the server is its one child.
        std::string watcher = ReadWholeFile(folder_ + "/server.pid");
        while (!watcher.empty() && (watcher.back() == '\n' || watcher.back() == ' ')) watcher.pop_back();
        if (watcher.empty()) return 0;
        std::string children = ReadWholeFile("/proc/" + watcher + "/task/" + watcher + "/children");
        serverPid_ = std::strtol(children.c_str(), nullptr, 10);
        if (serverPid_ <= 0) {
            serverPid_ = 0;
            return 0;
        }
    }
    std::string status = ReadWholeFile("/proc/" + std::to_string(serverPid_) + "/status");
    size_t at = status.find("VmRSS:");
    if (at == std::string::npos) return 0;
    return std::strtol(status.c_str() + at + 6, nullptr, 10);
}
