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

std::string DeleteGenreQuestion(const GenreRecord& genre) {
    return "「" + std::string(FieldText(genre.name)) + "」を削除します。よろしいですか？";
}
