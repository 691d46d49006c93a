// The serial ports of a Linux machine, from sysfs: every tty with a device
// behind it (virtual consoles and pseudo-terminals have none), USB adapters
// with the product, maker and serial number their USB device reports, the
// /dev/serial/by-id link that leads to each, and the UART type the kernel
// found behind an on-board port.
#include "ports.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

namespace orn {

namespace {

// The first line of a sysfs attribute; empty when there is none.
std::string Attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

std::string Canonical(const std::string& path) {
    std::error_code ec;
    const fs::path canonical = fs::canonical(path, ec);
    return ec ? path : canonical.string();
}

// The kernel's UART type of an on-board port (serial core): 0 when it found
// no UART behind it, -1 when the port has none or it cannot be read.  It is
// readable by everyone and needs no open of the device.
int UartType(const fs::path& tty) {
    const std::string text = Attribute(tty / "type");
    if (text.empty()) return -1;
    try {
        size_t used = 0;
        const int type = std::stoi(text, &used);
        return used == text.size() ? type : -1;
    } catch (const std::exception&) {
        return -1;
    }
}

// What the USB device above `device` reports of itself: the nearest
// directory up the tree that has a USB vendor id.
void UsbStrings(const fs::path& device, PortRecord& r) {
    std::error_code ec;
    for (fs::path dir = fs::canonical(device, ec); !ec && dir.has_relative_path(); dir = dir.parent_path()) {
        if (!fs::exists(dir / "idVendor", ec)) continue;
        r.product = Attribute(dir / "product");
        r.maker = Attribute(dir / "manufacturer");
        r.serialNumber = Attribute(dir / "serial");
        return;
    }
}

} // namespace

PortScan SystemPorts() {
    PortScan scan;

    // The by-id links are symbolic links to the devices: resolved, they name
    // the device they stand for.
    std::map<std::string, std::string> byId;
    std::error_code ec;
    for (fs::directory_iterator it("/dev/serial/by-id", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string target = Canonical(it->path().string());
        byId.emplace(target, it->path().string());
    }

    std::map<std::string, PortRecord> found;   // by name
    for (fs::directory_iterator it("/sys/class/tty", ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path tty = it->path();
        std::error_code exists;
        if (!fs::exists(tty / "device", exists)) continue;
        PortRecord r;
        r.name = tty.filename().string();
        r.location = "/dev/" + r.name;
        const auto link = byId.find(Canonical(r.location));
        if (link != byId.end()) r.byId = link->second;
        UsbStrings(tty / "device", r);
        r.uartType = UartType(tty);
        found.emplace(r.name, std::move(r));
    }
    for (auto& [name, r] : found) scan.found.push_back(std::move(r));

    scan.variables = PortVariables(Canonical);
    return scan;
}

} // namespace orn
