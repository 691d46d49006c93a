// The port watch on POSIX descriptors: a duplicate of the master's, polled
// by the Qt event loop.
#include "port_watch.h"

#include <QSocketNotifier>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace orn {

TPortWatch::TPortWatch(Scheduler& clock) : clock_(clock) {
    lingerTimer_ = clock_.createTimer([this] { Stop(); });
}

TPortWatch::~TPortWatch() { Stop(); }

void TPortWatch::Watch(int fd) {
    Stop();
    if (fd <= 0) return;
    // Shares the open port (and its lock) with the master's descriptor,
    // non-blocking as that one is.
    fd_ = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (fd_ < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Ready(); });
}

void TPortWatch::Ready() {
    if (!lingering_) {
        // The master reads the bytes at its poll; until then the watch
        // waits (the descriptor stays readable).
        if (!arrival_) arrival_ = clock_.nowMs();
        notifier_->setEnabled(false);
        return;
    }
    uint8_t buffer[256];
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n > 0) {
        if (OnLate) OnLate(buffer, size_t(n), clock_.nowMs());
        return;
    }
    // Hung up or gone (an adapter pulled): nothing more will come.  Dropped
    // from the timer, not from inside the notifier's own signal.
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        notifier_->setEnabled(false);
        lingerTimer_->setInterval(0);
        lingerTimer_->setEnabled(true);
    }
}

std::optional<uint32_t> TPortWatch::Arrival() {
    const std::optional<uint32_t> arrival = arrival_;
    arrival_.reset();
    if (notifier_ && !lingering_) notifier_->setEnabled(true);
    return arrival;
}

void TPortWatch::Linger(int ms) {
    if (!notifier_) return;
    lingering_ = true;
    arrival_.reset();
    notifier_->setEnabled(true);
    lingerTimer_->setInterval(ms);
    lingerTimer_->setEnabled(true);
}

void TPortWatch::Stop() {
    lingerTimer_->setEnabled(false);
    // The notifier goes before the descriptor it polls.
    notifier_.reset();
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    lingering_ = false;
    arrival_.reset();
}

} // namespace orn
