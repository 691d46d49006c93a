// One master, one queue: the tools beside the main window (the line table)
// send their requests through the window's own master MB, one transaction at
// a time with the window's.
//
// - A tool's request goes only while the master is idle, the window has no
//   request open or waiting and does not search the bus (Free()); a tool is
//   told when that is so (OnFree), always from the event loop, after a
//   pause of a frame gap, never from inside the master's events.
// - Its outcome goes to the tool alone: the window's handlers (counters,
//   status bar, table, register image) and what listens to them (the
//   records, the readings log) never hear of it.  The master's events are
//   wrapped around everything attached before; made after those, the share
//   goes first and must go before them.
// - A request of the window while a tool's is open does not fail as busy:
//   the window hands it over (TMForm::Guest) and it goes as soon as
//   the tool's has ended, before the tool's next.
// - A tool's request may go at a speed and parity of its own; the window's
//   are put back when it ends.  The port is closed after each of a tool's
//   transactions, as after the window's, so that the port, speed and parity
//   chosen in the window take effect with its next request.
// - While a tool's transaction is open the port is polled every 5 ms, so an
//   answer is taken a few milliseconds after it is whole instead of at the
//   master's 100 ms poll; the answer has the tool's time to begin, and once
//   it has begun its own wire time to come whole.
#pragma once

#include "line_scan.h"
#include "umain.h"

#include <QObject>

#include <deque>
#include <functional>
#include <memory>

namespace orn {

class TMasterShare : public QObject, public TMForm::TMasterGuest {
    Q_OBJECT

public:
    struct TRequest {
        uint8_t Slave = 1;
        uint8_t Function = 3;      // 3 read holding registers, 6 write one
        uint16_t Offset = 1;       // the first register read, or the one written
        uint16_t Quantity = 1;     // registers read
        uint16_t Value = 0;        // the value written
        TLineSetting Setting;
        int TimeoutMs = 500;       // for the answer to begin; its own wire time is granted on top
    };
    struct TResult {
        int Code = 0;              // 0 answered, else the master's error code
        TDataByte Data;            // the registers read, or the echoed value
        int DeviceError = 0;       // errno of a device that failed under it (Code 11 then)
    };
    using TDone = std::function<void(const TResult&)>;

    // `form` and `scheduler` outlive the share.
    TMasterShare(TMForm& form, Scheduler& scheduler);
    ~TMasterShare() override;

    // Whether a tool's request may go now.
    bool Free() const;
    // Whether a tool's transaction is open.
    bool ToolOpen() const { return toolOpen_; }
    // Sends `r` for a tool: 0 when it went (`done` gets its end once, in a
    // refusal of the master even before Send returns), 10 when the master
    // is not free, 11 when the port cannot be opened (the errno in
    // OpenError(); nothing was sent).
    int Send(const TRequest& r, TDone done);
    int OpenError() const { return openError_; }

    // A tool has a request to send: OnFree is called as soon as it may.
    void Wanted();
    std::function<void()> OnFree;

    // The window's side: its requests wait behind a tool's transaction,
    // and behind its own requests held before, so that they go in order.
    bool Holds() const override { return !sending_ && (toolOpen_ || !held_.empty()); }
    void Hold(std::function<void()> send) override;

private:
    void ToolEnded(int code);
    void Pump();
    void SchedulePump(double afterMs);
    // The silence that ends a frame at the window's speed and parity.
    double WindowGapMs() const;

    TMForm& form_;
    Scheduler& scheduler_;
    TModbusM::TNotifyEvent answer_;   // the handlers attached before the share
    TModbusM::TOnErrorEvent error_;
    std::unique_ptr<Timer> pump_;
    std::unique_ptr<Timer> poll_;
    std::deque<std::function<void()>> held_;   // the window's requests, in order
    bool toolOpen_ = false;
    bool wanted_ = false;
    bool sending_ = false;            // a held request of the window is being made
    TDone done_;
    uint32_t deadlineMs_ = 0;         // when the open tool transaction times out, as far as known
    uint16_t answerMs_ = 0;           // the wait granted once its answer has begun
    bool begun_ = false;
    TLineSetting setting_;            // of the open tool transaction
    TComPortBaudRate windowSpeed_ = br19200;   // the window's, put back at its end
    TComPortParity windowParity_ = ptEVEN;
    int openError_ = 0;
};

} // namespace orn
