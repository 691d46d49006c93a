// TCP sockets, without blocking: what the network links and the simulator's
// listener need of the system.  One implementation per system
// (net_socket_posix.cpp, net_socket_win.cpp); the links reach it through
// NetSystem, which tests replace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orn {

// Why a connection failed, as an errno value (ECONNREFUSED, EHOSTUNREACH,
// ENETUNREACH, ETIMEDOUT, ECONNRESET when the peer closed it, EPROTO when it
// broke the protocol); a name that cannot be resolved has none of its own.
constexpr int NetNameNotFound = 0x4E01;

// One address to connect to, as the system holds it.
struct NetEndpoint {
    std::vector<uint8_t> address;   // a sockaddr
    std::string text;               // "192.168.1.5:502", "[::1]:4001"
};

// A TCP socket that never blocks.  Move only; closed when destroyed.
class TcpSocket {
public:
    TcpSocket() = default;
    ~TcpSocket();
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    bool valid() const { return handle_ != -1; }
    // The system's handle (a descriptor; a SOCKET on Windows).
    intptr_t handle() const { return handle_; }

    // Starts a connection: valid while it is being made, else with `error`.
    static TcpSocket Connect(const NetEndpoint& to, int& error);
    // 0 once connected, EINPROGRESS while being made, else why it failed.
    int connectState();
    // Listens on host:port (port 0: one the system picks); invalid with `error`.
    static TcpSocket Listen(const std::string& host, uint16_t port, int& error);
    // A connection waiting to be taken; invalid when none is (error 0) or
    // the listener failed.
    TcpSocket accept(int& error);
    // The port the socket is bound to; 0 when it cannot be told.
    uint16_t localPort() const;

    // Bytes sent (0 when the system takes no more now), or -1 with `error`.
    long send(const uint8_t* data, size_t n, int& error);
    // Bytes received (0 when none have come), or -1 with `error`; a peer
    // that closed the connection is ECONNRESET.
    long recv(uint8_t* data, size_t n, int& error);
    // What a real-time loop waits on until bytes may be read: the
    // descriptor; on Windows an event tied to the socket.  -1 when none.
    int readableHandle();
    void close();

private:
    explicit TcpSocket(intptr_t handle) : handle_(handle) {}
    intptr_t handle_ = -1;
    intptr_t event_ = 0;   // Windows: the event of readableHandle()
};

// Resolves host (a name or an address) with the port, blocking: 0 with the
// endpoints, or NetNameNotFound.  `numericOnly`: only an address is taken,
// at once, and a name is not found.
int ResolveHost(const std::string& host, uint16_t port, std::vector<NetEndpoint>& endpoints,
                bool numericOnly = false);

// Waits at most timeoutMs for any of the sockets to have bytes (or a
// connection) to take; ready[i] tells which.  False when none became ready.
bool WaitReadable(const std::vector<const TcpSocket*>& sockets, int timeoutMs, std::vector<bool>& ready);

// A name being resolved on a thread of its own: the GUI thread never waits
// for a name server.
class NetResolution {
public:
    virtual ~NetResolution() = default;
    virtual bool done() const = 0;
    // Valid once done: 0 with the endpoints, or NetNameNotFound.
    virtual int error() const = 0;
    virtual std::vector<NetEndpoint> endpoints() const = 0;
};

// One TCP connection as a network link uses it.
class NetStream {
public:
    virtual ~NetStream() = default;
    virtual int connectState() = 0;
    virtual long send(const uint8_t* data, size_t n, int& error) = 0;
    virtual long recv(uint8_t* data, size_t n, int& error) = 0;
    virtual int readableHandle() = 0;
};

// What the network links use of the system.
class NetSystem {
public:
    virtual ~NetSystem() = default;
    virtual std::shared_ptr<NetResolution> resolve(const std::string& host, uint16_t port) = 0;
    // A connection being made; nullptr with `error` when it cannot start.
    virtual std::unique_ptr<NetStream> connect(const NetEndpoint& to, int& error) = 0;
};

// The system's own sockets.
NetSystem& SystemNet();

} // namespace orn
