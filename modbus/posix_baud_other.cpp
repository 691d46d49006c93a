// Line speeds outside the B constants (14400, 56000, 128000, 256000 bit/s and
// any other) through the kernel's termios2 and BOTHER.  This file must not
// include <termios.h>: its struct termios clashes with the kernel's.
#include "posix_serial.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace orn {

bool SetLineSpeedOther(int fd, uint32_t bitsPerSecond) {
    struct termios2 t {};
    if (fd < 0 || bitsPerSecond == 0 || ioctl(fd, TCGETS2, &t) != 0) return false;
    t.c_cflag &= ~tcflag_t(CBAUD);
    t.c_cflag |= BOTHER;
    // No separate input speed: the input follows the output.
    t.c_cflag &= ~tcflag_t(CBAUD << IBSHIFT);
    t.c_ispeed = bitsPerSecond;
    t.c_ospeed = bitsPerSecond;
    return ioctl(fd, TCSETS2, &t) == 0;
}

uint32_t LineSpeed(int fd) {
    struct termios2 t {};
    if (fd < 0 || ioctl(fd, TCGETS2, &t) != 0) return 0;
    return t.c_ospeed;
}

} // namespace orn
