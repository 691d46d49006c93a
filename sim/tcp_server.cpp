#include "tcp_server.h"

#include "frames.h"
#include "net_link.h"

#include <algorithm>
#include <chrono>
#include <climits>

namespace orn::sim {

struct TcpServer::Client {
    struct Chunk {
        int64_t dueUs;
        std::vector<uint8_t> bytes;
    };
    TcpSocket socket;
    std::vector<uint8_t> rx;   // the master's bytes until they make a request
    std::deque<Chunk> tx;      // for the master, each when it is due
    int64_t lastDueUs = 0;
    bool gone = false;
};

namespace {

int64_t MonotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

TcpServer::TcpServer(SimLine& line, NetProtocol protocol, NetFaults faults)
    : line_(line), protocol_(protocol), faults_(faults), startNs_(MonotonicNs()) {
    line_.setClock([this] { return nowUs(); });
}

TcpServer::~TcpServer() { line_.setClock(nullptr); }

int64_t TcpServer::nowUs() const { return (MonotonicNs() - startNs_) / 1000; }

bool TcpServer::listen(const std::string& host, uint16_t port, std::string& error) {
    int err = 0;
    listener_ = TcpSocket::Listen(host, port, err);
    if (!listener_.valid()) {
        error = "cannot listen on " + host + ":" + std::to_string(port) + " (error " + std::to_string(err) + ")";
        return false;
    }
    host_ = host;
    port_ = listener_.localPort();
    return true;
}

std::string TcpServer::url() const { return NetAddress{protocol_, host_, port_}.url(); }

void TcpServer::accept() {
    for (;;) {
        int error = 0;
        TcpSocket s = listener_.accept(error);
        if (!s.valid()) return;
        clients_.emplace_back();
        clients_.back().socket = std::move(s);
    }
}

bool TcpServer::takeFrom(Client& c) {
    uint8_t buf[1024];
    for (;;) {
        int error = 0;
        const long n = c.socket.recv(buf, sizeof buf, error);
        if (n < 0) return false;
        if (n == 0) break;
        c.rx.insert(c.rx.end(), buf, buf + n);
    }
    for (;;) {
        if (protocol_ == NetProtocol::ModbusTcp) {
            const size_t n = MbapFrameLength(c.rx.data(), c.rx.size());
            // A gateway closes a connection that speaks no MODBUS TCP.
            if (n == SIZE_MAX) return false;
            if (n == 0 || c.rx.size() < n) return true;
            queue_.push_back({&c, uint16_t(c.rx[0] << 8 | c.rx[1]), MbapToRtu(c.rx.data(), n)});
            c.rx.erase(c.rx.begin(), c.rx.begin() + long(n));
            continue;
        }
        // Raw: whole requests take turns; bytes that begin none go to the
        // line as they are, where the instruments ignore them.
        const size_t want = RtuRequestLength(c.rx.data(), c.rx.size());
        if (want == 0 || (want != SIZE_MAX && c.rx.size() < want)) return true;
        const size_t n = want == SIZE_MAX ? c.rx.size() : want;
        queue_.push_back({&c, 0, std::vector<uint8_t>(c.rx.begin(), c.rx.begin() + long(n))});
        c.rx.erase(c.rx.begin(), c.rx.begin() + long(n));
        if (c.rx.empty()) return true;
    }
}

void TcpServer::drop(Client& c) {
    c.gone = true;
    queue_.erase(std::remove_if(queue_.begin(), queue_.end(), [&](const Request& r) { return r.client == &c; }),
                 queue_.end());
    if (owner_ == &c) owner_ = nullptr;
    if (lastOwner_ == &c) lastOwner_ = nullptr;
}

void TcpServer::queueFor(Client& c, const std::vector<uint8_t>& bytes, int64_t now) {
    const int64_t due = now + int64_t(faults_.latencyMs) * 1000;
    size_t at = 0;
    // Within the answer on the line, the bytes after the first few are held back.
    if (turn_ && faults_.splitGapMs > 0 && answerSent_ < size_t(faults_.splitAfter)) {
        at = std::min(bytes.size(), size_t(faults_.splitAfter) - answerSent_);
        c.tx.push_back({std::max(due, c.lastDueUs), {bytes.begin(), bytes.begin() + long(at)}});
        c.lastDueUs = c.tx.back().dueUs;
    }
    const bool held = turn_ && faults_.splitGapMs > 0 && answerSent_ + at >= size_t(faults_.splitAfter);
    if (turn_) answerSent_ += bytes.size();
    if (at == bytes.size()) return;
    const int64_t rest = due + (held ? int64_t(faults_.splitGapMs) * 1000 : 0);
    c.tx.push_back({std::max(rest, c.lastDueUs), {bytes.begin() + long(at), bytes.end()}});
    c.lastDueUs = c.tx.back().dueUs;
}

void TcpServer::endTurn() {
    if (protocol_ == NetProtocol::ModbusTcp && owner_) {
        // The addressed instrument's whole frame with a good CRC, as a
        // gateway takes it off the line; anything else is no answer.
        const uint8_t unit = current_.frame.empty() ? 0 : current_.frame[0];
        for (size_t i = 0; i < answer_.size(); ++i) {
            if (answer_[i] != unit) continue;
            const size_t n = AnnouncedLength(&answer_[i], answer_.size() - i, 2);
            if (n > answer_.size() - i || !FrameCRCValid(&answer_[i], n)) continue;
            queueFor(*owner_, RtuToMbap(&answer_[i], n, current_.transaction), nowUs());
            break;
        }
    }
    turn_ = false;
    owner_ = nullptr;
}

void TcpServer::serveLine(int64_t now) {
    uint8_t buf[512];
    const size_t n = line_.receive(buf, sizeof buf, now);
    if (n > 0) {
        if (protocol_ == NetProtocol::ModbusTcp) {
            if (turn_) answer_.insert(answer_.end(), buf, buf + n);
        } else if (Client* to = turn_ ? owner_ : lastOwner_) {
            queueFor(*to, std::vector<uint8_t>(buf, buf + n), now);
        }
    }
    if (turn_ && (line_.nextEventUs() == INT64_MAX || now - turnStartUs_ >= int64_t(GatewayTimeoutMs) * 1000))
        endTurn();
    if (!turn_ && !queue_.empty()) {
        current_ = queue_.front();
        queue_.pop_front();
        turn_ = true;
        owner_ = lastOwner_ = current_.client;
        turnStartUs_ = now;
        answer_.clear();
        answerSent_ = 0;
        line_.send(current_.frame.data(), current_.frame.size(), now);
    }
}

void TcpServer::sendDue(int64_t now) {
    for (Client& c : clients_) {
        while (!c.gone && !c.tx.empty() && c.tx.front().dueUs <= now) {
            std::vector<uint8_t>& b = c.tx.front().bytes;
            int error = 0;
            const long k = c.socket.send(b.data(), b.size(), error);
            if (k < 0) {
                drop(c);
                break;
            }
            if (size_t(k) < b.size()) {
                b.erase(b.begin(), b.begin() + k);
                break;
            }
            c.tx.pop_front();
        }
    }
}

int64_t TcpServer::nextDueUs() const {
    int64_t next = line_.nextEventUs();
    if (turn_) next = std::min(next, turnStartUs_ + int64_t(GatewayTimeoutMs) * 1000);
    for (const Client& c : clients_)
        if (!c.tx.empty()) next = std::min(next, c.tx.front().dueUs);
    return next;
}

int TcpServer::run() {
    if (!listener_.valid()) return 1;
    while (!stopping_) {
        const int64_t now = nowUs();
        int64_t next;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            serveLine(now);
            sendDue(now);
            next = nextDueUs();
        }
        for (auto it = clients_.begin(); it != clients_.end();) {
            if (it->gone) it = clients_.erase(it);
            else ++it;
        }
        // A stop is seen within 50 ms.
        const int64_t waitUs = next == INT64_MAX ? 50000 : std::clamp<int64_t>(next - nowUs(), 0, 50000);
        std::vector<const TcpSocket*> sockets{&listener_};
        for (const Client& c : clients_) sockets.push_back(&c.socket);
        std::vector<bool> ready;
        if (!WaitReadable(sockets, int((waitUs + 999) / 1000), ready)) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        if (ready[0]) accept();
        size_t i = 1;
        for (Client& c : clients_)
            if (i < ready.size() && ready[i++] && !takeFrom(c)) drop(c);
    }
    return 0;
}

} // namespace orn::sim
