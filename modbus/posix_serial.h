// The serial link on a POSIX system (Linux termios).
//
// Port number n is the device named by the environment variable ORN10_COM<n>
// when it is set and not empty, else /dev/ttyS<n-1>: COM1 is /dev/ttyS0, and
// ORN10_COM1=/dev/ttyUSB0 puts COM1 on a USB adapter (or on a pseudo-terminal
// of a simulator).
#pragma once

#include "serial_port.h"
#include "system_serial.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orn {

// One open tty.  Reads and writes never block; every failure of the device
// itself (hung up, unplugged) is reported as "gone" rather than "no data".
class PosixSerialDevice : public SerialDevice {
public:
    // Takes fd.  `exclusive`: the fd holds the port's lock and its exclusive
    // mode, which are given up on destruction.  `path`: the name it was
    // opened by, if any.
    PosixSerialDevice(int fd, bool exclusive, const std::string& path = {});
    ~PosixSerialDevice() override;
    PosixSerialDevice(const PosixSerialDevice&) = delete;
    PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

    void configure(const LineSettings& s) override;
    void purge(bool rx, bool tx) override;
    int outQueued() override;
    int inQueued() override;
    long read(uint8_t* buf, size_t n) override;
    long write(const uint8_t* buf, size_t n) override;
    bool waitWritable(int ms) override;
    // errno of the last failure; a tty that is hung up (EIO, POLLHUP) is
    // gone: ENODEV.
    int lastError() const override { return lastError_; }
    // The device number and the device node the fd was opened through:
    // every name that leads to the node gives the same, and an adapter
    // plugged in again gets a new node under the same name.  The canonical
    // path when the fd cannot be examined.
    std::string identity() const override { return identity_; }
    int nativeHandle() const override { return fd_; }
    void release() override;

private:
    // The poll() events of the fd at this moment, without waiting.
    short pollNow(short events) const;
    // True when the tty has hung up or the fd is no longer usable (noted
    // in lastError_).
    bool gone();
    // -1, with errno `err` noted as the device's failure.
    long failed(int err);

    int fd_;
    bool exclusive_;
    int lastError_ = 0;
    std::string identity_;
    bool blocking_ = false;   // an adopted fd without O_NONBLOCK
};

class PosixSerialBackend : public SerialBackend {
public:
    // Opens PortPath(portNumber) exclusively: a tty only, not while another
    // holder (another program, root included) has it.  No settings applied.
    std::unique_ptr<SerialDevice> open(int portNumber) override;
    // Opens `path` the same way.
    std::unique_ptr<SerialDevice> openPath(const std::string& path) override;
    // errno of the last refused open: the open's own, EBUSY when another
    // holder has the lock, ENOTTY for a device that is no terminal.
    int lastOpenError() const override { return lastOpenError_; }
    // Wraps an fd opened elsewhere as it is (no settings, no lock, its
    // blocking mode kept: reads and writes then take only what is ready at
    // once); it is closed when the device is destroyed unless released first.
    // nullptr for a number that is no open fd.
    std::unique_ptr<SerialDevice> adopt(int fd) override;

private:
    int lastOpenError_ = 0;
};

// Line speeds through termios2 (speeds without a B constant).  They live in
// their own translation unit: the kernel's termios2 header cannot share one
// with <termios.h>.
//
// Sets the input and output speed of the tty to any rate in bit/s; false
// when the driver refuses it.
bool SetLineSpeedOther(int fd, uint32_t bitsPerSecond);
// The output speed of the tty in bit/s as the kernel holds it; 0 when it
// cannot be read.
uint32_t LineSpeed(int fd);

} // namespace orn
