// The network links on a virtual clock and a scripted network: the master's
// cycle through each of the three transports, the connection's life
// (kept, closed when idle, made again after a drop) and the failures it
// reports.
#include "fake_line.h"
#include "fake_net.h"
#include "modbusm.h"
#include "net_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>

using namespace orn;
using orn::test::FakeNet;
using orn::test::FakePeer;
using orn::test::Hex;
using orn::test::ToHex;
using orn::test::WithCrc;

namespace {

const NetProtocol Protocols[] = {NetProtocol::RtuOverTcp, NetProtocol::ModbusTcp, NetProtocol::Rfc2217};

// The far end as a device server or gateway of `protocol` sees and says it.
struct PeerSide {
    PeerSide(NetProtocol p, FakePeer* f) : protocol(p), peer(f) {}
    NetProtocol protocol;
    FakePeer* peer;
    size_t taken = 0;                 // bytes of peer->received looked at
    std::vector<uint16_t> tids;       // MODBUS TCP: transaction ids of the requests, in order
    std::vector<std::vector<uint8_t>> requests;   // as RTU frames
    std::vector<std::vector<uint8_t>> settings;   // RFC 2217: COM Port Control subnegotiations

    // Takes what the link sent since the last look.
    void look() {
        const std::vector<uint8_t>& r = peer->received;
        std::vector<uint8_t> data;
        while (taken < r.size()) {
            if (protocol == NetProtocol::ModbusTcp) {
                const size_t n = MbapFrameLength(&r[taken], r.size() - taken);
                ASSERT_NE(n, SIZE_MAX);
                if (n == 0 || taken + n > r.size()) return;
                tids.push_back(uint16_t(r[taken] << 8 | r[taken + 1]));
                requests.push_back(MbapToRtu(&r[taken], n));
                taken += n;
                continue;
            }
            if (protocol == NetProtocol::Rfc2217 && r[taken] == 0xFF) {
                const uint8_t verb = r[taken + 1];
                if (verb == 0xFF) data.push_back(0xFF), taken += 2;
                else if (verb == 250) {   // SB ... IAC SE
                    size_t end = taken + 2;
                    while (!(r[end] == 0xFF && r[end + 1] == 240)) end += r[end] == 0xFF ? 2 : 1;
                    settings.emplace_back(r.begin() + long(taken) + 3, r.begin() + long(end));
                    taken = end + 2;
                } else taken += 3;
                continue;
            }
            data.push_back(r[taken++]);
        }
        for (size_t at = 0; at < data.size();) {
            const size_t n = std::min(RtuRequestLength(&data[at], data.size() - at), data.size() - at);
            requests.emplace_back(data.begin() + long(at), data.begin() + long(at + n));
            at += n;
        }
    }
    // An RTU frame as this peer sends it, for the request `ago` requests back.
    std::vector<uint8_t> say(const std::vector<uint8_t>& rtu, size_t ago = 0) {
        look();
        if (protocol == NetProtocol::ModbusTcp) return RtuToMbap(rtu.data(), rtu.size(), tids[tids.size() - 1 - ago]);
        std::vector<uint8_t> out;
        // A device server's own news between the data: a modem state report.
        if (protocol == NetProtocol::Rfc2217) out = {0xFF, 250, 44, 107, 0x30, 0xFF, 240};
        for (uint8_t b : rtu) {
            out.push_back(b);
            if (protocol == NetProtocol::Rfc2217 && b == 0xFF) out.push_back(0xFF);
        }
        return out;
    }
};

struct Rig {
    VirtualScheduler clock;
    FakeNet net{clock};
    NetBackend backend{clock, net};
    TModbusM mb{clock, backend};
    std::vector<int> codes;
    std::vector<int64_t> endsMs;
    std::string seen;   // line events: L late, O outcome

    explicit Rig(NetProtocol p) {
        mb.SetComPortPath(NetAddress{p, "gw", 4001}.url());
        mb.OnResponseReady = [this](TModbusM*) { end(0); };
        mb.OnError = [this](TModbusM* m, const std::string&) { end(m->ErrorCode()); };
        mb.OnLine = [this](const LineEvent& e) {
            if (e.kind == LineEventKind::Late) seen += "L";
        };
        mb.SetFTimeout(450);
    }
    void end(int code) {
        codes.push_back(code);
        endsMs.push_back(clock.nowUs() / 1000);
    }
    void read(uint8_t slave) {
        mb.SlaveId = slave;
        mb.FunctionCode = 3;
        mb.Offset = 1;
        mb.Quantity = 1;
        ASSERT_TRUE(mb.Connect());
        mb.Query();
    }
};

} // namespace

