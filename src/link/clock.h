#pragma once

#include <atomic>
#include <cstdint>

namespace clinora {

// Millisecond tick counter and sleep. Every wait on the bus goes through this
// interface so that tests can run whole sequences on virtual time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t nowMs() const = 0;
    virtual void sleepMs(int64_t ms) = 0;
};

// Monotonic wall time.
class RealClock final : public Clock {
public:
    int64_t nowMs() const override;
    void sleepMs(int64_t ms) override;
};

// Time that moves only when somebody sleeps: sleepMs advances it at once.
// Safe to read from several threads; meant to be driven by one.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(int64_t startMs = 0) : now_(startMs) {}
    int64_t nowMs() const override { return now_.load(std::memory_order_acquire); }
    void sleepMs(int64_t ms) override {
        if (ms > 0) now_.fetch_add(ms, std::memory_order_acq_rel);
    }
    void advance(int64_t ms) { sleepMs(ms); }

private:
    std::atomic<int64_t> now_;
};

}  // namespace clinora
