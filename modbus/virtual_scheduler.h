// A scheduler on a virtual clock, for tests and for simulated lines.
//
// Time stands still until advance() moves it; advance() fires every tick that
// falls due on the way, in time order (ties in the order the timers were
// created), each at its own moment, so a 247-second story runs in
// milliseconds.
#pragma once

#include "scheduler.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace orn {

class VirtualScheduler : public Scheduler {
public:
    VirtualScheduler();
    ~VirtualScheduler() override;
    VirtualScheduler(const VirtualScheduler&) = delete;
    VirtualScheduler& operator=(const VirtualScheduler&) = delete;

    std::unique_ptr<Timer> createTimer(std::function<void()> onTick) override;
    // Fires the next due tick, moving the clock to it; false when no timer runs.
    bool processPendingEvents() override;
    uint32_t nowMs() const override { return static_cast<uint32_t>(nowUs_ / 1000); }

    int64_t nowUs() const { return nowUs_; }
    // Moves the clock forward by ms, firing every tick due up to and at the end.
    void advance(int64_t ms);
    // As advance(), in microseconds.
    void advanceUs(int64_t us);
    // Moves the clock without firing anything (a call that blocks in real
    // time); ticks that fell due meanwhile fire at the next advance.
    void skipUs(int64_t us) { nowUs_ += us; }
    // Advances in steps of stepMs until pred() holds or maxMs have passed;
    // returns whether pred() held.
    template <class Pred> bool runUntil(Pred pred, int64_t maxMs, int64_t stepMs = 1) {
        for (int64_t t = 0; !pred(); t += stepMs) {
            if (t >= maxMs) return false;
            advance(stepMs);
        }
        return true;
    }
    // Number of timers that are enabled now.
    int runningTimers() const;

private:
    class VTimer;
    friend class VTimer;
    // Fires the earliest tick due at or before limitUs; false when none is.
    bool fireNext(int64_t limitUs);

    int64_t nowUs_ = 0;
    std::vector<VTimer*> timers_;   // in creation order
};

} // namespace orn
