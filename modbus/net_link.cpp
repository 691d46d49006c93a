#include "net_link.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <optional>

namespace orn {

// ---------------------------------------------------------------- addresses

const char* NetScheme(NetProtocol protocol) {
    switch (protocol) {
    case NetProtocol::ModbusTcp: return "tcp";
    case NetProtocol::Rfc2217: return "rfc2217";
    default: return "rtu+tcp";
    }
}

std::string NetAddress::url() const {
    const bool v6 = host.find(':') != std::string::npos;
    return std::string(NetScheme(protocol)) + "://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool IsNetAddress(const std::string& name) { return name.find("://") != std::string::npos; }

std::optional<NetAddress> ParseNetAddress(const std::string& text) {
    const size_t sep = text.find("://");
    if (sep == std::string::npos) return std::nullopt;
    std::string scheme = text.substr(0, sep);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    NetAddress a;
    if (scheme == "rtu+tcp") a.protocol = NetProtocol::RtuOverTcp;
    else if (scheme == "tcp") a.protocol = NetProtocol::ModbusTcp;
    else if (scheme == "rfc2217") a.protocol = NetProtocol::Rfc2217;
    else return std::nullopt;

    std::string rest = text.substr(sep + 3);
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    std::string port;
    if (!rest.empty() && rest[0] == '[') {
        const size_t close = rest.find(']');
        if (close == std::string::npos) return std::nullopt;
        a.host = rest.substr(1, close - 1);
        const std::string after = rest.substr(close + 1);
        if (!after.empty() && after[0] != ':') return std::nullopt;
        if (!after.empty()) port = after.substr(1);
        if (!after.empty() && port.empty()) return std::nullopt;
    } else {
        const size_t colon = rest.rfind(':');
        a.host = rest.substr(0, colon);
        if (colon != std::string::npos) {
            port = rest.substr(colon + 1);
            if (port.empty()) return std::nullopt;
        }
    }
    // A name or IPv4 address; in brackets an IPv6 address (two colons at
    // least, hex digits, maybe a zone after '%').
    const bool v6 = rest[0] == '[';
    const std::string digits = a.host.substr(0, a.host.find('%'));
    const bool hostOk =
        !a.host.empty() &&
        (v6 ? std::count(digits.begin(), digits.end(), ':') >= 2 &&
                  std::all_of(digits.begin(), digits.end(),
                              [](unsigned char c) { return std::isxdigit(c) || c == ':' || c == '.'; })
            : std::all_of(a.host.begin(), a.host.end(),
                          [](unsigned char c) { return std::isalnum(c) || c == '.' || c == '-' || c == '_'; }));
    if (!hostOk) return std::nullopt;
    if (port.empty()) {
        // Only MODBUS TCP has a port of its own; device servers are set up
        // with one per serial port.
        if (a.protocol != NetProtocol::ModbusTcp) return std::nullopt;
        a.port = 502;
        return a;
    }
    if (port.size() > 5 || !std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    const long n = std::stol(port);
    if (n < 1 || n > 65535) return std::nullopt;
    a.port = uint16_t(n);
    return a;
}

// ---------------------------------------------------------------- connection

// One connection to a peer, kept across the leases of the devices that use
// it in turn.  Everything runs on the scheduler's thread.
class NetConnection {
public:
    NetConnection(const NetAddress& address, Scheduler& scheduler, NetSystem& net, const NetBackend& backend)
        : address_(address), scheduler_(scheduler), net_(net), backend_(backend),
          codec_(MakeLinkCodec(address.protocol)) {
        tick_ = scheduler_.createTimer([this] { tick(); });
        tick_->setInterval(TickMs);
        idle_ = scheduler_.createTimer([this] {
            idle_->setEnabled(false);
            close();
        });
    }

    bool leased() const { return leased_; }

    // A device takes the connection: a connection that is not up, or that
    // went down while nobody held it, is made afresh.
    void lease() {
        leased_ = true;
        idle_->setEnabled(false);
        request_.clear();
        if (state_ == State::Up) pump();
        in_.clear();
        // A connection found made may have been closed by the peer just
        // now, unseen: its first request may go again on a new one.
        retry_ = state_ == State::Up;
        if (state_ == State::Closed || state_ == State::Failed) start();
    }
    // The device is gone: a request still held goes nowhere, and a
    // connection that is up is kept for a while for the next device.
    void release() {
        leased_ = false;
        listener_ = nullptr;
        in_.clear();
        holding_ = false;
        if (state_ == State::Up) {
            idle_->setInterval(backend_.IdleCloseMs);
            idle_->setEnabled(true);
        } else {
            close();
        }
    }

    void setListener(LinkListener l) { listener_ = std::move(l); }
    bool holding() const { return holding_; }
    int error() const { return error_; }
    int handle() const { return stream_ ? stream_->readableHandle() : -1; }

    void configure(const LineSettings& s) {
        settings_ = s;
        codec_->configure(s, out_);
        flush();
    }
    void purge(bool rx, bool tx) {
        // What came before is read and dropped through the codec, which
        // must follow the stream's framing.
        if (rx) {
            pump();
            in_.clear();
        }
        codec_->purge(rx, tx, out_);
        flush();
    }
    long read(uint8_t* buf, size_t n) {
        pump();
        if (in_.empty()) return state_ == State::Failed ? -1 : 0;
        const size_t k = std::min(n, in_.size());
        std::copy(in_.begin(), in_.begin() + long(k), buf);
        in_.erase(in_.begin(), in_.begin() + long(k));
        return long(k);
    }
    long write(const uint8_t* buf, size_t n) {
        if (state_ == State::Failed) return -1;
        request_.assign(buf, buf + n);
        heard_ = false;
        codec_->encode(buf, n, out_);
        flush();
        // Not all of it could leave: the master waits for the note.
        holding_ = !out_.empty();
        return long(n);
    }

private:
    enum class State { Closed, Resolving, Connecting, Up, Failed };
    static constexpr int TickMs = 5;
    // The peer's bytes waiting for the master that are read at most.
    static constexpr size_t MaxWaiting = 4096;

    void start() {
        close();
        error_ = 0;
        deadlineMs_ = scheduler_.nowMs() + uint32_t(std::max(backend_.ConnectTimeoutMs, 1));
        codec_->start(out_);
        state_ = State::Resolving;
        resolution_ = net_.resolve(address_.host, address_.port);
        tick_->setEnabled(true);
        tick();
    }
    void close() {
        tick_->setEnabled(false);
        stream_.reset();
        resolution_.reset();
        out_.clear();
        holding_ = false;
        if (state_ != State::Failed) state_ = State::Closed;
    }
    void fail(int error) {
        if (retry_ && leased_ && !heard_ && !request_.empty()) {
            // The peer closed a kept connection before it said anything
            // (a gateway that drops idle connections, restarted): the
            // request cannot have been answered, and goes again on a new
            // connection, once.  The master's wait counts from then.
            retry_ = false;
            start();
            if (settings_) codec_->configure(*settings_, out_);
            codec_->encode(request_.data(), request_.size(), out_);
            holding_ = true;
            flush();
            return;
        }
        close();
        state_ = State::Failed;
        error_ = error ? error : ECONNRESET;
    }
    // Tries the endpoints in turn; the last failure is the one reported.
    void connectNext() {
        while (next_ < endpoints_.size()) {
            int error = 0;
            stream_ = net_.connect(endpoints_[next_++], error);
            if (stream_) {
                state_ = State::Connecting;
                return;
            }
            lastError_ = error;
        }
        fail(lastError_ ? lastError_ : ECONNREFUSED);
    }
    void tick() {
        if (state_ == State::Resolving || state_ == State::Connecting) {
            if (int32_t(scheduler_.nowMs() - deadlineMs_) >= 0) {
                fail(ETIMEDOUT);
                return;
            }
        }
        if (state_ == State::Resolving) {
            if (!resolution_->done()) return;
            if (resolution_->error()) {
                fail(resolution_->error());
                return;
            }
            endpoints_ = resolution_->endpoints();
            resolution_.reset();
            next_ = 0;
            lastError_ = 0;
            connectNext();
        }
        while (state_ == State::Connecting) {
            const int s = stream_->connectState();
            if (s == EINPROGRESS) return;
            if (s == 0) {
                state_ = State::Up;
                break;
            }
            lastError_ = s;
            stream_.reset();
            connectNext();
        }
        if (state_ == State::Up) flush();
        if (state_ != State::Resolving && state_ != State::Connecting && out_.empty()) tick_->setEnabled(false);
    }
    // Sends what waits; when a request that was held has left, says so.
    void flush() {
        if (state_ != State::Up) {
            if (!out_.empty() && state_ != State::Failed) tick_->setEnabled(true);
            return;
        }
        while (!out_.empty()) {
            int error = 0;
            const long k = stream_->send(out_.data(), out_.size(), error);
            if (k < 0) {
                fail(error);
                return;
            }
            if (k == 0) break;
            out_.erase(out_.begin(), out_.begin() + k);
        }
        if (!out_.empty()) {
            tick_->setEnabled(true);
            return;
        }
        if (holding_) {
            holding_ = false;
            if (listener_) listener_(LinkNote::Sent, nullptr, 0);
        }
    }
    // Takes what the peer sent, through the codec.
    void pump() {
        if (state_ != State::Up) return;
        uint8_t buf[1024];
        while (in_.size() < MaxWaiting) {
            int error = 0;
            const long k = stream_->recv(buf, sizeof buf, error);
            if (k < 0) {
                fail(error);
                return;
            }
            if (k == 0) break;
            heard_ = true;
            if (!codec_->decode(buf, size_t(k), in_, out_, listener_)) {
                fail(EPROTO);
                return;
            }
        }
        flush();
    }

    NetAddress address_;
    Scheduler& scheduler_;
    NetSystem& net_;
    const NetBackend& backend_;
    std::unique_ptr<LinkCodec> codec_;
    std::unique_ptr<Timer> tick_;   // while the connection is being made or bytes wait to leave
    std::unique_ptr<Timer> idle_;   // closes a connection nobody holds
    State state_ = State::Closed;
    bool leased_ = false;
    bool holding_ = false;          // the master's last bytes have not all left
    bool retry_ = false;            // the request may go again if the kept connection was dropped
    bool heard_ = false;            // the peer has sent something since the request
    std::vector<uint8_t> request_;  // the master's last bytes, as written
    std::optional<LineSettings> settings_;
    int error_ = 0;
    int lastError_ = 0;
    uint32_t deadlineMs_ = 0;
    std::shared_ptr<NetResolution> resolution_;
    std::vector<NetEndpoint> endpoints_;
    size_t next_ = 0;
    std::unique_ptr<NetStream> stream_;
    std::vector<uint8_t> out_;   // for the peer, not yet sent
    std::vector<uint8_t> in_;    // for the master, not yet read
    LinkListener listener_;
};

namespace {

// A device's lease on a connection.
class NetDevice : public SerialDevice {
public:
    NetDevice(std::shared_ptr<NetConnection> c, std::string url) : c_(std::move(c)), url_(std::move(url)) {
        c_->lease();
    }
    ~NetDevice() override { c_->release(); }
    void configure(const LineSettings& s) override { c_->configure(s); }
    void purge(bool rx, bool tx) override { c_->purge(rx, tx); }
    // The link takes every byte written at once.
    int outQueued() override { return 0; }
    long read(uint8_t* buf, size_t n) override { return c_->read(buf, n); }
    long write(const uint8_t* buf, size_t n) override { return c_->write(buf, n); }
    bool waitWritable(int) override { return c_->error() == 0; }
    int lastError() const override { return c_->error(); }
    std::string identity() const override { return url_; }
    // No descriptor stands for the port: the socket's bytes are the link's
    // own (framed, escaped) and must not be read by anyone else.
    int nativeHandle() const override { return -1; }
    int readableHandle() override { return c_->handle(); }
    void release() override {}
    bool overNetwork() const override { return true; }
    bool holdsWritten() const override { return c_->holding(); }
    void setLinkListener(LinkListener listener) override { c_->setListener(std::move(listener)); }

private:
    std::shared_ptr<NetConnection> c_;
    std::string url_;
};

} // namespace

// ---------------------------------------------------------------- backends

NetBackend::NetBackend(Scheduler& scheduler, NetSystem& net) : scheduler_(scheduler), net_(net) {}

NetBackend::~NetBackend() = default;

std::unique_ptr<SerialDevice> NetBackend::open(int) {
    lastOpenError_ = ENODEV;
    return nullptr;
}

std::unique_ptr<SerialDevice> NetBackend::openPath(const std::string& url) {
    lastOpenError_ = 0;
    const std::optional<NetAddress> address = ParseNetAddress(url);
    if (!address) {
        lastOpenError_ = EINVAL;
        return nullptr;
    }
    const std::string key = address->url();
    std::shared_ptr<NetConnection>& c = connections_[key];
    if (!c) c = std::make_shared<NetConnection>(*address, scheduler_, net_, *this);
    if (c->leased()) {
        lastOpenError_ = EBUSY;
        return nullptr;
    }
    return std::make_unique<NetDevice>(c, key);
}

std::unique_ptr<SerialDevice> LinkBackend::open(int portNumber) {
    last_ = &serial_;
    return serial_.open(portNumber);
}

std::unique_ptr<SerialDevice> LinkBackend::openPath(const std::string& path) {
    last_ = IsNetAddress(path) ? &net_ : &serial_;
    return last_->openPath(path);
}

} // namespace orn
