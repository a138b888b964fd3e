// Small text tools without any coding of their own: integers read and
// written in decimal, and splitting at a separator. Plain C++ with no
// Windows header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Reads an integer the way atoi does: leading white space, an optional
// sign, the decimal digits up to the first other byte; no digits give 0. A
// value beyond the signed 32-bit range is clamped to it.
int32_t ParseInt(std::string_view field);

// "%d" form of a signed 32-bit value.
std::string FormatInt(int32_t value);

// Splits at every occurrence of the separator; empty pieces count and the
// rest after the last separator is always the final piece. The views point
// into `text`. An empty separator gives the whole text as one piece.
std::vector<std::string_view> SplitAll(std::string_view text, std::string_view separator);
