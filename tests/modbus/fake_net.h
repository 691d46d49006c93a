// The network as tests script it: names that resolve (or not) after a
// while, connections that are made, refused or never answered, and a peer
// at the far end of each that the test reads and writes.  Time is the
// virtual clock's.
#pragma once

#include "net_socket.h"
#include "virtual_scheduler.h"

#include <cerrno>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace orn::test {

// The far end of one connection.
struct FakePeer {
    std::vector<uint8_t> received;   // what the link sent
    std::deque<uint8_t> toLink;      // what the link will receive
    int closed = 0;                  // when not 0: the link's next recv fails with it
    void send(const std::vector<uint8_t>& b) { toLink.insert(toLink.end(), b.begin(), b.end()); }
};

class FakeNet : public NetSystem {
public:
    explicit FakeNet(VirtualScheduler& clock) : clock_(clock) {}

    // What the next names and connections do.
    int resolveMs = 0;
    int resolveError = 0;        // NetNameNotFound: no such name
    int connectMs = 0;
    int connectError = 0;        // ECONNREFUSED, EHOSTUNREACH; 0: connects
    bool neverConnects = false;  // SYN into the void
    int resolutions = 0;
    std::vector<std::shared_ptr<FakePeer>> peers;   // one per connection, in order

    FakePeer& peer() { return *peers.back(); }

    std::shared_ptr<NetResolution> resolve(const std::string&, uint16_t) override {
        ++resolutions;
        return std::make_shared<Resolution>(clock_, clock_.nowUs() + int64_t(resolveMs) * 1000, resolveError);
    }
    std::unique_ptr<NetStream> connect(const NetEndpoint&, int& error) override {
        error = 0;
        peers.push_back(std::make_shared<FakePeer>());
        return std::make_unique<Stream>(*this, peers.back(), clock_.nowUs() + int64_t(connectMs) * 1000);
    }

private:
    class Resolution : public NetResolution {
    public:
        Resolution(VirtualScheduler& c, int64_t at, int error) : c_(c), at_(at), error_(error) {}
        bool done() const override { return c_.nowUs() >= at_; }
        int error() const override { return error_; }
        std::vector<NetEndpoint> endpoints() const override { return {NetEndpoint{{}, "peer"}}; }

    private:
        VirtualScheduler& c_;
        int64_t at_;
        int error_;
    };
    class Stream : public NetStream {
    public:
        Stream(FakeNet& n, std::shared_ptr<FakePeer> p, int64_t at)
            : n_(n), p_(std::move(p)), at_(at), error_(n.connectError), never_(n.neverConnects) {}
        int connectState() override {
            if (never_ || n_.clock_.nowUs() < at_) return EINPROGRESS;
            return error_;
        }
        long send(const uint8_t* data, size_t size, int& error) override {
            error = p_->closed;
            if (error) return -1;
            p_->received.insert(p_->received.end(), data, data + size);
            return long(size);
        }
        long recv(uint8_t* data, size_t size, int& error) override {
            size_t k = 0;
            while (k < size && !p_->toLink.empty()) {
                data[k++] = p_->toLink.front();
                p_->toLink.pop_front();
            }
            error = k == 0 ? p_->closed : 0;
            return error ? -1 : long(k);
        }
        int readableHandle() override { return -1; }

    private:
        FakeNet& n_;
        std::shared_ptr<FakePeer> p_;
        int64_t at_;
        int error_;
        bool never_;
    };

    VirtualScheduler& clock_;
};

} // namespace orn::test
