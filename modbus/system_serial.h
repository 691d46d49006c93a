// The serial ports of the system the program runs on: POSIX termios
// (posix_serial.cpp) or Win32 (serial_win.cpp), chosen by the build.
#pragma once

#include "serial_port.h"

#include <memory>
#include <string>

namespace orn {

// The device of port number n (1 for COM1): the one named by the
// environment variable ORN10_COM<n> when it is set and not empty, else the
// system's own COM<n> (/dev/ttyS<n-1> on Linux, \\.\COM<n> on Windows).
std::string PortPath(int portNumber);

// The backend that opens the system's serial ports.
std::unique_ptr<SerialBackend> MakeSystemSerialBackend();

} // namespace orn
