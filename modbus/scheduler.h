// Timers and the event loop, behind one interface.
//
// Every timer of the program (the master's receive poll and answer timeout,
// the window's timers) is made by a Scheduler.  The program uses a Qt event
// loop; tests use VirtualScheduler, whose clock only moves when told to.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace orn {

// A periodic timer, like a classic UI timer: while enabled it ticks every
// interval.  Ticks are delivered on the thread that owns the scheduler.
class Timer {
public:
    virtual ~Timer() = default;
    // While the timer runs, a new interval restarts a full interval from now.
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    // Enabling a disabled timer starts a full interval from now; enabling an
    // enabled one changes nothing.
    virtual void setEnabled(bool on) = 0;
    virtual bool enabled() const = 0;
};

class Scheduler {
public:
    virtual ~Scheduler() = default;
    // A disabled timer with the given tick handler.  The handler may destroy
    // or reconfigure any timer, its own included.
    virtual std::unique_ptr<Timer> createTimer(std::function<void()> onTick) = 0;
    // One turn of the event loop for "wait until done" loops: handles what is
    // pending and, when nothing is, waits for the next event (never spins).
    // Returns false when nothing can ever happen any more (no timer runs on a
    // virtual clock), so that a waiting loop can give up.
    virtual bool processPendingEvents() = 0;
    // Monotonic milliseconds, for stall limits measured inside one call.
    virtual uint32_t nowMs() const = 0;
};

} // namespace orn
