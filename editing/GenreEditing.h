// The plain rules under the genre registration dialogs: which genres a
// category lists, how a typed name fills a genre's two name fields, and the
// question asked before a genre is deleted.
#pragma once

#include "protocol/CategorySet.h"
#include "protocol/Records.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The genres of one category in store order, those marked for deletion left
// out (they stay in the set, to be sent on OK).
std::vector<CategoryRecord*> ListedGenres(const CategorySet& set, int32_t categoryId);

// Writes a typed genre name into `name` (at most 255 bytes) and `shortName`
// (at most 63 bytes), each cut where a Shift-JIS character ends.
void SetGenreName(GenreRecord& genre, std::string_view text);

// The data sets to reload once the working copy's changes were sent:
// LOAD_CATEGORIES, with LOAD_SCHEDULES when a genre the server already held
// was renamed or deleted (schedules carry their genre's short name).
uint32_t ReloadAfterGenreChanges(const CategorySet& working);

// The names of the genres listed under `categoryId` other than `except`
// (null for a new genre): the names a typed name must not repeat.
std::vector<std::string> OtherGenreNames(const CategorySet& set, int32_t categoryId, const CategoryRecord* except);

// Why a typed genre name cannot be taken, or "" when it can. Blank is a name
// of blanks alone (ASCII white space and the full-width space); a name is
// taken when another genre of the category has it, blanks around either
// left aside and the rest compared byte for byte (case and width count), as
// far as the name field keeps it (255 bytes). The server applies the same
// rule to every genre it stores.
std::string GenreNameProblem(std::string_view typed, const std::vector<std::string>& otherNames,
                             const CategoryRecord& category);

// 「name」を削除します。よろしいですか？
std::string DeleteGenreQuestion(const GenreRecord& genre);
