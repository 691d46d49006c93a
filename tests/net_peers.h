// Real network peers for tests and benchmarks, on the loopback only:
// ser2net (a device server) in front of a pseudo-terminal, started with a
// config of its own and stopped at the end, and free TCP ports for them.
#pragma once

#include "net_socket.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orn::test {

// A port nobody listens on now (the system's pick for a moment); whoever
// takes it next may lose a race, so callers retry.
inline uint16_t FreePort() {
    int error = 0;
    TcpSocket s = TcpSocket::Listen("127.0.0.1", 0, error);
    return s.valid() ? s.localPort() : 0;
}

// Whether something accepts connections at 127.0.0.1:port, waiting up to ms.
inline bool Listening(uint16_t port, int ms) {
    std::vector<NetEndpoint> e;
    if (ResolveHost("127.0.0.1", port, e) != 0 || e.empty()) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        int error = 0;
        TcpSocket s = TcpSocket::Connect(e[0], error);
        for (int i = 0; s.valid() && i < 100; ++i) {
            const int state = s.connectState();
            if (state == 0) return true;
            if (state != EINPROGRESS) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

// ser2net serving pseudo-terminals at 19200 bit/s, even parity: rawDevice
// raw on rawPort, rfcDevice with RFC 2217 on rfcPort.  (Two connections of
// ser2net to one device take turns badly: the second is closed at once
// while the first has not quite let go of the device.)
class Ser2net {
public:
    Ser2net(const std::string& rawDevice, const std::string& rfcDevice) {
        char dir[] = "/tmp/orn10-ser2net-XXXXXX";
        if (!mkdtemp(dir)) return;
        dir_ = dir;
        // A port another test took meanwhile makes ser2net give up on it:
        // a few tries with fresh ports.
        for (int attempt = 0; attempt < 5 && !ok(); ++attempt) {
            stop();
            rawPort = FreePort();
            rfcPort = FreePort();
            const std::string config = dir_ + "/ser2net.yaml";
            if (std::FILE* f = std::fopen(config.c_str(), "w")) {
                auto serial = [](const std::string& d) { return "  connector: serialdev," + d + ",19200e81,local\n"; };
                std::fprintf(f, "%%YAML 1.1\n---\n");
                std::fprintf(f, "connection: &raw\n  accepter: tcp,127.0.0.1,%u\n%s", rawPort,
                             serial(rawDevice).c_str());
                std::fprintf(f, "connection: &rfc\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%u\n%s", rfcPort,
                             serial(rfcDevice).c_str());
                std::fclose(f);
            }
            const std::string log = dir_ + "/ser2net.log", pidFile = dir_ + "/pid";
            pid_ = fork();
            if (pid_ == 0) {
                // Descriptors, not stdio: the parent's unwritten output must
                // not be written a second time from here.
                dup2(open("/dev/null", O_WRONLY), 1);
                dup2(open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
                execlp("ser2net", "ser2net", "-n", "-u", "-c", config.c_str(), "-P", pidFile.c_str(),
                       static_cast<char*>(nullptr));
                _exit(127);
            }
            // Its listeners open together; a look at one does not open the
            // other's device.
            started_ = pid_ > 0 && Listening(rawPort, 5000);
        }
    }
    ~Ser2net() {
        stop();
        if (dir_.empty()) return;
        for (const char* f : {"/ser2net.yaml", "/ser2net.log", "/pid"}) std::remove((dir_ + f).c_str());
        rmdir(dir_.c_str());
    }
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    bool ok() const { return started_; }
    uint16_t rawPort = 0;
    uint16_t rfcPort = 0;

private:
    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
        started_ = false;
    }
    std::string dir_;
    pid_t pid_ = -1;
    bool started_ = false;
};

} // namespace orn::test
