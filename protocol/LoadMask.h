// The steps of a load, as bits of its mask, and the masks the program uses.
#pragma once

#include <cstdint>

// Steps of a load.
enum : uint32_t {
    LOAD_CHECK_SERVER = 0x01,
    LOAD_SCHEDULES = 0x02,
    LOAD_CATEGORIES = 0x04,
    LOAD_DATE_INFO = 0x08,
};

// The masks the program uses.
inline constexpr uint32_t kLoadEverything = 0xFFFF;
inline constexpr uint32_t kLoadRefresh = LOAD_SCHEDULES | LOAD_CATEGORIES | LOAD_DATE_INFO;
inline constexpr uint32_t kLoadAfterCategoryDialog = LOAD_CATEGORIES;
inline constexpr uint32_t kLoadAfterDaySheet = LOAD_SCHEDULES | LOAD_DATE_INFO;
