// TModbusM: a MODBUS RTU master on one serial port.
//
// The caller sets the request fields, makes sure the port is open (Connect)
// and calls Query.  A receive poll (every PollInterval ms while the port is
// open) collects the answer; the transaction ends with OnResponseReady, or
// with OnError and its ErrorCode, fired synchronously before Busy turns
// false.  Only one transaction is open at a time.
#pragma once

#include "frames.h"
#include "line_events.h"
#include "scheduler.h"
#include "serial_port.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orn {

class TModbusM {
public:
    using TNotifyEvent = std::function<void(TModbusM* Sender)>;
    using TOnErrorEvent = std::function<void(TModbusM* Sender, const std::string& ErrorMsg)>;

    // The error text of each ErrorCode (UTF-8), handed to OnError.
    static const char* const ErrorTexts[12];

    // Timers come from `scheduler`, ports from `backend`; both must outlive
    // the master.
    TModbusM(Scheduler& scheduler, SerialBackend& backend);
    ~TModbusM();
    TModbusM(const TModbusM&) = delete;
    TModbusM& operator=(const TModbusM&) = delete;

    // ---- Port settings.  The port number is taken only while the port is
    // closed; the others are stored and, while it is open, applied at once
    // (which also empties both queues).
    TComPortNumber ComPort() const { return comPort_; }
    TComPortBaudRate ComPortSpeed() const { return comPortSpeed_; }
    TComPortDataBits ComPortDataBits() const { return comPortDataBits_; }
    TComPortStopBits ComPortStopBits() const { return comPortStopBits_; }
    TComPortParity ComPortParity() const { return comPortParity_; }
    TComPortHwHandshaking ComPortHwHandshaking() const { return comPortHwHandshaking_; }
    void SetComPort(TComPortNumber v);
    void SetComPortBaudRate(TComPortBaudRate v);
    void SetComPortDataBits(TComPortDataBits v);
    void SetComPortStopBits(TComPortStopBits v);
    void SetComPortParity(TComPortParity v);
    void SetComPortHwHandshaking(TComPortHwHandshaking v);
    // A device path to open instead of port ComPort + 1 (empty: by number).
    // Taken only while the port is closed, as the port number.
    const std::string& ComPortPath() const { return comPortPath_; }
    void SetComPortPath(const std::string& path);
    // The port as the user knows it: the path, or "COM<n>".
    std::string PortName() const;

    TComPortSwHandshaking ComPortSwHandshaking = shNONE;   // no setter; applied on Connect
    bool EnableDTR = false;                                // raise DTR while open
    const uint16_t InBufferSize = 1028;    // receive queue and size of each poll read
    const uint16_t OutBufferSize = 1028;   // transmit queue, base of OutFreeSpace
    const uint16_t PollInterval = 100;     // ms
    const uint16_t OutputTimeout = 5000;   // ms SendData waits for transmit space

    // ---- Serial link.
    // Opens port ComPort + 1 and applies the settings; true when open.
    bool Connect();
    // Stops the poll and closes the port.  An open transaction is not ended
    // here: it finishes through its answer timeout.
    void Disconnect();
    bool Connected() const { return device_ != nullptr; }
    // Why the last Connect failed, as an errno value (EACCES, EBUSY, ENOENT,
    // ENODEV, ENOTTY, ...); 0 when it did not fail or the reason is unknown.
    int ConnectError() const { return connectError_; }
    // What identifies the device that the port resolved to when it was last
    // opened (SerialDevice::identity): the same for two names of one device,
    // another when another device is behind the same name.  Empty before
    // the first successful open, and when the backend cannot tell.
    std::string DeviceId() const { return deviceId_; }
    // The OS handle of the open port; 0 when closed, -1 after a failed open.
    int ComHandle() const;
    // What a real-time loop waits on for received bytes
    // (SerialDevice::readableHandle); -1 when closed.
    int ReadableHandle() const;
    // Bytes received and not yet taken; 0 when closed.
    int InQueued() const;
    // Adopts a handle opened elsewhere (poll started, no settings applied),
    // or with -1 forgets the current one without closing it.
    void SetComHandle(int handle);
    void ApplyCOMSettings();
    void FlushBuffers(bool receive, bool transmit);
    // Free bytes in the transmit queue; 65535 when the port is closed.
    uint16_t OutFreeSpace();
    // Writes count bytes, waiting for transmit space while the queue is full.
    // Returns the count written; the negated count written so far when the
    // queue stayed full for OutputTimeout ms or the device failed; 0 on a
    // closed port or a count of 0 or less.
    int32_t SendData(const uint8_t* data, int32_t count);

    // ---- Request, filled by the caller before Query.
    uint8_t SlaveId = 0;
    uint8_t FunctionCode = 0;
    uint16_t Offset = 0;
    uint16_t Quantity = 0;
    uint8_t RegisterDim = 2;
    TDataByte RequestData;   // data to write (functions 5, 6, 15, 16)

    TNotifyEvent OnResponseReady;
    TOnErrorEvent OnError;
    // Everything that happens on the line (line_events.h); fired only when set.
    LineListener OnLine;

    uint16_t Timeout() const { return timeout_; }
    // Sets the answer timeout in ms; values up to 10 are ignored.  While an
    // answer is awaited the wait restarts with the new interval.
    void SetFTimeout(uint16_t value);
    // The time a network link adds to the answer timeout (SerialDevice::
    // overNetwork): its round trip and the pieces a device server or a
    // gateway makes of an answer.  Set per connection by the caller.
    uint16_t NetAllowance() const { return netAllowance_; }
    void SetNetAllowance(uint16_t ms);
    // What the answer timeout gets on the link open now: NetAllowance over a
    // network, else 0.
    uint16_t AnswerAllowance() const;

