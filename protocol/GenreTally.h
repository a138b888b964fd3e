// Schedules counted per genre id one record at a time, for the calendar's
// genre counts: the usual ids (small, non-negative) in a flat table, any
// other id aside. The memory stays from one count to the next, so counting
// a month allocates nothing once the first months are done.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

class GenreTally {
public:
    GenreTally() { seen_.reserve(kTableSize); }

    // Drops whatever a count cut short (by an exception) left behind.
    void Start();

    void Add(int32_t genreId) {
        const uint32_t slot = static_cast<uint32_t>(genreId);
        if (slot >= kTableSize) {
            ++others_[genreId];
        } else if (table_[slot]++ == 0) {
            seen_.push_back(genreId);
        }
    }

    // Makes `counts` hold exactly the counts gathered since Start
    // (ids counted at least once, in id order), changing its entries in
    // place where the id was there before; then starts again from zero.
    void Finish(std::map<int32_t, int32_t>& counts);

private:
    static constexpr uint32_t kTableSize = 1024;

    std::array<int32_t, kTableSize> table_{};
    std::vector<int32_t> seen_;          // the table's ids counted so far
    std::map<int32_t, int32_t> others_;  // negative ids and ids past the table
};
