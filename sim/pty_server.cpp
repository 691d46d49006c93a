#include "pty_server.h"

#include "pty_termios.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <vector>

namespace orn::sim {

namespace {

int64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

// mkdir -p for the directories above `path`.
bool MakeParents(const std::string& path, std::string& error) {
    for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1)) {
        const std::string dir = path.substr(0, pos);
        if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
            error = Errno("cannot create " + dir);
            return false;
        }
    }
    return true;
}

// Whether process `pid` holds the pseudo-terminal whose device side is
// `device` ("/dev/pts/N"): the device itself, or its own side (the
// multiplexer, whose descriptor names the device's number as its tty-index).
bool HoldsPty(const std::string& pid, const std::string& device) {
    DIR* fds = ::opendir(("/proc/" + pid + "/fd").c_str());
    if (!fds) return false;
    const std::string index = "tty-index:\t" + device.substr(device.rfind('/') + 1);
    bool holds = false;
    while (const dirent* f = holds ? nullptr : ::readdir(fds)) {
        char target[PATH_MAX] = {};
        if (::readlinkat(::dirfd(fds), f->d_name, target, sizeof target - 1) <= 0) continue;
        const std::string to = target;
        holds = to == device;
        if (!holds && to.size() >= 4 && to.compare(to.size() - 4, 4, "ptmx") == 0) {
            std::ifstream info("/proc/" + pid + "/fdinfo/" + f->d_name);
            for (std::string line; !holds && std::getline(info, line);) holds = line == index;
        }
    }
    ::closedir(fds);
    return holds;
}

// The pid of another live orn10sim that serves `device`, or empty.  It
// holds its pseudo-terminal's own side as long as it runs (and the device
// side but for moments).
std::string SimulatorServing(const std::string& device) {
    if (device.rfind("/dev/pts/", 0) != 0) return "";
    DIR* proc = ::opendir("/proc");
    if (!proc) return "";
    const std::string self = std::to_string(::getpid());
    std::string found;
    while (const dirent* p = found.empty() ? ::readdir(proc) : nullptr) {
        const std::string pid = p->d_name;
        std::string name;
        if (pid != self && std::getline(std::ifstream("/proc/" + pid + "/comm"), name) && name == "orn10sim" &&
            HoldsPty(pid, device))
            found = pid;
    }
    ::closedir(proc);
    return found;
}

} // namespace

PtyServer::PtyServer(SimLine& line) : line_(line), startNs_(MonotonicNs()) {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
    line_.setClock([this] { return nowUs(); });
}

PtyServer::~PtyServer() {
    unlink();
    if (watch_ >= 0) ::close(watch_);
    if (ownPts_ >= 0) ::close(ownPts_);
    if (ptm_ >= 0) ::close(ptm_);
    for (int fd : wake_)
        if (fd >= 0) ::close(fd);
    line_.setClock(nullptr);
}

int64_t PtyServer::nowUs() const { return (MonotonicNs() - startNs_) / 1000; }

bool PtyServer::open(std::string& error) {
    if (ptm_ >= 0) return true;
    if (wake_[0] < 0) {
        error = "cannot create a pipe";
        return false;
    }
    ptm_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (ptm_ < 0) {
        error = Errno("cannot open a pseudo-terminal");
        return false;
    }
    char name[128] = {};
    if (::grantpt(ptm_) != 0 || ::unlockpt(ptm_) != 0 || ::ptsname_r(ptm_, name, sizeof name) != 0) {
        error = Errno("cannot unlock the pseudo-terminal");
        ::close(ptm_);
        ptm_ = -1;
        return false;
    }
    devicePath_ = name;
    // Our own hold on the device side keeps our side from hanging up while
    // the master has the port closed.  It never reads, so every byte we
    // write goes to the master, and it takes no lock.  Settings asked of
    // our side are the device side's.
    ownPts_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (ownPts_ < 0) {
        error = Errno("cannot open " + devicePath_);
        return false;
    }
    MakeRawAt(ownPts_, line_.config().baudRate);
    // Settings a master leaves behind stay on a pseudo-terminal, and the
    // next master that asks for the same ones is told EINVAL by tcsetattr()
    // (the pty drops the parity bit, and the C library then sees nothing of
    // the request applied).  Watching closes lets us put the line's
    // settings back when the last master has gone.  Without the
    // watch everything else still works.
    watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ >= 0 && ::inotify_add_watch(watch_, name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        ::close(watch_);
        watch_ = -1;
    }
    return true;
}

