// The real-time scheduler's wait on POSIX systems: ppoll() on descriptors.
#include "realtime_scheduler.h"
#include "realtime_wait.h"

#include <poll.h>

namespace orn {

bool WaitForHandles(const std::vector<int>& handles, std::chrono::steady_clock::time_point wake,
                    std::vector<short>& events) {
    std::vector<pollfd> fds;
    for (int fd : handles) fds.push_back(pollfd{fd, POLLIN, 0});
    // ppoll takes the wait to the nanosecond; poll() would round it to
    // whole milliseconds.  The far future waits without a limit.
    const auto left = wake - std::chrono::steady_clock::now();
    timespec ts{};
    timespec* timeout = nullptr;
    if (left < std::chrono::hours(24)) {
        const auto ns = std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(left).count());
        ts.tv_sec = time_t(ns / 1000000000);
        ts.tv_nsec = long(ns % 1000000000);
        timeout = &ts;
    }
    // A signal ends the wait early (EINTR); the caller looks at its flags.
    if (::ppoll(fds.data(), nfds_t(fds.size()), timeout, nullptr) <= 0) return false;
    for (size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents & POLLIN) events[i] |= WatchReadable;
        if (fds[i].revents & (POLLHUP | POLLERR | POLLNVAL)) events[i] |= WatchHungUp;
    }
    return true;
}

} // namespace orn
