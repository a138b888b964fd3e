#include "server/ReplyFormat.h"

#include "protocol/WireFormat.h"

#include <climits>

void AppendEscapedReplyText(std::string& out, std::string_view text) {
    // One pass with the same result as Escape followed by the line-break
    // escapes: reply building is the hot path of a large GET.
    size_t plainFrom = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char* code = nullptr;
        switch (text[i]) {
        case '+': code = "+2B"; break;
        case '%': code = "+25"; break;
        case ':': code = "+3A"; break;
        case ' ': code = "+20"; break;
        case '\r': code = "+0D"; break;
        case '\n': code = "+0A"; break;
        case '\0': code = "+00"; break;
        default: continue;
        }
        out.append(text.data() + plainFrom, i - plainFrom);
        out.append(code, 3);
        plainFrom = i + 1;
    }
    out.append(text.data() + plainFrom, text.size() - plainFrom);
}

std::string EscapeReplyText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    AppendEscapedReplyText(out, text);
    return out;
}

std::string GetStatusLine(size_t recordLines, std::optional<int64_t> version) {
    std::string line = "+OK RDZVP/0.0 ";
    line += std::to_string(recordLines);
    if (version) {
        line += " VERSION ";
        line += std::to_string(*version);
    }
    line += "\r\n";
    return line;
}

std::string VersionsReply(const StoreVersion& version) {
    std::string line = "+OK RDZVP/0.0";
    for (int64_t counter : version) {
        line += ' ';
        line += std::to_string(counter);
    }
    line += "\r\n";
    return line;
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
    AppendEscapedReplyText(out_, text);
    return *this;
}
