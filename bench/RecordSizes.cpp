// The sizes the scale figures in README reason from, checked in both
// Windows builds: the shipped i686 client cannot run on the build machines,
// so its memory for a large schedule set is worked out from the x86_64
// measurement and these sizes.
#include "protocol/Records.h"

#include <memory>
#include <string>
#include <vector>

// One schedule in the set: the record in the pool's slab plus the owning pointer
// in the set's array.
static_assert(sizeof(ScheduleRecord) == 552, "README's per-schedule memory assumes 552-byte records");
#if defined(_WIN64)
static_assert(sizeof(std::unique_ptr<ScheduleRecord>) == 8, "x86_64: one pointer per schedule in the array");
#else
static_assert(sizeof(void*) == 4, "the i686 build has a 2 GB address space of 32-bit pointers");
static_assert(sizeof(std::unique_ptr<ScheduleRecord>) == 4, "i686: one 4-byte pointer per schedule in the array");
static_assert(sizeof(std::vector<std::unique_ptr<ScheduleRecord>>) == 12, "i686: the set's array header");
static_assert(sizeof(std::string) == 24, "i686: the reply string's header");
#endif