    // ---- Transaction.
    bool Busy() const { return busy_; }
    uint8_t ErrorCode() const { return errorCode_; }
    // The errno of the device failure that ended the last transaction (its
    // ErrorCode is then 9): the send failed because the device did, or a
    // read found the device gone (an adapter pulled; the transaction then
    // ends at once, not by its timeout).  ENODEV when the device is gone or
    // the backend cannot tell why; 0 when the transaction did not end so.
    // Reset when a Query is accepted.  Callers report it as a port failure.
    int DeviceError() const { return deviceError_; }
    // Data part of the last good answer.
    const TDataByte& ResponseData() const { return responseData_; }
    // The bytes received since the last accepted Query that are not yet
    // accounted for (an answer still arriving); the echo, stray bytes and
    // frames for others are taken off as they are recognised.
    const TDataByte& RxBuffer() const { return rxBuffer_; }

    // Starts a transaction for the request fields.  Refusals (port closed 11,
    // busy 10, function 1, data too short 3, short send 9) fire OnError
    // before Query returns.
    void Query();
    // Takes received bytes (called by the poll).  Only a frame from SlaveId
    // with FunctionCode (or its exception) that fits the request answers: a
    // read's with the length of Quantity, a write's repeating its register
    // (and quantity).  The adapter's echo, stray bytes and frames for other
    // slaves, other functions, other registers or lengths and earlier
    // requests are dropped and the wait goes on.  The answer is judged once
    // it has the length it announces; until then nothing fires.
    void Response(TModbusM* Sender, const uint8_t* data, int32_t count);
    // The answer timeout: takes what the port holds first, then ends the
    // transaction with code 9 when an answer began or came damaged, with 4
    // when only frames of the slave and function came that do not fit the
    // request (a wrong answer, or another master's), else with 7.
    void OnTimeout();
    // The receive poll: hands what has arrived to Response.
    void TimerWndProc();

    // Whether the port is known to return what is sent, as a 2-wire adapter
    // without echo suppression does.  Learnt from the traffic per device
    // (DeviceId: two names of one device share it, a swapped adapter is
    // learnt afresh; by PortName when the device cannot be told), kept for
    // the life of the program, shared by every master.
    bool PortEchoes() const;
    // Forgets what was learnt of every port.
    static void ForgetEchoes();

private:
    struct Life;
    class Ending;
    // Fire the outcome; false when a handler destroyed the master.
    bool RaiseError(uint8_t code);
    bool Answered();
    // Judges rxBuffer_: fires what it recognises, ends the transaction when
    // the answer is there (or, `final`, when nothing more will come).
    // False when a handler destroyed the master.
    bool Judge(bool final);
    bool ReadPort();
    // ReadPort, then what the link noted meanwhile.
    bool ReadLink();
    void LearnEcho(bool echoes);
    // What echo learning is kept by: the device, else the port's name.
    std::string EchoKey() const;
    // Notes why the device failed in deviceError_.
    void NoteDeviceFailure();
    // What the link notes beside the bytes (SerialDevice::setLinkListener).
    void OnLink(LinkNote note, const uint8_t* data, size_t size);
    // Starts a full answer timeout from now.
    void ArmTimeout();
    void Note(LineEventKind kind, const uint8_t* data = nullptr, size_t size = 0, uint8_t code = 0);
    LineSettings lineSettings() const;
    RequestFields requestFields() const;

    Scheduler& scheduler_;
    SerialBackend& backend_;
    std::unique_ptr<SerialDevice> device_;
    bool openFailed_ = false;
    int connectError_ = 0;
    std::string deviceId_;
    std::string comPortPath_;

    TComPortNumber comPort_ = pnCOM2;
    TComPortBaudRate comPortSpeed_ = br9600;
    TComPortDataBits comPortDataBits_ = db8BITS;
    TComPortStopBits comPortStopBits_ = sb1BITS;
    TComPortParity comPortParity_ = ptNONE;
    TComPortHwHandshaking comPortHwHandshaking_ = hhNONE;

    std::shared_ptr<Life> life_;
    std::unique_ptr<uint8_t[]> readBuffer_;
    std::unique_ptr<Timer> pollTimer_;
    std::unique_ptr<Timer> timeoutTimer_;
    uint16_t timeout_ = 1000;
    uint16_t netAllowance_ = DefaultNetAllowanceMs;
    bool awaitingSend_ = false;   // the link holds the request: the timeout starts when it leaves
    bool gatewaySilent_ = false;  // a gateway said the instrument did not answer
    uint8_t errorCode_ = 0;
    int deviceError_ = 0;
    bool busy_ = false;
    bool inResponse_ = false;
    TDataByte rxBuffer_;
    TDataByte responseData_;

    // The open transaction's receive state.
    TDataByte sent_;              // its request frame as written
    bool echoAmbiguous_ = false;  // a copy of it would pass as its answer
    bool echoTaken_ = false;      // its echo has come
    bool othersFirst_ = false;    // bytes that were not its answer came first
    bool damaged_ = false;        // an answer came damaged
    bool misfit_ = false;         // a frame of its slave and function came that does not fit it
    // The last ended request and its frame, and whether there is one:
    // frames answering it are late.
    RequestFields ended_;
    TDataByte endedSent_;
    bool hasEnded_ = false;
};

} // namespace orn
