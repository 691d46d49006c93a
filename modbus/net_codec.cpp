#include "net_codec.h"

#include "frames.h"

#include <algorithm>
#include <array>

namespace orn {

// ---------------------------------------------------------------- MBAP

std::vector<uint8_t> RtuToMbap(const uint8_t* rtu, size_t n, uint16_t transaction) {
    const size_t body = n >= 2 ? n - 2 : 0;   // unit id and PDU
    // Sized at once: GCC 12 at -O3 takes an insert after the header for a
    // write past its end (-Warray-bounds).
    std::vector<uint8_t> out(6 + body);
    out[0] = uint8_t(transaction >> 8);
    out[1] = uint8_t(transaction & 0xFF);
    out[4] = uint8_t(body >> 8);
    out[5] = uint8_t(body & 0xFF);
    std::copy(rtu, rtu + body, out.begin() + 6);
    return out;
}

size_t MbapFrameLength(const uint8_t* p, size_t n) {
    if (n < 6) return 0;
    const unsigned protocol = unsigned(p[2]) << 8 | p[3];
    const size_t length = size_t(p[4]) << 8 | p[5];
    // The unit id and at least a function byte; no PDU is longer than 253.
    if (protocol != 0 || length < 2 || length > 254) return SIZE_MAX;
    return 6 + length;
}

std::vector<uint8_t> MbapToRtu(const uint8_t* mbap, size_t n) {
    std::vector<uint8_t> rtu(mbap + 6, mbap + n);
    rtu.resize(rtu.size() + 2);
    SetFrameCRC(rtu);
    return rtu;
}

size_t RtuRequestLength(const uint8_t* p, size_t n) {
    if (n < 2) return 0;
    switch (p[1]) {
    case 1: case 2: case 3: case 4: case 5: case 6: return 8;
    case 15: case 16: return n < 7 ? 0 : 9 + size_t(p[6]);
    default: return SIZE_MAX;
    }
}

namespace {

// Exception codes of a gateway: 0x0A no path to the instrument, 0x0B the
// instrument did not answer.  Neither is the instrument's answer.
bool GatewaySilence(const std::vector<uint8_t>& rtu) {
    return rtu.size() == 5 && (rtu[1] & 0x80) && (rtu[2] == 0x0A || rtu[2] == 0x0B);
}

// RTU frames as they are.
class RawCodec : public LinkCodec {
public:
    void encode(const uint8_t* data, size_t n, Bytes& out) override { out.insert(out.end(), data, data + n); }
    bool decode(const uint8_t* data, size_t n, Bytes& in, Bytes&, const LinkListener&) override {
        in.insert(in.end(), data, data + n);
        return true;
    }
};

// Each request in an MBAP frame with a transaction id of its own; only the
// answer with the id of the last request sent reaches the master, others
// are late.
class MbapCodec : public LinkCodec {
public:
    void start(Bytes&) override {
        request_.clear();
        rx_.clear();
        open_ = false;
    }
    void encode(const uint8_t* data, size_t n, Bytes& out) override {
        request_.insert(request_.end(), data, data + n);
        for (;;) {
            const size_t length = RtuRequestLength(request_.data(), request_.size());
            if (length == 0 || (length != SIZE_MAX && request_.size() < length)) return;
            // Bytes that begin no request the master builds cannot be framed.
            if (length == SIZE_MAX || length > MaxRtuFrame) {
                request_.clear();
                return;
            }
            if (FrameCRCValid(request_.data(), length)) {
                ++transaction_;
                open_ = true;
                const Bytes frame = RtuToMbap(request_.data(), length, transaction_);
                out.insert(out.end(), frame.begin(), frame.end());
            }
            request_.erase(request_.begin(), request_.begin() + long(length));
        }
    }
    bool decode(const uint8_t* data, size_t n, Bytes& in, Bytes&, const LinkListener& note) override {
        rx_.insert(rx_.end(), data, data + n);
        for (;;) {
            const size_t length = MbapFrameLength(rx_.data(), rx_.size());
            if (length == SIZE_MAX) return false;
            if (length == 0 || rx_.size() < length) return true;
            const uint16_t transaction = uint16_t(rx_[0] << 8 | rx_[1]);
            const Bytes rtu = MbapToRtu(rx_.data(), length);
            rx_.erase(rx_.begin(), rx_.begin() + long(length));
            if (!open_ || transaction != transaction_) {
                if (note) note(LinkNote::Late, rtu.data(), rtu.size());
            } else if (GatewaySilence(rtu)) {
                if (note) note(LinkNote::NoAnswer, rtu.data(), rtu.size());
            } else {
                in.insert(in.end(), rtu.begin(), rtu.end());
            }
        }
    }

private:
    Bytes request_;   // the master's bytes until they make a whole request
    Bytes rx_;        // the peer's bytes until they make a whole frame
    uint16_t transaction_ = 0;
    bool open_ = false;
};

// Telnet (RFC 854) with the COM Port Control option (RFC 2217).  Data bytes
// 0xFF are doubled both ways; commands and subnegotiations are taken out of
// the stream.  Binary transmission both ways, so that no CR or NUL is
// added or taken; the peer's acknowledgements of settings are not waited
// for (a device server need not send them: ser2net does not acknowledge
// DTR and RTS on a pseudo-terminal).
class TelnetCodec : public LinkCodec {
public:
    enum : uint8_t { SE = 240, SB = 250, WILL = 251, WONT = 252, DO = 253, DONT = 254, IAC = 255 };
    enum : uint8_t { BINARY = 0, SGA = 3, COMPORT = 44 };
    // COM Port Control commands, client to server.
    enum : uint8_t { SetBaud = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, SetControl = 5, PurgeData = 12 };

