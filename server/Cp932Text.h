// Calendar texts between the stored Shift-JIS (the mapping of Windows code
// page 932, with its NEC and IBM extensions) and the UTF-8 of other
// calendars. The stored bytes always come out as some text; a character
// code page 932 cannot hold comes in as "〓" and is counted.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Stored bytes as UTF-8. A byte sequence no character maps (a lone lead
// byte, an unassigned code) becomes U+3013 "〓"; NUL bytes are dropped.
std::string Cp932ToUtf8(std::string_view bytes);

struct Cp932Conversion {
    std::string text;
    size_t replaced = 0;  // characters that became "〓" (also bytes that were not UTF-8)
};

// UTF-8 as stored bytes. The JIS flavours of a few characters (wave dash,
// double vertical line, minus sign, cent, pound, not sign, em dash) become
// the code page's own; any other character it lacks becomes "〓".
Cp932Conversion Utf8ToCp932(std::string_view utf8);
