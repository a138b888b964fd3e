// seed-schedules DB COUNT: a calendar database with one category, four
// genres and COUNT realistic schedules over two years, for the benchmarks
// that load a large schedule set from the real server.
#include "server/CalendarStore.h"
#include "server/DateKey.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: seed-schedules DB COUNT\n");
        return 2;
    }
    try {
        std::unique_ptr<CalendarStore> opened = OpenCalendarStore(argv[1]);
        CalendarStore& store = *opened;
        ChangeStamp stamp = StampNow("192.168.10.21");
        int32_t category = store.AddCategory("業務", "業務", stamp);
        const char* const genreNames[] = {"会議", "出張", "私用", "Event"};
        std::vector<int32_t> genres;
        for (const char* name : genreNames) genres.push_back(store.AddGenre(category, name, name, stamp));
        static const char* const texts[] = {
            "定例会議 10:30～ 第二会議室",      "Weekly sync with the design team", "出張（大阪）新幹線 のぞみ 7:03発",
            "締切: 月次報告書 100% 提出",       "歯医者 15:00",                     "Release 2.4 + hotfix review",
            "部署懇親会＠表参道 ソフト開発課", "有給休暇",
        };
        int count = std::atoi(argv[2]);
        std::vector<ScheduleRow> rows;
        rows.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            CivilDate day = AddDays(CivilDate{2026, 1, 1}, i % 730);
            rows.push_back(ScheduleRow{ToDateKey(day), texts[i % 8], genres[static_cast<size_t>(i) % genres.size()]});
        }
        store.ImportSchedules(rows, stamp);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "seed-schedules: %s\n", error.what());
        return 1;
    }
    return 0;
}
