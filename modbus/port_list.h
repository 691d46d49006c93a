// The items of the port box, built from what the system reports.
//
// Plain data in, plain data out: the window gathers the ports (port_box.h)
// and shows the items; the rules of which port is offered, under which name,
// in which order and which device is then opened live here.
#pragma once

#include "net_link.h"

#include <optional>
#include <string>
#include <vector>

namespace orn {

// One serial port as the system reports it.
struct PortRecord {
    std::string name;           // "ttyUSB0"
    std::string location;       // "/dev/ttyUSB0"
    std::string byId;           // the /dev/serial/by-id/... link to it; empty when none
    std::string product;        // "FT232R USB UART"; empty when not reported
    std::string maker;          // "FTDI"
    std::string serialNumber;   // "A10K1234"
    int uartType = -1;          // the kernel's UART type of an on-board port: 0 no UART found, -1 not known
};

// A set ORN10_COM<n> variable.
struct PortVariable {
    int number;                 // n
    std::string target;         // the device it leads to, symbolic links resolved
};

// A line behind the network as the user has set it up: where, and the
// time its answers get on top of the answer timeout.
struct NetEntry {
    NetAddress address;
    int allowanceMs = DefaultNetAllowanceMs;
    bool operator==(const NetEntry& o) const {
        return address.url() == o.address.url() && allowanceMs == o.allowanceMs;
    }
};

struct PortScan {
    std::vector<PortRecord> found;
    std::vector<PortVariable> variables;
};

// One item of the port box.
struct PortItem {
    std::string text;           // in the open list: "ttyUSB0 — FT232R USB UART (A10K1234)"
    std::string shortText;      // in the closed box: "ttyUSB0", "COM1"
    int number = 0;             // port number n of "COM<n>" (opened by number), 0 for a path
    std::string path;           // the device to open when number is 0 (a network entry: its URL)
    std::optional<NetEntry> net;   // a line behind the network

    // What identifies the choice across refreshes and re-plugging.
    std::string key() const { return number ? shortText : path; }
};

struct PortList {
    std::vector<PortItem> items;
    int current = -1;           // index of the chosen item; -1 when it is gone
};

// "COM<n>" of every set variable, in order of n; then the ports found, USB
// and ACM adapters first, each kind in natural order of its name; on-board
// ports with no UART behind them and ports that a variable already leads to
// are left out.  With neither a variable nor a port, COM1 to COM10.  The
// user's network entries follow (most recently used first), named
// "host:port" (the window adds the protocol).
// `chosen` is the key of the item chosen so far: empty at start, when the
// first item is chosen.
PortList BuildPortList(const PortScan& scan, const std::string& chosen, const std::vector<NetEntry>& network = {});

// The line the port error box adds for an open that failed with errno
// `error` (or a network connection, net_socket.h): the reason and what to
// do (UTF-8; the network's texts are marked for translation in the context
// "PortError").  Empty for 0 (unknown).
std::string PortErrorReason(int error);

} // namespace orn
