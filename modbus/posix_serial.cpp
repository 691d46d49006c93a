#include "posix_serial.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace orn {

namespace {

struct StandardSpeed {
    uint32_t rate;
    speed_t code;
};

// Rates that termios names; every other rate goes through termios2.
constexpr StandardSpeed kStandardSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool standardSpeed(uint32_t rate, speed_t& code) {
    for (const StandardSpeed& s : kStandardSpeeds)
        if (s.rate == rate) {
            code = s.code;
            return true;
        }
    return false;
}

tcflag_t dataBitsFlag(int bits) {
    switch (bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

void setModemLine(int fd, int line, bool on) {
    // A pseudo-terminal has no modem lines and refuses; that is fine.
    (void)ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

// write(), except that a reader gone from an adopted pipe or socket gives
// EPIPE instead of a SIGPIPE that would end the program.  The signal is held
// back for this thread only and, when the write raised it, taken off again;
// a SIGPIPE that was already pending stays pending.
ssize_t WriteWithoutSigpipe(int fd, const uint8_t* buf, size_t n) {
    sigset_t pipe, old;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe, &old);
    const ssize_t r = ::write(fd, buf, n);
    const int err = errno;
    if (r < 0 && err == EPIPE && !wasPending) {
        const timespec now{0, 0};
        while (sigtimedwait(&pipe, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = err;
    return r;
}

// PosixSerialDevice::identity() of fd, opened by `path` (may be empty).
std::string DeviceIdentity(int fd, const std::string& path) {
    struct stat st {};
    if (fd >= 0 && fstat(fd, &st) == 0) {
        const std::string node = "node " + std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev)) +
                                 "/" + std::to_string(st.st_ino);
        if (!S_ISCHR(st.st_mode)) return node;
        return "char " + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)) + " " + node;
    }
    char real[PATH_MAX];
    if (!path.empty() && realpath(path.c_str(), real)) return real;
    return path;
}

} // namespace

std::string PortPath(int portNumber) {
    const std::string var = "ORN10_COM" + std::to_string(portNumber);
    const char* path = std::getenv(var.c_str());
    if (path && *path) return path;
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

// ---------------------------------------------------------------- device

PosixSerialDevice::PosixSerialDevice(int fd, bool exclusive, const std::string& path)
    : fd_(fd), exclusive_(exclusive), identity_(DeviceIdentity(fd, path)) {
    const int flags = fd >= 0 ? fcntl(fd, F_GETFL) : -1;
    blocking_ = flags != -1 && (flags & O_NONBLOCK) == 0;
}

PosixSerialDevice::~PosixSerialDevice() {
    if (fd_ < 0) return;
    if (exclusive_) {
        // A pseudo-terminal's device side outlives this fd, and so would its
        // exclusive mode: a later open by an ordinary user would be refused.
        (void)ioctl(fd_, TIOCNXCL);
        (void)flock(fd_, LOCK_UN);
    }
    ::close(fd_);
}

void PosixSerialDevice::configure(const LineSettings& s) {
    // Results are not examined: a device keeps working with whatever it took.
    // On a pseudo-terminal tcsetattr() even reports EINVAL for a parity
    // change that the driver overrode although everything else was applied.
    if (fd_ < 0) return;
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return;
    cfmakeraw(&t);

    t.c_cflag &= ~tcflag_t(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | dataBitsFlag(s.dataBits);
    // Linux has no 1.5 stop bits; 2 is the nearest the UART can do.
    if (s.stopBits != sb1BITS) t.c_cflag |= CSTOPB;
    switch (s.parity) {
    case ptNONE: break;
    case ptODD: t.c_cflag |= PARENB | PARODD; break;
    case ptEVEN: t.c_cflag |= PARENB; break;
    case ptMARK: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case ptSPACE: t.c_cflag |= PARENB | CMSPAR; break;
    }
    // The parity bit is generated on transmit but not checked on receive:
    // a damaged byte reaches the CRC check as it came.
    t.c_iflag &= ~tcflag_t(INPCK | IGNPAR | PARMRK | IXON | IXOFF | IXANY);
    if (s.rtsCts) t.c_cflag |= CRTSCTS;
    if (s.xonXoff) t.c_iflag |= IXON | IXOFF;
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
    // Reads return at once with whatever has arrived.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    speed_t code = B9600;
    const bool standard = standardSpeed(s.baudRate, code);
    if (standard) {
        cfsetispeed(&t, code);
        cfsetospeed(&t, code);
    }
    (void)tcsetattr(fd_, TCSANOW, &t);
    if (!standard) (void)SetLineSpeedOther(fd_, s.baudRate);

    // DTR only when asked for; RTS is driven by the flow control when there
    // is one and otherwise held low, as DTR is.
    setModemLine(fd_, TIOCM_DTR, s.dtr);
    setModemLine(fd_, TIOCM_RTS, s.rtsCts);
    // The queue sizes (s.inBufferSize, s.outBufferSize) have no equivalent
    // on Linux: the driver's queues have fixed sizes.
}

void PosixSerialDevice::purge(bool rx, bool tx) {
    if (fd_ < 0 || (!rx && !tx)) return;
    (void)tcflush(fd_, rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH);
}

int PosixSerialDevice::outQueued() {
    int queued = 0;
    // A device that cannot answer holds nothing back; the write that follows
    // then reports the failure.
    if (fd_ < 0 || ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued < 0) return 0;
    return queued;
}

int PosixSerialDevice::inQueued() {
    int waiting = 0;
    if (fd_ < 0 || ioctl(fd_, FIONREAD, &waiting) != 0 || waiting < 0) return 0;
    return waiting;
}

short PosixSerialDevice::pollNow(short events) const {
    pollfd p{fd_, events, 0};
    const int k = ::poll(&p, 1, 0);
    if (k < 0) return errno == EINTR ? 0 : POLLERR;
    return k > 0 ? p.revents : 0;
}

long PosixSerialDevice::failed(int err) {
    // A tty answers EIO once it has hung up: its adapter was pulled, or the
    // other side of a pseudo-terminal closed.
    lastError_ = err == EIO ? ENODEV : err;
    return -1;
}

bool PosixSerialDevice::gone() {
    const short revents = fd_ < 0 ? POLLNVAL : pollNow(0);
    if (!(revents & (POLLHUP | POLLERR | POLLNVAL))) return false;
    failed(revents & POLLNVAL ? EBADF : ENODEV);
    return true;
}

long PosixSerialDevice::read(uint8_t* buf, size_t n) {
    if (fd_ < 0) return failed(EBADF);
    if (n == 0) return gone() ? -1 : 0;
    // An adopted fd may be in blocking mode: read only what is there.
    if (blocking_ && (pollNow(POLLIN) & POLLIN) == 0) return gone() ? -1 : 0;
    const ssize_t r = ::read(fd_, buf, n);
    if (r > 0) return long(r);
    if (r < 0) {
        if (errno == EINTR) return 0;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return failed(errno);   // EIO and the like
    }
    // With VMIN = VTIME = 0 a hung-up tty also reads 0 bytes; only poll()
    // tells it from a line where nothing has arrived yet.
    return gone() ? -1 : 0;
}

long PosixSerialDevice::write(const uint8_t* buf, size_t n) {
    if (fd_ < 0) return failed(EBADF);
    if (n == 0) return 0;
    if (blocking_) {
        const short ready = pollNow(POLLOUT);
        if (ready & (POLLHUP | POLLERR | POLLNVAL)) return failed(ready & POLLNVAL ? EBADF : ENODEV);
        if (!(ready & POLLOUT)) return 0;
    }
    const ssize_t r = WriteWithoutSigpipe(fd_, buf, n);
    if (r >= 0) return long(r);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    return failed(errno);
}

bool PosixSerialDevice::waitWritable(int ms) {
    const auto start = std::chrono::steady_clock::now();
    pollfd p{fd_, POLLOUT, 0};
    const int k = fd_ < 0 ? -1 : ::poll(&p, 1, ms > 0 ? ms : 0);
    int err = 0;
    if (fd_ < 0) err = EBADF;
    else if (k < 0 && errno != EINTR) err = errno;
    else if (k > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) err = p.revents & POLLNVAL ? EBADF : ENODEV;
    if (err) {
        failed(err);
        return false;
    }
    // The tty may call itself writable while the queue its caller counts is
    // still full; without a pause that caller would loop at full speed.
    if (ms > 0) std::this_thread::sleep_until(start + std::chrono::milliseconds(1));
    return true;
}

void PosixSerialDevice::release() {
    fd_ = -1;
    exclusive_ = false;
}

// ---------------------------------------------------------------- backend

std::unique_ptr<SerialDevice> PosixSerialBackend::open(int portNumber) { return openPath(PortPath(portNumber)); }

std::unique_ptr<SerialDevice> PosixSerialBackend::openPath(const std::string& path) {
    lastOpenError_ = 0;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastOpenError_ = errno;
        return nullptr;
    }
    // TIOCEXCL keeps ordinary users out but not root; the advisory lock
    // refuses every program that takes it, root included.
    int refused = 0;
    if (!isatty(fd)) refused = ENOTTY;
    else if (flock(fd, LOCK_EX | LOCK_NB) != 0) refused = errno == EWOULDBLOCK ? EBUSY : errno;
    if (refused) {
        ::close(fd);
        lastOpenError_ = refused;
        return nullptr;
    }
    (void)ioctl(fd, TIOCEXCL);
    return std::make_unique<PosixSerialDevice>(fd, true, path);
}

std::unique_ptr<SerialBackend> MakeSystemSerialBackend() { return std::make_unique<PosixSerialBackend>(); }

std::unique_ptr<SerialDevice> PosixSerialBackend::adopt(int fd) {
    if (fd < 0 || fcntl(fd, F_GETFD) == -1) return nullptr;
    return std::make_unique<PosixSerialDevice>(fd, false);
}

} // namespace orn
