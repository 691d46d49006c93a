// Waiting for a socket, the one thing about a server connection that each
// OS spells its own way.
#pragma once

namespace orn::records {

// Waits up to `ms` for socket `fd` to be readable (or writable); 1 ready,
// 0 not yet, -1 failed.
int WaitSocket(int fd, bool forWrite, int ms);

} // namespace orn::records
