#include "modbusm.h"

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <set>

namespace orn {

const uint32_t BaudRates[15] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                19200, 38400, 56000, 57600, 115200, 128000, 256000};

const char* const TModbusM::ErrorTexts[12] = {
    " 00-No Hay Error",
    " 01-Función ilegal",
    " 02-Dirección ilegal",
    "  ",
    " 04-Error de trabajo del esclavo",
    " 05-El esclavo requiere más tiempo",
    " 06-El esclavo está ocupado y no atiende al query",
    " 07-Time out",
    " 08-Error de acceso a memoria del esclavo",
    " 09-Error de comunicación",
    " 10-Controlador ocupado",
    " 11-Puerto no iniciado",
};

// Whether the master still exists, for code that runs after a handler,
// which may have destroyed it.
struct TModbusM::Life {
    bool alive = true;
};

TModbusM::TModbusM(Scheduler& scheduler, SerialBackend& backend)
    : scheduler_(scheduler), backend_(backend), life_(std::make_shared<Life>()) {
    readBuffer_.reset(new uint8_t[InBufferSize]);
    pollTimer_ = scheduler_.createTimer([this] { TimerWndProc(); });
    pollTimer_->setInterval(PollInterval);
    timeoutTimer_ = scheduler_.createTimer([this] { OnTimeout(); });
    timeoutTimer_->setInterval(timeout_);
}

TModbusM::~TModbusM() {
    life_->alive = false;
    // No event fires from here on: the timeout goes first, then the port
    // (and with it a request the link still held).
    awaitingSend_ = false;
    timeoutTimer_.reset();
    Disconnect();
    readBuffer_.reset();
    pollTimer_.reset();
}

// ---------------------------------------------------------------- settings

LineSettings TModbusM::lineSettings() const {
    LineSettings s;
    s.baudRate = comPortSpeed_ < std::size(BaudRates) ? BaudRates[comPortSpeed_] : 9600;
    s.dataBits = comPortDataBits_ + 5;
    s.stopBits = comPortStopBits_;
    s.parity = comPortParity_;
    s.rtsCts = comPortHwHandshaking_ == hhRTSCTS;
    s.xonXoff = ComPortSwHandshaking == shXONXOFF;
    s.dtr = EnableDTR;
    s.inBufferSize = InBufferSize;
    s.outBufferSize = OutBufferSize;
    return s;
}

void TModbusM::SetComPort(TComPortNumber v) {
    if (!Connected()) comPort_ = v;
}
void TModbusM::SetComPortPath(const std::string& path) {
    if (!Connected()) comPortPath_ = path;
}

std::string TModbusM::PortName() const {
    return comPortPath_.empty() ? "COM" + std::to_string(int(comPort_) + 1) : comPortPath_;
}

void TModbusM::SetComPortBaudRate(TComPortBaudRate v) {
    comPortSpeed_ = v;
    ApplyCOMSettings();
}
void TModbusM::SetComPortDataBits(TComPortDataBits v) {
    comPortDataBits_ = v;
    ApplyCOMSettings();
}
void TModbusM::SetComPortStopBits(TComPortStopBits v) {
    comPortStopBits_ = v;
    ApplyCOMSettings();
}
void TModbusM::SetComPortParity(TComPortParity v) {
    comPortParity_ = v;
    ApplyCOMSettings();
}
void TModbusM::SetComPortHwHandshaking(TComPortHwHandshaking v) {
    comPortHwHandshaking_ = v;
    ApplyCOMSettings();
}

// ---------------------------------------------------------------- serial link

bool TModbusM::Connect() {
    if (Connected()) return true;
    device_ = comPortPath_.empty() ? backend_.open(int(comPort_) + 1) : backend_.openPath(comPortPath_);
    openFailed_ = !device_;
    connectError_ = device_ ? 0 : backend_.lastOpenError();
    if (!device_) return false;
    deviceId_ = device_->identity();
    device_->setLinkListener([this](LinkNote note, const uint8_t* data, size_t size) { OnLink(note, data, size); });
    ApplyCOMSettings();
    pollTimer_->setInterval(PollInterval);
    pollTimer_->setEnabled(true);
    return true;
}

void TModbusM::Disconnect() {
    if (!Connected()) return;
    pollTimer_->setEnabled(false);
    device_.reset();
    openFailed_ = false;
    // A request the link still held goes nowhere now; it ends by its
    // timeout as any other that loses its port.
    if (awaitingSend_) ArmTimeout();
}

int TModbusM::ComHandle() const {
    if (device_) return device_->nativeHandle();
    return openFailed_ ? -1 : 0;
}

