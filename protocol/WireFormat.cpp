#include "protocol/WireFormat.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>

namespace {

// Value of a hexadecimal digit, or -1.
int HexDigit(unsigned char byte) {
    if (byte >= '0' && byte <= '9') return byte - '0';
    if (byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
    return -1;
}

bool IsSpace(unsigned char byte) {
    return byte == ' ' || (byte >= '\t' && byte <= '\r');
}

// Reads the (at most two) bytes after a "+" the way the escape rule does:
// white space skipped, an optional sign, hexadecimal digits; no digits give 0.
unsigned char DecodeEscapeBytes(std::string_view bytes) {
    size_t pos = 0;
    while (pos < bytes.size() && IsSpace(static_cast<unsigned char>(bytes[pos]))) ++pos;
    bool negative = false;
    if (pos < bytes.size() && (bytes[pos] == '+' || bytes[pos] == '-')) {
        negative = bytes[pos] == '-';
        ++pos;
    }
    unsigned value = 0;
    for (; pos < bytes.size(); ++pos) {
        int digit = HexDigit(static_cast<unsigned char>(bytes[pos]));
        if (digit < 0) break;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    if (negative) value = 0u - value;
    return static_cast<unsigned char>(value & 0xFF);
}

}  // namespace

std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    // The passes of the escape rule give the same bytes as one pass: "+" is
    // escaped first, so no later pass meets an inserted "+" again.
    for (char c : text) {
        switch (c) {
        case '+': out += "+2B"; break;
        case '%': out += "+25"; break;
        case ':': out += "+3A"; break;
        case ' ': out += "+20"; break;
        case '\r': out += "+0D"; break;
        case '\n': out += "+0A"; break;
        default: out += c; break;
        }
    }
    return out;
}

std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        size_t plus = text.find('+', pos);
        if (plus == std::string_view::npos || plus + 1 >= text.size()) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, plus - pos));
        std::string_view digits = text.substr(plus + 1, 2);
        out += static_cast<char>(DecodeEscapeBytes(digits));
        pos = plus + 1 + digits.size();
    }
    return out;
}

std::string QuoteSqlText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    // Byte by byte, like the two replace-all passes: a Shift-JIS trail byte
    // of 0x5C is doubled too, and the server reads it back whole.
    for (char c : text) {
        if (c == '\'') out += "''";
        else if (c == '\\') out += "\\\\";
        else out += c;
    }
    return out;
}

// Unescapes a text that fits its field whole: decoding never lengthens a
// text, so nothing is cut and no character boundary needs watching.
size_t UnescapeFittingText(char* field, size_t width, std::string_view escaped) {
    const char* in = escaped.data();
    const size_t size = escaped.size();
    size_t length = 0;
    for (size_t pos = 0; pos < size;) {
        char byte = in[pos];
        if (byte == '+' && pos + 1 < size) {
            std::string_view digits = escaped.substr(pos + 1, 2);
            byte = static_cast<char>(DecodeEscapeBytes(digits));
            pos += 1 + digits.size();
        } else {
            ++pos;
        }
        if (byte == '\0') break;
        field[length++] = byte;
    }
    std::memset(field + length, 0, width - length);
    return length;
}

size_t UnescapeToField(char* field, size_t width, std::string_view escaped) {
    if (width == 0) return 0;
    if (escaped.size() < width) return UnescapeFittingText(field, width, escaped);
    size_t pos = 0;
    return FillField(field, width, [&](unsigned char& byte) {
        if (pos >= escaped.size()) return false;
        byte = static_cast<unsigned char>(escaped[pos]);
        if (byte == '+' && pos + 1 < escaped.size()) {
            std::string_view digits = escaped.substr(pos + 1, 2);
            byte = DecodeEscapeBytes(digits);
            pos += 1 + digits.size();
        } else {
            ++pos;
        }
        return true;
    });
}

RecordFields::RecordFields(std::string_view line) {
    // Fields are short: one pass over the bytes costs less than a search
    // call per field.
    const char* data = line.data();
    size_t start = 0;
    for (size_t pos = 0; pos < line.size(); ++pos) {
        if (data[pos] != ':') continue;
        fields_[count_++] = std::string_view(data + start, pos - start);
        start = pos + 1;
        if (count_ == kMaxFields) return;  // later fields are ignored
    }
    fields_[count_++] = std::string_view(data + start, line.size() - start);
}

std::string_view RecordFields::Text(size_t index) const {
    return index < count_ ? fields_[index] : std::string_view();
}

namespace {

constexpr std::string_view kCountedStatus = "+OK RDZVP/0.0 ";

// The words of a status line after "+OK RDZVP/0.0 ", or false when the
// reply's first line does not begin so.
bool StatusWords(std::string_view reply, std::string_view& words) {
    std::string_view first = reply.substr(0, FindLineEnd(reply, 0));
    if (first.substr(0, kCountedStatus.size()) != kCountedStatus) return false;
    words = first.substr(kCountedStatus.size());
    return true;
}

// Takes the next space-separated word off the front of `words`.
std::string_view NextWord(std::string_view& words) {
    size_t end = words.find(' ');
    std::string_view word = words.substr(0, end);
    words = end == std::string_view::npos ? std::string_view() : words.substr(end + 1);
    return word;
}

// A word of decimal digits only; values beyond 64 bits read as the largest.
bool ReadDigits(std::string_view word, uint64_t& value) {
    if (word.empty()) return false;
    value = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
        unsigned digit = static_cast<unsigned>(c - '0');
        value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
    }
    return true;
}

// A counter: digits within the signed 64-bit range.
bool ReadCounter(std::string_view word, int64_t& value) {
    uint64_t digits = 0;
    if (!ReadDigits(word, digits) || digits > static_cast<uint64_t>(INT64_MAX)) return false;
    value = static_cast<int64_t>(digits);
    return true;
}

}  // namespace

bool ReadAnnouncedRecordCount(std::string_view reply, uint64_t& count) {
    std::string_view words;
    if (!StatusWords(reply, words)) return false;
    return ReadDigits(NextWord(words), count);
}

bool ReadAnnouncedVersion(std::string_view reply, int64_t& version) {
    std::string_view words;
    uint64_t count = 0;
    if (!StatusWords(reply, words) || !ReadDigits(NextWord(words), count)) return false;
    if (NextWord(words) != "VERSION") return false;
    return ReadCounter(NextWord(words), version);
}

bool ReadVersionsReply(std::string_view reply, int64_t (&versions)[3]) {
    std::string_view words;
    if (!StatusWords(reply, words)) return false;
    int64_t read[3];
    for (int64_t& version : read) {
        if (!ReadCounter(NextWord(words), version)) return false;
    }
    if (!words.empty()) return false;
    std::copy(std::begin(read), std::end(read), std::begin(versions));
    return true;
}

std::string BuildGetLine(int dataSet, std::string_view condition) {
    std::string line = "GET ";
    line += kProtocolToken;
    line += ' ';
    line += FormatInt(dataSet);
    line += ' ';
    line += Escape(condition);
    line += kLineEnd;
    return line;
}

std::string BuildSetLine(int dataSet, std::string_view body) {
    std::string line = "SET ";
    line += kProtocolToken;
    line += ' ';
    line += FormatInt(dataSet);
    line += ' ';
    line += body;
    line += kLineEnd;
    return line;
}