    void start(Bytes& out) override {
        us_.fill(false);
        him_.fill(false);
        state_ = State::Data;
        configured_ = false;
        for (uint8_t option : {BINARY, SGA, COMPORT}) command(WILL, option, out), us_[option] = true;
        for (uint8_t option : {BINARY, SGA}) command(DO, option, out), him_[option] = true;
    }
    void encode(const uint8_t* data, size_t n, Bytes& out) override {
        for (size_t i = 0; i < n; ++i) {
            out.push_back(data[i]);
            if (data[i] == IAC) out.push_back(IAC);
        }
    }
    bool decode(const uint8_t* data, size_t n, Bytes& in, Bytes& out, const LinkListener&) override {
        for (size_t i = 0; i < n; ++i) {
            const uint8_t b = data[i];
            switch (state_) {
            case State::Data:
                if (b == IAC) state_ = State::Iac;
                else in.push_back(b);
                break;
            case State::Iac:
                if (b == IAC) {
                    in.push_back(IAC);
                    state_ = State::Data;
                } else if (b >= WILL) {
                    verb_ = b;
                    state_ = State::Option;
                } else {
                    state_ = b == SB ? State::Sub : State::Data;   // other commands carry nothing
                }
                break;
            case State::Option:
                negotiate(verb_, b, out);
                state_ = State::Data;
                break;
            case State::Sub:
                // The peer's acknowledgements and line or modem state
                // reports: nothing the master needs.
                if (b == IAC) state_ = State::SubIac;
                break;
            case State::SubIac:
                state_ = b == IAC ? State::Sub : State::Data;   // SE, or a broken one ends it
                break;
            }
        }
        return true;
    }
    void configure(const LineSettings& s, Bytes& out) override {
        // Sent again only when they change: the connection outlives the
        // master's open port.
        if (configured_ && Same(s, settings_)) return;
        configured_ = true;
        purgeAfter_ = true;
        settings_ = s;
        const uint32_t baud = s.baudRate;
        sub(SetBaud, {uint8_t(baud >> 24), uint8_t(baud >> 16), uint8_t(baud >> 8), uint8_t(baud)}, out);
        sub(SetDataSize, {uint8_t(s.dataBits)}, out);
        const uint8_t parity[] = {1, 2, 3, 4, 5};   // none, odd, even, mark, space
        sub(SetParity, {parity[s.parity <= ptSPACE ? s.parity : 0]}, out);
        sub(SetStopSize, {uint8_t(s.stopBits == sb1BITS ? 1 : s.stopBits == sb2BITS ? 2 : 3)}, out);
        sub(SetControl, {uint8_t(s.rtsCts ? 3 : s.xonXoff ? 2 : 1)}, out);
        // DTR and RTS as a local port holds them: low unless asked for.
        sub(SetControl, {uint8_t(s.dtr ? 8 : 9)}, out);
        if (!s.rtsCts) sub(SetControl, {12}, out);
    }
    // The device server's queues are purged with a change of the settings,
    // as a local port's are.  The purge the master asks for at every open
    // of the port stays here: what the server received reaches the link
    // anyway, which drops it itself, and a kept connection is not asked
    // for a round of commands with every request.
    void purge(bool rx, bool tx, Bytes& out) override {
        if (!purgeAfter_ || !(rx || tx)) return;
        purgeAfter_ = false;
        sub(PurgeData, {uint8_t(rx && tx ? 3 : rx ? 1 : 2)}, out);
    }

private:
    enum class State : uint8_t { Data, Iac, Option, Sub, SubIac };