int TModbusM::ReadableHandle() const { return device_ ? device_->readableHandle() : -1; }

int TModbusM::InQueued() const { return device_ ? device_->inQueued() : 0; }

void TModbusM::SetComHandle(int handle) {
    if (handle == ComHandle()) return;
    if (handle == -1) {
        if (device_) {
            pollTimer_->setEnabled(false);
            device_->release();
            device_.reset();
        }
        openFailed_ = false;
        return;
    }
    Disconnect();
    if (handle == 0) return;
    device_ = backend_.adopt(handle);
    if (device_) {
        deviceId_ = device_->identity();
        pollTimer_->setInterval(PollInterval);
        pollTimer_->setEnabled(true);
    }
}

void TModbusM::ApplyCOMSettings() {
    if (!device_) return;
    device_->configure(lineSettings());
    FlushBuffers(true, true);
}

void TModbusM::FlushBuffers(bool receive, bool transmit) {
    if (device_) device_->purge(receive, transmit);
}

uint16_t TModbusM::OutFreeSpace() {
    if (!device_) return 65535;
    // A driver queue larger than ours can hold more than OutBufferSize; that
    // is no room at all, not a wrapped-around lot of it.
    const int queued = std::clamp(device_->outQueued(), 0, int(OutBufferSize));
    return uint16_t(OutBufferSize - queued);
}

int32_t TModbusM::SendData(const uint8_t* data, int32_t count) {
    int32_t total = 0;
    if (!device_ || count <= 0) return 0;
    uint32_t lastProgress = scheduler_.nowMs();
    while (count > 0) {
        const uint16_t space = OutFreeSpace();
        if (space > 0) {
            const long n = device_->write(data + total, size_t(std::min<int32_t>(space, count)));
            // Room was reported, so a write that fails or moves nothing will
            // not get better by trying again.
            if (n < 0) NoteDeviceFailure();
            if (n <= 0) return -total;
            total += int32_t(n);
            count -= int32_t(n);
            lastProgress = scheduler_.nowMs();
            continue;
        }
        const uint32_t waited = scheduler_.nowMs() - lastProgress;
        if (waited > OutputTimeout) return -total;
        if (!device_->waitWritable(int(OutputTimeout - waited) + 1)) {
            NoteDeviceFailure();
            return -total;
        }
    }
    return total;
}

void TModbusM::NoteDeviceFailure() {
    deviceError_ = device_ ? device_->lastError() : 0;
    if (deviceError_ == 0) deviceError_ = ENODEV;
}

// ---------------------------------------------------------------- transaction

void TModbusM::SetFTimeout(uint16_t value) {
    if (value == timeout_ || value <= 10) return;
    timeout_ = value;
    timeoutTimer_->setInterval(timeout_ + AnswerAllowance());
}

void TModbusM::SetNetAllowance(uint16_t ms) { netAllowance_ = ms; }

uint16_t TModbusM::AnswerAllowance() const { return device_ && device_->overNetwork() ? netAllowance_ : 0; }

void TModbusM::ArmTimeout() {
    awaitingSend_ = false;
    timeoutTimer_->setEnabled(false);
    timeoutTimer_->setInterval(timeout_ + AnswerAllowance());
    timeoutTimer_->setEnabled(true);
}

void TModbusM::OnLink(LinkNote note, const uint8_t* data, size_t size) {
    switch (note) {
    case LinkNote::Sent:
        // Also a request sent again on a new connection: the wait counts
        // from when it left.
        if (busy_) ArmTimeout();
        break;
    case LinkNote::Late:
        Note(LineEventKind::Late, data, size);
        break;
    case LinkNote::NoAnswer:
        // Noted inside the link's read: the transaction ends once the read
        // has returned.
        gatewaySilent_ = gatewaySilent_ || busy_;
        break;
    }
}

void TModbusM::Note(LineEventKind kind, const uint8_t* data, size_t size, uint8_t code) {
    if (!OnLine) return;
    LineEvent e{kind};
    e.ms = scheduler_.nowMs();
    e.data = data;
    e.size = size;
    e.code = code;
    e.slave = SlaveId;
    e.function = FunctionCode;
    OnLine(e);
}

RequestFields TModbusM::requestFields() const {
    RequestFields f;
    f.SlaveId = SlaveId;
    f.FunctionCode = FunctionCode;
    f.Offset = Offset;
    f.Quantity = Quantity;
    f.RegisterDim = RegisterDim;
    return f;
}

