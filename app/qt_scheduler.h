// Scheduler on the Qt event loop: the program's timers are QTimers, ticking
// on the GUI thread.
#pragma once

#include "scheduler.h"

#include <QElapsedTimer>

namespace orn {

class QtScheduler : public Scheduler {
public:
    QtScheduler();
    std::unique_ptr<Timer> createTimer(std::function<void()> onTick) override;
    // Handles pending events, waiting for the next one when there is none.
    bool processPendingEvents() override;
    uint32_t nowMs() const override;

private:
    QElapsedTimer clock_;
};

} // namespace orn
