#include "toolkit/Services.h"

#include "text/TextTools.h"

std::string LoadString(HINSTANCE instance, UINT id) {
    char buffer[1024] = {};
    int length = ::LoadStringA(instance, id, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

std::string IntToString(int32_t value, int radix) {
    if (radix < 2 || radix > 36) return std::string();
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    bool negative = radix == 10 && value < 0;
    uint32_t magnitude = negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char buffer[40];
    char* end = buffer + sizeof buffer;
    char* p = end;
    do {
        *--p = digits[magnitude % static_cast<uint32_t>(radix)];
        magnitude /= static_cast<uint32_t>(radix);
    } while (magnitude != 0);
    if (negative) *--p = '-';
    return std::string(p, end);
}

std::vector<std::string> StringSplitter::Split(const std::string& delimiter) const {
    std::vector<std::string> pieces;
    for (std::string_view piece : SplitAll(text_, delimiter)) pieces.emplace_back(piece);
    return pieces;
}
