// libFuzzer harness for the server's request side: framing, request line
// parsing, SET bodies, the search condition and the Shift-JIS match, plus
// the escaping of what the server would send back.
#include "server/ReplyFormat.h"
#include "server/RequestParser.h"
#include "protocol/WireFormat.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // Framing must work on every prefix the network could deliver.
    Frame frame = FindRequestLine(bytes);
    for (size_t cut = 0; cut < bytes.size() && cut < 64; ++cut) FindRequestLine(bytes.substr(0, cut));
    std::string_view line = frame.status == FrameStatus::Complete ? bytes.substr(0, frame.lineLength) : bytes;
    if (frame.status == FrameStatus::Complete && frame.lineLength > bytes.size()) std::abort();

    // The reply escaping is the protocol's Escape plus CR, LF and NUL.
    std::string expected;
    for (char c : Escape(line)) {
        if (c == '\r') expected += "+0D";
        else if (c == '\n') expected += "+0A";
        else if (c == '\0') expected += "+00";
        else expected += c;
    }
    if (EscapeReplyText(line) != expected) std::abort();

    Outcome<Request> request = ParseRequest(line);
    if (!request.Ok()) {
        // Every failure carries a message that becomes exactly one reply line.
        std::string reply = ErrorReply(request.Error().message);
        if (request.Error().message.empty() || reply.find('\n') != reply.size() - 1) std::abort();
        return 0;
    }
    const Request& parsed = request.Value();
    if (parsed.kind == RequestKind::Get) {
        // Run the parsed condition over the input itself and a few texts.
        for (std::string_view text : {bytes, std::string_view("\x83\x41\x95\x5C"), std::string_view()}) {
            parsed.filter.Accepts(1, 2, text.substr(0, 255));
        }
    }
    if (parsed.kind == RequestKind::Set) {
        if (parsed.schedule.text.size() > kMaxTextBytes || parsed.genre.name.size() > kMaxTextBytes ||
            parsed.genre.shortName.size() > kMaxShortNameBytes || parsed.dateInfo.name.size() > kMaxTextBytes) {
            std::abort();
        }
        // A revision a change expects is never negative.
        if (parsed.schedule.expected.revision < 0 || parsed.genre.expected.revision < 0 ||
            parsed.dateInfo.expected.revision < 0) {
            std::abort();
        }
        std::string text = parsed.schedule.text + parsed.dateInfo.name;
        std::string escaped = EscapeReplyText(text);
        if (escaped.find_first_of(std::string_view("\r\n\0:", 4)) != std::string::npos) std::abort();
        if (Unescape(escaped) != text) std::abort();
    }
    return 0;
}
