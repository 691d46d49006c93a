#include "modbusm.h"

#include <algorithm>
#include <cerrno>

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

TModbusM::TModbusM(Scheduler& scheduler, SerialBackend& backend)
    : scheduler_(scheduler), backend_(backend) {
    readBuffer_.reset(new uint8_t[InBufferSize]);
    pollTimer_ = scheduler_.createTimer([this] { TimerWndProc(); });
    pollTimer_->setInterval(PollInterval);
    timeoutTimer_ = scheduler_.createTimer([this] { OnTimeout(); });
    timeoutTimer_->setInterval(timeout_);
}

TModbusM::~TModbusM() {
    // No event fires from here on: the timeout goes first, then the port.
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
}

int TModbusM::ComHandle() const {
    if (device_) return device_->nativeHandle();
    return openFailed_ ? -1 : 0;
}

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
            if (n <= 0) return -total;
            total += int32_t(n);
            count -= int32_t(n);
            lastProgress = scheduler_.nowMs();
            continue;
        }
        const uint32_t waited = scheduler_.nowMs() - lastProgress;
        if (waited > OutputTimeout) return -total;
        if (!device_->waitWritable(int(OutputTimeout - waited) + 1)) return -total;
    }
    return total;
}

// ---------------------------------------------------------------- transaction

void TModbusM::SetFTimeout(uint16_t value) {
    if (value == timeout_ || value <= 10) return;
    timeout_ = value;
    timeoutTimer_->setInterval(value);
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

void TModbusM::RaiseError(uint8_t code) {
    errorCode_ = code;
    Note(LineEventKind::Outcome, nullptr, 0, code);
    if (OnError) OnError(this, ErrorTexts[code]);
    if (code != mbMoreTime && code != mbMasterBusy && code != mbPortNotOpen) busy_ = false;
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
    rxBuffer_.clear();

    TDataByte frame;
    RequestFields fields;
    fields.SlaveId = SlaveId;
    fields.FunctionCode = FunctionCode;
    fields.Offset = Offset;
    fields.Quantity = Quantity;
    fields.RegisterDim = RegisterDim;
    if (const uint8_t refused = BuildRequest(fields, RequestData, frame)) {
        RaiseError(refused);
        return;
    }
    const int32_t sent = SendData(frame.data(), int32_t(frame.size()));
    Note(LineEventKind::Sent, frame.data(), size_t(sent < 0 ? -sent : sent));
    if (sent != int32_t(frame.size())) {
        RaiseError(mbCommError);
        return;
    }
    // A full interval from now, even if a late exception 5 left it running.
    timeoutTimer_->setEnabled(false);
    timeoutTimer_->setEnabled(true);
}

void TModbusM::Response(TModbusM* /*Sender*/, const uint8_t* data, int32_t count) {
    if (count <= 0) return;
    Note(LineEventKind::Received, data, size_t(count));
    rxBuffer_.insert(rxBuffer_.end(), data, data + count);

    if (rxBuffer_.size() > MaxRtuFrame) {
        // No answer is this long: a noisy line.  Judge and drop what came so
        // that it cannot pile up.
        timeoutTimer_->setEnabled(false);
        rxBuffer_.clear();
        RaiseError(mbCommError);
        return;
    }
    // An answer still arriving is judged when it is whole; the answer timeout
    // keeps running from the send.
    if (AnswerIncomplete(rxBuffer_, RegisterDim)) return;

    timeoutTimer_->setEnabled(false);
    const uint8_t outcome = CheckAnswer(rxBuffer_, Quantity, RegisterDim, responseData_);
    if (outcome == mbMoreTime) {
        errorCode_ = mbMoreTime;
        timeoutTimer_->setEnabled(true);
        Note(LineEventKind::Outcome, nullptr, 0, mbMoreTime);
        if (OnError) OnError(this, ErrorTexts[mbMoreTime]);
        return;
    }
    if (outcome != mbNoError) {
        RaiseError(outcome);
        return;
    }
    Note(LineEventKind::Outcome, nullptr, 0, mbNoError);
    if (OnResponseReady) OnResponseReady(this);
    busy_ = false;
}

void TModbusM::OnTimeout() {
    timeoutTimer_->setEnabled(false);
    const bool partial = !rxBuffer_.empty() && AnswerIncomplete(rxBuffer_, RegisterDim);
    RaiseError(partial ? mbCommError : mbTimeout);
}

void TModbusM::TimerWndProc() {
    // A handler that runs the event loop from inside an event (a modal box)
    // must not see the next poll nested in it; the bytes wait in the queue.
    if (!device_ || inResponse_) return;
    const long n = device_->read(readBuffer_.get(), InBufferSize);
    // A device that is gone delivers nothing; the transaction then ends by
    // its timeout, and the caller's next Connect finds the port missing.
    if (n <= 0) return;
    inResponse_ = true;
    Response(this, readBuffer_.get(), int32_t(n));
    inResponse_ = false;
}

} // namespace orn