bool PtyServer::takeCloseEvents() {
    // The kernel merges a close with the one before it while neither has
    // been read, so the events cannot be counted: they only say when to
    // look who still holds the device.
    alignas(inotify_event) char buf[4096];
    bool closed = false;
    while (::read(watch_, buf, sizeof buf) > 0) closed = true;
    return closed;
}

void PtyServer::checkLastClose() {
    if (!takeCloseEvents() || ownPts_ < 0) return;
    // What the masters wrote so far goes to the line.
    takeMasterBytes();
    // Let go of our own hold for a moment: our side then hangs up exactly
    // when nobody else holds the device, which the kernel tells at once
    // and without a race.  The close event of our own letting go is taken
    // with those of the masters before the look, which covers them all.
    ::close(ownPts_);
    ownPts_ = -1;
    takeCloseEvents();
    pollfd p{ptm_, POLLIN, 0};
    bool lastGone = ::poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP);
    if (lastGone) {
        // Bytes a master wrote just before it closed may still have been on
        // their way through the pseudo-terminal; they are the last master's
        // and go with it.  Reading waits for what the kernel has in flight
        // and ends with EIO once nothing is left and nobody holds the
        // device; EAGAIN means a master has opened it meanwhile, and then
        // its bytes and settings are its own.
        std::vector<uint8_t> taken;
        uint8_t buf[4096];
        ssize_t n;
        while ((n = ::read(ptm_, buf, sizeof buf)) > 0) taken.insert(taken.end(), buf, buf + n);
        lastGone = n < 0 && errno == EIO;
        if (!lastGone && !taken.empty()) toLine(taken.data(), taken.size());
        // The device side's settings, set through our side.
        if (lastGone) MakeRawAt(ptm_, line_.config().baudRate);
    }
    ownPts_ = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (!lastGone) return;
    if (ownPts_ >= 0) ::tcflush(ownPts_, TCIFLUSH);   // answers nobody took are lost, as on a line
    // What the last master wrote and the line has not carried goes with it.
    std::lock_guard<std::mutex> lock(mutex_);
    line_.discardUnsent(nowUs(), true);
}

void PtyServer::takeMasterBytes() {
    uint8_t buf[4096];
    for (;;) {
        const ssize_t n = ::read(ptm_, buf, sizeof buf);
        if (n <= 0) break;
        toLine(buf, size_t(n));
    }
}

void PtyServer::toLine(const uint8_t* data, size_t n) {
    std::lock_guard<std::mutex> lock(mutex_);
    // A pseudo-terminal keeps the speed the master set, though it ignores
    // it; the parity it drops.  A master at another speed is heard as
    // garbage; the parity cannot be told.
    LineSettings master = line_.settings();
    if (const uint32_t speed = TerminalSpeed(ptm_)) master.baudRate = speed;
    line_.send(data, n, nowUs(), &master, true);
}

bool PtyServer::link(const std::string& path, std::string& error, bool takeOver) {
    if (devicePath_.empty()) {
        error = "the pseudo-terminal is not open";
        return false;
    }
    if (path.empty()) {
        error = "empty link path";
        return false;
    }
    if (!MakeParents(path, error)) return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = path + " exists and is not a symbolic link";
        return false;
    }
    // A link whose device is gone, or served by no simulator, is stale.
    char old[PATH_MAX] = {};
    if (!takeOver && ::readlink(path.c_str(), old, sizeof old - 1) > 0) {
        const std::string pid = SimulatorServing(old);
        if (!pid.empty()) {
            error = path + " leads to " + old + " of orn10sim pid " + pid +
                    ", still running; stop it, or give --take-over to take the link over";
            return false;
        }
    }
    // A new link beside it, renamed over the old one: never a moment without.
    const std::string tmp = path + ".new" + std::to_string(::getpid());
    ::unlink(tmp.c_str());
    if (::symlink(devicePath_.c_str(), tmp.c_str()) != 0) {
        error = Errno("cannot create the link " + path);
        return false;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        error = Errno("cannot create the link " + path);
        ::unlink(tmp.c_str());
        return false;
    }
    linkPath_ = path;
    return true;
}

