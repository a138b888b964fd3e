// Fuzzes what the client does with bytes from the server: unescaping,
// cutting a reply into record lines and fields, filling the records.
#include "protocol/Records.h"
#include "protocol/WireFormat.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view reply(reinterpret_cast<const char*>(data), size);

    std::string plain = Unescape(reply);
    if (plain.size() > reply.size()) std::abort();  // decoding never grows the text
    if (Unescape(Escape(reply)) != reply) std::abort();

    // Read in pieces as it arrives (the piece size taken from the first
    // byte): the same verdict and the same lines as the whole reply.
    ReplyReader reader;
    std::vector<std::string> streamed;
    auto keep = [&streamed](std::string_view line) { streamed.emplace_back(line); };
    const size_t piece = size ? 1 + data[0] % 255 : 1;
    for (size_t at = 0; at < size; at += piece) reader.Feed(reply.substr(at, piece), keep);
    reader.Finish(keep);
    using Verdict = ReplyReader::Verdict;
    const Verdict whole = !IsSuccessReply(reply) ? (reply.empty() ? Verdict::kEmpty : Verdict::kFailure)
                          : IsProtocolReply(reply) ? Verdict::kSuccess
                                                   : Verdict::kUnreadable;
    if (reader.Result() != whole) std::abort();
    if (whole == Verdict::kFailure && reader.FailureText() != reply) std::abort();
    if (whole == Verdict::kSuccess) {
        std::vector<std::string> lines;
        ForEachLine(reply, [&lines](std::string_view line) {
            lines.emplace_back(line);
            return true;
        });
        if (lines != streamed || reader.FirstLine() != lines.front()) std::abort();
    } else if (!streamed.empty()) {
        std::abort();
    }
    ForEachRecordLine(reply, [](std::string_view line) {
        ScheduleRecord schedule;
        ParseScheduleRecord(line, schedule);
        CategoryRecord category;
        ParseCategoryRecord(line, category);
        DateInfoRecord day;
        ParseDateInfoRecord(line, day);
        // Every text field stays zero-terminated inside its width.
        if (schedule.text[sizeof schedule.text - 1] != '\0' || schedule.entered[sizeof schedule.entered - 1] != '\0' ||
            category.shortName[sizeof category.shortName - 1] != '\0' || day.host[sizeof day.host - 1] != '\0') {
            std::abort();
        }
        // Straight into a field, or unescaped first and then copied: the
        // same bytes, at every width.
        for (size_t width = 1; width <= 24; ++width) {
            char direct[24];
            char copied[24];
            size_t a = UnescapeToField(direct, width, line.substr(0, 40));
            size_t b = CopyToField(copied, width, Unescape(line.substr(0, 40)));
            if (a != b || std::memcmp(direct, copied, width) != 0) std::abort();
        }
    });
    return 0;
}
