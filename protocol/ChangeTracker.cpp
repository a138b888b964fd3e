#include "protocol/ChangeTracker.h"

#include "protocol/LoadMask.h"

namespace {

constexpr uint32_t kDataSetBits[3] = {LOAD_SCHEDULES, LOAD_CATEGORIES, LOAD_DATE_INFO};
constexpr uint32_t kAllDataSets = LOAD_SCHEDULES | LOAD_CATEGORIES | LOAD_DATE_INFO;

}  // namespace

bool ChangeTracker::MayCheck(uint32_t now) const {
    if (!everChecked_) return true;
    return now - lastCheck_ >= (checking_ ? kLostCheckMs : kCheckIntervalMs);
}

void ChangeTracker::WaitFrom(uint32_t now) {
    everChecked_ = true;
    lastCheck_ = now;
}

uint32_t ChangeTracker::CheckStarted(uint32_t now) {
    checking_ = true;
    everChecked_ = true;
    lastCheck_ = now;
    comeBackCheck_ = comeBackPending_;
    comeBackPending_ = false;
    return ++ticket_;
}

bool ChangeTracker::CheckEnded(uint32_t ticket, const int64_t* versions, const int64_t (&loaded)[3]) {
    if (!checking_ || ticket != ticket_) return false;  // overtaken by a load or a change of our own
    checking_ = false;
    if (!versions || !believe_) {
        comeBackCheck_ = false;
        return false;
    }
    uint32_t changed = 0;
    for (int set = 0; set < 3; ++set) {
        // A data set loaded from a server that announced no version is
        // never taken for changed.
        if (loaded[set] >= 0 && versions[set] != loaded[set]) changed |= kDataSetBits[set];
    }
    if (comeBackCheck_) refreshPending_ = changed != 0;
    comeBackCheck_ = false;
    const bool moved = changed != changed_;
    changed_ = changed;
    return moved;
}

void ChangeTracker::LoadStarted() {
    // A new ticket for the next check; the one in flight reports in vain.
    ++ticket_;
    checking_ = false;
    comeBackCheck_ = false;
}

void ChangeTracker::ChangeSent() {
    LoadStarted();
    believe_ = false;
}

bool ChangeTracker::LoadFinished(uint32_t mask) {
    ++ticket_;
    checking_ = false;
    believe_ = true;
    const uint32_t before = changed_;
    changed_ &= ~(mask & kAllDataSets);
    return changed_ != before;
}

uint32_t ChangeTracker::RefreshMask() const {
    uint32_t mask = changed_;
    if (mask & LOAD_CATEGORIES) mask |= LOAD_SCHEDULES;
    return mask;
}

ChangeTracker::ComeBack ChangeTracker::CameBack(uint32_t now) {
    refreshPending_ = false;
    if (changed_ != 0) return ComeBack::kRefresh;
    if (!MayCheck(now)) return ComeBack::kNothing;
    cameBackAt_ = now;
    comeBackPending_ = true;
    return ComeBack::kCheck;
}

bool ChangeTracker::RefreshAfterCheck(uint32_t now) {
    const bool refresh = refreshPending_ && now - cameBackAt_ <= kComeBackWindowMs;
    refreshPending_ = false;
    return refresh;
}