// Fires an outcome and, when it ends the transaction, turns the master idle
// afterwards: also when the handler throws, and never when the handler has
// destroyed the master.
class TModbusM::Ending {
public:
    Ending(TModbusM& m, bool ends) : m_(m), life_(m.life_), ends_(ends) {
        if (!ends_) return;
        m_.awaitingSend_ = false;
        m_.ended_ = m_.requestFields();
        m_.endedSent_ = m_.sent_;
        m_.hasEnded_ = true;
    }
    ~Ending() {
        if (life_->alive && ends_) m_.busy_ = false;
    }
    bool alive() const { return life_->alive; }

private:
    TModbusM& m_;
    std::shared_ptr<Life> life_;
    bool ends_;
};

bool TModbusM::RaiseError(uint8_t code) {
    errorCode_ = code;
    Ending ending(*this, code != mbMoreTime && code != mbMasterBusy && code != mbPortNotOpen);
    Note(LineEventKind::Outcome, nullptr, 0, code);
    if (OnError) OnError(this, ErrorTexts[code]);
    return ending.alive();
}

bool TModbusM::Answered() {
    Ending ending(*this, true);
    Note(LineEventKind::Outcome, nullptr, 0, mbNoError);
    if (OnResponseReady) OnResponseReady(this);
    return ending.alive();
}

void TModbusM::Query() {
    if (!Connected()) {
        RaiseError(mbPortNotOpen);
        return;
    }
    if (busy_) {
        RaiseError(mbMasterBusy);
        return;
    }
    busy_ = true;
    errorCode_ = mbNoError;
    deviceError_ = 0;
    awaitingSend_ = gatewaySilent_ = false;
    rxBuffer_.clear();
    echoTaken_ = othersFirst_ = damaged_ = misfit_ = false;

    const RequestFields fields = requestFields();
    if (const uint8_t refused = BuildRequest(fields, RequestData, sent_)) {
        RaiseError(refused);
        return;
    }
    echoAmbiguous_ = EchoPassesAsAnswer(sent_, fields);
    const int32_t sent = SendData(sent_.data(), int32_t(sent_.size()));
    Note(LineEventKind::Sent, sent_.data(), size_t(sent < 0 ? -sent : sent));
    if (sent != int32_t(sent_.size())) {
        RaiseError(mbCommError);
        return;
    }
    // A full interval from now, even if a late exception 5 left it running;
    // from when the link sends it, when it still holds it.
    timeoutTimer_->setEnabled(false);
    if (device_->holdsWritten()) awaitingSend_ = true;
    else ArmTimeout();
}

void TModbusM::Response(TModbusM* /*Sender*/, const uint8_t* data, int32_t count) {
    if (count <= 0) return;
    Note(LineEventKind::Received, data, size_t(count));
    // At most one frame's worth is held: what is judged is taken off before
    // more is appended, and what waits is shorter than the frame it begins.
    for (size_t at = 0; at < size_t(count);) {
        const size_t take = std::min(size_t(count) - at, MaxRtuFrame - rxBuffer_.size());
        rxBuffer_.insert(rxBuffer_.end(), data + at, data + at + take);
        at += take;
        if (!Judge(false)) return;
    }
}

