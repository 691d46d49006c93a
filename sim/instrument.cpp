#include "instrument.h"

#include "civil_date.h"
#include "sim_line.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace orn::sim {

namespace {

constexpr Role MbRoles[13] = {
    Role::Status, Role::Gas, Role::Temperature, Role::Range, Role::SerialLo, Role::SerialHi,
    Role::MagnetGas, Role::Threshold1, Role::Threshold2, Role::Current, Role::WorkLo, Role::WorkHi,
    Role::Version};
constexpr Role X20Roles[7] = {
    Role::SerialLo, Role::SerialHi, Role::Status, Role::Temperature, Role::Gas, Role::Threshold1,
    Role::Version};
constexpr Role X22Roles[11] = {
    Role::SerialLo, Role::SerialHi, Role::Status, Role::Temperature, Role::Gas, Role::Threshold1,
    Role::Threshold2, Role::PollInterval, Role::YearMonth, Role::DayHour, Role::MinuteSecond};

constexpr int64_t Days1970To2000 = 10957;

struct DateTime {
    int year, month, day, hour, minute, second;
};

DateTime SplitSeconds(int64_t s) {
    DateTime t{};
    int64_t days = s / 86400;
    int64_t rest = s % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    CivilFromDays(days + Days1970To2000, t.year, t.month, t.day);
    t.hour = int(rest / 3600);
    t.minute = int(rest / 60 % 60);
    t.second = int(rest % 60);
    return t;
}

int64_t JoinSeconds(const DateTime& t) {
    const int month = std::clamp(t.month, 1, 12);
    const int day = std::clamp(t.day, 1, 31);
    return (DaysFromCivil(t.year, unsigned(month), unsigned(day)) - Days1970To2000) * 86400 +
           std::clamp(t.hour, 0, 23) * 3600 + std::clamp(t.minute, 0, 59) * 60 + std::clamp(t.second, 0, 59);
}

std::vector<uint8_t> Exception(uint8_t function, uint8_t code) {
    return {uint8_t(function | 0x80), code};
}

} // namespace

// ---------------------------------------------------------------- models

const char* ModelName(Model m) {
    switch (m) {
    case Model::MB1: return "MB1";
    case Model::MB2: return "MB2";
    case Model::MB3: return "MB3";
    case Model::MB4: return "MB4";
    case Model::X20: return "X-20";
    case Model::X22: return "X-22";
    }
    return "?";
}

bool ParseModel(const std::string& text, Model& m) {
    std::string t;
    for (char c : text)
        if (c != '-') t += char(std::toupper(static_cast<unsigned char>(c)));
    static const struct { const char* name; Model model; } names[] = {
        {"MB1", Model::MB1}, {"MB2", Model::MB2}, {"MB3", Model::MB3},
        {"MB4", Model::MB4}, {"X20", Model::X20}, {"X22", Model::X22}};
    for (const auto& n : names)
        if (t == n.name) {
            m = n.model;
            return true;
        }
    return false;
}

int RegisterCount(Model m) {
    switch (m) {
    case Model::MB1: return 6;
    case Model::MB2: return 9;
    case Model::MB3: return 12;
    case Model::MB4: return 13;
    case Model::X20: return 7;
    case Model::X22: return 11;
    }
    return 0;
}

bool IsMbModel(Model m) { return m <= Model::MB4; }

Role RegisterRole(Model m, int reg) {
    if (reg < 1 || reg > RegisterCount(m)) return Role::None;
    if (IsMbModel(m)) return MbRoles[reg - 1];
    return m == Model::X20 ? X20Roles[reg - 1] : X22Roles[reg - 1];
}

// ---------------------------------------------------------------- Rng

uint64_t Rng::next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int Rng::range(int lo, int hi) {
    if (hi <= lo) return lo;
    return lo + int(next() % uint64_t(hi - lo + 1));
}

