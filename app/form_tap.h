// What the main window's master did, told to the tools beside the window
// (the guided calibration, the service records) without changing the
// window: the master's answer and error events are chained around the
// window's own handlers, as the service tools chain the answer event.
#pragma once

#include "umain.h"

#include <QObject>

namespace orn {

// The end of one transaction of the window's master.
struct TTransaction {
    uint8_t slave = 0;
    uint8_t function = 0;     // 3 read, 6 write
    uint16_t offset = 0;      // first register, or the register written
    uint16_t quantity = 0;    // registers read
    uint16_t value = 0;       // the value written (function 6)
    int code = 0;             // 0: answered; else the master's error code
    int devType = 0;          // the model selected in the window
    bool finding = false;     // a probe of the bus search
    TRegImage before;         // the window's image before the answer was stored
    bool imageFromSlave = false;   // `before` was read from this instrument as this model
    std::string port;
};

class TFormTap : public QObject {
    Q_OBJECT

public:
    // `form` outlives the tap; the tap is made after the window's other
    // listeners (the service tools) and goes before them.
    explicit TFormTap(TMForm& form);
    ~TFormTap() override;

signals:
    // After the window has handled the answer or the error (its table and
    // image are up to date).  A request refused because another was open
    // (error 10) is no transaction and is not told.
    void Ended(const TTransaction& t);

private:
    TTransaction Snapshot() const;
    void End(TTransaction t, int code);

    TMForm& form_;
    TModbusM::TNotifyEvent answer_;
    TModbusM::TOnErrorEvent error_;
};

} // namespace orn
