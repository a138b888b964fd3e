#include "server/ReplyCache.h"

std::optional<ReplyBytes> ReplyCache::Find(int dataSet, const StoreVersion& version) {
    if (dataSet < 1 || dataSet > 3) return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    const Entry& entry = entries_[dataSet - 1];
    if (!entry.valid || entry.version != version) return std::nullopt;
    return entry.reply;
}

void ReplyCache::Keep(int dataSet, const StoreVersion& version, const ReplyBytes& reply) {
    if (dataSet < 1 || dataSet > 3) return;
    ReplyBytes dropped;  // the old reply is let go outside the lock
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& entry = entries_[dataSet - 1];
    dropped = std::move(entry.reply);
    entry = Entry{true, version, reply};
}