bool Rng::chance(double p) {
    if (p <= 0) return false;
    if (p >= 1) return true;
    return double(next() >> 11) * (1.0 / 9007199254740992.0) < p;
}

// ---------------------------------------------------------------- Instrument

Instrument::Instrument(Model model, uint8_t address, int64_t nowUs, uint32_t seed)
    : model_(model),
      address_(address),
      timeUs_(nowUs),
      serial_(2600000 + uint32_t(model) * 10000 + address),
      version_(model == Model::X20 ? 220 : 104),
      driftRng_(uint64_t(seed) * 0x9E3779B9ull + address),
      noiseRng_(uint64_t(seed) * 0xC2B2AE35ull + address),
      workBaseUs_(nowUs),
      clockBase_(JoinSeconds({2026, 1, 1, 12, 0, 0})),
      clockBaseUs_(nowUs),
      faultRng_(uint64_t(seed) * 0x85EBCA6Bull + address) {}

bool Instrument::isWritable(int reg) const {
    if (reg == ServiceRegister) return true;
    switch (RegisterRole(model_, reg)) {
    case Role::Gas:
    case Role::MagnetGas:
    case Role::Threshold1:
    case Role::Threshold2:
    case Role::Current:
        return true;
    case Role::Status:
        // Only a model with a current output has something to fix.
        return hasRegister(10) && IsMbModel(model_);
    default:
        return false;
    }
}

void Instrument::setTime(int64_t us) {
    if (us > timeUs_) timeUs_ = us;
}

uint32_t Instrument::workSeconds() const {
    return workBase_ + uint32_t((timeUs_ - workBaseUs_) / 1000000);
}

int64_t Instrument::clockSeconds() const {
    return clockBase_ + (timeUs_ - clockBaseUs_) / 1000000;
}

void Instrument::setDateTime(int year, int month, int day, int hour, int minute, int second) {
    if (line_) line_->sync();
    clockBase_ = JoinSeconds({year, month, day, hour, minute, second});
    clockBaseUs_ = timeUs_;
}

double Instrument::gasNow() const {
    if (gasTauS_ <= 0) return gasTarget_;
    const double t = double(timeUs_ - gasSinceUs_) / 1e6;
    return gasTarget_ + (gasFrom_ - gasTarget_) * std::exp(-t / gasTauS_);
}

double Instrument::rawGas() const { return sensor_ + drift_ + gasNow() + noise_; }

uint16_t Instrument::gasReading() const {
    const double v = (rawGas() - zero_) * span_;
    return uint16_t(std::lround(std::clamp(v, 0.0, 65535.0)));
}

void Instrument::setGasReading(uint16_t v) {
    sensor_ = zero_ + v / span_ - (rawGas() - sensor_);
}

void Instrument::applyGas(double percent, double tauS, double noise) {
    if (line_) line_->sync();
    gasFrom_ = gasNow();
    gasTarget_ = std::max(0.0, percent * 100);
    gasTauS_ = tauS;
    gasSinceUs_ = timeUs_;
    noiseSd_ = std::max(0.0, noise * 100);
}

void Instrument::removeGas(double tauS) {
    applyGas(0, tauS < 0 ? gasTauS_ : tauS, noiseSd_ / 100);
}

void Instrument::stepNoise() {
    // About normal: the sum of four uniform numbers, scaled to the deviation.
    double sum = 0;
    for (int i = 0; i < 4; ++i) sum += double(noiseRng_.next() >> 11) * (1.0 / 9007199254740992.0) - 0.5;
    noise_ = noiseSd_ * sum * std::sqrt(3.0);
}

uint16_t Instrument::currentOutput() const {
    if (currentFixed_) return fixedCurrent_;
    if (range_ == 0) return 400;
    const double mA = 400.0 + 1600.0 * gasReading() / range_;
    return uint16_t(std::lround(std::clamp(mA, 400.0, 2000.0)));
}

void Instrument::freezeDrift(bool on) {
    driftFrozen_ = on;
}

