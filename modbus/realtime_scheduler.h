// A scheduler on the real monotonic clock, for programs and benchmarks that
// run the master without a GUI event loop.
//
// Single-threaded: timers are made, changed and fired on the thread that
// drives the scheduler.  Nothing runs by itself; ticks fire only inside
// processPendingEvents(), runFor() and runUntil(), which sleep between them
// (they never spin).  A tick that falls due while the thread is busy fires
// late, once; missed periods are skipped, not caught up in a burst.
#pragma once

#include "scheduler.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace orn {

class RealtimeScheduler : public Scheduler {
public:
    using Clock = std::chrono::steady_clock;

    RealtimeScheduler();
    ~RealtimeScheduler() override;
    RealtimeScheduler(const RealtimeScheduler&) = delete;
    RealtimeScheduler& operator=(const RealtimeScheduler&) = delete;

    std::unique_ptr<Timer> createTimer(std::function<void()> onTick) override;
    // Fires every tick that is due; when none is, sleeps until the next one
    // and fires it.  False, at once, when no timer is enabled.
    bool processPendingEvents() override;
    // Milliseconds since the scheduler was made.
    uint32_t nowMs() const override;

    // Fires ticks as they fall due for ms milliseconds, sleeping between them.
    void runFor(int ms);
    // Fires ticks as they fall due until pred() holds or maxMs have passed;
    // returns whether pred() held.  pred() is checked after every tick and at
    // least every 10 ms, so it may also watch another thread's work.
    template <class P> bool runUntil(P pred, int maxMs) {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(maxMs, 0));
        while (!pred()) {
            const Clock::time_point now = Clock::now();
            if (now >= deadline) return false;
            turn(std::min(deadline, now + kPredicateCheck));
        }
        return true;
    }

    // Number of timers that are enabled now.
    int runningTimers() const;

private:
    class RTimer;
    friend class RTimer;
    static constexpr std::chrono::milliseconds kPredicateCheck{10};

    // Fires every tick due at `now`, each timer at most once; returns whether
    // any fired.
    bool fireDue(Clock::time_point now);
    // One turn: fires what is due; when nothing is, sleeps until the next
    // tick or until `limit`, whichever comes first, and fires what is due
    // then.  Returns whether anything fired.
    bool turn(Clock::time_point limit);

    Clock::time_point start_;
    std::vector<RTimer*> timers_;   // in creation order
};

} // namespace orn
