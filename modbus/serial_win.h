// The serial link on Windows (Win32 communications API).
//
// Port number n is the device named by the environment variable ORN10_COM<n>
// when it is set and not empty (a device path such as \\.\COM7, or COM7),
// else \\.\COM<n>, the form every port number needs from COM10 on.
#pragma once

#include "serial_port.h"
#include "system_serial.h"

#include <memory>
#include <string>

namespace orn {

class WinSerialBackend : public SerialBackend {
public:
    // Opens PortPath(portNumber) exclusively (share mode 0) for overlapped
    // I/O, with reads that return at once and both queues purged.  No line
    // settings applied.
    std::unique_ptr<SerialDevice> open(int portNumber) override;
    // Opens `path` the same way ("COM7" is taken as \\.\COM7).
    std::unique_ptr<SerialDevice> openPath(const std::string& path) override;
    // The reason of the last refused open as the errno value the port box
    // explains (PortErrnoOf).
    int lastOpenError() const override { return lastOpenError_; }
    // Wraps a HANDLE opened elsewhere (as a 32-bit value) as it is: no
    // settings, no event-driven wait (its I/O may be synchronous).  nullptr
    // for a value that is no open handle.
    std::unique_ptr<SerialDevice> adopt(int handle) override;

private:
    int lastOpenError_ = 0;
};

// The errno value whose reason line (PortErrorReason) tells the user what a
// Win32 error of a serial port means: access denied or a sharing violation
// is EBUSY (another program holds the port), a missing file or name ENOENT
// (no such port, unplugged), the errors of a pulled USB adapter ENODEV
// (device gone), a device that is no serial port ENOTTY; anything else EIO.
int PortErrnoOf(unsigned long win32Error);

// "\\.\COM7" for "COM7" (any case); other paths as they are.
std::string DevicePathOf(const std::string& path);

// What identifies the device a port path leads to (SerialDevice::identity).
std::string PortIdentity(const std::string& devicePath);
// The device instance ID of the port named `comName` ("COM3"), from the
// devices of the class Ports (ports_win.cpp); empty when none has that name.
std::string PortInstanceId(const std::string& comName);

} // namespace orn
