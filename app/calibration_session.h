// The guided check and calibration of one instrument: the steps, the
// stability of the reading, the pass or fail, and the record.
//
// Plain C++ driven from outside: the dialog hands it each reading of the
// instrument and the outcome of each command, and the user's actions; the
// session asks for commands through `Send` (the window's guarded write) and
// hands the finished record to `Record`.  Time comes from the scheduler.
//
// Stability: the reading is stable when every reading of the last
// `stableSeconds` lies within ±`tolerance` of the latest one (and the
// readings since the step began cover that time).  Zero and span are
// offered only when it is.
//
// - Bump test: the reading in clean air first; the user applies the test
//   gas and says so; it passes when the reading reaches `bumpShare` % of the
//   test gas within `bumpSeconds`, else it fails.  Nothing is written.
// - Zero: on zero gas, once stable, the zero is sent; the reading as found
//   before it and as left after it (stable again) are kept; it passes when
//   the reading left is within ±tolerance of 0.
// - Span: on the test gas likewise, calibrating at its concentration; it
//   passes when the reading left is within ±tolerance of it.
// - Zero and span: the zero, then the span.
// Cancel at any point sends nothing more; what was sent stays sent and is
// recorded (a session that sent nothing leaves no record).
#pragma once

#include "records.h"
#include "scheduler.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orn {

enum class TSessionKind { Bump, Zero, Span, ZeroSpan };

struct TSessionCriteria {
    double tolerance = 0.2;    // %об: the stability band, and the check after an adjustment
    int stableSeconds = 30;
    int bumpShare = 50;        // % of the test gas
    int bumpSeconds = 60;
};

struct TSessionSetup {
    TSessionKind kind = TSessionKind::ZeroSpan;
    double gas = 0;            // test gas, %об (not used by a zero alone)
    std::string cylinderLot;
    std::string cylinderExpiry;   // "YYYY-MM-DD"
    std::string technician;
    std::string site;
    std::string notes;
    std::string program;       // "orn10util 2.2.0"
    TSessionCriteria criteria;
    // The instrument, as the window talks to it.
    int devType = 0;
    uint8_t slave = 1;
    std::string port;
};

enum class TStep {
    CleanAir,       // bump: waiting for the reading in clean air
    ApplyGas,       // bump: the user is to apply the gas and say so
    BumpRunning,    // bump: the gas is on, the time runs
    ZeroGas,        // waiting for a stable reading on zero gas; then the zero may be sent
    ZeroSent,       // the zero is on its way
    ZeroSettling,   // waiting for a stable reading after the zero
    SpanGas,        // waiting for a stable reading on the test gas
    SpanSent,
    SpanSettling,
    Done,           // decided and recorded
    Cancelled,
};

class TCalibrationSession {
public:
    // What sending a command gave: 0 sent, else why not (the window's result codes).
    using TSend = std::function<int(uint16_t value)>;

    TCalibrationSession(Scheduler& scheduler, TSessionSetup setup, TSend send,
                        std::function<void(const records::TServiceRecord&)> record);
    ~TCalibrationSession();

    // ---- From the instrument.
    // A reading of the session's instrument (nullopt: the gas shown in
    // hexadecimal), with the serial number it reported.
    void Reading(std::optional<double> gas, int64_t serial);
    // The outcome of the command sent last: 0 confirmed, else the error code.
    void CommandEnded(int code);

    // ---- The user.
    void GasApplied();     // bump
    int SendZero();        // returns what Send gave (or -1 when not offered)
    int SendSpan();
    void Cancel();

    // ---- What the dialog shows.
    TStep Step() const { return step_; }
    const TSessionSetup& Setup() const { return setup_; }
    bool Stable() const;
    // How long the reading has stayed within the band, and the time it needs.
    int StableMs() const;
    std::optional<double> Latest() const;
    // The band and line the trend draws: the target of the step.
    double Target() const;
    bool CanZero() const { return step_ == TStep::ZeroGas && Stable(); }
    bool CanSpan() const { return step_ == TStep::SpanGas && Stable(); }
    // The bump test's time left, ms (while it runs).
    int BumpLeftMs() const;
    const records::TServiceRecord& Record() const { return record_; }
    // What went to the instrument: "ноль + градуировка", with what got no
    // confirmation; empty when nothing did.
    std::string SentText() const;

    // Called after every change of what is shown.
    std::function<void()> Changed;

private:
    struct TSample {
        uint32_t ms;
        double gas;
    };
    void Enter(TStep step);
    void Finish(records::TResult result);
    void Decide();
    void BumpTimeUp();
    std::string Criteria() const;
    bool Within(double value, double target) const { return value >= target - Tol() && value <= target + Tol(); }
    double Tol() const { return setup_.criteria.tolerance + 1e-9; }

    Scheduler& scheduler_;
    TSessionSetup setup_;
    TSend send_;
    std::function<void(const records::TServiceRecord&)> recordIt_;
    TStep step_;
    std::deque<TSample> samples_;   // of the present step
    uint32_t stepStartMs_ = 0;
    uint32_t bumpStartMs_ = 0;
    std::unique_ptr<Timer> bumpTimer_;
    records::TServiceRecord record_;
    std::string sent_;             // commands confirmed: "zero", "zero+span"
    std::string unconfirmed_;      // commands sent without confirmation
    bool zeroPassed_ = true;
};

} // namespace orn