bool TModbusM::Judge(bool final) {
    RxContext c;
    size_t skipped = 0;   // stray bytes at the front, reported together
    const bool portEchoes = echoAmbiguous_ && PortEchoes();
    for (;;) {
        // Outside a transaction every frame is late or foreign.
        c.open = busy_;
        c.request = busy_ ? requestFields() : ended_;
        c.sent = sent_.data();
        c.sentSize = sent_.size();
        c.echoPending = !echoTaken_ && (!echoAmbiguous_ || portEchoes);
        c.hasEarlier = busy_ && hasEnded_;
        c.earlier = ended_;
        c.earlierSent = endedSent_.data();
        c.earlierSentSize = endedSent_.size();
        c.final = final;
        const RxStep step = ScanReceived(rxBuffer_.data() + skipped, rxBuffer_.size() - skipped, c);
        if (step.verdict == RxVerdict::Skip || step.verdict == RxVerdict::Damaged) {
            damaged_ = damaged_ || (busy_ && step.verdict == RxVerdict::Damaged);
            skipped += step.size;
            continue;
        }
        if (skipped > 0) {
            othersFirst_ = true;
            Note(LineEventKind::Skipped, rxBuffer_.data(), skipped);
            rxBuffer_.erase(rxBuffer_.begin(), rxBuffer_.begin() + long(skipped));
            skipped = 0;
        }
        const auto drop = [&](LineEventKind kind) {
            Note(kind, rxBuffer_.data(), step.size);
            rxBuffer_.erase(rxBuffer_.begin(), rxBuffer_.begin() + long(step.size));
        };
        switch (step.verdict) {
        case RxVerdict::Wait:
            return true;
        case RxVerdict::Echo:
            // A copy of a request that no answer looks like proves the echo.
            if (!echoAmbiguous_) LearnEcho(true);
            echoTaken_ = true;
            drop(LineEventKind::EchoRemoved);
            break;
        case RxVerdict::Foreign:
            othersFirst_ = true;
            drop(LineEventKind::Foreign);
            break;
        case RxVerdict::Late:
            othersFirst_ = true;
            drop(LineEventKind::Late);
            break;
        case RxVerdict::Misfit:
            othersFirst_ = true;
            misfit_ = misfit_ || busy_;
            drop(LineEventKind::Foreign);
            break;
        case RxVerdict::Cut:
            rxBuffer_.clear();
            timeoutTimer_->setEnabled(false);
            return RaiseError(mbCommError);
        case RxVerdict::Answer: {
            // An answer with nothing before it where the echo belonged: the
            // port does not echo (any more).
            if (!echoTaken_ && !echoAmbiguous_ && !othersFirst_) LearnEcho(false);
            const TDataByte frame(rxBuffer_.begin(), rxBuffer_.begin() + long(step.size));
            rxBuffer_.erase(rxBuffer_.begin(), rxBuffer_.begin() + long(step.size));
            timeoutTimer_->setEnabled(false);
            const uint8_t outcome = CheckAnswer(frame, Quantity, RegisterDim, responseData_);
            if (outcome == mbMoreTime) {
                // The transaction stays open: a fresh interval for the answer.
                othersFirst_ = true;
                timeoutTimer_->setEnabled(true);
            }
            if (!(outcome == mbNoError ? Answered() : RaiseError(outcome))) return false;
            break;
        }
        case RxVerdict::Skip:
        case RxVerdict::Damaged:
            break;
        }
    }
}

void TModbusM::OnTimeout() {
    timeoutTimer_->setEnabled(false);
    // What the port holds was complete before now; judge it before the verdict.
    if (!busy_) {
        RaiseError(mbTimeout);
        return;
    }
    if (!ReadLink() || !busy_) return;
    if (!Judge(true) || !busy_) return;
    RaiseError(damaged_ ? mbCommError : misfit_ ? mbSlaveFailure : mbTimeout);
}

bool TModbusM::ReadPort() {
    // A handler that runs the event loop from inside an event (a modal box)
    // must not see the next poll nested in it; the bytes wait in the queue.
    if (!device_ || inResponse_) return true;
    const long n = device_->read(readBuffer_.get(), InBufferSize);
    if (n < 0 && busy_) {
        // The device is gone (an adapter pulled): no answer can come, and
        // the port, not the instrument, failed.  The caller's next Connect
        // finds the port missing.
        NoteDeviceFailure();
        timeoutTimer_->setEnabled(false);
        return RaiseError(mbCommError);
    }
    if (n <= 0) return true;
    const std::shared_ptr<Life> life = life_;
    inResponse_ = true;
    struct Reset {
        TModbusM& m;
        const std::shared_ptr<Life>& life;
        ~Reset() {
            if (life->alive) m.inResponse_ = false;
        }
    } reset{*this, life};
    Response(this, readBuffer_.get(), int32_t(n));
    return life->alive;
}

bool TModbusM::ReadLink() {
    if (!ReadPort()) return false;
    if (gatewaySilent_ && busy_) {
        // A gateway answered for the instrument: it said nothing.
        gatewaySilent_ = false;
        timeoutTimer_->setEnabled(false);
        return RaiseError(mbTimeout);
    }
    return true;
}

void TModbusM::TimerWndProc() { ReadLink(); }

// ---------------------------------------------------------------- echo

namespace {

// Devices (or, when a device cannot be told, port names) known to echo, for
// the life of the program.
std::mutex echoMutex;
std::set<std::string>& EchoingPorts() {
    static std::set<std::string> ports;
    return ports;
}

} // namespace

std::string TModbusM::EchoKey() const { return deviceId_.empty() ? PortName() : deviceId_; }

bool TModbusM::PortEchoes() const {
    std::lock_guard<std::mutex> lock(echoMutex);
    return EchoingPorts().count(EchoKey()) > 0;
}

void TModbusM::LearnEcho(bool echoes) {
    std::lock_guard<std::mutex> lock(echoMutex);
    if (echoes) EchoingPorts().insert(EchoKey());
    else EchoingPorts().erase(EchoKey());
}

void TModbusM::ForgetEchoes() {
    std::lock_guard<std::mutex> lock(echoMutex);
    EchoingPorts().clear();
}

} // namespace orn
