// A scripted serial line for tests of the master: records what is written,
// hands out what the test queued, and can misbehave on demand.
#pragma once

#include "serial_port.h"
#include "virtual_scheduler.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace orn::test {

struct FakeLine {
    // What the master did.
    std::vector<uint8_t> sent;
    int opens = 0;
    int lastPortNumber = 0;
    int configures = 0;
    int purges = 0;
    bool open = false;
    LineSettings settings;

    // What the test scripts.
    std::deque<uint8_t> incoming;
    bool refuseOpen = false;
    bool gone = false;          // reads report the device gone, writes fail
    int outQueued = 0;          // bytes the transmit queue reports
    long maxWrite = -1;         // bytes one write moves at most (-1: all)
    std::string identity;       // the device behind every port number (empty: not told)
    VirtualScheduler* clock = nullptr;   // waitWritable spends its time here

    void receive(const std::vector<uint8_t>& bytes) { incoming.insert(incoming.end(), bytes.begin(), bytes.end()); }
};

class FakeDevice : public SerialDevice {
public:
    explicit FakeDevice(FakeLine& line) : line_(line) { line_.open = true; }
    ~FakeDevice() override { line_.open = false; }
    void configure(const LineSettings& s) override {
        line_.settings = s;
        ++line_.configures;
    }
    void purge(bool rx, bool) override {
        ++line_.purges;
        if (rx) line_.incoming.clear();
    }
    int outQueued() override { return line_.outQueued; }
    long read(uint8_t* buf, size_t n) override {
        if (line_.gone) return -1;
        size_t k = 0;
        while (k < n && !line_.incoming.empty()) {
            buf[k++] = line_.incoming.front();
            line_.incoming.pop_front();
        }
        return long(k);
    }
    long write(const uint8_t* buf, size_t n) override {
        if (line_.gone) return -1;
        const size_t k = line_.maxWrite < 0 ? n : std::min(n, size_t(line_.maxWrite));
        line_.sent.insert(line_.sent.end(), buf, buf + k);
        return long(k);
    }
    bool waitWritable(int ms) override {
        if (line_.gone) return false;
        if (line_.clock) line_.clock->skipUs(int64_t(ms) * 1000);
        return true;
    }
    std::string identity() const override { return line_.identity; }
    int nativeHandle() const override { return 42; }
    void release() override {}

private:
    FakeLine& line_;
};

class FakeBackend : public SerialBackend {
public:
    FakeLine line;
    std::unique_ptr<SerialDevice> open(int portNumber) override {
        ++line.opens;
        line.lastPortNumber = portNumber;
        if (line.refuseOpen) return nullptr;
        return std::make_unique<FakeDevice>(line);
    }
    std::unique_ptr<SerialDevice> adopt(int) override { return std::make_unique<FakeDevice>(line); }
};

// Hex helpers: "01 03 00 00" <-> bytes.
std::vector<uint8_t> Hex(const char* text);
std::string ToHex(const std::vector<uint8_t>& bytes);
// A frame with its CRC appended.
std::vector<uint8_t> WithCrc(std::vector<uint8_t> body);

} // namespace orn::test
