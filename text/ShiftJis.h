// Shift-JIS text in fixed widths: character boundaries, cutting a text to a
// byte width, and zero-terminated fixed-width fields. Plain C++ with no
// Windows header, shared by the client, the calendar server and the tools.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

// True when the byte opens a Shift-JIS double-byte character.
constexpr bool IsShiftJisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The longest start of `text` that is at most `maxBytes` bytes long and does
// not end between the two bytes of a double-byte character. Characters are
// counted from the start of the text; a lead byte that is the text's own
// last byte counts as one character.
std::string_view CutToWidth(std::string_view text, size_t maxBytes);

// Fills a fixed-width field (width >= 1) from a byte source while keeping
// Shift-JIS characters whole: at most width - 1 bytes, a double-byte
// character only when both its bytes fit, a zero byte ends the text, and the
// rest of the field is zeroed. `next(byte)` yields the next source byte and
// returns false at the end. Returns the number of bytes written.
template <typename Source>
size_t FillField(char* field, size_t width, Source&& next) {
    const size_t limit = width - 1;
    size_t length = 0;
    unsigned char byte;
    while (next(byte) && byte != 0) {
        if (IsShiftJisLeadByte(byte)) {
            unsigned char trail;
            if (!next(trail) || trail == 0) {
                // A lead byte that ends the text was not cut here: keep it.
                if (length < limit) field[length++] = static_cast<char>(byte);
                break;
            }
            if (length + 2 > limit) break;
            field[length++] = static_cast<char>(byte);
            field[length++] = static_cast<char>(trail);
            continue;
        }
        if (length >= limit) break;
        field[length++] = static_cast<char>(byte);
    }
    std::memset(field + length, 0, width - length);
    return length;
}

// `text` without its leading and trailing blanks: ASCII white space (space,
// tab, CR, LF, VT, FF) and the full-width space (0x81 0x40), read character
// by character from the start, so the trail byte of another double-byte
// character is never taken for a blank. A text of blanks alone gives "".
std::string_view TrimBlanks(std::string_view text);

// Copies text into a zero-filled field of `width` bytes with the rules of
// FillField: the text up to its first zero byte, cut by CutToWidth to
// width - 1 bytes. Returns the number of bytes copied.
size_t CopyToField(char* field, size_t width, std::string_view text);

template <size_t N>
size_t CopyToField(char (&field)[N], std::string_view text) {
    return CopyToField(field, N, text);
}

// The text of a zero-terminated fixed-width field (never reads past it).
template <size_t N>
std::string_view FieldText(const char (&field)[N]) {
    size_t length = 0;
    while (length < N && field[length] != '\0') ++length;
    return std::string_view(field, length);
}
