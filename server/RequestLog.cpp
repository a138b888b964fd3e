#include "server/RequestLog.h"

#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

namespace {

std::mutex logMutex;

std::string LocalTimestamp() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(millis));
    return text;
}

void WriteLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(logMutex);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

void RequestLog::Write(std::string_view client, std::string_view kind, size_t bytesSent,
                       std::chrono::steady_clock::duration elapsed, std::string_view result) {
    auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    std::string line = LocalTimestamp();
    line += ' ';
    line += client;
    line += ' ';
    line += kind;
    line += " sent=" + std::to_string(bytesSent);
    line += " ms=" + std::to_string(millis);
    line += ' ';
    line += result;
    line += '\n';
    WriteLine(line);
}

void RequestLog::Note(std::string_view text) {
    std::string line = LocalTimestamp();
    line += " server: ";
    line += text;
    line += '\n';
    WriteLine(line);
}
