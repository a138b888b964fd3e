#include "tests/support/SeededCalendar.h"

#include "protocol/CategorySet.h"
#include "protocol/ScheduleSet.h"
#include "text/ShiftJis.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::vector<std::string>> CategoryCommands(const std::vector<std::string>& names) {
    std::vector<std::vector<std::string>> commands;
    for (const std::string& name : names) commands.push_back({"add-category", name, name});
    return commands;
}

}  // namespace

SeededCalendar::SeededCalendar(const std::vector<std::string>& categoryNames,
                               const std::vector<std::string>& serveArguments)
    : server_(CategoryCommands(categoryNames), serveArguments), context_("127.0.0.1", server_.Port()) {
    if (server_.Port() == 0) {
        ADD_FAILURE() << "calendar server did not start: " << server_.Log();
        return;
    }
    CategorySet set(context_);
    EXPECT_EQ(set.Get(""), 1);
    std::vector<CategoryRecord*> made = set.ListByLevel(LEVEL_CATEGORY);
    EXPECT_EQ(made.size(), categoryNames.size());
    if (made.size() != categoryNames.size()) return;
    for (size_t i = 0; i < made.size(); ++i) {
        EXPECT_EQ(FieldText(made[i]->name), categoryNames[i]);
        categories_.push_back(made[i]->id);
    }
}

int32_t SeededCalendar::AddGenre(int32_t categoryId, const std::string& name) {
    GenreRecord genre;
    genre.op = OP_ADD;
    genre.level = LEVEL_GENRE;
    genre.parentId = categoryId;
    CopyToField(genre.name, name);
    CopyToField(genre.shortName, name);
    CategorySet set(context_);
    EXPECT_EQ(set.Set(genre), 1) << name;
    EXPECT_EQ(set.Get(""), 1);
    // The newest genre of that name: ids only grow.
    for (auto it = set.records.rbegin(); it != set.records.rend(); ++it) {
        if ((*it)->level == LEVEL_GENRE && (*it)->parentId == categoryId && FieldText((*it)->name) == name) {
            return (*it)->id;
        }
    }
    ADD_FAILURE() << "genre " << name << " not stored";
    return 0;
}

int SeededCalendar::AddSchedule(int32_t date, int32_t genreId, const std::string& text, int32_t op, int32_t id) {
    ScheduleRecord record;
    record.op = op;
    record.date = date;
    record.id = id;
    record.genreId = genreId;
    CopyToField(record.text, text);
    ScheduleSet set(context_);
    return set.Set(record);
}
