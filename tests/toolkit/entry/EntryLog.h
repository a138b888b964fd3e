// The entry-point test programs report what happened, line by line, to the
// file named by RDZ_ENTRY_LOG (set by the test that starts them).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

inline void AppendEntryLog(const std::string& line) {
    const char* path = std::getenv("RDZ_ENTRY_LOG");
    if (!path || !*path) return;
    if (FILE* file = std::fopen(path, "ab")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}
