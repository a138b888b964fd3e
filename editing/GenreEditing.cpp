#include "editing/GenreEditing.h"

#include "protocol/ScheduleStore.h"
#include "text/ShiftJis.h"

std::vector<CategoryRecord*> ListedGenres(const CategorySet& set, int32_t categoryId) {
    std::vector<CategoryRecord*> genres = set.ListByParent(categoryId);
    std::vector<CategoryRecord*> listed;
    listed.reserve(genres.size());
    for (CategoryRecord* genre : genres) {
        if (genre->op != OP_DELETE) listed.push_back(genre);
    }
    return listed;
}

void SetGenreName(GenreRecord& genre, std::string_view text) {
    CopyToField(genre.name, text);
    CopyToField(genre.shortName, text);
}

uint32_t ReloadAfterGenreChanges(const CategorySet& working) {
    for (const auto& record : working.records) {
        // A genre added in the dialog (id 0 until the server gives one) is
        // named by no schedule yet.
        const bool renamedOrDeleted = record->op == OP_CHANGE || record->op == OP_DELETE;
        if (renamedOrDeleted && record->id != 0) return kLoadAfterCategoryDialog | LOAD_SCHEDULES;
    }
    return kLoadAfterCategoryDialog;
}

std::vector<std::string> OtherGenreNames(const CategorySet& set, int32_t categoryId, const CategoryRecord* except) {
    std::vector<std::string> names;
    for (const CategoryRecord* genre : ListedGenres(set, categoryId)) {
        if (genre != except) names.emplace_back(FieldText(genre->name));
    }
    return names;
}

std::string GenreNameProblem(std::string_view typed, const std::vector<std::string>& otherNames,
                             const CategoryRecord& category) {
    GenreRecord stored;
    SetGenreName(stored, typed);
    const std::string_view name = TrimBlanks(FieldText(stored.name));
    if (name.empty()) return "ジャンル名を入力してください。空白だけの名前は登録できません。";
    for (const std::string& other : otherNames) {
        if (TrimBlanks(other) == name) {
            return "「" + std::string(name) + "」というジャンルは「" + std::string(FieldText(category.name)) +
                   "」にすでにあります。別の名前を入力してください。";
        }
    }
    return std::string();
}

std::string DeleteGenreQuestion(const GenreRecord& genre) {
    return "「" + std::string(FieldText(genre.name)) + "」を削除します。よろしいですか？";
}
