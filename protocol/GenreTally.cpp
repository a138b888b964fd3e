#include "protocol/GenreTally.h"

#include <algorithm>

void GenreTally::Start() {
    for (int32_t id : seen_) table_[static_cast<uint32_t>(id)] = 0;
    seen_.clear();
    others_.clear();
}

void GenreTally::Finish(std::map<int32_t, int32_t>& counts) {
    std::sort(seen_.begin(), seen_.end());
    // One merge in id order: the negative ids, the table's, the large ones.
    auto at = counts.begin();
    auto put = [&counts, &at](int32_t id, int32_t count) {
        while (at != counts.end() && at->first < id) at = counts.erase(at);
        if (at != counts.end() && at->first == id) {
            at->second = count;
            ++at;
        } else {
            counts.emplace_hint(at, id, count);
        }
    };
    auto other = others_.begin();
    for (; other != others_.end() && other->first < 0; ++other) put(other->first, other->second);
    for (int32_t id : seen_) {
        put(id, table_[static_cast<uint32_t>(id)]);
        table_[static_cast<uint32_t>(id)] = 0;
    }
    for (; other != others_.end(); ++other) put(other->first, other->second);
    counts.erase(at, counts.end());
    seen_.clear();
    others_.clear();
}
