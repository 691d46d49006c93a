#include "line_scan.h"

#include "frames.h"
#include "instruments.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace orn {

const uint32_t SweepSpeeds[8] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
const TComPortParity SweepParities[3] = {ptNONE, ptODD, ptEVEN};

namespace {

// The rank of a setting in a sweep: lower goes first.
int SweepRank(const TLineSetting& s) {
    const int parity = s.Parity == ptEVEN ? 0 : s.Parity == ptNONE ? 1 : 2;
    if (s.Speed == 19200 || s.Speed == 9600) return parity * 2 + (s.Speed == 19200 ? 0 : 1);
    // The others from the faster down, each with even, none, odd.
    const auto at = std::find(std::begin(SweepSpeeds), std::end(SweepSpeeds), s.Speed);
    const int fromTop = int(std::end(SweepSpeeds) - at);   // 115200: 1
    return 6 + fromTop * 3 + parity;
}

} // namespace

std::vector<TLineSetting> SweepOrder(const std::vector<TLineSetting>& chosen) {
    std::vector<TLineSetting> out;
    if (chosen.empty()) {
        for (uint32_t speed : SweepSpeeds)
            for (TComPortParity p : SweepParities) out.push_back({speed, p});
    } else {
        for (const TLineSetting& s : chosen)
            if (std::find(out.begin(), out.end(), s) == out.end()) out.push_back(s);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const TLineSetting& a, const TLineSetting& b) { return SweepRank(a) < SweepRank(b); });
    return out;
}

char ParityLetter(TComPortParity p) {
    switch (p) {
    case ptNONE: return 'N';
    case ptODD: return 'O';
    case ptEVEN: return 'E';
    default: return 0;
    }
}

std::optional<TComPortParity> ParityOfLetter(char c) {
    switch (std::toupper(static_cast<unsigned char>(c))) {
    case 'N': return ptNONE;
    case 'O': return ptODD;
    case 'E': return ptEVEN;
    default: return std::nullopt;
    }
}

std::string SettingText(const TLineSetting& s) {
    const char letter = ParityLetter(s.Parity);
    return std::to_string(s.Speed) + " 8" + std::string(1, letter ? letter : '?') + "1";
}

double WireMs(const TLineSetting& s, int bytes) {
    LineSettings l;
    l.parity = s.Parity;
    return bytes * bitsPerCharacter(l) * 1000.0 / double(s.Speed ? s.Speed : 1);
}

double FrameGapMs(const TLineSetting& s) { return std::max(WireMs(s, 1) * 3.5, 1.75); }

int DefaultProbeTimeoutMs(const TLineSetting& s) { return int(WireMs(s, RequestBytes)) + 40; }

int ProbeTimeoutMs(const TScanPlan& plan, const TLineSetting& s) {
    return plan.TimeoutMs > 0 ? plan.TimeoutMs : DefaultProbeTimeoutMs(s);
}

double PlanSilentMs(const TScanPlan& plan) {
    const int addresses = std::max(0, plan.To - plan.From + 1);
    double ms = 0;
    for (const TLineSetting& s : plan.Settings)
        ms += addresses * (WireMs(s, RequestBytes) + ProbeTimeoutMs(plan, s));
    return ms;
}

// ---------------------------------------------------------------- the scan

TLineScan::TLineScan(TScanPlan plan) : plan_(std::move(plan)), found_(256, false) {
    plan_.From = std::clamp(plan_.From, 1, 247);
    plan_.To = std::clamp(plan_.To, 1, 247);
    if (plan_.From > plan_.To) plan_.Settings.clear();
    for (const TModelInfo& m : Models) lasts_.push_back(m.RegOffset + m.RegCount - 1);
    std::sort(lasts_.begin(), lasts_.end());
    lasts_.erase(std::unique(lasts_.begin(), lasts_.end()), lasts_.end());
    for (const TModelGroup g : {TModelGroup::mgMB, TModelGroup::mgX2x}) {
        int longest = 0;
        for (const TModelInfo& m : Models)
            if (m.Group == g) longest = std::max(longest, m.RegOffset + m.RegCount - 1);
        firsts_.push_back(int(std::find(lasts_.begin(), lasts_.end(), longest) - lasts_.begin()));
    }
    address_ = plan_.From;
    StartAddress();
}

