// The system's sockets as the network links use them; names are resolved on
// a thread of their own.
#include "net_socket.h"

#include <mutex>
#include <thread>

namespace orn {

namespace {

// Filled by the resolver thread, read by the link: the thread holds it as
// long as it runs, so a link that gives up early leaves it nothing dangling.
class ThreadResolution : public NetResolution {
public:
    bool done() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return done_;
    }
    int error() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return error_;
    }
    std::vector<NetEndpoint> endpoints() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return endpoints_;
    }
    void finish(int error, std::vector<NetEndpoint> endpoints) {
        std::lock_guard<std::mutex> lock(mutex_);
        error_ = error;
        endpoints_ = std::move(endpoints);
        done_ = true;
    }

private:
    mutable std::mutex mutex_;
    bool done_ = false;
    int error_ = 0;
    std::vector<NetEndpoint> endpoints_;
};

class SystemStream : public NetStream {
public:
    explicit SystemStream(TcpSocket s) : s_(std::move(s)) {}
    int connectState() override { return s_.connectState(); }
    long send(const uint8_t* data, size_t n, int& error) override { return s_.send(data, n, error); }
    long recv(uint8_t* data, size_t n, int& error) override { return s_.recv(data, n, error); }
    int readableHandle() override { return s_.readableHandle(); }

private:
    TcpSocket s_;
};

class SystemNetImpl : public NetSystem {
public:
    std::shared_ptr<NetResolution> resolve(const std::string& host, uint16_t port) override {
        auto r = std::make_shared<ThreadResolution>();
        // An address needs no name server.
        std::vector<NetEndpoint> endpoints;
        if (ResolveHost(host, port, endpoints, true) == 0) {
            r->finish(0, std::move(endpoints));
            return r;
        }
        // A name server that does not answer holds only this thread; it ends
        // on its own when the system gives up.
        std::thread([r, host, port] {
            std::vector<NetEndpoint> endpoints;
            const int error = ResolveHost(host, port, endpoints);
            r->finish(error, std::move(endpoints));
        }).detach();
        return r;
    }
    std::unique_ptr<NetStream> connect(const NetEndpoint& to, int& error) override {
        TcpSocket s = TcpSocket::Connect(to, error);
        if (!s.valid()) return nullptr;
        return std::make_unique<SystemStream>(std::move(s));
    }
};

} // namespace

NetSystem& SystemNet() {
    static SystemNetImpl net;
    return net;
}

} // namespace orn
