#include "calibration_session.h"

#include "frames.h"
#include "instruments.h"
#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orn {

using namespace records;

namespace {

TKind KindOf(TSessionKind k) {
    switch (k) {
    case TSessionKind::Bump: return TKind::Bump;
    case TSessionKind::Zero: return TKind::Zero;
    case TSessionKind::Span: return TKind::Span;
    case TSessionKind::ZeroSpan: return TKind::ZeroSpan;
    }
    return TKind::ZeroSpan;
}

std::string Joined(const std::string& a, const std::string& b) { return a.empty() ? b : a + "+" + b; }

} // namespace

TCalibrationSession::TCalibrationSession(Scheduler& scheduler, TSessionSetup setup, TSend send,
                                         std::function<void(const TServiceRecord&)> record)
    : scheduler_(scheduler), setup_(std::move(setup)), send_(std::move(send)), recordIt_(std::move(record)) {
    record_ = NewRecord();
    record_.model = ModelShortName(setup_.devType);
    record_.address = setup_.slave;
    record_.port = setup_.port;
    record_.kind = KindOf(setup_.kind);
    if (setup_.kind != TSessionKind::Zero) record_.gasConcentration = setup_.gas;
    record_.cylinderLot = setup_.cylinderLot;
    record_.cylinderExpiry = setup_.cylinderExpiry;
    record_.technician = setup_.technician;
    record_.site = setup_.site;
    record_.notes = setup_.notes;
    record_.program = setup_.program;
    record_.criteria = Criteria();
    bumpTimer_ = scheduler_.createTimer([this] { BumpTimeUp(); });
    bumpTimer_->setInterval(setup_.criteria.bumpSeconds * 1000);
    step_ = setup_.kind == TSessionKind::Bump ? TStep::CleanAir
            : setup_.kind == TSessionKind::Span ? TStep::SpanGas
                                                : TStep::ZeroGas;
    stepStartMs_ = scheduler_.nowMs();
}

TCalibrationSession::~TCalibrationSession() = default;

std::string TCalibrationSession::Criteria() const {
    const TSessionCriteria& c = setup_.criteria;
    char text[200];
    if (setup_.kind == TSessionKind::Bump)
        std::snprintf(text, sizeof text, "не менее %d %% ПГС за %d с", c.bumpShare, c.bumpSeconds);
    else
        std::snprintf(text, sizeof text, "стабильно ±%s %%об %d с; после настройки ±%s %%об",
                      Concentration(c.tolerance, ",").c_str(), c.stableSeconds,
                      Concentration(c.tolerance, ",").c_str());
    return text;
}

void TCalibrationSession::Enter(TStep step) {
    step_ = step;
    samples_.clear();
    stepStartMs_ = scheduler_.nowMs();
}

// ---------------------------------------------------------------- readings

void TCalibrationSession::Reading(std::optional<double> gas, int64_t serial) {
    if (step_ == TStep::Done || step_ == TStep::Cancelled) return;
    if (!record_.serial) record_.serial = serial;
    const uint32_t now = scheduler_.nowMs();
    // A command's echo shown in hexadecimal is no reading; neither is
    // anything taken while a command is on its way.
    if (gas && step_ != TStep::ZeroSent && step_ != TStep::SpanSent) {
        samples_.push_back({now, *gas});
        // What the stability needs, and a little more for the trend's own copy.
        const uint32_t keep = uint32_t(setup_.criteria.stableSeconds) * 1000 + 10000;
        while (samples_.size() > 2 && now - samples_.front().ms > keep) samples_.pop_front();
    }
    Decide();
    if (Changed) Changed();
}

void TCalibrationSession::Decide() {
    const std::optional<double> latest = Latest();
    switch (step_) {
    case TStep::CleanAir:
        if (latest) {
            record_.zeroBefore = *latest;
            Enter(TStep::ApplyGas);
        }
        break;
    case TStep::BumpRunning:
        if (latest && (!record_.gasBefore || *latest > *record_.gasBefore)) record_.gasBefore = *latest;
        if (latest && *latest >= setup_.gas * setup_.criteria.bumpShare / 100.0 - 1e-9) {
            char note[80];
            std::snprintf(note, sizeof note, "доля ПГС достигнута за %u с",
                          unsigned((scheduler_.nowMs() - bumpStartMs_ + 999) / 1000));
            record_.notes = record_.notes.empty() ? note : record_.notes + "; " + note;
            Finish(TResult::Pass);
        }
        break;
    case TStep::ZeroSettling:
        if (Stable()) {
            record_.zeroAfter = *latest;
            zeroPassed_ = Within(*latest, 0);
            if (setup_.kind == TSessionKind::ZeroSpan) Enter(TStep::SpanGas);
            else Finish(zeroPassed_ ? TResult::Pass : TResult::Fail);
        }
        break;
    case TStep::SpanSettling:
        if (Stable()) {
            record_.gasAfter = *latest;
            Finish(zeroPassed_ && Within(*latest, setup_.gas) ? TResult::Pass : TResult::Fail);
        }
        break;
    default: break;
    }
}

