// A pseudo-terminal pair for tests on real termios: the test keeps the
// multiplexer side, the program under test opens the device side by its path.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace orn::test {

struct PtyPair {
    int side = -1;
    std::string path;

    PtyPair() {
        side = posix_openpt(O_RDWR | O_NOCTTY);
        char name[128] = {};
        if (side < 0 || grantpt(side) != 0 || unlockpt(side) != 0 || ptsname_r(side, name, sizeof name) != 0)
            ADD_FAILURE() << "no pseudo-terminal: " << errno;
        path = name;
    }
    ~PtyPair() { hangUp(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // Closing the multiplexer side hangs the device side up, as pulling a
    // USB adapter does.
    void hangUp() {
        if (side >= 0) ::close(side);
        side = -1;
    }
    // The bytes written on the device side, waiting at most maxMs for the first.
    std::vector<uint8_t> take(int maxMs) {
        std::vector<uint8_t> out;
        pollfd p{side, POLLIN, 0};
        while (::poll(&p, 1, out.empty() ? maxMs : 20) > 0 && (p.revents & POLLIN)) {
            uint8_t buf[256];
            const ssize_t n = ::read(side, buf, sizeof buf);
            if (n <= 0) break;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }
};

// Points port number n at a path for the life of the object.
struct PortEnv {
    std::string var;
    PortEnv(int n, const std::string& path) : var("ORN10_COM" + std::to_string(n)) {
        setenv(var.c_str(), path.c_str(), 1);
    }
    ~PortEnv() { unsetenv(var.c_str()); }
    PortEnv(const PortEnv&) = delete;
    PortEnv& operator=(const PortEnv&) = delete;
};

} // namespace orn::test
