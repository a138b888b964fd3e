// Bounds on the work one request may cause: a time budget (a request never
// runs longer than a few seconds, and a stopping server cuts it short) and a
// share of the memory that replies being built or sent may take together.
// Engine-independent: the store checks the budget between rows.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

// Memory that conditioned replies (built per request, never shared) may take
// together, from the start of their building until the last byte is sent.
class ReplyMemory {
public:
    explicit ReplyMemory(size_t limit) : limit_(limit) {}
    ReplyMemory(const ReplyMemory&) = delete;
    ReplyMemory& operator=(const ReplyMemory&) = delete;

    bool TryCharge(size_t bytes);
    void Release(size_t bytes) { inUse_.fetch_sub(bytes); }
    size_t InUse() const { return inUse_.load(); }

    // Hands `text` over as shared reply bytes whose `charged` bytes are
    // released when the last holder lets go.
    std::shared_ptr<const std::string> Adopt(std::string text, size_t charged);

private:
    size_t limit_;
    std::atomic<size_t> inUse_{0};
};

// Why a request's work was cut short.
class WorkStopped : public std::runtime_error {
public:
    enum class Reason { Time, Memory, Stopping };
    explicit WorkStopped(Reason reason) : std::runtime_error("work stopped"), reason_(reason) {}
    Reason WhyStopped() const { return reason_; }

private:
    Reason reason_;
};

class WorkBudget {
public:
    using Clock = std::chrono::steady_clock;

    // `memory` null: the reply is not charged (the shared replies, one per
    // data set, are bounded by the data itself).
    WorkBudget(Clock::time_point deadline, const std::atomic<bool>* stopping, ReplyMemory* memory)
        : deadline_(deadline), stopping_(stopping), memory_(memory) {}
    ~WorkBudget();
    WorkBudget(const WorkBudget&) = delete;
    WorkBudget& operator=(const WorkBudget&) = delete;

    // Throws WorkStopped when time is up, the server is stopping, or a
    // reply of `replyBytes` does not fit the shared memory.
    void Check(size_t replyBytes = 0);
    // Whether time is up or the server is stopping (for callbacks that
    // cannot throw).
    bool Exhausted() const;
    // The bytes charged so far, now owned by the caller (see ReplyMemory::Adopt).
    size_t TakeCharge();
    ReplyMemory* Memory() const { return memory_; }

private:
    Clock::time_point deadline_;
    const std::atomic<bool>* stopping_;
    ReplyMemory* memory_;
    size_t charged_ = 0;
};