std::optional<double> TCalibrationSession::Latest() const {
    if (samples_.empty()) return std::nullopt;
    return samples_.back().gas;
}

int TCalibrationSession::StableMs() const {
    if (samples_.empty()) return 0;
    const TSample& last = samples_.back();
    // Back from the latest reading to the last one outside the band.
    uint32_t since = stepStartMs_;
    for (auto it = samples_.rbegin(); it != samples_.rend(); ++it)
        if (!Within(it->gas, last.gas)) {
            since = (it == samples_.rbegin() ? it->ms : std::prev(it)->ms);
            break;
        }
    // Until the step's readings reach back far enough, it counts from the first of them.
    since = std::max(since, samples_.front().ms);
    return int(last.ms - since);
}

bool TCalibrationSession::Stable() const {
    return !samples_.empty() && StableMs() >= setup_.criteria.stableSeconds * 1000;
}

double TCalibrationSession::Target() const {
    switch (step_) {
    case TStep::ZeroGas:
    case TStep::ZeroSent:
    case TStep::ZeroSettling: return 0;
    default: return setup_.gas;
    }
}

int TCalibrationSession::BumpLeftMs() const {
    if (step_ != TStep::BumpRunning) return 0;
    return std::max(0, setup_.criteria.bumpSeconds * 1000 - int(scheduler_.nowMs() - bumpStartMs_));
}

// ---------------------------------------------------------------- the user

void TCalibrationSession::GasApplied() {
    if (step_ != TStep::ApplyGas) return;
    Enter(TStep::BumpRunning);
    bumpStartMs_ = scheduler_.nowMs();
    bumpTimer_->setEnabled(true);
    if (Changed) Changed();
}

void TCalibrationSession::BumpTimeUp() {
    bumpTimer_->setEnabled(false);
    if (step_ != TStep::BumpRunning) return;
    Finish(TResult::Fail);
    if (Changed) Changed();
}

int TCalibrationSession::SendZero() {
    if (!CanZero()) return -1;
    record_.zeroBefore = Latest();
    const int sent = send_(CmdSetZero);
    if (sent == 0) Enter(TStep::ZeroSent);
    if (Changed) Changed();
    return sent;
}

int TCalibrationSession::SendSpan() {
    if (!CanSpan()) return -1;
    record_.gasBefore = Latest();
    const int sent = send_(uint16_t(std::lround(setup_.gas * 100)));
    if (sent == 0) Enter(TStep::SpanSent);
    if (Changed) Changed();
    return sent;
}

void TCalibrationSession::CommandEnded(int code) {
    const bool zero = step_ == TStep::ZeroSent;
    if (!zero && step_ != TStep::SpanSent) return;
    const char* what = zero ? "zero" : "span";
    if (code == 0) {
        sent_ = Joined(sent_, what);
        Enter(zero ? TStep::ZeroSettling : TStep::SpanSettling);
    } else {
        // Not confirmed: it may have been carried out.  The step is offered
        // again once the reading is stable.
        if (code == mbTimeout || code == mbCommError) unconfirmed_ = Joined(unconfirmed_, what);
        Enter(zero ? TStep::ZeroGas : TStep::SpanGas);
    }
    if (Changed) Changed();
}

std::string TCalibrationSession::SentText() const {
    std::string text = ActionName(sent_);
    if (!unconfirmed_.empty())
        text += (text.empty() ? "" : "; ") + std::string("без подтверждения: ") + ActionName(unconfirmed_);
    return text;
}

void TCalibrationSession::Cancel() {
    if (step_ == TStep::Done || step_ == TStep::Cancelled) return;
    bumpTimer_->setEnabled(false);
    // What went to the instrument is recorded; a session that sent nothing
    // changed nothing.
    if (!sent_.empty() || !unconfirmed_.empty()) Finish(TResult::Cancelled);
    step_ = TStep::Cancelled;
    if (Changed) Changed();
}

void TCalibrationSession::Finish(TResult result) {
    bumpTimer_->setEnabled(false);
    record_.result = result;
    record_.action = sent_;
    if (!unconfirmed_.empty()) {
        const std::string note = "без подтверждения прибора: " + ActionName(unconfirmed_);
        record_.notes = record_.notes.empty() ? note : record_.notes + "; " + note;
    }
    record_.atUtc = NowUtc();
    step_ = TStep::Done;
    if (recordIt_) recordIt_(record_);
}

} // namespace orn
