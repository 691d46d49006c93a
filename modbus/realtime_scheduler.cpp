#include "realtime_scheduler.h"

#include "realtime_wait.h"

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

class RealtimeScheduler::RWatch : public FdWatch {
public:
    RWatch(RealtimeScheduler& owner, int fd, uint64_t id, std::function<void(short)> onReady)
        : owner_(&owner), fd_(fd), id_(id), onReady_(std::move(onReady)) {}
    ~RWatch() override {
        if (owner_) {
            auto& v = owner_->watches_;
            v.erase(std::remove(v.begin(), v.end(), this), v.end());
        }
    }
    void setEnabled(bool on) override { enabled_ = on; }
    bool enabled() const override { return enabled_; }
    int fd() const override { return fd_; }

    RealtimeScheduler* owner_;
    int fd_;
    uint64_t id_;   // tells a watch from a new one made at the same address
    std::function<void(short)> onReady_;
    bool enabled_ = true;
};

RealtimeScheduler::RealtimeScheduler() : start_(Clock::now()) {}

RealtimeScheduler::~RealtimeScheduler() {
    // Timers and watches that outlive the scheduler just stop.
    for (RTimer* t : timers_) t->owner_ = nullptr;
    for (RWatch* w : watches_) w->owner_ = nullptr;
}

std::unique_ptr<Timer> RealtimeScheduler::createTimer(std::function<void()> onTick) {
    auto t = std::make_unique<RTimer>(*this, std::move(onTick));
    timers_.push_back(t.get());
    return t;
}

std::unique_ptr<FdWatch> RealtimeScheduler::watchReadable(int fd, std::function<void(short)> onReady) {
    auto w = std::make_unique<RWatch>(*this, fd, nextWatchId_++, std::move(onReady));
    watches_.push_back(w.get());
    return w;
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

bool RealtimeScheduler::waitWatches(Clock::time_point wake) {
    std::vector<int> handles;
    std::vector<uint64_t> ids;
    for (const RWatch* w : watches_)
        if (w->enabled_) {
            handles.push_back(w->fd_);
            ids.push_back(w->id_);
        }
    if (handles.empty()) {
        std::this_thread::sleep_until(wake);
        return false;
    }
    std::vector<short> events(handles.size(), 0);
    if (!WaitForHandles(handles, wake, events)) return false;
    bool ran = false;
    for (size_t i = 0; i < handles.size(); ++i) {
        if (events[i] == 0) continue;
        // Looked up anew: an earlier handler may have destroyed or disabled it.
        auto it = std::find_if(watches_.begin(), watches_.end(), [&](const RWatch* w) { return w->id_ == ids[i]; });
        if (it == watches_.end() || !(*it)->enabled_) continue;
        RWatch* w = *it;
        if (events[i] & WatchHungUp) w->enabled_ = false;
        auto ready = w->onReady_;   // the handler may destroy its watch
        if (ready) ready(events[i]);
        ran = true;
    }
    return ran;
}

bool RealtimeScheduler::turn(Clock::time_point limit) {
    if (fireDue(Clock::now())) return true;
    const RTimer* next = nullptr;
    for (const RTimer* t : timers_)
        if (t->enabled_ && (!next || t->due_ < next->due_)) next = t;
    const Clock::time_point wake = next && next->due_ < limit ? next->due_ : limit;
    const bool ran = waitWatches(wake);
    return fireDue(Clock::now()) || ran;
}

bool RealtimeScheduler::processPendingEvents() {
    const bool watching = std::any_of(watches_.begin(), watches_.end(), [](const RWatch* w) { return w->enabled_; });
    if (runningTimers() == 0 && !watching) return false;
    turn(Clock::time_point::max());
    return true;
}

void RealtimeScheduler::runFor(int ms) {
    const Clock::time_point deadline = Clock::now() + milliseconds(std::max(ms, 0));
    while (Clock::now() < deadline) turn(deadline);
}

} // namespace orn
