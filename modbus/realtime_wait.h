// The wait of RealtimeScheduler on its watched handles, one implementation
// per system (realtime_wait_posix.cpp, realtime_wait_win.cpp).
#pragma once

#include <chrono>
#include <vector>

namespace orn {

// Waits until `wake` or until at least one of `handles` is ready, whichever
// comes first.  Sets events[i] (sized as handles, all 0 on entry) to the
// WatchEvent bits of handles[i].  True when any handle is ready; false at
// `wake`, or when a signal cut the wait short.
bool WaitForHandles(const std::vector<int>& handles, std::chrono::steady_clock::time_point wake,
                    std::vector<short>& events);

} // namespace orn
