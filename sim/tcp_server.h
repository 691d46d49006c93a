// A simulated line served over TCP, in real time: as a device server in raw
// mode (RTU frames as they are) or as a MODBUS TCP gateway (MBAP frames).
//
// Several masters may connect at once, as to a real gateway: the line is
// one, so their requests take turns.  A request goes onto the line when the
// one before has been answered or given up (the gateway's timeout), and the
// answer goes back to the connection that asked.  A raw server passes the
// answer's bytes on as the line delivers them, paced like a UART, so they
// reach the master in pieces; bytes that come after a request was given up
// go to the connection that asked last, as a late answer would on a line.
// A gateway waits for the whole answer, takes the addressed instrument's
// frame with a good CRC and sends it in one MBAP frame with the request's
// transaction id; an instrument that stays silent gets no reply.  Network
// faults add latency to everything sent and hold each answer back part way.
#pragma once

#include "net_codec.h"
#include "net_socket.h"
#include "sim_line.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <list>
#include <mutex>
#include <string>

namespace orn::sim {

struct NetFaults {
    int latencyMs = 0;     // added to every byte sent to a master
    int splitGapMs = 0;    // held back within each answer, after splitAfter bytes (0: not)
    int splitAfter = 3;
};

class TcpServer {
public:
    // How long a request holds the line when its answer does not end: then
    // the next request goes.
    static constexpr int GatewayTimeoutMs = 1000;

    // `protocol` is RtuOverTcp or ModbusTcp.  The line must outlive the
    // server; its clock becomes real time.
    TcpServer(SimLine& line, NetProtocol protocol, NetFaults faults = {});
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Listens on host:port (port 0: a free one); false with a message.
    bool listen(const std::string& host, uint16_t port, std::string& error);
    uint16_t port() const { return port_; }
    // The address to give a master: "rtu+tcp://127.0.0.1:PORT", "tcp://...".
    std::string url() const;

    // Serves until stop(); 0, or 1 when it is not listening.
    int run();
    // Ends run().  Safe from any thread and from a signal handler.
    void stop() { stopping_ = true; }

    // Runs f(line) while the server leaves the line alone.
    template <class F> void withLine(F&& f) {
        std::lock_guard<std::mutex> lock(mutex_);
        line_.sync();
        f(line_);
    }

private:
    struct Client;
    struct Request {
        Client* client;
        uint16_t transaction;
        std::vector<uint8_t> frame;   // RTU, with its CRC
    };

    int64_t nowUs() const;
    void accept();
    // Reads a master's bytes; false when it has gone.
    bool takeFrom(Client& c);
    void drop(Client& c);
    // Moves the line on: answer bytes to their master, the next request on.
    void serveLine(int64_t now);
    void endTurn();
    // Queues bytes for a master, with the faults' delays.
    void queueFor(Client& c, const std::vector<uint8_t>& bytes, int64_t now);
    void sendDue(int64_t now);
    // When something must happen next (INT64_MAX: only when a master speaks).
    int64_t nextDueUs() const;

    SimLine& line_;
    NetProtocol protocol_;
    NetFaults faults_;
    std::mutex mutex_;
    int64_t startNs_;
    TcpSocket listener_;
    uint16_t port_ = 0;
    std::string host_;
    std::list<Client> clients_;
    std::deque<Request> queue_;
    // The request on the line: its master, when it went, what came back.
    Client* owner_ = nullptr;
    Client* lastOwner_ = nullptr;
    bool turn_ = false;
    Request current_{};
    int64_t turnStartUs_ = 0;
    std::vector<uint8_t> answer_;
    size_t answerSent_ = 0;   // bytes of this answer queued (for the split fault)
    std::atomic<bool> stopping_{false};
};

} // namespace orn::sim
