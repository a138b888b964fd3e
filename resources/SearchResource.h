// Controls of the search dialog (template 117) and of the search results
// dialog (template 118).
#pragma once

#include "resources/Resource.h"

#define IDC_SEARCH_GENRE 1045
#define IDC_SEARCH_MATCH_CASE 1046  // disabled; never read
#define IDC_SEARCH_CATEGORY 1047
#define IDC_SEARCH_TEXT 1019

#define IDC_SEARCH_SUMMARY 1014
#define IDC_SEARCH_RESULTS 1043
