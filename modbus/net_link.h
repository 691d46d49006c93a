// Lines reached over the network: RTU over TCP, MODBUS TCP and RFC 2217,
// behind the master's link interface.
//
// A network port is named by a URL ("rtu+tcp://10.0.0.5:4001",
// "tcp://gateway", "rfc2217://10.0.0.5:2217") where a serial port has its
// path.  Opening it leases a connection that NetBackend keeps: the first
// lease connects (the name resolved on a thread, the connection made without
// blocking), later ones find it made, and a connection no lease has held for
// a while is closed.  So the window's open and close around every request
// cost nothing, and a connection dropped meanwhile (the gateway restarted,
// an idle connection closed by the peer) is made again by the next request
// without anyone asking.  A request written while the connection is still
// being made waits in the link; the master starts its answer timeout when
// it has left.  A connection that fails says why (the device's lastError):
// refused, no route, name not found, timed out, closed by the peer.
#pragma once

#include "net_codec.h"
#include "net_socket.h"
#include "scheduler.h"
#include "serial_port.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace orn {

struct NetAddress {
    NetProtocol protocol = NetProtocol::RtuOverTcp;
    std::string host;     // a name, an IPv4 address, or an IPv6 address without brackets
    uint16_t port = 0;
    // "rtu+tcp://host:port", "tcp://host:port", "rfc2217://host:port".
    std::string url() const;
};

// The URL scheme of each protocol.
const char* NetScheme(NetProtocol protocol);
// Whether a port name is meant as a network address (it has a scheme).
bool IsNetAddress(const std::string& name);
// "rtu+tcp://HOST:PORT", "tcp://HOST[:PORT]" (502 by default),
// "rfc2217://HOST:PORT"; an IPv6 address in brackets.  nullopt for anything
// else.
std::optional<NetAddress> ParseNetAddress(const std::string& text);

class NetConnection;

// Opens network addresses (openPath); port numbers it has none of.
class NetBackend : public SerialBackend {
public:
    // The scheduler and the system must outlive the backend and its devices.
    explicit NetBackend(Scheduler& scheduler, NetSystem& net = SystemNet());
    ~NetBackend() override;
    NetBackend(const NetBackend&) = delete;
    NetBackend& operator=(const NetBackend&) = delete;

    std::unique_ptr<SerialDevice> open(int portNumber) override;
    // A lease on the connection to `url`; nullptr when it is no network
    // address (EINVAL) or another device holds it (EBUSY).
    std::unique_ptr<SerialDevice> openPath(const std::string& url) override;
    int lastOpenError() const override { return lastOpenError_; }

    // How long a connection may take to be made (name included), and how
    // long one that no device holds is kept.
    int ConnectTimeoutMs = 5000;
    int IdleCloseMs = 10000;

private:
    Scheduler& scheduler_;
    NetSystem& net_;
    std::map<std::string, std::shared_ptr<NetConnection>> connections_;
    int lastOpenError_ = 0;
};

// Serial ports and network addresses behind one backend: a name with a URL
// scheme goes to the network, everything else to the serial ports.
class LinkBackend : public SerialBackend {
public:
    LinkBackend(SerialBackend& serial, SerialBackend& net) : serial_(serial), net_(net) {}
    std::unique_ptr<SerialDevice> open(int portNumber) override;
    std::unique_ptr<SerialDevice> openPath(const std::string& path) override;
    int lastOpenError() const override { return last_->lastOpenError(); }
    std::unique_ptr<SerialDevice> adopt(int handle) override { return serial_.adopt(handle); }

private:
    SerialBackend& serial_;
    SerialBackend& net_;
    SerialBackend* last_ = &serial_;
};

} // namespace orn