    static bool Same(const LineSettings& a, const LineSettings& b) {
        return a.baudRate == b.baudRate && a.dataBits == b.dataBits && a.stopBits == b.stopBits &&
               a.parity == b.parity && a.rtsCts == b.rtsCts && a.xonXoff == b.xonXoff && a.dtr == b.dtr;
    }
    static void command(uint8_t verb, uint8_t option, Bytes& out) { out.insert(out.end(), {IAC, verb, option}); }
    static void sub(uint8_t cmd, std::initializer_list<uint8_t> value, Bytes& out) {
        out.insert(out.end(), {IAC, SB, COMPORT, cmd});
        for (uint8_t b : value) {
            out.push_back(b);
            if (b == IAC) out.push_back(IAC);
        }
        out.insert(out.end(), {IAC, SE});
    }
    // Agrees to what this link uses and refuses the rest, answering only
    // when the state changes, so that two sides cannot loop.
    void negotiate(uint8_t verb, uint8_t option, Bytes& out) {
        const bool mine = option == BINARY || option == SGA || option == COMPORT;
        const bool his = option == BINARY || option == SGA;
        switch (verb) {
        case DO:
            if (mine && !us_[option]) command(WILL, option, out), us_[option] = true;
            else if (!mine) command(WONT, option, out);
            break;
        case DONT:
            if (us_[option]) command(WONT, option, out), us_[option] = false;
            break;
        case WILL:
            if (his && !him_[option]) command(DO, option, out), him_[option] = true;
            else if (!his) command(DONT, option, out);
            break;
        default:   // WONT
            if (him_[option]) command(DONT, option, out), him_[option] = false;
            break;
        }
    }

    std::array<bool, 256> us_{};    // options this side has agreed to
    std::array<bool, 256> him_{};   // options the peer has agreed to
    State state_ = State::Data;
    uint8_t verb_ = 0;
    bool configured_ = false;
    bool purgeAfter_ = false;   // settings were sent: the next purge goes to the server
    LineSettings settings_;
};

} // namespace

std::unique_ptr<LinkCodec> MakeLinkCodec(NetProtocol protocol) {
    switch (protocol) {
    case NetProtocol::ModbusTcp: return std::make_unique<MbapCodec>();
    case NetProtocol::Rfc2217: return std::make_unique<TelnetCodec>();
    default: return std::make_unique<RawCodec>();
    }
}

} // namespace orn