// The cycle's cases through each transport.  Words: "ans" the answer,
// "late" the answer to the request before (to slave 5, timed out), "for"
// another slave's frame, "exc" exception 2, "h1"/"h2" the answer in two
// pieces, "0B" a gateway's word that the instrument did not answer (MODBUS
// TCP only), "|" the next poll, "@N" N ms after the request left.  The
// answer timeout is 450 ms and the allowance 100 ms; `connectMs` is how
// long the connection takes to be made, during which the request waits.
TEST(NetLink, TheCycleThroughEachTransport) {
    const struct { const char* what; const char* pieces; int code; int atMs; bool late = false; int connectMs = 0; }
        cases[] = {
            {"good answer", "ans |", 0, 100},
            {"exception", "exc |", 2, 100},
            {"no answer: timeout and allowance", "", 7, 550},
            {"late answer of the request before", "late | ans |", 0, 200, true},
            {"foreign frame first", "for ans |", 0, 100},
            {"answer in two pieces", "h1 | h2 |", 0, 200},
            {"answer within the allowance", "@520 ans |", 0, 550},
            {"connection made in 300 ms: the wait counts from the send", "@540 ans |", 0, 550, false, 300},
            {"connection made in 300 ms, no answer", "", 7, 550, false, 300},
        };
    for (NetProtocol p : Protocols)
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(NetScheme(p)) + ": " + c.what);
            TModbusM::ForgetEchoes();
            Rig rig(p);
            if (c.late) {
                rig.read(5);
                rig.clock.advance(600);
                ASSERT_EQ(rig.codes, std::vector<int>{7});
                rig.codes.clear();
                rig.endsMs.clear();
                rig.mb.Disconnect();
            }
            rig.net.connectMs = c.connectMs;
            rig.read(1);
            if (c.connectMs) {
                EXPECT_TRUE(rig.net.peer().received.empty()) << "held until the connection is made";
                rig.clock.advance(c.connectMs);
            }
            const int64_t start = rig.clock.nowUs() / 1000;   // the request has left
            PeerSide peer{p, &rig.net.peer()};
            const std::vector<uint8_t> ans = WithCrc(Hex("01 03 02 12 34"));
            std::istringstream words(c.pieces);
            for (std::string w; words >> w;) {
                const std::vector<uint8_t> said = peer.say(ans);
                const long half = long(said.size() / 2);
                if (w == "ans") rig.net.peer().send(said);
                if (w == "exc") rig.net.peer().send(peer.say(WithCrc(Hex("01 83 02"))));
                if (w == "late") rig.net.peer().send(peer.say(WithCrc(Hex("05 03 02 00 07")), 1));
                if (w == "for") rig.net.peer().send(peer.say(WithCrc(Hex("09 03 02 00 07"))));
                if (w == "h1") rig.net.peer().send({said.begin(), said.begin() + half});
                if (w == "h2") rig.net.peer().send({said.begin() + half, said.end()});
                if (w == "|") rig.clock.advance(100 - (rig.clock.nowUs() / 1000 - start) % 100);
                if (w[0] == '@') rig.clock.advance(start + std::stoi(w.substr(1)) - rig.clock.nowUs() / 1000);
            }
            rig.clock.advance(2000);
            peer.look();
            ASSERT_FALSE(peer.requests.empty());
            EXPECT_EQ(ToHex(peer.requests.back()), "01 03 00 01 00 01 D5 CA");
            EXPECT_EQ(rig.codes, std::vector<int>{c.code});
            if (!rig.endsMs.empty()) {
                EXPECT_EQ(rig.endsMs[0] - start, c.atMs);
            }
            EXPECT_EQ(ToHex(rig.mb.ResponseData()), c.code ? "" : "12 34");
            // Over MODBUS TCP the link drops the late answer by its
            // transaction id; over the others the receive path does.
            EXPECT_EQ(rig.seen, c.late ? "L" : "");
        }
}

