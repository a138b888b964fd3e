#include "text/ShiftJis.h"

std::string_view CutToWidth(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    size_t end = 0;
    while (end < maxBytes) {
        size_t step = IsShiftJisLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
        if (end + step > maxBytes) break;
        end += step;
    }
    return text.substr(0, end);
}

size_t CopyToField(char* field, size_t width, std::string_view text) {
    if (width == 0) return 0;
    size_t zero = text.find('\0');
    if (zero != std::string_view::npos) text = text.substr(0, zero);
    std::string_view kept = CutToWidth(text, width - 1);
    std::memcpy(field, kept.data(), kept.size());
    std::memset(field + kept.size(), 0, width - kept.size());
    return kept.size();
}

namespace {

// The length of the blank character at the start of `text`, or 0.
size_t BlankAt(std::string_view text, size_t at) {
    const unsigned char byte = static_cast<unsigned char>(text[at]);
    if (byte == ' ' || (byte >= '\t' && byte <= '\r')) return 1;
    if (byte == 0x81 && at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) == 0x40) return 2;
    return 0;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    size_t first = std::string_view::npos;
    size_t end = 0;
    for (size_t at = 0; at < text.size();) {
        size_t blank = BlankAt(text, at);
        if (blank != 0) {
            at += blank;
            continue;
        }
        size_t step = IsShiftJisLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
        if (first == std::string_view::npos) first = at;
        at += step;
        end = at;
    }
    if (first == std::string_view::npos) return text.substr(0, 0);
    return text.substr(first, end - first);
}
