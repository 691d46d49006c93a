// The items of the port box, from the ports the system reports.
#include "port_list.h"

#include <gtest/gtest.h>

using namespace orn;

namespace {

const std::string kFtdiId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0";
const std::string kAcmId = "/dev/serial/by-id/usb-Acme_RS485-if00";
const PortRecord kFtdi{"ttyUSB0", "/dev/ttyUSB0", kFtdiId, "FT232R USB UART", "FTDI", "A10K1234"};
const PortRecord kCh340{"ttyUSB2", "/dev/ttyUSB2", "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0", "USB Serial",
                        "1a86", ""};
const PortRecord kAcm{"ttyACM0", "/dev/ttyACM0", kAcmId, "", "Acme", "77"};

// A port known by its name only; `uartType` 0: no UART behind it.
PortRecord Port(const std::string& name, int uartType = -1) { return {name, "/dev/" + name, "", "", "", "", uartType}; }

struct Case {
    const char* what;
    PortScan scan;
    std::string chosen;
    std::vector<std::string> items;   // "text | port number or path opened"
    int current;
};

} // namespace

TEST(PortList, ItemsFromWhatTheSystemReports) {
    std::vector<std::string> com;
    for (int n = 1; n <= 10; ++n) com.push_back("COM" + std::to_string(n) + " | " + std::to_string(n));
    const std::string ftdi = "ttyUSB0 — FT232R USB UART (A10K1234) | " + kFtdiId;
    const std::string ch340 = "ttyUSB2 — USB Serial | /dev/ttyUSB2";
    const std::string acm = "ttyACM0 — Acme (77) | " + kAcmId;
    PortRecord replugged = kFtdi;   // into another socket
    replugged.name = "ttyUSB3";
    replugged.location = "/dev/ttyUSB3";
    const Case cases[] = {
        {"USB adapter: product and serial number, opened by id", {{kFtdi}, {}}, "", {ftdi}, 0},
        {"no serial number: the id is not unique, the device is opened", {{kCh340}, {}}, "", {ch340}, 0},
        {"ACM without product, no UART behind ttyS1, adapters first in natural order",
         {{Port("ttyS1", 0), Port("ttyS0", 4), Port("ttyUSB10"), kCh340, kAcm}, {}}, "",
         {acm, ch340, "ttyUSB10 | /dev/ttyUSB10", "ttyS0 | /dev/ttyS0"}, 0},
        {"variables on top; the port one leads to is not repeated",
         {{kFtdi, Port("ttyS0")}, {{3, "/dev/ttyUSB0"}, {1, "/dev/pts/4"}}}, "",
         {"COM1 | 1", "COM3 | 3", "ttyS0 | /dev/ttyS0"}, 0},
        {"nothing found: COM1 to COM10", {}, "", com, 0},
        {"only a phantom UART, COM4 chosen", {{Port("ttyS0", 0)}, {}}, "COM4", com, 3},
        {"re-plugged: still chosen", {{Port("ttyS0", 4), replugged}, {}}, kFtdiId,
         {"ttyUSB3 — FT232R USB UART (A10K1234) | " + kFtdiId, "ttyS0 | /dev/ttyS0"}, 0},
        {"chosen adapter pulled: not offered, nothing chosen", {{Port("ttyS0", 4)}, {}}, kFtdiId,
         {"ttyS0 | /dev/ttyS0"}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PortList list = BuildPortList(c.scan, c.chosen);
        std::vector<std::string> items;
        for (const PortItem& i : list.items) {
            items.push_back(i.text + " | " + (i.number ? std::to_string(i.number) : i.path));
            EXPECT_EQ(i.text.substr(0, i.shortText.size()), i.shortText) << "the closed box shows the name";
        }
        EXPECT_EQ(items, c.items);
        EXPECT_EQ(list.current, c.current);
    }
}
