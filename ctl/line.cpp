#include "line.h"

#include "net_link.h"
#include "system_serial.h"
#include "texts.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <iterator>

namespace orn::ctl {

namespace {

// Once an answer has begun, the rest of it gets its wire time plus this:
// many USB adapters hand received bytes over only every 16 ms.
constexpr int AnswerSlackMs = 20;

// The master's timeout is 11 ms to 65535 ms (it ignores 10 and less).
uint16_t MasterTimeout(double ms) {
    return uint16_t(std::clamp(std::ceil(ms), 11.0, 65535.0));
}

} // namespace

std::string PortDevice(const std::string& port) {
    if (port.size() > 3 && std::toupper(static_cast<unsigned char>(port[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(port[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(port[2])) == 'M' && port.size() <= 6 &&
        std::all_of(port.begin() + 3, port.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const int n = std::stoi(port.substr(3));
        if (n >= 1 && n <= 256) return PortPath(n);
    }
    return port;
}

std::string NetFailureText(int error) {
    switch (error) {
    case NetNameNotFound: return translate("orn10ctl", "имя не найдено");
    case ECONNREFUSED:
        return translate("orn10ctl", "соединение отвергнуто (на этом порту никто не ждёт: верен ли адрес и включён ли "
                                     "сервер портов или шлюз?)");
    case EHOSTUNREACH:
    case ENETUNREACH: return translate("orn10ctl", "нет маршрута к узлу (верен ли адрес и подключена ли сеть?)");
    case ETIMEDOUT:
        return translate("orn10ctl", "тайм-аут (узел не отвечает: верен ли адрес и подключена ли сеть?)");
    case ECONNRESET: return translate("orn10ctl", "соединение закрыто другой стороной");
    case EPROTO:
        return translate("orn10ctl", "узел говорит не на протоколе адреса (tcp://, rtu+tcp:// или rfc2217://)");
    default: return std::strerror(error);
    }
}

TCtlLine::TCtlLine(RealtimeScheduler& scheduler, SerialBackend& backend, const TLineSettings& settings)
    : scheduler_(scheduler), settings_(settings), mb_(scheduler, backend) {
    SetSetting(settings.Setting());
    mb_.SetComPortPath(PortDevice(settings.port));
    mb_.SetNetAllowance(uint16_t(std::clamp(settings.netAllowanceMs, 0, 60000)));
    mb_.OnResponseReady = [this](TModbusM*) {
        if (!pending_) return;   // bytes that came while no request of ours was open
        result_ = mbNoError;
        pending_ = false;
    };
    mb_.OnError = [this](TModbusM* m, const std::string&) {
        // Exception 5 keeps the transaction open for the real answer.
        if (!pending_ || m->ErrorCode() == mbMoreTime) return;
        result_ = m->ErrorCode();
        pending_ = false;
    };
    mb_.OnLine = [this](const LineEvent& e) { OnLine(e); };
}

TCtlLine::~TCtlLine() { Close(); }

void TCtlLine::SetSetting(const TLineSetting& s) {
    settings_.speed = s.Speed;
    settings_.parity = s.Parity;
    const auto rate = std::find(std::begin(BaudRates), std::end(BaudRates), s.Speed);
    mb_.SetComPortBaudRate(rate == std::end(BaudRates) ? br19200 : TComPortBaudRate(rate - std::begin(BaudRates)));
    mb_.SetComPortParity(s.Parity);
}

std::string TCtlLine::PortLabel() const {
    const std::string device = PortDevice(settings_.port);
    return device == settings_.port ? device : settings_.port + " (" + device + ")";
}

bool TCtlLine::OverNetwork() const { return IsNetAddress(settings_.port); }

bool TCtlLine::Open() {
    if (IsOpen()) return true;
    if (!mb_.Connect()) return false;
    Watch();
    return true;
}

void TCtlLine::Watch() {
    const int handle = mb_.ReadableHandle();
    if (watch_ && watch_->fd() == handle) return;
    watch_.reset();
    if (handle < 0) return;
    // Bytes are taken the moment they arrive; the master's own 100 ms poll
    // goes on beside this and finds nothing left.
    watch_ = scheduler_.watchReadable(handle, [this](short events) {
        if (!(events & WatchReadable)) return;
        mb_.TimerWndProc();
        NoteAnswerBegun();
    });
}

void TCtlLine::Close() {
    watch_.reset();
    mb_.Disconnect();
}

void TCtlLine::OnLine(const LineEvent& e) {
    if (listener_) listener_(e);
}

void TCtlLine::NoteAnswerBegun() {
    const bool held = pending_ && !mb_.RxBuffer().empty();
    const bool began = held && !held_;
    held_ = held;
    if (!began) return;
    // Never shorter than the time the answer had to begin: a partial echo
    // also looks like a beginning until it is whole.
    const uint32_t now = scheduler_.nowMs();
    const uint32_t rest = answerMs_ + mb_.AnswerAllowance();
    if (now + rest <= deadlineMs_) return;
    deadlineMs_ = now + rest;
    // Setting the value the master has would not restart its wait.
    mb_.SetFTimeout(answerMs_ == mb_.Timeout() ? answerMs_ + 1 : answerMs_);
}

int TCtlLine::Transact(uint8_t slave, uint8_t function, uint16_t offset, uint16_t quantity, const TDataByte& data,
                       int timeoutMs, int answerBytes) {
    if (!IsOpen()) return mbPortNotOpen;
    mb_.SlaveId = slave;
    mb_.FunctionCode = function;
    mb_.Offset = offset;
    mb_.Quantity = quantity;
    mb_.RegisterDim = 2;
    mb_.RequestData = data;
    const uint16_t firstByte = MasterTimeout(timeoutMs);
    answerMs_ = MasterTimeout(WireMs(settings_.Setting(), answerBytes) + AnswerSlackMs);
    mb_.SetFTimeout(firstByte);
    // Whatever waits in the queue now came before the request: no answer to
    // it.  Flushed only when there is some: a flush before every request
    // made each answer some 30 us later on a pseudo-terminal.
    if (mb_.InQueued() > 0) mb_.FlushBuffers(true, false);
    if (watch_) watch_->setEnabled(true);
    pending_ = true;
    held_ = false;
    result_ = mbTimeout;
    deadlineMs_ = scheduler_.nowMs() + firstByte + mb_.AnswerAllowance();
    mb_.Query();
    // The master's own poll may take bytes too; the check after each tick
    // sees them.
    if (pending_)
        scheduler_.runUntil(
            [this] {
                Watch();
                NoteAnswerBegun();
                return !pending_ || Stopped();
            },
            INT_MAX);
    if (pending_) {
        pending_ = false;
        return Interrupted;
    }
    return result_ == mbCommError && mb_.DeviceError() ? mbPortNotOpen : result_;
}

int TCtlLine::Read(uint8_t slave, uint16_t first, uint16_t count, int timeoutMs) {
    return Transact(slave, 3, first, count, {}, timeoutMs, ReadAnswerBytes(count));
}

int TCtlLine::Write(uint8_t slave, uint16_t reg, uint16_t value, int timeoutMs) {
    return Transact(slave, 6, reg, 1, {uint8_t(value >> 8), uint8_t(value & 0xFF)}, timeoutMs, WriteAnswerBytes);
}

bool TCtlLine::Pause(int ms) {
    if (ms > 0) scheduler_.runUntil([this] { return Stopped(); }, ms);
    return !Stopped();
}

} // namespace orn::ctl