void Instrument::stepDrift() {
    if (driftFrozen_) return;
    drift_ = std::clamp(drift_ + driftRng_.range(-2, 2), -8, 8);
}

void Instrument::restart() {
    serviceMode_ = false;
    currentFixed_ = false;
}

void Instrument::setRandomFaults(const RandomFaults& rf) {
    random_ = rf;
    faultRng_ = Rng(uint64_t(rf.seed) * 0x85EBCA6Bull + address_);
}

uint16_t Instrument::value(Role role) const {
    switch (role) {
    case Role::Status:
        if (IsMbModel(model_) && hasRegister(10))
            return uint16_t((statusBits_ & ~CurrentFixedBit) | (currentFixed_ ? CurrentFixedBit : 0));
        return statusBits_;
    case Role::Gas: return gasReading();
    case Role::Temperature: return temperature_;
    case Role::Range: return range_;
    case Role::SerialLo: return uint16_t(serial_ & 0xFFFF);
    case Role::SerialHi: return uint16_t(serial_ >> 16);
    case Role::MagnetGas: return magnetGas_;
    case Role::Threshold1: return threshold1_;
    case Role::Threshold2: return threshold2_;
    case Role::Current: return currentOutput();
    case Role::WorkLo: return uint16_t(workSeconds() & 0xFFFF);
    case Role::WorkHi: return uint16_t(workSeconds() >> 16);
    case Role::Version: return version_;
    case Role::PollInterval: return pollInterval_;
    case Role::YearMonth: {
        const DateTime t = SplitSeconds(clockSeconds());
        return uint16_t((t.year % 100) << 8 | t.month);
    }
    case Role::DayHour: {
        const DateTime t = SplitSeconds(clockSeconds());
        return uint16_t(t.day << 8 | t.hour);
    }
    case Role::MinuteSecond: {
        const DateTime t = SplitSeconds(clockSeconds());
        return uint16_t(t.minute << 8 | t.second);
    }
    case Role::None: break;
    }
    return 0;
}

uint16_t Instrument::reg(int reg) {
    if (line_) line_->sync();
    return value(RegisterRole(model_, reg));
}

void Instrument::setReg(int reg, uint16_t v) {
    if (line_) line_->sync();
    switch (RegisterRole(model_, reg)) {
    case Role::Status:
        statusBits_ = v;
        if (IsMbModel(model_) && hasRegister(10)) currentFixed_ = (v & CurrentFixedBit) != 0;
        break;
    case Role::Gas: setGasReading(v); break;
    case Role::Temperature: temperature_ = v; break;
    case Role::Range: range_ = v; break;
    case Role::SerialLo: serial_ = (serial_ & 0xFFFF0000u) | v; break;
    case Role::SerialHi: serial_ = (serial_ & 0xFFFFu) | uint32_t(v) << 16; break;
    case Role::MagnetGas: magnetGas_ = v; break;
    case Role::Threshold1: threshold1_ = v; break;
    case Role::Threshold2: threshold2_ = v; break;
    case Role::Current: fixedCurrent_ = v; break;   // read back while the output is fixed
    case Role::WorkLo:
        workBase_ = (workSeconds() & 0xFFFF0000u) | v;
        workBaseUs_ = timeUs_;
        break;
    case Role::WorkHi:
        workBase_ = (workSeconds() & 0xFFFFu) | uint32_t(v) << 16;
        workBaseUs_ = timeUs_;
        break;
    case Role::Version: version_ = v; break;
    case Role::PollInterval: pollInterval_ = v; break;
    case Role::YearMonth:
    case Role::DayHour:
    case Role::MinuteSecond: {
        DateTime t = SplitSeconds(clockSeconds());
        const Role role = RegisterRole(model_, reg);
        if (role == Role::YearMonth) {
            t.year = 2000 + (v >> 8);
            t.month = v & 0x0F;
        } else if (role == Role::DayHour) {
            t.day = v >> 8;
            t.hour = v & 0x1F;
        } else {
            t.minute = v >> 8;
            t.second = v & 0x3F;
        }
        clockBase_ = JoinSeconds(t);
        clockBaseUs_ = timeUs_;
        break;
    }
    case Role::None: break;
    }
}

