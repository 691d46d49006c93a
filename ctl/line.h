// The serial line of orn10ctl: one port, one MODBUS master, and a loop that
// wakes the moment the port has bytes instead of at the master's poll tick.
//
// A transaction is synchronous here: Read() and Write() return when the
// master has ended it, so a request costs its wire time plus the
// instrument's turnaround and little else.
#pragma once

#include "line_scan.h"
#include "modbusm.h"
#include "realtime_scheduler.h"

#include <csignal>
#include <cstdint>
#include <memory>
#include <string>

namespace orn::ctl {

// How the line is set: 8 data bits and 1 stop bit, as the window.
struct TLineSettings {
    std::string port = "COM1";   // a path, COM<n>, or a network address (net_link.h)
    uint32_t speed = 19200;      // bit/s, one of BaudRates
    TComPortParity parity = ptEVEN;
    TLineSetting Setting() const { return {speed, parity}; }
    // Over a network: the time the answer timeouts get on top.
    int netAllowanceMs = DefaultNetAllowanceMs;
};

// The device a port name stands for: COM<n> (any case) is port number n
// (ORN10_COM<n>, else /dev/ttyS<n-1>); anything else is a path or a network
// address as given.
std::string PortDevice(const std::string& port);

// Why a network connection failed, for people: "connection refused (...)".
std::string NetFailureText(int error);

// A transaction's end: 0 for a good answer, else the master's error code.
// Interrupted: the stop flag was raised while it was open.
constexpr int Interrupted = -1;

class TCtlLine {
public:
    // The scheduler and backend must outlive the line.
    TCtlLine(RealtimeScheduler& scheduler, SerialBackend& backend, const TLineSettings& settings);
    ~TCtlLine();
    TCtlLine(const TCtlLine&) = delete;
    TCtlLine& operator=(const TCtlLine&) = delete;

    // Opens the port (if closed) with the settings; false with the errno of
    // the failure in OpenError().
    bool Open();
    void Close();
    bool IsOpen() const { return mb_.Connected(); }
    int OpenError() const { return mb_.ConnectError(); }
    // The errno of the device failure that ended the last transaction; 0 when none.
    int DeviceError() const { return mb_.DeviceError(); }
    // The port is a network address.
    bool OverNetwork() const;
    // "COM3 (/dev/ttyS2)", or the path.
    std::string PortLabel() const;
    const TLineSettings& Settings() const { return settings_; }
    // Another speed and parity, from the next request on (at once while
    // the port is open).
    void SetSetting(const TLineSetting& s);

    // One read of `count` holding registers from `first` (function 3), or
    // one write of a register (function 6).  `timeoutMs` is the time the
    // instrument has to begin its answer; the answer's own wire time is
    // granted on top once its first byte has come.  Returns 0, the error
    // code, or Interrupted.  Needs the port open (else 11); a device that
    // failed under the request (an adapter pulled) is a port that cannot be
    // used either: 11, with the reason in DeviceError().
    int Read(uint8_t slave, uint16_t first, uint16_t count, int timeoutMs);
    int Write(uint8_t slave, uint16_t reg, uint16_t value, int timeoutMs);
    // Data part of the last good answer: the registers read, or the echoed value.
    const TDataByte& Data() const { return mb_.ResponseData(); }

    // Listens to everything on the line (line_events.h).
    void SetListener(LineListener listener) { listener_ = std::move(listener); }
    // A flag (set by a signal handler) that ends waits and open transactions.
    void SetStopFlag(const volatile std::sig_atomic_t* flag) { stop_ = flag; }
    bool Stopped() const { return stop_ && *stop_; }
    // Runs the loop for ms milliseconds; false when the stop flag ended it.
    bool Pause(int ms);

private:
    int Transact(uint8_t slave, uint8_t function, uint16_t offset, uint16_t quantity, const TDataByte& data,
                 int timeoutMs, int answerBytes);
    void OnLine(const LineEvent& e);
    // Each time bytes that may begin the answer appear (not an echo, stray
    // bytes or another's frame: those the master has dropped by then), the
    // wait is made long enough for the rest of the answer's wire time.
    void NoteAnswerBegun();
    // Watches what the port's bytes arrive on; a network link has it only
    // once its connection is made, and a new one after a reconnection.
    void Watch();

    RealtimeScheduler& scheduler_;
    TLineSettings settings_;
    TModbusM mb_;
    std::unique_ptr<FdWatch> watch_;
    LineListener listener_;
    const volatile std::sig_atomic_t* stop_ = nullptr;
    bool pending_ = false;      // a transaction of ours is open
    bool held_ = false;         // the master held bytes at the last look
    uint32_t deadlineMs_ = 0;   // when the open transaction times out (scheduler clock)
    int result_ = 0;
    uint16_t answerMs_ = 0;     // the wait granted once the answer has begun
};

} // namespace orn::ctl
