// A simulated RS-485 line with instruments on it, as MODBUS RTU slaves.
//
// The line is driven by timestamps, not timers: the master's bytes go onto
// the wire at a time (send), and whoever asks what has reached the master by
// a time (receive) gets the answer bytes whose paced arrival is due.  Each
// character takes its wire time at the line's speed (10 bits, 11 with
// parity); a request is taken when its last byte has arrived, the addressed
// instrument answers after its turnaround, and the answer's bytes follow
// each other like a UART's.  The same line serves the in-process backend on
// a virtual clock (sim_backend.h) and the program on a pseudo-terminal in
// real time (pty_server.h).
#pragma once

#include "instrument.h"
#include "serial_port.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orn::sim {

// The line's own settings; 8 data bits and 1 stop bit are fixed.
struct LineConfig {
    uint32_t baudRate = 19200;
    TComPortParity parity = ptEVEN;
    int turnaroundMs = 5;   // from the end of a request to the start of the answer
    bool echo = false;      // the master's adapter hands back every byte it sends (a 2-wire
                            // RS-485 adapter without echo suppression)
};

// The master's bytes on their way that the line holds at most; more are
// lost, as a UART overrun loses them.
constexpr size_t MaxInputBacklog = 4096;

// What the instruments' side saw, for tests and the program's trace.
struct LineStats {
    int frames = 0;       // complete frames taken off the line
    int answers = 0;      // answers sent
    int badCrc = 0;       // frames with a CRC that does not match
    int foreign = 0;      // frames for an address no instrument has
    int broadcasts = 0;   // frames for address 0
    int garbled = 0;      // bursts heard at the wrong speed or parity
    int broken = 0;       // incomplete frames dropped at a silence gap
    int unheard = 0;      // requests an instrument left unanswered (service protocol, silence fault, drop)
    int overrun = 0;      // bytes of the master lost beyond MaxInputBacklog
};

class SimLine {
public:
    explicit SimLine(LineConfig config = {}, uint32_t seed = 1);
    ~SimLine();
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    // ---- Instruments.  Addresses are 1 to 247, one instrument each; a bad
    // or taken address throws std::invalid_argument.
    Instrument& add(Model model, uint8_t address);
    Instrument* find(uint8_t address);
    // The instrument at `address`; throws std::out_of_range when none is.
    Instrument& at(uint8_t address);
    const std::vector<std::unique_ptr<Instrument>>& instruments() const { return instruments_; }
    // For every instrument on the line, those added later included.
    void freezeDrift(bool on = true);
    void setRandomFaults(const RandomFaults& rf);

    // The instrument at `address` hears and answers at this speed and
    // parity instead of the line's (one set up otherwise than the others);
    // requests at the line's settings are garbage to it.
    void setOwnSettings(uint8_t address, uint32_t baudRate, TComPortParity parity);
    // What the instrument hears and answers at.
    LineSettings settingsOf(const Instrument& inst) const;

    const LineConfig& config() const { return config_; }
    void setConfig(const LineConfig& c) { config_ = c; }
    // The line's settings as the master would configure them.
    LineSettings settings() const;
    // Wire time of one character at the line's settings, in microseconds.
    double charUs() const;

    // ---- Time.  Without a clock the line's time is what send/receive/
    // advanceTo were last given.
    void setClock(std::function<int64_t()> nowUs) { clock_ = std::move(nowUs); }
    bool hasClock() const { return bool(clock_); }
    int64_t nowUs() const { return clock_ ? clock_() : timeUs_; }
    // Brings the line and its instruments up to the clock's present time.
    void sync();

    // ---- The master's side.  Times are microseconds of the line's clock and
    // never go back.
    // Puts bytes on the wire from atUs on (after any still being sent); with
    // more than MaxInputBacklog on their way the rest is lost.  `master` is
    // what the master's port is configured to; an instrument whose speed,
    // parity or data bits differ hears garbage.  nullptr: configured as
    // the line.  `anyParity`: the master's parity is not known (a
    // pseudo-terminal drops it): every instrument at its speed hears it.
    void send(const uint8_t* data, size_t n, int64_t atUs, const LineSettings* master = nullptr,
              bool anyParity = false);
    // Takes every request that has arrived by `us` and schedules the answers.
    void advanceTo(int64_t us);
    // Up to max answer bytes that have reached the master by atUs.
    size_t receive(uint8_t* buf, size_t max, int64_t atUs);
    // Drops the answer bytes that have arrived by atUs (a purge, or nobody
    // listening).
    void discardArrived(int64_t atUs);
    // Drops the master's bytes not yet on the wire at atUs.  With
    // `masterGone` the line then stays silent for a frame gap, so that the
    // next master's first frame is not heard as the tail of the cut one.
    void discardUnsent(int64_t atUs, bool masterGone = false);
    // The master's bytes not yet fully sent at atUs.
    int unsentCount(int64_t atUs) const;
    // The time of the next thing that happens on the line (a byte arriving
    // at either end, or a frame ending in silence); INT64_MAX when idle.
    int64_t nextEventUs() const;

    const LineStats& stats() const { return stats_; }
    // Called with a line of text for every frame taken and answer sent.
    std::function<void(int64_t us, const std::string& text)> trace;

private:
    struct InByte {
        uint8_t b;
        int64_t at;      // when its last bit has arrived
        LineSettings s;  // what the master sent it at
        bool anyParity;
    };
    struct OutByte {
        uint8_t b;
        int64_t at;
    };

    int64_t gapUs() const;
    int64_t gapUs(const LineSettings& s) const;
    // Whether bytes sent at `master` are heard as sent by an instrument at `inst`.
    static bool Hears(const LineSettings& inst, const LineSettings& master, bool anyParity);
    // Whether any instrument on the line hears bytes sent so.
    bool anyoneHears(const InByte& in) const;
    void takeByte(const InByte& in);
    void endFrameAtGap(int64_t at);
    void processFrame(int64_t at);
    void answer(Instrument& inst, const std::vector<uint8_t>& request, int64_t at);
    void emit(const std::vector<uint8_t>& bytes, int64_t startUs, size_t gapAfter, int64_t gapUs, double charUs);
    void queueOut(uint8_t b, int64_t at);
    void note(int64_t us, const std::string& what, const std::vector<uint8_t>& frame);

    LineConfig config_;
    uint32_t seed_;
    std::vector<std::unique_ptr<Instrument>> instruments_;
    bool driftFrozen_ = false;
    RandomFaults randomFaults_;
    std::function<int64_t()> clock_;
    int64_t timeUs_ = 0;

    std::deque<InByte> in_;     // the master's bytes on their way, in time order
    int64_t sendEndUs_ = 0;     // when the last of them has arrived
    std::vector<uint8_t> frame_;   // the request being collected
    InByte frameFirst_{};          // its first byte: the settings it was sent at
    std::vector<std::pair<uint8_t, LineSettings>> own_;   // instruments with settings of their own
    int64_t lastByteUs_ = 0;
    bool skipping_ = false;     // garbage heard: ignore until silence
    std::deque<OutByte> out_;   // bytes on their way to the master (answers, echo), in time order
    int64_t outEndUs_ = 0;      // when the last answer byte arrives
    Rng noiseRng_;
    LineStats stats_;
};

// "01 03 00 01" style text of bytes.
std::string HexText(const uint8_t* data, size_t n);
inline std::string HexText(const std::vector<uint8_t>& v) { return HexText(v.data(), v.size()); }

} // namespace orn::sim