std::vector<uint8_t> Instrument::serve(const uint8_t* pdu, size_t n) {
    if (n < 1) return {};
    const uint8_t function = pdu[0];
    if (function != 3 && function != 6) return Exception(function, 1);
    if (n != 5) return Exception(function, 3);
    const uint16_t a = uint16_t(pdu[1] << 8 | pdu[2]);
    const uint16_t b = uint16_t(pdu[3] << 8 | pdu[4]);
    if (function == 3) {
        if (b < 1 || b > 125) return Exception(3, 3);
        if (a < 1 || int(a) + b - 1 > registerCount()) return Exception(3, 2);
        return readRegisters(a, b);
    }
    uint8_t exception = 0;
    std::vector<uint8_t> answer = writeRegister(a, b, exception);
    if (exception) return Exception(6, exception);
    return answer;
}

std::vector<uint8_t> Instrument::readRegisters(uint16_t first, uint16_t count) {
    // The reading moves a little each time it is taken.
    if (first <= gasRegister() && gasRegister() < first + count) {
        stepDrift();
        stepNoise();
    }
    std::vector<uint8_t> out{3, uint8_t(count * 2)};
    for (int r = first; r < first + count; ++r) {
        const uint16_t v = value(RegisterRole(model_, r));
        out.push_back(uint8_t(v >> 8));
        out.push_back(uint8_t(v & 0xFF));
    }
    return out;
}

std::vector<uint8_t> Instrument::writeRegister(uint16_t reg, uint16_t v, uint8_t& exception) {
    if (!isWritable(reg)) {
        exception = 2;
        return {};
    }
    if (reg == ServiceRegister) {
        if (v != ServiceCode) {
            exception = 3;
            return {};
        }
        // The echo still goes out; after it the instrument speaks only its
        // service protocol.
        serviceMode_ = true;
    } else {
        switch (RegisterRole(model_, reg)) {
        case Role::Status: {
            const bool fix = (v & CurrentFixedBit) != 0;
            if (fix && !currentFixed_) fixedCurrent_ = currentOutput();   // holds where it is
            currentFixed_ = fix;
            break;
        }
        case Role::Gas:
            if (IsMbModel(model_) && currentFixed_) {
                // While fixed, the value drives the output: 0 is 4 mA, the
                // measuring range 20 mA.
                const double mA = range_ == 0 ? (v ? 2000.0 : 400.0) : 400.0 + 1600.0 * v / range_;
                fixedCurrent_ = uint16_t(std::lround(std::clamp(mA, 400.0, 2000.0)));
            } else if (v == ZeroCode) {
                // The reading as it is becomes 0.
                zero_ = rawGas();
            } else if (v == FactoryCode) {
                zero_ = 0;
                span_ = 1;
            } else {
                // Calibrate the span when there is gas to calibrate on (the
                // reading as it is becomes v), otherwise shift the zero.
                const double net = rawGas() - zero_;
                const double span = net >= 1 ? v / net : 0;
                if (span >= 0.05 && span <= 20)
                    span_ = span;
                else
                    zero_ = rawGas() - v / span_;
            }
            break;
        case Role::MagnetGas: magnetGas_ = v; break;
        case Role::Threshold1: threshold1_ = v; break;
        case Role::Threshold2: threshold2_ = v; break;
        case Role::Current: fixedCurrent_ = v; break;
        default: break;
        }
    }
    return {6, uint8_t(reg >> 8), uint8_t(reg & 0xFF), uint8_t(v >> 8), uint8_t(v & 0xFF)};
}

} // namespace orn::sim
