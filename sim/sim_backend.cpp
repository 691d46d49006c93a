#include "sim_backend.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace orn::sim {

class SimDevice : public SerialDevice {
public:
    explicit SimDevice(SimPort& port) : port_(port) {
        port_.open_ = true;
        // Whatever reached the port while nobody held it is gone.
        line().discardArrived(now());
    }
    ~SimDevice() override { port_.open_ = false; }

    void configure(const LineSettings& s) override {
        port_.settings_ = s;
        ++port_.configures_;
    }
    void purge(bool rx, bool tx) override {
        if (port_.vanished) return;
        if (rx) line().discardArrived(now());
        if (tx) line().discardUnsent(now());
    }
    int outQueued() override {
        if (port_.vanished) return 0;
        return line().unsentCount(now());
    }
    long read(uint8_t* buf, size_t n) override {
        if (port_.vanished) return -1;
        return long(line().receive(buf, n, now()));
    }
    long write(const uint8_t* buf, size_t n) override {
        if (port_.vanished) return -1;
        if (n == 0) return 0;
        port_.written_.insert(port_.written_.end(), buf, buf + n);
        port_.requests_.push_back({now(), std::vector<uint8_t>(buf, buf + n)});
        line().send(buf, n, now(), port_.configured() ? &port_.settings_ : nullptr);
        return long(n);
    }
    bool waitWritable(int ms) override {
        if (port_.vanished) return false;
        // The queue never fills here; spend the time anyway, as a blocking
        // wait would.
        port_.clock_->skipUs(int64_t(std::max(ms, 0)) * 1000);
        return true;
    }
    std::string identity() const override { return port_.identity; }
    int nativeHandle() const override { return 100 + port_.portNumber_; }
    void release() override {}

private:
    SimLine& line() { return *port_.line_; }
    int64_t now() const { return port_.clock_->nowUs(); }

    SimPort& port_;
};

SimBackend::~SimBackend() = default;

std::unique_ptr<SimPort> SimBackend::make(int portNumber, SimLine& line) {
    VirtualScheduler* clock = &clock_;
    line.setClock([clock] { return clock->nowUs(); });
    return std::unique_ptr<SimPort>(new SimPort(portNumber, line, clock_));
}

SimPort& SimBackend::attach(int portNumber, SimLine& line) { return *(ports_[portNumber] = make(portNumber, line)); }

SimPort& SimBackend::attach(const std::string& path, SimLine& line) { return *(pathPorts_[path] = make(0, line)); }

SimPort* SimBackend::port(int portNumber) {
    auto it = ports_.find(portNumber);
    return it == ports_.end() ? nullptr : it->second.get();
}

std::unique_ptr<SerialDevice> SimBackend::open(int portNumber) { return open(port(portNumber)); }

std::unique_ptr<SerialDevice> SimBackend::openPath(const std::string& path) {
    auto it = pathPorts_.find(path);
    return open(it == pathPorts_.end() ? nullptr : it->second.get());
}

std::unique_ptr<SerialDevice> SimBackend::open(SimPort* p) {
    lastOpenError_ = ENOENT;
    if (!p) return nullptr;
    ++p->attempts_;
    if (p->vanished) return nullptr;
    lastOpenError_ = p->refuseWith ? p->refuseWith : EBUSY;
    if (p->open_ || p->refuseOpen || p->refuseWith) return nullptr;
    lastOpenError_ = 0;
    ++p->opens_;
    return std::make_unique<SimDevice>(*p);
}

namespace {

class SimResolution : public NetResolution {
public:
    SimResolution(int error, std::vector<NetEndpoint> e) : error_(error), endpoints_(std::move(e)) {}
    bool done() const override { return true; }
    int error() const override { return error_; }
    std::vector<NetEndpoint> endpoints() const override { return endpoints_; }

private:
    int error_;
    std::vector<NetEndpoint> endpoints_;
};

// A connection to a line: what is sent goes onto the wire now, what is
// received is what the line has delivered by now.
class SimStream : public NetStream {
public:
    SimStream(SimLine& line, VirtualScheduler& clock) : line_(line), clock_(clock) {}
    int connectState() override { return 0; }
    long send(const uint8_t* data, size_t n, int&) override {
        line_.send(data, n, clock_.nowUs());
        return long(n);
    }
    long recv(uint8_t* data, size_t n, int&) override { return long(line_.receive(data, n, clock_.nowUs())); }
    int readableHandle() override { return -1; }

private:
    SimLine& line_;
    VirtualScheduler& clock_;
};

} // namespace

void SimNet::attach(const std::string& host, uint16_t port, SimLine& line) {
    VirtualScheduler* clock = &clock_;
    line.setClock([clock] { return clock->nowUs(); });
    lines_[host + ":" + std::to_string(port)] = &line;
}

std::shared_ptr<NetResolution> SimNet::resolve(const std::string& host, uint16_t port) {
    const bool known = std::any_of(lines_.begin(), lines_.end(),
                                   [&](const auto& l) { return l.first.rfind(host + ":", 0) == 0; });
    if (!known) return std::make_shared<SimResolution>(NetNameNotFound, std::vector<NetEndpoint>{});
    return std::make_shared<SimResolution>(0, std::vector<NetEndpoint>{{{}, host + ":" + std::to_string(port)}});
}

std::unique_ptr<NetStream> SimNet::connect(const NetEndpoint& to, int& error) {
    auto it = lines_.find(to.text);
    error = it == lines_.end() ? ECONNREFUSED : 0;
    if (error) return nullptr;
    return std::make_unique<SimStream>(*it->second, clock_);
}

} // namespace orn::sim
