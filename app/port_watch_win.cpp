// The port watch on Windows: none.  The master's port is an overlapped
// handle whose communications events belong to the master's own reads, and
// the port is taken exclusively, so nothing else reads it or keeps it open
// after a request.  Received bytes keep the time of the poll that read them,
// and bytes that come after a request has ended are not shown.
#include "port_watch.h"

#include <QSocketNotifier>

namespace orn {

TPortWatch::TPortWatch(Scheduler& clock) : clock_(clock) {}

TPortWatch::~TPortWatch() = default;

void TPortWatch::Watch(int) {}

void TPortWatch::Ready() {}

std::optional<uint32_t> TPortWatch::Arrival() { return std::nullopt; }

void TPortWatch::Linger(int) {}

void TPortWatch::Stop() {}

} // namespace orn