int TLineScan::Total() const { return int(plan_.Settings.size()) * (plan_.To - plan_.From + 1); }

int TLineScan::Found() const {
    return int(std::count_if(hits_.begin(), hits_.end(), [](const TScanHit& h) { return h.Code == 0; }));
}

TLineSetting TLineScan::Setting() const {
    return Over() ? TLineSetting{} : plan_.Settings[setting_];
}

void TLineScan::StartAddress() {
    ok_ = -1;
    refused_ = int(lasts_.size());
    asked_ = false;
    hit_ = TScanHit{};
    hit_.Address = address_;
    if (!Over()) hit_.Setting = plan_.Settings[setting_];
    SkipFound();
}

void TLineScan::SkipFound() {
    // An address that an instrument answered at an earlier setting is
    // that instrument: it is not asked again.
    while (!Over() && setting_ > 0 && found_[size_t(address_)]) {
        ++done_;
        if (address_ < plan_.To) {
            ++address_;
        } else {
            address_ = plan_.From;
            ++setting_;
        }
        hit_.Address = address_;
        if (!Over()) hit_.Setting = plan_.Settings[setting_];
    }
}

void TLineScan::NextAddress() {
    ++done_;
    if (address_ < plan_.To) {
        ++address_;
    } else {
        address_ = plan_.From;
        ++setting_;
    }
    StartAddress();
}

int TLineScan::Asked() const {
    // Each group's longest block first, then by halving.
    for (int f : firsts_)
        if (f > ok_ && f < refused_) return f;
    return (ok_ + refused_) / 2;
}

std::optional<TLineScan::TProbe> TLineScan::Next() const {
    if (Over()) return std::nullopt;
    TProbe p;
    p.Setting = plan_.Settings[setting_];
    p.Slave = uint8_t(address_);
    p.Reg = uint16_t(lasts_[size_t(Asked())]);
    p.TimeoutMs = ProbeTimeoutMs(plan_, p.Setting);
    return p;
}

std::optional<TScanHit> TLineScan::Outcome(int code) {
    if (Over()) return std::nullopt;
    if (code == mbPortNotOpen) {
        portFailed_ = true;
        Stop();
        return std::nullopt;
    }
    const int mid = Asked();
    // The first question decides whether something is there.
    if (!asked_) {
        asked_ = true;
        hit_.Code = code == mbIllegalAddress ? int(mbNoError) : code;
        if (code == mbTimeout) {
            NextAddress();
            return std::nullopt;
        }
    }
    bool decided = hit_.Code != mbNoError;
    if (!decided) {
        if (code == mbNoError) ok_ = mid;
        else if (code == mbIllegalAddress) refused_ = mid;
        else decided = true;   // a later failure leaves the model unknown
        if (refused_ - ok_ <= 1) decided = true;
    }
    if (!decided) return std::nullopt;
    if (hit_.Code == mbNoError && ok_ >= 0 && refused_ - ok_ <= 1) {
        hit_.Registers = lasts_[size_t(ok_)];
        for (int d = 0; d < DevTypeCount; ++d)
            if (Models[size_t(d)].RegOffset == 1 && Models[size_t(d)].RegCount == hit_.Registers) hit_.DevType = d;
    }
    const TScanHit hit = hit_;
    hits_.push_back(hit);
    if (hit.Code == mbNoError) found_[size_t(hit.Address)] = true;
    NextAddress();
    return hit;
}

void TLineScan::Stop() {
    if (Over()) return;
    stopped_ = true;
    setting_ = plan_.Settings.size();
}

} // namespace orn
