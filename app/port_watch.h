// Watches the serial port for the traffic view: when received bytes arrive,
// and what arrives after a request has ended.
//
// While a request is open the master's poll reads the port every 100 ms, so
// the poll's time is not when the bytes came.  The watch reads nothing
// then: it only notes the moment the port has bytes to read, and the
// traffic view stamps the bytes the poll hands over with it.
//
// When the request has ended the master closes the port, and an answer that
// comes later would be lost unseen (a slow instrument looks like an empty
// address).  The watch works on a duplicate of the master's descriptor, so
// the port stays open for it for a while after the end, and it reads and
// reports what comes then.  Holding the duplicate keeps the port taken,
// exclusively: it is dropped (Stop) before the port is opened again.
//
// One implementation per system: port_watch_posix.cpp; port_watch_win.cpp
// watches nothing (the poll's times stand, nothing is read after the end).
#pragma once

#include "scheduler.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QSocketNotifier;

namespace orn {

class TPortWatch {
public:
    // Times come from `clock`, the master's.
    explicit TPortWatch(Scheduler& clock);
    ~TPortWatch();
    TPortWatch(const TPortWatch&) = delete;
    TPortWatch& operator=(const TPortWatch&) = delete;

    // A request has been sent on the master's open port `fd` (a descriptor;
    // nothing is watched for one that is none).
    void Watch(int fd);
    // When the bytes the master has just read began to arrive, if the watch
    // saw it; from now on it watches for the next ones.
    std::optional<uint32_t> Arrival();
    // The request has ended: what arrives within `ms` is read and reported.
    void Linger(int ms);
    // Drops the port.
    void Stop();
    bool Watching() const { return fd_ >= 0; }

    // Bytes that came after the end, at `ms` on the clock.
    std::function<void(const uint8_t* data, size_t size, uint32_t ms)> OnLate;

private:
    void Ready();

    Scheduler& clock_;
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<Timer> lingerTimer_;
    std::optional<uint32_t> arrival_;
    bool lingering_ = false;
};

} // namespace orn
