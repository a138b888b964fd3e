// The rows every benchmark prints for the README's benchmark table:
// "| measure | figure | reference, same run | ratio | goal |"; scripts/bench.sh
// collects them and adds the command that reproduces each.
#pragma once

#include <cstdio>
#include <string>

// One table row.
inline void PrintRow(const std::string& measure, const std::string& figure, const std::string& reference,
                     const std::string& ratio, const std::string& goal) {
    std::printf("| %s | %s | %s | %s | %s |\n", measure.c_str(), figure.c_str(), reference.c_str(), ratio.c_str(),
                goal.c_str());
}

// printf into a string.
template <typename... Args>
std::string Format(const char* format, Args... args) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}
