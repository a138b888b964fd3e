// The change counters of the three data sets (schedules, categories and
// genres, date information), as the store reports them: any committed
// change to a data set, by any process, moves its counter on.
#pragma once

#include <array>
#include <cstdint>

using StoreVersion = std::array<int64_t, 3>;
