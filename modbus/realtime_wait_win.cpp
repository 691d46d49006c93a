// The real-time scheduler's wait on Windows: WaitForMultipleObjects on
// waitable handles (events of serial ports and sockets).
#include "realtime_scheduler.h"
#include "realtime_wait.h"

#include <windows.h>

#include <thread>

namespace orn {

bool WaitForHandles(const std::vector<int>& handles, std::chrono::steady_clock::time_point wake,
                    std::vector<short>& events) {
    std::vector<HANDLE> objects;
    for (int h : handles) objects.push_back(LongToHandle(h));
    if (objects.size() > MAXIMUM_WAIT_OBJECTS) objects.resize(MAXIMUM_WAIT_OBJECTS);
    // Whole milliseconds, rounded up so that a wait never ends before the
    // tick it waits for; the far future waits without a limit.
    const auto left = wake - std::chrono::steady_clock::now();
    DWORD ms = INFINITE;
    if (left < std::chrono::hours(24)) {
        const auto us = std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::microseconds>(left).count());
        ms = DWORD((us + 999) / 1000);
    }
    const DWORD r = WaitForMultipleObjects(DWORD(objects.size()), objects.data(), FALSE, ms);
    if (r == WAIT_TIMEOUT) return false;
    if (r == WAIT_FAILED) {
        // A handle closed under the watch: every handle is looked at alone,
        // and the ones that are no longer valid are told they are gone.
        bool any = false;
        for (size_t i = 0; i < objects.size(); ++i) {
            const DWORD one = WaitForSingleObject(objects[i], 0);
            if (one == WAIT_FAILED) events[i] = WatchHungUp;
            else if (one == WAIT_OBJECT_0) events[i] = WatchReadable;
            any = any || events[i] != 0;
        }
        // Nothing to tell: the wait did not happen, so it is slept here.
        if (!any) std::this_thread::sleep_until(wake);
        return any;
    }
    // WaitForMultipleObjects names only the first ready handle; the others
    // are asked too, so that every ready watch runs in this turn.  Manual-
    // reset events stay signalled when asked.
    for (size_t i = 0; i < objects.size(); ++i) {
        const bool first = r >= WAIT_OBJECT_0 && r - WAIT_OBJECT_0 == i;
        if (first || WaitForSingleObject(objects[i], 0) == WAIT_OBJECT_0) events[i] = WatchReadable;
    }
    return true;
}

} // namespace orn
