// Serial port settings and the OS device behind the master's link.
//
// The master talks to the operating system only through SerialBackend (opens
// a numbered port) and SerialDevice (one open port).  The program uses the
// system's implementation (system_serial.h: POSIX termios or Win32); tests
// plug in a simulated line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orn {

// Port enumerations, one byte each; ordinals start at 0 in the order listed.
// The port number is stored unchecked: ordinals past pnCOM6 (the window uses
// 0 to 9) open ports 7 and up.
enum TComPortNumber : uint8_t { pnCOM1, pnCOM2, pnCOM3, pnCOM4, pnCOM5, pnCOM6 };
enum TComPortBaudRate : uint8_t {
    br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
    br38400, br56000, br57600, br115200, br128000, br256000
};
enum TComPortDataBits : uint8_t { db5BITS, db6BITS, db7BITS, db8BITS };
enum TComPortStopBits : uint8_t { sb1BITS, sb1HALFBITS, sb2BITS };
enum TComPortParity : uint8_t { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum TComPortHwHandshaking : uint8_t { hhNONE, hhRTSCTS };
enum TComPortSwHandshaking : uint8_t { shNONE, shXONXOFF };

// Line speed in bit/s of each TComPortBaudRate, indexed by its ordinal.
extern const uint32_t BaudRates[15];

// Everything the link applies to an open port.
struct LineSettings {
    uint32_t baudRate = 9600;               // bit/s
    int dataBits = 8;                       // 5 to 8
    TComPortStopBits stopBits = sb1BITS;
    TComPortParity parity = ptNONE;
    bool rtsCts = false;
    bool xonXoff = false;
    bool dtr = false;                       // raise DTR while open
    uint16_t inBufferSize = 1028;
    uint16_t outBufferSize = 1028;
};

// Bits on the line per character: start, data, parity, stop (1.5 counts 2).
inline int bitsPerCharacter(const LineSettings& s) {
    return 1 + s.dataBits + (s.parity == ptNONE ? 0 : 1) + (s.stopBits == sb1BITS ? 1 : 2);
}

// The time a network link adds to the answer timeout unless the user sets
// another (README: what was measured through device servers).
constexpr uint16_t DefaultNetAllowanceMs = 100;

// What a link tells the master beside the bytes it delivers.
enum class LinkNote : uint8_t {
    Sent,       // the bytes the link held (a connection still being made) have left: the
                // answer timeout counts from now
    Late,       // a whole answer to an earlier request was dropped (data: it as an RTU frame)
    NoAnswer,   // a gateway says that the instrument did not answer the open request
};
using LinkListener = std::function<void(LinkNote note, const uint8_t* data, size_t size)>;

// One open port.  Reads and writes never block.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;
    // Applies the settings.  Failures are not reported: a device that cannot
    // take a setting keeps working with what it has.
    virtual void configure(const LineSettings& s) = 0;
    virtual void purge(bool rx, bool tx) = 0;
    // Bytes still waiting in the transmit queue.
    virtual int outQueued() = 0;
    // Bytes received and not yet read; 0 when the device cannot tell.
    virtual int inQueued() { return 0; }
    // Up to n bytes of what has arrived, at once: the count (0 when nothing
    // has), or -1 when the device is gone (adapter pulled, line hung up).
    virtual long read(uint8_t* buf, size_t n) = 0;
    // Queues up to n bytes without waiting: the count queued (0 when the
    // queue is full), or -1 when the device failed.
    virtual long write(const uint8_t* buf, size_t n) = 0;
    // Waits at most ms for room in the transmit queue; false when the device
    // failed (a timeout is not a failure).
    virtual bool waitWritable(int ms) = 0;
    // The errno of the failure the device reported last (read or write -1,
    // waitWritable false): ENODEV when it is gone; 0 when the backend
    // cannot tell.
    virtual int lastError() const { return 0; }
    // What identifies the device behind the port, whatever name it was
    // opened by: two names of one device give the same text, another device
    // under the same name (an adapter swapped) gives another.  Empty when the
    // backend cannot tell; the port is then known by its name alone.
    virtual std::string identity() const { return {}; }
    // The OS handle (a file descriptor; on Windows the port's HANDLE as a
    // 32-bit value), -1 when there is none.
    virtual int nativeHandle() const = 0;
    // What a real-time loop waits on until bytes may be read (a handle for
    // RealtimeScheduler::watchReadable): the descriptor itself on POSIX; on
    // Windows an event that the port's pending WaitCommEvent signals and
    // that each read() re-arms.  -1 when the device offers none.
    virtual int readableHandle() { return nativeHandle(); }
    // Forgets the OS handle without closing it (it stays with its owner).
    virtual void release() = 0;

    // ---- Links that are no device of this machine (net_link.h).
    // A link over a network: answers may take the network's allowance longer.
    virtual bool overNetwork() const { return false; }
    // Whether the link still holds the bytes written last (a connection still
    // being made): the master starts its answer timeout when they have left,
    // which the link notes (LinkNote::Sent).
    virtual bool holdsWritten() const { return false; }
    // Where the link tells what it notes; called from inside read() and from
    // the link's own timer.  Empty: nobody listens.
    virtual void setLinkListener(LinkListener listener) { (void)listener; }
};

class SerialBackend {
public:
    virtual ~SerialBackend() = default;
    // Opens port number n (1 for COM1) exclusively; nullptr when it cannot be
    // opened (missing, held by another program, no access).
    virtual std::unique_ptr<SerialDevice> open(int portNumber) = 0;
    // Opens the device at `path` exclusively; nullptr as open().
    virtual std::unique_ptr<SerialDevice> openPath(const std::string& /*path*/) { return nullptr; }
    // Why the last open or openPath failed, as an errno value; 0 when unknown.
    virtual int lastOpenError() const { return 0; }
    // Wraps a handle opened elsewhere; nullptr when the backend cannot.
    virtual std::unique_ptr<SerialDevice> adopt(int /*handle*/) { return nullptr; }
};

} // namespace orn
