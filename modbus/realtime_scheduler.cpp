#include "realtime_scheduler.h"

#include <thread>

namespace orn {

using std::chrono::milliseconds;

class RealtimeScheduler::RTimer : public Timer {
public:
    RTimer(RealtimeScheduler& owner, std::function<void()> onTick)
        : owner_(&owner), onTick_(std::move(onTick)) {}
    ~RTimer() override {
        if (owner_) {
            auto& v = owner_->timers_;
            v.erase(std::remove(v.begin(), v.end(), this), v.end());
        }
    }
    void setInterval(int ms) override {
        intervalMs_ = ms < 0 ? 0 : ms;
        if (enabled_) due_ = Clock::now() + milliseconds(intervalMs_);
    }
    int interval() const override { return intervalMs_; }
    void setEnabled(bool on) override {
        if (on && !enabled_) due_ = Clock::now() + milliseconds(intervalMs_);
        enabled_ = on;
    }
    bool enabled() const override { return enabled_; }

    // A zero interval would tick without pause; it ticks once a millisecond.
    milliseconds period() const { return milliseconds(std::max(intervalMs_, 1)); }

    RealtimeScheduler* owner_;
    std::function<void()> onTick_;
    int intervalMs_ = 1000;
    bool enabled_ = false;
    Clock::time_point due_{};
};

RealtimeScheduler::RealtimeScheduler() : start_(Clock::now()) {}

RealtimeScheduler::~RealtimeScheduler() {
    // Timers that outlive the scheduler just stop.
    for (RTimer* t : timers_) t->owner_ = nullptr;
}

std::unique_ptr<Timer> RealtimeScheduler::createTimer(std::function<void()> onTick) {
    auto t = std::make_unique<RTimer>(*this, std::move(onTick));
    timers_.push_back(t.get());
    return t;
}

uint32_t RealtimeScheduler::nowMs() const {
    return uint32_t(std::chrono::duration_cast<milliseconds>(Clock::now() - start_).count());
}

int RealtimeScheduler::runningTimers() const {
    return int(std::count_if(timers_.begin(), timers_.end(), [](const RTimer* t) { return t->enabled_; }));
}

bool RealtimeScheduler::fireDue(Clock::time_point now) {
    bool fired = false;
    for (;;) {
        // Searched anew after every tick: a handler may have made, changed
        // or destroyed any timer.  Ties go in creation order.
        RTimer* next = nullptr;
        for (RTimer* t : timers_)
            if (t->enabled_ && t->due_ <= now && (!next || t->due_ < next->due_)) next = t;
        if (!next) return fired;
        // The next period counts from when this one was due; a timer that
        // fell behind by more than a period restarts from now, so it fires
        // once here and never again within this call.
        next->due_ += next->period();
        const Clock::time_point late = Clock::now();
        if (next->due_ <= late) next->due_ = late + next->period();
        auto tick = next->onTick_;   // the handler may destroy its timer
        if (tick) tick();
        fired = true;
    }
}

bool RealtimeScheduler::turn(Clock::time_point limit) {
    if (fireDue(Clock::now())) return true;
    const RTimer* next = nullptr;
    for (const RTimer* t : timers_)
        if (t->enabled_ && (!next || t->due_ < next->due_)) next = t;
    const Clock::time_point wake = next && next->due_ < limit ? next->due_ : limit;
    std::this_thread::sleep_until(wake);
    return fireDue(Clock::now());
}

bool RealtimeScheduler::processPendingEvents() {
    if (runningTimers() == 0) return false;
    turn(Clock::time_point::max());
    return true;
}

void RealtimeScheduler::runFor(int ms) {
    const Clock::time_point deadline = Clock::now() + milliseconds(std::max(ms, 0));
    while (Clock::now() < deadline) turn(deadline);
}

} // namespace orn
