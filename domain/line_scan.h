// The model-independent search of a line: which addresses answer, the model
// each looks like, and, when the line's settings are not known, at which
// speed and parity.
//
// A step machine driven by the master's outcomes: it says which request to
// send next (Next), is told how that request ended (Outcome), and says when
// an address has been decided.  It sends nothing itself and keeps no time,
// so orn10ctl's synchronous loop, the window's event-driven one and the
// tests on a virtual clock all drive the same search.
//
// Each address is asked for one register alone, the last of the MB4's
// block (13).  The register or exception 2 (no such register) says that an
// instrument is there.  It is then asked for the last registers of the
// other models' blocks (11 of the X-22 next, then by halving): an
// instrument refuses a register past its last one with exception 2, so the
// highest register it answers is its register count, and the model whose
// read block from register 1 has that length is the one it looks like.
// Silence is no instrument; a damaged answer or another exception is
// something that answers, and is reported with its code.
#pragma once

#include "serial_port.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orn {

// Speed and parity of a line; 8 data bits and 1 stop bit always.
struct TLineSetting {
    uint32_t Speed = 19200;
    TComPortParity Parity = ptEVEN;
    bool operator==(const TLineSetting& o) const { return Speed == o.Speed && Parity == o.Parity; }
    bool operator!=(const TLineSetting& o) const { return !(*this == o); }
};

// The speeds and parities a sweep may try, slowest and none first.
extern const uint32_t SweepSpeeds[8];
extern const TComPortParity SweepParities[3];

// `chosen` (every one of the 8 × 3 when empty) in the order a sweep tries
// them, each once: the usual settings of such lines first (19200 and 9600
// bit/s, even parity before none before odd), then the other speeds from
// the faster down.
std::vector<TLineSetting> SweepOrder(const std::vector<TLineSetting>& chosen = {});

// "19200 8E1".
std::string SettingText(const TLineSetting& s);
// 'N', 'O', 'E' for a parity; 0 for another.
char ParityLetter(TComPortParity p);
// The parity of a letter (any case), or nullopt.
std::optional<TComPortParity> ParityOfLetter(char c);

// The milliseconds `bytes` characters take on the line.
double WireMs(const TLineSetting& s, int bytes);
// The silence that separates two frames: 3.5 characters, at least 1.75 ms.
double FrameGapMs(const TLineSetting& s);

constexpr int RequestBytes = 8;                                // function 3 or 6
inline int ReadAnswerBytes(int count) { return 5 + 2 * count; }
constexpr int WriteAnswerBytes = 8;

// The time an address has to begin its answer to a probe when none is
// given: the request's own wire time and 40 ms.
int DefaultProbeTimeoutMs(const TLineSetting& s);

struct TScanPlan {
    int From = 1;
    int To = 247;
    // Time to begin an answer; 0: DefaultProbeTimeoutMs at each setting.
    // Once an answer has begun it gets its own wire time on top.
    int TimeoutMs = 0;
    // The settings to try, in this order; one: no sweep.
    std::vector<TLineSetting> Settings{TLineSetting{}};
};

// The answer timeout of the plan's probes at `s`.
int ProbeTimeoutMs(const TScanPlan& plan, const TLineSetting& s);
// The time the plan takes when no address answers at any setting: about
// what a search takes, each instrument found adding a few short questions
// (up to three more).
double PlanSilentMs(const TScanPlan& plan);

// An address that answered.
struct TScanHit {
    int Address = 0;
    TLineSetting Setting;
    int Code = 0;        // 0: an instrument; else what the address answered with
    int Registers = 0;   // the longest block it answered, 0: not known
    int DevType = -1;    // the model it looks like, -1: none
};

class TLineScan {
public:
    // One request: read register Reg alone (function 3) from Slave at
    // Setting, waiting TimeoutMs for the answer to begin.
    struct TProbe {
        TLineSetting Setting;
        uint8_t Slave = 0;
        uint16_t Reg = 0;
        int TimeoutMs = 0;
    };

    explicit TLineScan(TScanPlan plan);

    const TScanPlan& Plan() const { return plan_; }
    // The request to send now; nullopt once the scan is over.
    std::optional<TProbe> Next() const;
    // How the request that Next() gave ended: 0 an answer, else the
    // master's error code.  A port that failed (11) ends the scan: no
    // address can answer through it.  Returns the hit when this outcome
    // decided an address that answered.
    std::optional<TScanHit> Outcome(int code);
    // Ends the scan where it is (the request in flight is forgotten).
    void Stop();

    bool Over() const { return setting_ >= plan_.Settings.size(); }
    bool Stopped() const { return stopped_; }
    bool PortFailed() const { return portFailed_; }
    const std::vector<TScanHit>& Hits() const { return hits_; }
    // Instruments among the hits.
    int Found() const;

    // Progress: addresses decided (or skipped) of all the plan's.
    int Done() const { return done_; }
    int Total() const;
    // The address and setting being asked now.
    int Address() const { return address_; }
    TLineSetting Setting() const;

private:
    // The index into lasts_ of the register asked next.
    int Asked() const;
    void StartAddress();
    void NextAddress();
    // Skips the addresses already found at an earlier setting.
    void SkipFound();

    TScanPlan plan_;
    std::vector<int> lasts_;     // the models' last registers, ascending, each once
    std::vector<int> firsts_;    // indexes into lasts_ asked first: each group's longest block
    size_t setting_ = 0;
    int address_ = 0;
    int done_ = 0;
    // The address being probed: indexes of lasts_ known to answer and to be refused.
    int ok_ = -1;
    int refused_ = 0;
    bool asked_ = false;
    TScanHit hit_;
    std::vector<bool> found_;    // by address: an instrument answered at an earlier setting
    std::vector<TScanHit> hits_;
    bool stopped_ = false;
    bool portFailed_ = false;
};

} // namespace orn
