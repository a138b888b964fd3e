#include "server/WorkBudget.h"

bool ReplyMemory::TryCharge(size_t bytes) {
    size_t current = inUse_.load();
    do {
        if (current + bytes > limit_) return false;
    } while (!inUse_.compare_exchange_weak(current, current + bytes));
    return true;
}

std::shared_ptr<const std::string> ReplyMemory::Adopt(std::string text, size_t charged) {
    return std::shared_ptr<const std::string>(new std::string(std::move(text)), [this, charged](const std::string* bytes) {
        delete bytes;
        Release(charged);
    });
}

WorkBudget::~WorkBudget() {
    if (memory_ && charged_ > 0) memory_->Release(charged_);
}

bool WorkBudget::Exhausted() const {
    return (stopping_ && stopping_->load(std::memory_order_relaxed)) || Clock::now() >= deadline_;
}

void WorkBudget::Check(size_t replyBytes) {
    if (stopping_ && stopping_->load(std::memory_order_relaxed)) throw WorkStopped(WorkStopped::Reason::Stopping);
    if (Clock::now() >= deadline_) throw WorkStopped(WorkStopped::Reason::Time);
    if (memory_ && replyBytes > charged_) {
        if (!memory_->TryCharge(replyBytes - charged_)) throw WorkStopped(WorkStopped::Reason::Memory);
        charged_ = replyBytes;
    }
}

size_t WorkBudget::TakeCharge() {
    size_t charge = charged_;
    charged_ = 0;
    return charge;
}
