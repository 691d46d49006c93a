#include "sim_line.h"

#include "frames.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <stdexcept>

namespace orn::sim {

namespace {

// The length a request announces once enough of it is there: 0 while it
// cannot tell yet, SIZE_MAX when only silence can end it.
size_t RequestLength(const std::vector<uint8_t>& f) {
    if (f.size() < 2) return 0;
    switch (f[1]) {
    case 1: case 2: case 3: case 4: case 5: case 6:
        return 8;
    case 15: case 16:
        return f.size() < 7 ? 0 : 9 + size_t(f[6]);
    default:
        return SIZE_MAX;
    }
}

double CharUs(const LineSettings& s) {
    const uint32_t baud = s.baudRate ? s.baudRate : 1;
    return bitsPerCharacter(s) * 1e6 / baud;
}

} // namespace

std::string HexText(const uint8_t* data, size_t n) {
    std::string s;
    char b[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", data[i]);
        s += b;
    }
    return s;
}

SimLine::SimLine(LineConfig config, uint32_t seed) : config_(config), seed_(seed), noiseRng_(seed) {}

SimLine::~SimLine() {
    for (auto& i : instruments_) i->line_ = nullptr;
}

Instrument& SimLine::add(Model model, uint8_t address) {
    if (address < 1 || address > 247)
        throw std::invalid_argument("instrument address must be 1 to 247");
    if (find(address)) throw std::invalid_argument("address " + std::to_string(address) + " is taken");
    instruments_.push_back(std::make_unique<Instrument>(model, address, nowUs(), seed_));
    Instrument& inst = *instruments_.back();
    inst.line_ = this;
    inst.freezeDrift(driftFrozen_);
    if (randomFaults_.any()) inst.setRandomFaults(randomFaults_);
    return inst;
}

Instrument* SimLine::find(uint8_t address) {
    for (auto& i : instruments_)
        if (i->address() == address) return i.get();
    return nullptr;
}

Instrument& SimLine::at(uint8_t address) {
    Instrument* i = find(address);
    if (!i) throw std::out_of_range("no instrument at address " + std::to_string(address));
    return *i;
}

void SimLine::freezeDrift(bool on) {
    driftFrozen_ = on;
    for (auto& i : instruments_) i->freezeDrift(on);
}

void SimLine::setRandomFaults(const RandomFaults& rf) {
    randomFaults_ = rf;
    for (auto& i : instruments_) i->setRandomFaults(rf);
}

LineSettings SimLine::settings() const {
    LineSettings s;
    s.baudRate = config_.baudRate;
    s.parity = config_.parity;
    s.dataBits = 8;
    s.stopBits = sb1BITS;
    return s;
}

double SimLine::charUs() const { return CharUs(settings()); }

void SimLine::setOwnSettings(uint8_t address, uint32_t baudRate, TComPortParity parity) {
    LineSettings s = settings();
    s.baudRate = baudRate;
    s.parity = parity;
    for (auto& o : own_)
        if (o.first == address) {
            o.second = s;
            return;
        }
    own_.push_back({address, s});
}

LineSettings SimLine::settingsOf(const Instrument& inst) const {
    for (const auto& o : own_)
        if (o.first == inst.address()) return o.second;
    return settings();
}

int64_t SimLine::gapUs() const { return gapUs(settings()); }

int64_t SimLine::gapUs(const LineSettings& s) const {
    // 3.5 characters; above 19200 bit/s a fixed 1.75 ms, as RTU slaves do.
    return std::max<int64_t>(std::llround(3.5 * CharUs(s)), 1750);
}

bool SimLine::Hears(const LineSettings& inst, const LineSettings& master, bool anyParity) {
    return inst.baudRate == master.baudRate && inst.dataBits == master.dataBits &&
           (anyParity || inst.parity == master.parity);
}

bool SimLine::anyoneHears(const InByte& in) const {
    if (Hears(settings(), in.s, in.anyParity)) return true;
    for (const auto& o : own_)
        if (Hears(o.second, in.s, in.anyParity)) return true;
    return false;
}

void SimLine::sync() {
    if (clock_) advanceTo(clock_());
}

// ---------------------------------------------------------------- master's side

void SimLine::send(const uint8_t* data, size_t n, int64_t atUs, const LineSettings* master, bool anyParity) {
    if (n == 0) return;
    advanceTo(atUs);
    const LineSettings line = settings();
    const LineSettings& m = master ? *master : line;
    const double cu = CharUs(m);
    const int64_t start = std::max(atUs, sendEndUs_);
    const size_t room = MaxInputBacklog - std::min(in_.size(), MaxInputBacklog);
    stats_.overrun += int(n - std::min(n, room));
    n = std::min(n, room);
    for (size_t i = 0; i < n; ++i) {
        const int64_t at = start + std::llround(double(i + 1) * cu);
        in_.push_back({data[i], at, m, anyParity});
        // The adapter hands each byte back as it goes out, at its own speed.
        if (config_.echo) queueOut(data[i], at);
    }
    if (n > 0) sendEndUs_ = in_.back().at;
}

void SimLine::advanceTo(int64_t us) {
    while (!in_.empty() && in_.front().at <= us) {
        const InByte b = in_.front();
        in_.pop_front();
        takeByte(b);
    }
    if (!frame_.empty() && lastByteUs_ + gapUs(frameFirst_.s) <= us) endFrameAtGap(lastByteUs_ + gapUs(frameFirst_.s));
    if (us > timeUs_) timeUs_ = us;
    for (auto& i : instruments_) i->setTime(timeUs_);
}

void SimLine::takeByte(const InByte& in) {
    const int64_t gap = gapUs(frame_.empty() ? in.s : frameFirst_.s);
    if (in.at - lastByteUs_ > gap) {
        if (!frame_.empty()) endFrameAtGap(lastByteUs_ + gap);
        skipping_ = false;
    }
    lastByteUs_ = in.at;
    // Heard by nobody, or a frame whose bytes come at different settings.
    const bool garbage = !anyoneHears(in) ||
                         (!frame_.empty() && !Hears(frameFirst_.s, in.s, in.anyParity && frameFirst_.anyParity));
    if (garbage) {
        // Wrong speed or parity: framing errors, nothing the instruments can use.
        if (!skipping_) {
            ++stats_.garbled;
            note(in.at, "garbage (speed or parity differs)", {});
        }
        skipping_ = true;
        frame_.clear();
        return;
    }
    if (skipping_) return;
    if (frame_.empty()) frameFirst_ = in;
    frame_.push_back(in.b);
    const size_t need = RequestLength(frame_);
    if (need != 0 && need != SIZE_MAX && frame_.size() >= need) {
        processFrame(in.at);
        return;
    }
    if (frame_.size() >= MaxRtuFrame) {
        // Longer than any frame: noise.  Wait for silence.
        ++stats_.broken;
        note(in.at, "overlong frame dropped", frame_);
        frame_.clear();
        skipping_ = true;
    }
}

void SimLine::endFrameAtGap(int64_t at) {
    if (RequestLength(frame_) == SIZE_MAX) {
        processFrame(at);   // a function without a known length ends with silence
        return;
    }
    ++stats_.broken;
    note(at, "incomplete frame dropped", frame_);
    frame_.clear();
}

void SimLine::processFrame(int64_t at) {
    std::vector<uint8_t> f;
    f.swap(frame_);
    ++stats_.frames;
    for (auto& i : instruments_) i->setTime(at);
    if (f.size() < 4 || !FrameCRCValid(f.data(), f.size())) {
        ++stats_.badCrc;
        note(at, "bad CRC, ignored", f);
        return;
    }
    if (f[0] == 0) {
        ++stats_.broadcasts;
        note(at, "broadcast, ignored", f);
        return;
    }
    Instrument* inst = find(f[0]);
    if (!inst) {
        ++stats_.foreign;
        note(at, "no instrument at this address", f);
        return;
    }
    if (!Hears(settingsOf(*inst), frameFirst_.s, frameFirst_.anyParity)) {
        // Sent at settings that others on the line use: to it, framing errors.
        ++stats_.garbled;
        note(at, "garbage to this instrument (speed or parity differs)", f);
        return;
    }
    note(at, "request", f);
    answer(*inst, f, at);
}

void SimLine::answer(Instrument& inst, const std::vector<uint8_t>& request, int64_t at) {
    if (inst.serviceMode()) {
        ++stats_.unheard;
        note(at, "in the service protocol, no answer", {});
        return;
    }
    Faults& f = inst.faults();
    const Faults now = f;
    if (f.any() && f.count > 0 && --f.count == 0) inst.clearFaults();
    if (now.silent) {
        ++stats_.unheard;
        note(at, "silent (fault)", {});
        return;
    }

    std::vector<uint8_t> frame{inst.address()};
    const std::vector<uint8_t> pdu = now.exception
        ? std::vector<uint8_t>{uint8_t(request[1] | 0x80), now.exception}
        : inst.serve(request.data() + 1, request.size() - 3);
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    frame.resize(frame.size() + 2);
    SetFrameCRC(frame);

    // Faults by chance.
    const RandomFaults& rf = inst.randomFaults();
    Rng& rng = inst.faultRng();
    int extraTurnaroundMs = 0;
    size_t splitAt = 0;
    int splitGapMs = 0;
    int noise = now.noiseBytes;
    if (rf.any()) {
        if (rng.chance(rf.drop)) {
            ++stats_.unheard;
            note(at, "answer lost (random fault)", frame);
            return;
        }
        if (rng.chance(rf.corrupt)) frame[size_t(rng.range(0, int(frame.size()) - 1))] ^= uint8_t(1u << rng.range(0, 7));
        if (rng.chance(rf.delay)) extraTurnaroundMs = rf.delayMs;
        if (rng.chance(rf.split)) {
            splitAt = size_t(rng.range(1, int(frame.size()) - 1));
            splitGapMs = rf.splitGapMs;
        }
        if (rng.chance(rf.garble)) noise += rng.range(1, 3);
    }
    if (now.badCrc) frame[frame.size() - 2] ^= 0xFF;
    if (now.splitGapMs > 0) {
        splitGapMs = now.splitGapMs;
        splitAt = now.splitAfter < 0 ? frame.size() / 2 : std::min(size_t(now.splitAfter), frame.size());
    }

    std::vector<uint8_t> wire;
    for (int i = 0; i < noise; ++i) wire.push_back(uint8_t(noiseRng_.next()));
    wire.insert(wire.end(), now.stray.begin(), now.stray.end());
    if (splitGapMs > 0) splitAt += wire.size();
    wire.insert(wire.end(), frame.begin(), frame.end());

    const int turnaroundMs = (now.turnaroundMs >= 0 ? now.turnaroundMs : config_.turnaroundMs) + extraTurnaroundMs;
    int64_t start = std::max(at + int64_t(turnaroundMs) * 1000, outEndUs_);
    const double cu = CharUs(settingsOf(inst));
    if (now.foreign) {
        // Another slave's whole frame first (as if it answered too), then
        // the pause that ends a frame.
        std::vector<uint8_t> other(frame.size());
        other[0] = now.foreign;
        std::copy(pdu.begin(), pdu.end(), other.begin() + 1);
        SetFrameCRC(other);
        emit(other, start, other.size(), 0, cu);
        note(start, "foreign frame (fault)", other);
        start = outEndUs_ + gapUs();
    }
    emit(wire, start, splitGapMs > 0 ? splitAt : wire.size(), int64_t(splitGapMs) * 1000, cu);
    ++stats_.answers;
    note(start, "answer", wire);
}

void SimLine::emit(const std::vector<uint8_t>& bytes, int64_t startUs, size_t gapAfter, int64_t gapUs, double cu) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int64_t t = startUs + std::llround(double(i + 1) * cu) + (i >= gapAfter ? gapUs : 0);
        queueOut(bytes[i], t);
        outEndUs_ = std::max(outEndUs_, t);
    }
}

