#include "master_share.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace orn {

namespace {

// While a tool's transaction is open the port is read this often.
constexpr int ToolPollMs = 5;
// Once an answer has begun, the rest gets its wire time plus this: many USB
// adapters hand received bytes over only every 16 ms.
constexpr int AnswerSlackMs = 20;
// How often a tool that waits for the window's bus search to end looks again.
constexpr int RetryMs = 200;

// The master's timeout is 11 ms to 65535 ms (it ignores 10 and less).
uint16_t MasterTimeout(double ms) { return uint16_t(std::clamp(std::ceil(ms), 11.0, 65535.0)); }

TComPortBaudRate RateOf(uint32_t speed) {
    const auto rate = std::find(std::begin(BaudRates), std::end(BaudRates), speed);
    return rate == std::end(BaudRates) ? br19200 : TComPortBaudRate(rate - std::begin(BaudRates));
}

} // namespace

TMasterShare::TMasterShare(TMForm& form, Scheduler& scheduler) : form_(form), scheduler_(scheduler) {
    pump_ = scheduler_.createTimer([this] {
        pump_->setEnabled(false);
        Pump();
    });
    poll_ = scheduler_.createTimer([this] {
        if (!toolOpen_) return;
        form_.MB->TimerWndProc();
        // Once the answer has begun (not an echo, stray bytes or another's
        // frame: those the master has dropped), it gets its own wire time.
        if (!toolOpen_ || begun_ || form_.MB->RxBuffer().empty()) return;
        begun_ = true;
        const uint32_t now = scheduler_.nowMs();
        if (int32_t(now + uint32_t(answerMs_) - deadlineMs_) <= 0) return;
        // Setting the value the master has would not restart its wait.
        form_.MB->SetFTimeout(uint16_t(answerMs_ == form_.MB->Timeout() ? answerMs_ + 1 : answerMs_));
    });
    poll_->setInterval(ToolPollMs);

    answer_ = form_.MB->OnResponseReady;
    error_ = form_.MB->OnError;
    form_.MB->OnResponseReady = [this](TModbusM* sender) {
        if (toolOpen_) {
            ToolEnded(0);
            return;
        }
        if (answer_) answer_(sender);
        SchedulePump(WindowGapMs());
    };
    form_.MB->OnError = [this](TModbusM* sender, const std::string& message) {
        const uint8_t code = form_.MB->ErrorCode();
        if (toolOpen_) {
            // Exception 5 keeps the transaction open for the real answer;
            // a refusal as busy cannot be the tool's (it sends only while
            // the master is idle).
            if (code != mbMoreTime && code != mbMasterBusy) ToolEnded(code);
            return;
        }
        if (error_) error_(sender, message);
        SchedulePump(WindowGapMs());
    };
    form_.Guest = this;
}

TMasterShare::~TMasterShare() {
    form_.Guest = nullptr;
    if (!form_.MB) return;
    form_.MB->OnResponseReady = answer_;
    form_.MB->OnError = error_;
    if (toolOpen_) {
        // The window takes over the master as it is; the tool's answer
        // still on its way ends as a late one.
        form_.MB->Disconnect();
        form_.MB->SetComPortBaudRate(windowSpeed_);
        form_.MB->SetComPortParity(windowParity_);
    }
}

bool TMasterShare::Free() const {
    return !form_.MB->Busy() && !toolOpen_ && held_.empty() && !form_.Waiting && !form_.Finding;
}

void TMasterShare::Hold(std::function<void()> send) { held_.push_back(std::move(send)); }

int TMasterShare::Send(const TRequest& r, TDone done) {
    if (!Free()) return mbMasterBusy;
    TModbusM& mb = *form_.MB;
    windowSpeed_ = mb.ComPortSpeed();
    windowParity_ = mb.ComPortParity();
    setting_ = r.Setting;
    mb.SetComPortBaudRate(RateOf(r.Setting.Speed));
    mb.SetComPortParity(r.Setting.Parity);
    if (!mb.Connected() && !mb.Connect()) {
        openError_ = mb.ConnectError();
        mb.SetComPortBaudRate(windowSpeed_);
        mb.SetComPortParity(windowParity_);
        return mbPortNotOpen;
    }
    openError_ = 0;
    mb.SlaveId = r.Slave;
    mb.FunctionCode = r.Function;
    mb.Offset = r.Offset;
    mb.Quantity = r.Quantity;
    mb.RegisterDim = 2;
    mb.RequestData = {uint8_t(r.Value >> 8), uint8_t(r.Value & 0xFF)};
    // The time to the answer's start, and the poll's period in which its
    // start may not have been seen yet.
    const int answerBytes = r.Function == 6 ? WriteAnswerBytes : ReadAnswerBytes(r.Quantity);
    const uint16_t firstByte = MasterTimeout(r.TimeoutMs + ToolPollMs);
    answerMs_ = MasterTimeout(WireMs(r.Setting, answerBytes) + AnswerSlackMs);
    mb.SetFTimeout(firstByte);
    deadlineMs_ = scheduler_.nowMs() + firstByte;
    begun_ = false;
    toolOpen_ = true;
    done_ = std::move(done);
    poll_->setEnabled(true);
    mb.Query();
    return 0;
}

void TMasterShare::ToolEnded(int code) {
    TModbusM& mb = *form_.MB;
    TResult result;
    result.Code = code;
    if (code == 0) result.Data = mb.ResponseData();
    // A device that failed under the request (an adapter pulled) is a
    // port that cannot be used, as the window says it.
    if (code == mbCommError && mb.DeviceError()) {
        result.Code = mbPortNotOpen;
        result.DeviceError = mb.DeviceError();
    }
    toolOpen_ = false;
    poll_->setEnabled(false);
    mb.Disconnect();
    // The window's speed and parity back, unless it chose others meanwhile.
    if (mb.ComPortSpeed() == RateOf(setting_.Speed)) mb.SetComPortBaudRate(windowSpeed_);
    if (mb.ComPortParity() == setting_.Parity) mb.SetComPortParity(windowParity_);
    // The next request waits for the silence that ends a frame.
    SchedulePump(FrameGapMs(setting_));
    TDone done = std::move(done_);
    done_ = nullptr;
    if (done) done(result);
}

double TMasterShare::WindowGapMs() const {
    const TModbusM& mb = *form_.MB;
    return FrameGapMs({BaudRates[mb.ComPortSpeed()], mb.ComPortParity()});
}

void TMasterShare::Wanted() {
    wanted_ = true;
    SchedulePump(0);
}

void TMasterShare::SchedulePump(double afterMs) {
    if (pump_->enabled()) return;
    pump_->setInterval(int(std::ceil(afterMs)));
    pump_->setEnabled(true);
}

void TMasterShare::Pump() {
    if (!held_.empty()) {
        // The window's requests first, one at a time: each goes once the
        // one before has ended (its outcome pumps again).
        if (form_.MB->Busy() || toolOpen_) return;
        std::function<void()> send = std::move(held_.front());
        held_.pop_front();
        sending_ = true;
        send();
        sending_ = false;
        if (!held_.empty() && !form_.MB->Busy()) SchedulePump(0);   // it did not go: the next
        return;
    }
    if (!wanted_ || !OnFree) return;
    if (Free()) {
        wanted_ = false;
        OnFree();
    } else if (!form_.MB->Busy()) {
        // Not for an open transaction (its end pumps), but the window's
        // bus search: looked at again shortly.
        SchedulePump(RetryMs);
    }
}

} // namespace orn