// What only one transport does.
TEST(NetLink, WhatEachTransportAddsToTheBytes) {
    // MODBUS TCP: an answer with an earlier transaction id is late even when
    // it looks exactly like this request's answer; a gateway's exception
    // 0B (the instrument did not answer) ends the request as silence.
    {
        Rig rig(NetProtocol::ModbusTcp);
        PeerSide peer{NetProtocol::ModbusTcp, nullptr};
        rig.read(1);
        peer.peer = &rig.net.peer();
        rig.clock.advance(600);
        rig.read(1);
        rig.net.peer().send(peer.say(WithCrc(Hex("01 03 02 00 07")), 1));
        rig.clock.advance(100);
        EXPECT_EQ(rig.seen, "L");
        rig.net.peer().send(peer.say(WithCrc(Hex("01 83 0B"))));
        rig.clock.advance(100);
        EXPECT_EQ(rig.codes, (std::vector<int>{7, 7}));
        EXPECT_EQ(rig.endsMs[1], 800) << "at the poll that took it, not at the timeout";
        EXPECT_EQ(peer.tids, (std::vector<uint16_t>{1, 2}));
        // A peer that breaks the framing cannot be followed: the connection
        // is dropped with the reason.
        rig.read(1);
        rig.net.peer().send({0, 3, 0, 7, 0, 5, 1, 3, 2, 0, 1});
        rig.clock.advance(100);
        EXPECT_EQ(rig.codes.back(), 9);
        EXPECT_EQ(rig.mb.DeviceError(), EPROTO);
    }
    // RFC 2217: the window's speed and parity reach the device server, sent
    // again only when they change; the server's negotiation is answered;
    // 0xFF is doubled both ways.
    {
        Rig rig(NetProtocol::Rfc2217);
        rig.mb.SetComPortBaudRate(br9600);
        rig.mb.SetComPortParity(ptODD);
        rig.read(1);
        PeerSide peer{NetProtocol::Rfc2217, &rig.net.peer()};
        rig.net.peer().send({0xFF, 253, 44, 0xFF, 251, 1});   // DO COM-PORT-OPTION, WILL ECHO
        rig.net.peer().send(peer.say(WithCrc(Hex("01 03 02 FF FF"))));
        rig.clock.advance(100);
        EXPECT_EQ(ToHex(rig.mb.ResponseData()), "FF FF");
        peer.look();
        ASSERT_GE(peer.settings.size(), 3u);
        EXPECT_EQ(ToHex(peer.settings[0]), "01 00 00 25 80") << "9600 bit/s";
        EXPECT_EQ(ToHex(peer.settings[2]), "03 02") << "odd parity";
        const std::vector<uint8_t>& sent = rig.net.peer().received;
        const std::vector<uint8_t> dontEcho{0xFF, 254, 1};
        EXPECT_NE(std::search(sent.begin(), sent.end(), dontEcho.begin(), dontEcho.end()), sent.end());
        const size_t settingsBefore = peer.settings.size();
        rig.mb.Disconnect();
        rig.mb.SlaveId = 0xFF;
        ASSERT_TRUE(rig.mb.Connect());
        rig.mb.Query();
        peer.look();
        EXPECT_EQ(ToHex(peer.requests.back()), "FF 03 00 01 00 01 C0 14");
        EXPECT_EQ(peer.settings.size(), settingsBefore) << "the settings are the same: nothing, not even a purge";
        rig.mb.SetComPortBaudRate(br19200);
        peer.look();
        ASSERT_EQ(peer.settings.size(), settingsBefore + 8);
        EXPECT_EQ(ToHex(peer.settings[settingsBefore]), "01 00 00 4B 00");
        EXPECT_EQ(ToHex(peer.settings.back()), "0C 03") << "with the settings, a purge of both queues";
    }
}

