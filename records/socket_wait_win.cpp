#include "socket_wait.h"

#include <winsock2.h>

namespace orn::records {

int WaitSocket(int fd, bool forWrite, int ms) {
    WSAPOLLFD p{};
    p.fd = SOCKET(fd);
    p.events = forWrite ? POLLWRNORM : POLLRDNORM;
    const int r = WSAPoll(&p, 1, ms);
    if (r == SOCKET_ERROR) return -1;
    return r > 0 ? 1 : 0;
}

} // namespace orn::records
