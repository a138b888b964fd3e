#include "editing/GenreEditing.h"

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

std::string DeleteGenreQuestion(const GenreRecord& genre) {
    return "「" + std::string(FieldText(genre.name)) + "」を削除します。よろしいですか？";
}
