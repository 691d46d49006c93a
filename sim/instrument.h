// One simulated instrument of the ORN10 family: its holding registers, its
// commands and its faults, as a MODBUS RTU slave sees them.
//
// The instrument knows nothing of lines or timing: the line (sim_line.h)
// frames the requests, tells the instrument the time and hands it each
// request addressed to it; the instrument answers with a PDU.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orn::sim {

class SimLine;

enum class Model : uint8_t { MB1, MB2, MB3, MB4, X20, X22 };

// "MB1" to "MB4", "X-20", "X-22".
const char* ModelName(Model m);
// Accepts the names above in any case, with or without the dash ("x22").
bool ParseModel(const std::string& text, Model& m);
// The number of holding registers (1 to n) the model has.
int RegisterCount(Model m);
bool IsMbModel(Model m);

// What each register holds.
enum class Role : uint8_t {
    None, Status, Gas, Temperature, Range, SerialLo, SerialHi, MagnetGas, Threshold1, Threshold2,
    Current, WorkLo, WorkHi, Version, PollInterval, YearMonth, DayHour, MinuteSecond
};
Role RegisterRole(Model m, int reg);

// Faults on demand.  They stay until cleared, or for `count` requests.
struct Faults {
    bool silent = false;      // hears nothing, answers nothing (as if unplugged)
    bool badCrc = false;      // answers with a damaged CRC (the request is carried out)
    uint8_t exception = 0;    // answers every request with this exception code (0: off)
    int splitGapMs = 0;       // pause of this length inside the answer (0: off)
    int splitAfter = -1;      // answer bytes before the pause (-1: half of them)
    int noiseBytes = 0;       // junk bytes sent just before the answer
    std::vector<uint8_t> stray;   // these bytes just before the answer (a driver turning round)
    uint8_t foreign = 0;      // a copy of the answer from this address comes first (0: off)
    int turnaroundMs = -1;    // the instrument's own turnaround (-1: the line's)
    int count = -1;           // requests the faults last for (-1: until cleared)

    bool any() const {
        return silent || badCrc || exception || splitGapMs > 0 || noiseBytes > 0 || !stray.empty() || foreign ||
               turnaroundMs >= 0;
    }
};

// Faults by chance, for soak tests: each answer rolls each probability.
struct RandomFaults {
    double drop = 0;       // the answer is lost (the request is carried out)
    double corrupt = 0;    // one bit of the answer flips
    double split = 0;      // a pause of splitGapMs inside the answer
    double delay = 0;      // the turnaround grows by delayMs
    double garble = 0;     // one to three junk bytes before the answer
    int splitGapMs = 50;
    int delayMs = 300;
    uint32_t seed = 1;

    bool any() const { return drop > 0 || corrupt > 0 || split > 0 || delay > 0 || garble > 0; }
};

// A small deterministic generator (splitmix64), the same on every platform.
class Rng {
public:
    explicit Rng(uint64_t seed = 1) : state_(seed) {}
    uint64_t next();
    // Uniform in [lo, hi].
    int range(int lo, int hi);
    // True with probability p.
    bool chance(double p);

private:
    uint64_t state_;
};

class Instrument {
public:
    static constexpr int ServiceRegister = 99;
    static constexpr uint16_t ServiceCode = 0x6D2E;
    static constexpr uint16_t ZeroCode = 0xBBBB;
    static constexpr uint16_t FactoryCode = 0xFFFF;
    static constexpr uint16_t CurrentFixedBit = 0x0400;

    // An instrument with plausible factory values; `nowUs` is the time of the
    // line it starts on, `seed` drives the drift of its gas reading.
    Instrument(Model model, uint8_t address, int64_t nowUs = 0, uint32_t seed = 1);

    Model model() const { return model_; }
    uint8_t address() const { return address_; }
    int registerCount() const { return RegisterCount(model_); }
    bool hasRegister(int reg) const { return reg >= 1 && reg <= registerCount(); }
    // Registers that function 6 accepts (99 included).
    bool isWritable(int reg) const;
    // The register that takes the calibration commands: 2 (MB) or 5.
    int gasRegister() const { return IsMbModel(model_) ? 2 : 5; }

    // ---- Register access for tests and tools, at the time of the line.
    // What a read would return now (0 for a register the model lacks); it
    // does not move the drift.
    uint16_t reg(int reg);
    // Makes the register read v from now on.  Live registers are re-based:
    // the gas reading moves its sensor value, working time and the clock
    // count on from the new value, the status keeps bit 10 as the fix state.
    void setReg(int reg, uint16_t v);

