#include "protocol/ScheduleStore.h"

int ScheduleStore::RunLoad(uint32_t mask, const LoadStatusOutput& status) {
    auto show = [&status](const char* text) {
        if (status) status(text);
    };
    if (mask & LOAD_CHECK_SERVER) {
        show("サーバーとの接続を確認中...");
        ProtocolClient check(context_);
        if (!check.Hello()) mask = 0;
        show("サーバーとの接続を確認中... 完了");
    }
    if (mask & LOAD_SCHEDULES) {
        show("スケジュール を取得中...");
        if (!schedules.Get("")) mask = 0;
        show("スケジュール を取得中... 完了");
    }
    if (mask & LOAD_CATEGORIES) {
        show("スケジュール区分 を取得中...");
        if (!categories.Get("")) mask = 0;
        show("スケジュール区分 を取得中... 完了");
    }
    if (mask & LOAD_DATE_INFO) {
        show("祝日マスタ を取得中...");
        dateInfo.Get("");  // the last step: nothing after it to skip
        show("祝日マスタ を取得中... 完了");
    }
    return 0;
}
