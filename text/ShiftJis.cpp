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