void PtyServer::unlink() {
    if (linkPath_.empty()) return;
    char target[PATH_MAX] = {};
    const ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
    // Another server may have taken the link over since.
    if (n > 0 && devicePath_ == std::string(target, size_t(n))) ::unlink(linkPath_.c_str());
    linkPath_.clear();
}

void PtyServer::stop() {
    stopping_ = true;
    if (wake_[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &c, 1);
    }
}

void PtyServer::writeAnswer(const uint8_t* data, size_t n) {
    while (n > 0) {
        const ssize_t k = ::write(ptm_, data, n);
        if (k > 0) {
            data += k;
            n -= size_t(k);
            continue;
        }
        if (k < 0 && errno == EINTR) continue;
        if (k < 0 && errno == EAGAIN) {
            // The device side's queue is full: nobody reads it.  Old
            // answers there are of no use to anyone; make room once.
            if (ownPts_ >= 0) ::tcflush(ownPts_, TCIFLUSH);
            const ssize_t again = ::write(ptm_, data, n);
            if (again <= 0) return;
            data += again;
            n -= size_t(again);
            continue;
        }
        return;
    }
}

void PtyServer::setCommandInput(int fd, std::function<void(SimLine&, const std::string&)> onLine) {
    commandFd_ = fd;
    onCommand_ = std::move(onLine);
}

void PtyServer::takeCommands() {
    char buf[1024];
    const ssize_t n = ::read(commandFd_, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        // The input has ended (or failed): serve on without it.
        commandFd_ = -1;
        buf[0] = '\n';
    }
    commandText_.append(buf, n > 0 ? size_t(n) : 1);
    for (size_t end; (end = commandText_.find('\n')) != std::string::npos;) {
        const std::string text = commandText_.substr(0, end);
        commandText_.erase(0, end + 1);
        std::lock_guard<std::mutex> lock(mutex_);
        line_.sync();
        onCommand_(line_, text);
    }
    // A line without end that grows without bound is no command.
    if (commandText_.size() > 4096) commandText_.clear();
}

int PtyServer::run() {
    if (ptm_ < 0) {
        error_ = "the pseudo-terminal is not open";
        return 1;
    }
    uint8_t buf[4096];
    while (!stopping_) {
        int64_t next;
        int64_t now;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            now = nowUs();
            const size_t n = line_.receive(buf, sizeof buf, now);
            if (n > 0) writeAnswer(buf, n);
            next = line_.nextEventUs();
        }
        timespec ts{};
        timespec* timeout = nullptr;
        if (next != INT64_MAX) {
            const int64_t waitUs = next > now ? next - now : 0;
            ts.tv_sec = time_t(waitUs / 1000000);
            ts.tv_nsec = long(waitUs % 1000000) * 1000;
            timeout = &ts;
        }
        // (poll skips the entries whose descriptor is -1.)
        pollfd fds[4] = {{ptm_, POLLIN, 0}, {wake_[0], POLLIN, 0}, {watch_, POLLIN, 0}, {commandFd_, POLLIN, 0}};
        const int r = ::ppoll(fds, 4, timeout, nullptr);
        if (r < 0) {
            if (errno == EINTR) continue;
            error_ = Errno("poll");
            return 1;
        }
        if (fds[1].revents) break;
        if (fds[0].revents & POLLIN) takeMasterBytes();
        if (watch_ >= 0 && (fds[2].revents & POLLIN)) checkLastClose();
        if (commandFd_ >= 0 && fds[3].revents) takeCommands();
        if (!(fds[0].revents & POLLIN) && (fds[0].revents & (POLLHUP | POLLERR))) {
            // Should not happen while we hold the device side; do not spin.
            ::poll(nullptr, 0, 20);
        }
    }
    return 0;
}

} // namespace orn::sim