    uint32_t serialNumber() const { return serial_; }
    void setSerialNumber(uint32_t s) { serial_ = s; }
    bool currentFixed() const { return currentFixed_; }
    // Sets the X-22 clock (year 2000 to 2099) at the present time.
    void setDateTime(int year, int month, int day, int hour, int minute, int second);

    // ---- Drift of the gas reading: a small bounded random walk, one step per
    // read of the gas register.  Frozen, the reading stays put.
    void freezeDrift(bool on = true);
    bool driftFrozen() const { return driftFrozen_; }

    // ---- Test gas.  The sensor approaches `percent` (%об) in a first-order
    // rise with time constant `tauS` seconds (63 % of the way after tauS,
    // 95 % after 3 tauS) from wherever it is now; each read of the gas
    // register adds noise of standard deviation `noise` (%об).  Removing the
    // gas is the same decay back to clean air (tauS < 0: the rise's).  Zero
    // and span act on the reading as it is at the time, gas and noise
    // included.
    void applyGas(double percent, double tauS = 15, double noise = 0.03);
    void removeGas(double tauS = -1);
    // The concentration the sensor is approaching, %об (0: clean air).
    double gasTarget() const { return gasTarget_ / 100; }

    // ---- The service protocol: once switched, MODBUS gets no answer until a
    // restart or setServiceMode(false).
    bool serviceMode() const { return serviceMode_; }
    void setServiceMode(bool on) { serviceMode_ = on; }
    // A power cycle: back to MODBUS, current output released.  Settings,
    // calibration and counters stay.
    void restart();

    // ---- Faults.
    Faults& faults() { return faults_; }
    void clearFaults() { faults_ = Faults{}; }
    void setRandomFaults(const RandomFaults& rf);
    const RandomFaults& randomFaults() const { return random_; }
    Rng& faultRng() { return faultRng_; }

    // ---- The slave side, used by the line.
    // Moves the instrument's clock forward (never back).
    void setTime(int64_t us);
    int64_t timeUs() const { return timeUs_; }
    // Answers one request PDU (function byte first, no address or CRC):
    // the answer PDU, or an exception PDU.
    std::vector<uint8_t> serve(const uint8_t* pdu, size_t n);

private:
    friend class SimLine;
    uint16_t value(Role role) const;
    uint16_t gasReading() const;
    double rawGas() const;   // the sensor's signal with drift, test gas and noise, in hundredths
    double gasNow() const;   // the test gas's part of it
    uint16_t currentOutput() const;
    uint32_t workSeconds() const;
    int64_t clockSeconds() const;   // since 2000-01-01 00:00:00
    void setGasReading(uint16_t v);
    void stepDrift();
    void stepNoise();
    std::vector<uint8_t> readRegisters(uint16_t first, uint16_t count);
    std::vector<uint8_t> writeRegister(uint16_t reg, uint16_t v, uint8_t& exception);

    Model model_;
    uint8_t address_;
    SimLine* line_ = nullptr;   // to bring the line up to date before a test reads
    int64_t timeUs_;

    uint32_t serial_;
    uint16_t statusBits_ = 0;        // the instrument's own status bits
    uint16_t temperature_ = 2150;    // 21,50
    uint16_t range_ = 10000;         // 100,00 %
    uint16_t magnetGas_ = 5000;
    uint16_t threshold1_ = 2000;
    uint16_t threshold2_ = 5000;
    uint16_t version_;
    uint16_t pollInterval_ = 60;

    // Gas reading = (sensor + drift - zero) * span, kept within 0..65535.
    double sensor_ = 150;            // 1,50 %
    int drift_ = 0;
    double zero_ = 0;
    double span_ = 1;
    bool driftFrozen_ = false;
    Rng driftRng_;
    // Test gas: gasFrom_ at gasSinceUs_, moving to gasTarget_ (hundredths).
    double gasFrom_ = 0;
    double gasTarget_ = 0;
    double gasTauS_ = 15;
    int64_t gasSinceUs_ = 0;
    double noiseSd_ = 0;      // hundredths
    double noise_ = 0;        // this read's
    Rng noiseRng_;

    bool currentFixed_ = false;
    uint16_t fixedCurrent_ = 400;

    uint32_t workBase_ = 3898800;    // working seconds at workBaseUs_
    int64_t workBaseUs_;
    int64_t clockBase_;              // clock seconds at clockBaseUs_
    int64_t clockBaseUs_;

    bool serviceMode_ = false;
    Faults faults_;
    RandomFaults random_;
    Rng faultRng_;
};

} // namespace orn::sim
