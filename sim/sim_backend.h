// The in-process serial backend: ports that lead to simulated lines on a
// virtual clock, for tests of the master and the window.
//
//   VirtualScheduler clock;
//   SimLine line;                          // 19200 bit/s, even parity
//   line.add(Model::MB4, 1);
//   SimBackend backend(clock);
//   SimPort& com1 = backend.attach(1, line);
//   TModbusM mb(clock, backend);           // its COM1 now leads to the line
//
// A device keeps no timer: a write puts the request on the line at the
// clock's present time, a read returns the answer bytes whose paced arrival
// is due by then, so a master polling every 100 ms sees a slow answer in
// pieces.
#pragma once

#include "net_socket.h"
#include "sim_line.h"
#include "serial_port.h"
#include "virtual_scheduler.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orn::sim {

// One port number of the backend: what the master did to it, and the
// trouble a test can make.
class SimPort {
public:
    // One write of the master: when, and the bytes.
    struct Request {
        int64_t atUs;
        std::vector<uint8_t> bytes;
    };

    SimLine& line() { return *line_; }
    int portNumber() const { return portNumber_; }   // 0 for a port attached by path

    // ---- What the master did.
    int opens() const { return opens_; }            // successful opens
    int openAttempts() const { return attempts_; }  // refused ones included
    bool isOpen() const { return open_; }
    bool configured() const { return configures_ > 0; }
    int configures() const { return configures_; }
    const LineSettings& lastSettings() const { return settings_; }
    // Every byte the master wrote, and each write with its time.
    const std::vector<uint8_t>& written() const { return written_; }
    const std::vector<Request>& requests() const { return requests_; }
    void clearLog() {
        written_.clear();
        requests_.clear();
    }

    // ---- Trouble.
    // open() gives nullptr, as when another program holds the port (EBUSY).
    bool refuseOpen = false;
    // When not 0, open() gives nullptr and the backend reports this errno.
    int refuseWith = 0;
    // The device is gone, as a pulled USB adapter: an open device reads and
    // writes -1, and open() gives nullptr (ENOENT) until it is back.
    bool vanished = false;
    // What identifies the device behind the port (SerialDevice::identity);
    // another text is another adapter under the same name.  Empty: not told.
    std::string identity;

private:
    friend class SimBackend;
    friend class SimDevice;
    SimPort(int portNumber, SimLine& line, VirtualScheduler& clock)
        : portNumber_(portNumber), line_(&line), clock_(&clock) {}

    int portNumber_;
    SimLine* line_;
    VirtualScheduler* clock_;
    int opens_ = 0;
    int attempts_ = 0;
    bool open_ = false;
    int configures_ = 0;
    LineSettings settings_;
    std::vector<uint8_t> written_;
    std::vector<Request> requests_;
};

class SimBackend : public SerialBackend {
public:
    explicit SimBackend(VirtualScheduler& clock) : clock_(clock) {}
    ~SimBackend() override;
    SimBackend(const SimBackend&) = delete;
    SimBackend& operator=(const SimBackend&) = delete;

    // Leads port number n (1 for COM1) to the line, which then takes its time
    // from this backend's clock.  Both must outlive every device opened.
    SimPort& attach(int portNumber, SimLine& line);
    // Leads the device path to the line, as attach(n, line) does.
    SimPort& attach(const std::string& path, SimLine& line);
    // The port at n, nullptr when none is attached.
    SimPort* port(int portNumber);

    // nullptr when no line is attached at n, the port is already open, or it
    // is refused or vanished; lastOpenError() then says why, as errno.
    std::unique_ptr<SerialDevice> open(int portNumber) override;
    std::unique_ptr<SerialDevice> openPath(const std::string& path) override;
    int lastOpenError() const override { return lastOpenError_; }

    VirtualScheduler& clock() { return clock_; }

private:
    std::unique_ptr<SimPort> make(int portNumber, SimLine& line);
    std::unique_ptr<SerialDevice> open(SimPort* p);

    VirtualScheduler& clock_;
    std::map<int, std::unique_ptr<SimPort>> ports_;
    std::map<std::string, std::unique_ptr<SimPort>> pathPorts_;
    int lastOpenError_ = 0;
};

// The network in-process, for the network links (net_link.h) on the same
// virtual clock: host:port addresses that lead to simulated lines, as
// device servers in raw mode.  A name no line was attached under is not
// found; a known name at a port without a line refuses the connection.
class SimNet : public NetSystem {
public:
    explicit SimNet(VirtualScheduler& clock) : clock_(clock) {}
    // The line takes its time from the clock; it must outlive every
    // connection made.
    void attach(const std::string& host, uint16_t port, SimLine& line);

    std::shared_ptr<NetResolution> resolve(const std::string& host, uint16_t port) override;
    std::unique_ptr<NetStream> connect(const NetEndpoint& to, int& error) override;

private:
    VirtualScheduler& clock_;
    std::map<std::string, SimLine*> lines_;   // by "host:port"
};

} // namespace orn::sim