// The connection's life: kept between requests, closed when idle, made
// again after a drop without anyone asking, and each failure with its
// reason.
TEST(NetLink, ConnectionKeptDroppedAndMadeAgain) {
    Rig rig(NetProtocol::RtuOverTcp);
    auto answer = [&] {
        rig.net.peer().send(WithCrc(Hex("01 03 02 00 01")));
        rig.clock.advance(100);
        rig.mb.Disconnect();
    };
    rig.read(1);
    answer();
    rig.read(1);
    answer();
    EXPECT_EQ(rig.net.peers.size(), 1u) << "one connection for both requests";
    EXPECT_EQ(rig.net.resolutions, 1);

    // Closed by the peer while idle: the next request makes it again.
    rig.net.peer().closed = ECONNRESET;
    rig.read(1);
    answer();
    EXPECT_EQ(rig.net.peers.size(), 2u);
    EXPECT_EQ(rig.codes, (std::vector<int>{0, 0, 0}));

    // Closed by the peer under a request on the kept connection before it
    // said anything (seen at the poll): the request goes again on a new
    // connection, and the wait counts from then.
    rig.read(1);
    rig.net.peer().closed = ECONNRESET;
    rig.clock.advance(100);
    ASSERT_EQ(rig.net.peers.size(), 3u);
    EXPECT_EQ(ToHex(rig.net.peer().received), "01 03 00 01 00 01 D5 CA");
    rig.clock.advance(400 + 100 - 1);
    EXPECT_EQ(rig.codes.size(), 3u) << "still waiting, 500 ms after the second send";
    answer();
    EXPECT_EQ(rig.codes.back(), 0);

    // Closed after it began to answer: a port failure with its reason, and
    // the next request is answered on a new connection.
    rig.read(1);
    rig.net.peer().send(Hex("01 03"));
    rig.net.peer().closed = ECONNRESET;
    rig.clock.advance(200);
    EXPECT_EQ(rig.codes.back(), 9);
    EXPECT_EQ(rig.mb.DeviceError(), ECONNRESET);
    rig.mb.Disconnect();
    rig.read(1);
    answer();
    EXPECT_EQ(rig.codes.back(), 0);
    EXPECT_EQ(rig.net.peers.size(), 4u);

    // Nobody holds it for the idle time: closed; the next one connects.
    rig.clock.advance(rig.backend.IdleCloseMs + 10);
    rig.read(1);
    EXPECT_EQ(rig.net.peers.size(), 5u);
    answer();

    // A master destroyed while its request waits for the connection:
    // nothing fires and nothing is left running.
    {
        Rig r(NetProtocol::Rfc2217);
        r.net.connectMs = 300;
        auto m = std::make_unique<TModbusM>(r.clock, r.backend);
        m->OnError = [&](TModbusM*, const std::string&) { ADD_FAILURE() << "fired"; };
        m->SetComPortPath("rfc2217://gw:2217");
        m->FunctionCode = 3;
        m->Quantity = 1;
        ASSERT_TRUE(m->Connect());
        m->Query();
        m.reset();
        r.clock.advance(1000);
        r.mb.Disconnect();
        EXPECT_EQ(r.clock.runningTimers(), 0);
    }

    // Failures, each with its reason, reported at the first poll.
    const struct { const char* what; int resolveError, connectError; bool never; int reason; int atMs; } failures[] = {
        {"name not found", NetNameNotFound, 0, false, NetNameNotFound, 0},
        {"refused", 0, ECONNREFUSED, false, ECONNREFUSED, 0},
        {"no route", 0, EHOSTUNREACH, false, EHOSTUNREACH, 0},
        {"nobody answers", 0, 0, true, ETIMEDOUT, 5000},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.what);
        Rig r(NetProtocol::ModbusTcp);
        r.net.resolveError = f.resolveError;
        r.net.connectError = f.connectError;
        r.net.neverConnects = f.never;
        r.read(1);
        r.clock.advance(6000);
        EXPECT_EQ(r.codes, std::vector<int>{9});
        EXPECT_EQ(r.mb.DeviceError(), f.reason);
        EXPECT_NEAR(r.endsMs[0], f.atMs, 100) << "at the latest at the poll after it is known";
        r.mb.Disconnect();
        EXPECT_EQ(r.clock.runningTimers(), 0) << "nothing left running";
    }
}

TEST(NetLink, Addresses) {
    const struct { const char* text; const char* url; } cases[] = {
        {"rtu+tcp://10.0.0.5:4001", "rtu+tcp://10.0.0.5:4001"},
        {"tcp://gateway", "tcp://gateway:502"},
        {"TCP://gateway:1502/", "tcp://gateway:1502"},
        {"rfc2217://[fe80::1]:2217", "rfc2217://[fe80::1]:2217"},
        {"rtu+tcp://host", ""},
        {"rfc2217://host:0", ""},
        {"tcp://host:65536", ""},
        {"tcp://:502", ""},
        {"tcp://ho st:502", ""},
        {"tcp://[10.0.0.5:99]:502", ""},
        {"tcp://fe80::1:502", ""},
        {"udp://host:502", ""},
        {"/dev/ttyUSB0", ""},
    };
    for (const auto& c : cases) {
        const auto a = ParseNetAddress(c.text);
        EXPECT_EQ(a ? a->url() : "", c.url) << c.text;
    }
}