void SimLine::queueOut(uint8_t b, int64_t at) {
    // The echo of a request may be on its way while an earlier answer still
    // is: keep the arrivals in time order.
    auto pos = out_.end();
    while (pos != out_.begin() && std::prev(pos)->at > at) --pos;
    out_.insert(pos, {b, at});
}

size_t SimLine::receive(uint8_t* buf, size_t max, int64_t atUs) {
    advanceTo(atUs);
    size_t k = 0;
    while (k < max && !out_.empty() && out_.front().at <= atUs) {
        buf[k++] = out_.front().b;
        out_.pop_front();
    }
    return k;
}

void SimLine::discardArrived(int64_t atUs) {
    advanceTo(atUs);
    while (!out_.empty() && out_.front().at <= atUs) out_.pop_front();
}

void SimLine::discardUnsent(int64_t atUs, bool masterGone) {
    // A byte that has started on the wire finishes; later ones are dropped.
    const int64_t started = atUs + std::llround(charUs());
    bool dropped = false;
    while (!in_.empty() && in_.back().at > started) {
        in_.pop_back();
        dropped = true;
    }
    sendEndUs_ = in_.empty() ? std::min(sendEndUs_, atUs) : in_.back().at;
    // A master that has gone left the line silent: whatever the next one
    // sends is a frame of its own, not the tail of the one cut off.
    if (masterGone && dropped) sendEndUs_ += gapUs();
}

int SimLine::unsentCount(int64_t atUs) const {
    int n = 0;
    for (auto it = in_.rbegin(); it != in_.rend() && it->at > atUs; ++it) ++n;
    return n;
}

int64_t SimLine::nextEventUs() const {
    int64_t t = INT64_MAX;
    if (!in_.empty()) t = std::min(t, in_.front().at);
    if (!out_.empty()) t = std::min(t, out_.front().at);
    if (!frame_.empty()) t = std::min(t, lastByteUs_ + gapUs(frameFirst_.s));
    return t;
}

void SimLine::note(int64_t us, const std::string& what, const std::vector<uint8_t>& frame) {
    if (!trace) return;
    trace(us, frame.empty() ? what : what + ": " + HexText(frame));
}

} // namespace orn::sim
