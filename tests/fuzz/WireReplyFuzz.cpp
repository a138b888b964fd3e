// Fuzzes what the client does with bytes from the server: unescaping,
// cutting a reply into record lines and fields, filling the records.
#include "protocol/Records.h"
#include "protocol/WireFormat.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view reply(reinterpret_cast<const char*>(data), size);

    std::string plain = Unescape(reply);
    if (plain.size() > reply.size()) std::abort();  // decoding never grows the text
    if (Unescape(Escape(reply)) != reply) std::abort();

    IsSuccessReply(reply);
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
        for (size_t width = 1; width <= 4; ++width) {
            char field[4];
            UnescapeToField(field, width, line);
        }
    });
    return 0;
}
