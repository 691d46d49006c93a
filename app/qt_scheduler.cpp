#include "qt_scheduler.h"

#include <QCoreApplication>
#include <QTimer>

namespace orn {

namespace {

class QtTimer : public Timer {
public:
    explicit QtTimer(std::function<void()> onTick) : onTick_(std::move(onTick)) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1000);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto tick = onTick_;   // the handler may destroy this timer
            if (tick) tick();
        });
    }
    void setInterval(int ms) override {
        // QTimer::setInterval restarts a running timer, as wanted.
        timer_.setInterval(ms < 0 ? 0 : ms);
    }
    int interval() const override { return timer_.interval(); }
    void setEnabled(bool on) override {
        if (on && !timer_.isActive()) timer_.start();
        if (!on) timer_.stop();
    }
    bool enabled() const override { return timer_.isActive(); }

private:
    QTimer timer_;
    std::function<void()> onTick_;
};

} // namespace

QtScheduler::QtScheduler() { clock_.start(); }

std::unique_ptr<Timer> QtScheduler::createTimer(std::function<void()> onTick) {
    return std::make_unique<QtTimer>(std::move(onTick));
}

bool QtScheduler::processPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return true;
}

uint32_t QtScheduler::nowMs() const { return uint32_t(clock_.elapsed()); }

} // namespace orn
