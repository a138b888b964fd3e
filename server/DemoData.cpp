#include "server/DemoData.h"

#include "server/CalendarStore.h"
#include "server/DateKey.h"
#include "server/JapaneseHolidays.h"

#include <cstdint>
#include <ctime>
#include <random>

namespace {

struct DemoGenre {
    const char* name;
    const char* shortName;
    const char* const* texts;
    size_t textCount;
};

const char* const kMeetings[] = {"定例会議 10:00 第二会議室", "週次ミーティング", "Design review 14:00",
                                 "部内会議 資料準備", "顧客打ち合わせ(A社)", "1on1 面談"};
const char* const kTrips[] = {"大阪出張 のぞみ 7:03発", "名古屋支店 訪問", "福岡出張(2泊)", "展示会 視察 幕張"};
const char* const kDeadlines[] = {"月次報告書 提出", "見積書 締切", "Release 2.4 + hotfix", "経費精算 100% 完了"};
const char* const kTraining[] = {"新人研修 講師", "セキュリティ研修", "英語研修 18:30"};
const char* const kEvents[] = {"部署懇親会＠表参道", "社内運動会", "創立記念式典", "忘年会 19:00"};
const char* const kBirthdays[] = {"母の誕生日", "友人の誕生日 プレゼント", "結婚記念日"};
const char* const kHobbies[] = {"テニス 9:00", "ピアノ教室", "映画 観賞", "図書館 返却日", "ジョギング 5km"};
const char* const kHealth[] = {"歯医者 15:00", "健康診断", "整体 予約"};

template <size_t N>
DemoGenre Genre(const char* name, const char* shortName, const char* const (&texts)[N]) {
    return DemoGenre{name, shortName, texts, N};
}

int CurrentYear() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

}  // namespace

int PrepareNewCalendar(CalendarStore& store) {
    if (store.Version() != StoreVersion{}) return -1;
    int year = CurrentYear();
    return FillHolidayYears(store, year, std::min(year + 1, kLastYear));
}

int FillHolidayYears(CalendarStore& store, int fromYear, int toYear) {
    std::vector<HolidayRow> rows;
    for (int year = fromYear; year <= toYear; ++year) {
        for (const Holiday& holiday : JapaneseHolidaysOf(year)) rows.push_back(HolidayRow{holiday.date, holiday.name});
    }
    return store.FillHolidays(rows, StampNow("localhost"));
}

int FillDemoData(CalendarStore& store) {
    ChangeStamp stamp = StampNow("localhost");
    struct DemoCategory {
        const char* name;
        const char* shortName;
        std::vector<DemoGenre> genres;
    };
    const std::vector<DemoCategory> categories = {
        {"業務", "業務",
         {Genre("会議", "会議", kMeetings), Genre("出張", "出張", kTrips), Genre("締切", "締切", kDeadlines)}},
        {"社内行事", "社内",
         {Genre("研修", "研修", kTraining), Genre("イベント", "ｲﾍﾞﾝﾄ", kEvents)}},
        {"個人", "個人",
         {Genre("記念日", "記念日", kBirthdays), Genre("趣味", "趣味", kHobbies), Genre("通院", "通院", kHealth)}},
    };

    struct GenreTexts {
        int32_t id;
        const DemoGenre* genre;
    };
    std::vector<GenreTexts> genres;
    for (const DemoCategory& category : categories) {
        int32_t categoryId = store.AddCategory(category.name, category.shortName, stamp);
        for (const DemoGenre& genre : category.genres) {
            genres.push_back(GenreTexts{store.AddGenre(categoryId, genre.name, genre.shortName, stamp), &genre});
        }
    }

    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    int year = local.tm_year + 1900;
    FillHolidayYears(store, year, std::min(year + 1, kLastYear));

    // Three hundred schedules from the month before to the month after,
    // fewer on weekends, always the same for the same month.
    CivilDate first{year, local.tm_mon + 1, 1};
    CivilDate start = AddDays(first, -31);
    std::mt19937 random(static_cast<uint32_t>(ToDateKey(first)));
    std::vector<ScheduleRow> rows;
    // Bounded: past the last accepted date no candidate is valid.
    for (int attempts = 0; rows.size() < 300 && attempts < 10000; ++attempts) {
        CivilDate day = AddDays(start, static_cast<int64_t>(random() % 92));
        int weekday = Weekday(day);
        if ((weekday == 0 || weekday == 6) && random() % 3 != 0) continue;
        int32_t key = ToDateKey(day);
        if (!IsValidDateKey(key)) continue;
        const GenreTexts& genre = genres[random() % genres.size()];
        rows.push_back(ScheduleRow{key, genre.genre->texts[random() % genre.genre->textCount], genre.id});
    }
    store.ImportSchedules(rows, stamp);
    return static_cast<int>(rows.size());
}
