// Realistic GET 1 replies for the benchmarks: Japanese and ASCII schedule
// texts with escaped spaces, colons and percent signs, the way the server
// writes them.
#pragma once

#include "protocol/WireFormat.h"

#include <cstdint>
#include <string>

inline std::string MakeScheduleReply(int lines) {
    static const char* const texts[] = {
        "定例会議 10:30～ 第二会議室",
        "Weekly sync with the design team",
        "出張（大阪）新幹線 のぞみ 7:03発",
        "締切: 月次報告書 100% 提出",
        "歯医者 15:00",
        "Release 2.4 + hotfix review",
        "部署懇親会＠表参道 ソフト開発課",
        "有給休暇",
    };
    static const char* const genres[] = {"会議", "出張", "私用", "Event"};
    static const char* const categories[] = {"業務", "個人", "Team"};
    std::string reply = "+OK RDZVP/0.0\r\n";
    reply.reserve(static_cast<size_t>(lines) * 110);
    uint32_t seed = 12345;
    for (int i = 0; i < lines; ++i) {
        seed = seed * 1103515245u + 12345u;
        int day = 20260101 + static_cast<int>((seed >> 8) % 12) * 100 + static_cast<int>((seed >> 4) % 28);
        reply += "DATA:";
        reply += FormatInt(day);
        reply += ':';
        reply += FormatInt(i + 1);
        reply += ':';
        reply += Escape(texts[seed % 8]);
        reply += ':';
        reply += FormatInt(static_cast<int32_t>(seed % 40));
        reply += ":0:";
        reply += Escape("2026/12/07 09:41");
        reply += ":192.168.10.";
        reply += FormatInt(static_cast<int32_t>(seed % 250));
        reply += ':';
        reply += Escape(genres[(seed >> 3) % 4]);
        reply += ':';
        reply += Escape(categories[(seed >> 5) % 3]);
        reply += "\r\n";
    }
    return reply;
}
