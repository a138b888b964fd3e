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

// 「name」を削除します。よろしいですか？
std::string DeleteGenreQuestion(const GenreRecord& genre);
