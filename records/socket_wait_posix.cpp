#include "socket_wait.h"

#include <cerrno>
#include <poll.h>

namespace orn::records {

int WaitSocket(int fd, bool forWrite, int ms) {
    pollfd p{fd, short(forWrite ? POLLOUT : POLLIN), 0};
    const int r = ::poll(&p, 1, ms);
    if (r < 0) return errno == EINTR ? 0 : -1;
    return r > 0 ? 1 : 0;
}

} // namespace orn::records
