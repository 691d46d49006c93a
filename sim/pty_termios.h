// Speed and raw mode of a terminal, for any bit rate (termios2).
#pragma once

#include <cstdint>

namespace orn::sim {

// Raw mode, 8 data bits, no parity, at `baud`; false when the terminal
// refuses.
bool MakeRawAt(int fd, uint32_t baud);
// The output speed a terminal is set to (whoever set it); 0 when unknown.
uint32_t TerminalSpeed(int fd);

} // namespace orn::sim
