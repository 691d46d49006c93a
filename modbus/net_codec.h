// What a network link does to the bytes on their way.
//
// The master speaks MODBUS RTU frames whatever the link.  A device server in
// raw mode carries them as they are; a MODBUS TCP gateway wants each request
// in an MBAP frame and answers in one; a device server with Telnet COM Port
// Control (RFC 2217) carries them as Telnet data, with its own commands for
// the port's settings in the same stream.  A codec turns the master's bytes
// into the peer's and the peer's back into RTU, so that the receive path
// judges the same frames on every link.  Pure byte handling: no sockets, no
// time.
#pragma once

#include "serial_port.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace orn {

enum class NetProtocol : uint8_t {
    RtuOverTcp,   // RTU frames as they are ("rtu+tcp://")
    ModbusTcp,    // MBAP frames to a gateway ("tcp://")
    Rfc2217,      // Telnet with COM Port Control ("rfc2217://")
};

class LinkCodec {
public:
    using Bytes = std::vector<uint8_t>;
    virtual ~LinkCodec() = default;

    // A new connection: what the codec says first (Telnet's negotiation)
    // goes to `out`, and what it knew of the old one is forgotten.
    virtual void start(Bytes& out) { (void)out; }
    // The master's bytes for the peer, appended to `out`.
    virtual void encode(const uint8_t* data, size_t n, Bytes& out) = 0;
    // The peer's bytes: what is for the master goes to `in`, replies the
    // protocol needs to `out`, and what the master must hear of to `note`.
    // False when the stream broke the protocol and cannot be followed
    // any further (the connection must be dropped).
    virtual bool decode(const uint8_t* data, size_t n, Bytes& in, Bytes& out, const LinkListener& note) = 0;
    // The serial port's settings and a purge of its queues, for a peer that
    // takes them (RFC 2217); nothing for the others.
    virtual void configure(const LineSettings& s, Bytes& out) {
        (void)s;
        (void)out;
    }
    virtual void purge(bool rx, bool tx, Bytes& out) {
        (void)rx;
        (void)tx;
        (void)out;
    }
};

std::unique_ptr<LinkCodec> MakeLinkCodec(NetProtocol protocol);

// ---- MODBUS TCP, for the tests and the simulator's gateway.

// An RTU frame (its CRC left out) as an MBAP frame: transaction id,
// protocol 0, length, then the unit id and the PDU.
std::vector<uint8_t> RtuToMbap(const uint8_t* rtu, size_t n, uint16_t transaction);
// How long the MBAP frame that begins p[0..n) is: 0 while its header is
// incomplete, SIZE_MAX when it is no MBAP frame (another protocol, a length
// out of range).
size_t MbapFrameLength(const uint8_t* p, size_t n);
// The RTU frame (CRC computed) of a whole MBAP frame.
std::vector<uint8_t> MbapToRtu(const uint8_t* mbap, size_t n);
// The length of the RTU request that begins p[0..n): 0 when more bytes are
// needed to tell, SIZE_MAX for a function no request has.
size_t RtuRequestLength(const uint8_t* p, size_t n);

} // namespace orn
