#include "server/ReplyFormat.h"

#include "protocol/WireFormat.h"

#include <climits>

std::string EscapeReplyText(std::string_view text) {
    std::string escaped = Escape(text);
    if (escaped.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos) return escaped;
    std::string out;
    out.reserve(escaped.size() + 8);
    for (char c : escaped) {
        switch (c) {
        case '\r': out += "+0D"; break;
        case '\n': out += "+0A"; break;
        case '\0': out += "+00"; break;
        default: out += c; break;
        }
    }
    return out;
}

std::string ErrorReply(std::string_view message) {
    std::string reply = "-";
    reply += EscapeReplyText(message);
    reply += "\r\n";
    return reply;
}

RecordLineWriter& RecordLineWriter::Int(int64_t value) {
    // Stored integers are 32-bit by construction; clamp anything else.
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    out_ += ':';
    out_ += FormatInt(static_cast<int32_t>(value));
    return *this;
}

RecordLineWriter& RecordLineWriter::Text(std::string_view text) {
    out_ += ':';
    out_ += EscapeReplyText(text);
    return *this;
}
