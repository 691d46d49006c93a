#include "virtual_scheduler.h"

#include <algorithm>

namespace orn {

class VirtualScheduler::VTimer : public Timer {
public:
    VTimer(VirtualScheduler& owner, std::function<void()> onTick)
        : owner_(&owner), onTick_(std::move(onTick)) {}
    ~VTimer() override {
        if (owner_) {
            auto& v = owner_->timers_;
            v.erase(std::remove(v.begin(), v.end(), this), v.end());
        }
    }
    void setInterval(int ms) override {
        intervalMs_ = ms < 0 ? 0 : ms;
        if (enabled_) dueUs_ = owner_->nowUs_ + int64_t(intervalMs_) * 1000;
    }
    int interval() const override { return intervalMs_; }
    void setEnabled(bool on) override {
        if (on && !enabled_) dueUs_ = owner_->nowUs_ + int64_t(intervalMs_) * 1000;
        enabled_ = on;
    }
    bool enabled() const override { return enabled_; }

    VirtualScheduler* owner_;
    std::function<void()> onTick_;
    int intervalMs_ = 1000;
    bool enabled_ = false;
    int64_t dueUs_ = 0;
};

VirtualScheduler::VirtualScheduler() = default;

VirtualScheduler::~VirtualScheduler() {
    // Timers may outlive the scheduler in a test; they then just stop.
    for (VTimer* t : timers_) t->owner_ = nullptr;
}

std::unique_ptr<Timer> VirtualScheduler::createTimer(std::function<void()> onTick) {
    auto t = std::make_unique<VTimer>(*this, std::move(onTick));
    timers_.push_back(t.get());
    return t;
}

bool VirtualScheduler::fireNext(int64_t limitUs) {
    VTimer* next = nullptr;
    for (VTimer* t : timers_)   // creation order breaks ties
        if (t->enabled_ && t->dueUs_ <= limitUs && (!next || t->dueUs_ < next->dueUs_)) next = t;
    if (!next) return false;
    if (next->dueUs_ > nowUs_) nowUs_ = next->dueUs_;
    // A zero interval would tick forever at one instant; let it tick once a
    // millisecond instead.
    next->dueUs_ = nowUs_ + std::max<int64_t>(int64_t(next->intervalMs_) * 1000, 1000);
    auto tick = next->onTick_;   // the handler may destroy its timer
    if (tick) tick();
    return true;
}

void VirtualScheduler::advanceUs(int64_t us) {
    const int64_t end = nowUs_ + (us > 0 ? us : 0);
    while (fireNext(end)) {
    }
    if (end > nowUs_) nowUs_ = end;
}

void VirtualScheduler::advance(int64_t ms) { advanceUs(ms * 1000); }

bool VirtualScheduler::processPendingEvents() {
    return fireNext(INT64_MAX);
}

int VirtualScheduler::runningTimers() const {
    return int(std::count_if(timers_.begin(), timers_.end(), [](const VTimer* t) { return t->enabled_; }));
}

} // namespace orn
