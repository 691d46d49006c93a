// A scheduler on the real monotonic clock, for programs and benchmarks that
// run the master without a GUI event loop.
//
// Single-threaded: timers are made, changed and fired on the thread that
// drives the scheduler.  Nothing runs by itself; ticks fire only inside
// processPendingEvents(), runFor() and runUntil(), which sleep between them
// (they never spin).  A tick that falls due while the thread is busy fires
// late, once; missed periods are skipped, not caught up in a burst.
//
// Besides timers it watches handles: a program that talks to a serial port
// can be woken the moment bytes arrive instead of at its next poll tick.  A
// handle is what the system waits on: a file descriptor on POSIX systems
// (poll), a waitable object on Windows (WaitForMultipleObjects: an event that
// a serial port's pending WaitCommEvent signals, or that WSAEventSelect ties
// to a socket).  The waits themselves live in realtime_wait_*.cpp.
#pragma once

#include "scheduler.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace orn {

// What a watch's handler is told, as bits.
enum WatchEvent : short {
    WatchReadable = 0x1,   // bytes may be read
    WatchHungUp = 0x2,     // hung up or failed: the watch is then disabled
};

// A watch on a readable handle, made by RealtimeScheduler.  While enabled,
// its handler runs from the loop whenever the handle has bytes to read, has
// hung up or has failed; it gets WatchEvent bits.  A watch whose handle hung
// up or failed is told so once and then disabled, so a dead handle cannot
// keep the loop busy.  On Windows the handle must stay signalled only while
// there is something to read (a manual-reset event that its owner resets
// when it has taken everything), and at most 64 watches wait at once.
// Destroying the watch stops it; the handle stays open.
class FdWatch {
public:
    virtual ~FdWatch() = default;
    // Enabled from creation.
    virtual void setEnabled(bool on) = 0;
    virtual bool enabled() const = 0;
    virtual int fd() const = 0;
};

class RealtimeScheduler : public Scheduler {
public:
    using Clock = std::chrono::steady_clock;

    RealtimeScheduler();
    ~RealtimeScheduler() override;
    RealtimeScheduler(const RealtimeScheduler&) = delete;
    RealtimeScheduler& operator=(const RealtimeScheduler&) = delete;

    std::unique_ptr<Timer> createTimer(std::function<void()> onTick) override;
    // An enabled watch on the handle `fd` with the given handler.  The
    // handler may destroy or change any watch or timer, its own included.
    std::unique_ptr<FdWatch> watchReadable(int fd, std::function<void(short revents)> onReady);
    // Fires every tick that is due; when none is, waits until the next one
    // or until a watched handle is ready, and handles that.  False, at
    // once, when no timer and no watch is enabled.
    bool processPendingEvents() override;
    // Milliseconds since the scheduler was made.
    uint32_t nowMs() const override;

    // Fires ticks and watches as they fall due for ms milliseconds, sleeping
    // between them.
    void runFor(int ms);
    // Fires ticks and watches as they fall due until pred() holds or maxMs
    // have passed; returns whether pred() held.  pred() is checked after
    // every tick or watch handler and at least every 10 ms, so it may also
    // watch another thread's work or a flag set by a signal handler.
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
    class RWatch;
    friend class RTimer;
    friend class RWatch;
    static constexpr std::chrono::milliseconds kPredicateCheck{10};

    // Fires every tick due at `now`, each timer at most once; returns whether
    // any fired.
    bool fireDue(Clock::time_point now);
    // Waits until `wake` or until a watched handle is ready, and runs
    // the handlers of the ready ones; returns whether any ran.
    bool waitWatches(Clock::time_point wake);
    // One turn: fires what is due; when nothing is, waits until the next
    // tick, a ready watch or `limit`, whichever comes first, and handles
    // what is due then.  Returns whether anything fired.
    bool turn(Clock::time_point limit);

    Clock::time_point start_;
    std::vector<RTimer*> timers_;    // in creation order
    std::vector<RWatch*> watches_;   // in creation order
    uint64_t nextWatchId_ = 1;
};

} // namespace orn
