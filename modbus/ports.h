// The serial ports of this machine as the system reports them, one
// implementation per system: sysfs and /dev/serial/by-id on Linux
// (ports_linux.cpp), SetupAPI on Windows (ports_win.cpp).  The rules of
// which port is offered under which name are port_list.h's.
#pragma once

#include "port_list.h"

#include <functional>
#include <string>

namespace orn {

// The serial ports found and the set ORN10_COM<n> variables.
PortScan SystemPorts();

// The set ORN10_COM<n> variables (n from 1 to 256, port numbers being one
// byte), each with the device it leads to as `canonical` names it.
std::vector<PortVariable> PortVariables(const std::function<std::string(const std::string&)>& canonical);

} // namespace orn
