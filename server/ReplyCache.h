// One immutable reply per data set for the unconditioned GET, shared by
// every connection sending it. Each is tagged with the store's version at
// the snapshot it was read from; a reply whose version is not the store's
// current one is never served, so a change by anyone (another worker,
// another process writing the same database) drops it. Independent of the
// storage engine: the store only reports its version.
#pragma once

#include "server/ReplyBytes.h"
#include "server/StoreVersion.h"

#include <mutex>
#include <optional>

class ReplyCache {
public:
    // The reply of data set 1..3 built at `version`, if there is one.
    std::optional<ReplyBytes> Find(int dataSet, const StoreVersion& version);
    void Keep(int dataSet, const StoreVersion& version, const ReplyBytes& reply);

private:
    struct Entry {
        bool valid = false;
        StoreVersion version{};
        ReplyBytes reply;
    };
    std::mutex mutex_;
    Entry entries_[3];
};
