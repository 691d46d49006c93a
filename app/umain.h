// TMForm: the main window of the ORN10 service utility.
//
// One window that talks to one instrument at a time through its MODBUS
// master MB: reading (once, or every 2 s), writes and commands, the current
// output, the bus search.  The port is open only around a request: the
// request operations open it, the answer and error handlers close it.
#pragma once

#include "instruments.h"
#include "modbusm.h"
#include "port_list.h"
#include "scheduler.h"
#include "serial_port.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTableWidget;
class QToolButton;

namespace orn {

class TDlgForm;

class TMForm : public QWidget {
    Q_OBJECT

public:
    // Timers come from `scheduler`, ports from `backend`; both outlive the
    // window.  `scanPorts` lists the ports the port box offers; empty: the
    // machine's own (SystemPorts).
    TMForm(Scheduler& scheduler, SerialBackend& backend, std::function<PortScan()> scanPorts = {},
           QWidget* parent = nullptr);
    ~TMForm() override;

    // ---- Components, named as in the layout.
    std::unique_ptr<TModbusM> MB;
    QGroupBox* GBPort;
    QGroupBox* GBDev;
    QComboBox* CBPortNum;
    QComboBox* CBPortSpeed;
    QLabel* LabelPort;
    QLabel* LabelSpeed;
    QComboBox* CBDev;
    QToolButton* SBtGo;
    QLabel* LabelType;
    QLabel* LabelAddr;
    QComboBox* CBAddr;
    QComboBox* CBParity;
    QLabel* LabelParity;
    std::unique_ptr<Timer> TimerEdit;
    QToolButton* SBtRead;
    QToolButton* SBtFind;
    QTableWidget* Grid;
    QLabel* Label4;
    QToolButton* SBtWrLimit1;
    QToolButton* SBtWrLimit2;
    QToolButton* SBtWrMagnet;
    QToolButton* SBtWrCurrent;
    QStatusBar* StBar;
    QPushButton* BtInit;
    QPushButton* BtZero;
    QGroupBox* GBCur;
    QCheckBox* BoxFix;
    QCheckBox* BoxAuto;
    std::unique_ptr<Timer> TimerAuto;
    QRadioButton* Box4;
    QRadioButton* Box20;
    QPushButton* BtCalb;
    std::unique_ptr<Timer> TimerOnes;

    // ---- Handlers.
    void MBResponseReady(TModbusM* Sender);
    void MBError(TModbusM* Sender, const std::string& ErrorMsg);
    void SBtGoClick();
    void SBtFindClick();
    void FormClose();
    void CBPortNumChange();
    void CBPortSpeedChange();
    void CBDevChange();
    void CBParityChange();
    void TimerEditTimer();
    void SBtReadClick();
    void BoxAutoClick();
    void TimerAutoTimer();
    void SBtWrLimit1Click();
    void SBtWrLimit2Click();
    void SBtWrMagnetClick();
    void SBtWrCurrentClick();
    void BoxFixClick();
    void BtInitClick();
    void BtZeroClick();
    void Box4Enter();
    void Box20Enter();
    void TimerOnesTimer();
    void BtCalbClick();

    // ---- State.
    bool Finding = false;
    bool Waiting = false;
    int FoundCount = 0;
    int DevType = InitialDevType;
    uint8_t RegOffset = 1;
    uint8_t RegCount = 13;
    uint8_t FindAddr = 1;
    int TxCount = 0;
    int RxCount = 0;
    int ErrCount = 0;
    TRegImage RegImage;

    // ---- Requests.  Result codes: 0 handed to the master (or, for a write,
    // dropped while a transaction is open), 1 value out of range (writes),
    // 2 invalid slave address, 3 the port cannot be opened, 4 the write takes
    // its value, guard or range from RegImage, which was not read from the
    // addressed instrument as the selected model (nothing sent; status panel
    // 3 asks for a reading).
    // Address 0 takes the address from CBAddr.
    int ReadRegisters(uint8_t address, uint8_t first, uint8_t count);
    int WriteRegister(uint8_t address, uint8_t reg, int32_t value);
    void ShowReadings();

    // ---- For the tools beside the window (guided calibration, records).
    // Whether RegImage was read from `slave` as the selected model on the
    // port chosen now.
    bool ImageReadFrom(uint8_t slave) const { return ImageFrom(slave); }
    // A value or command on the calibration register of the instrument in
    // CBAddr (a span concentration in hundredths, or set zero) under the
    // guard of the calibration buttons: WriteRegister's result codes, 5 when
    // the guard refuses (on the MB models: nothing read yet, or the current
    // output fixed), 1 for a concentration that is no register value or a
    // command code.
    int CalibrationCommand(uint16_t value);

    // ---- Links and seams.
    // The value entry dialog; set by the program entry once it exists.
    TDlgForm* DlgForm = nullptr;
    // Shows the port error box (modal) with the text PortErrorMessage.  Tests
    // replace it.
    std::function<void()> ShowPortErrorBox;
    // The text of the port error box: the fixed message and, when the reason
    // is known, a line with the reason and what to do.
    QString PortErrorMessage;
    // Lists the ports for the port box; asked each time its list opens.
    std::function<PortScan()> ScanPorts;
    // The regional decimal separator the grid and the dialog use.
    std::string DecimalSeparator;
    // Text of status panel 0..3.
    QString PanelText(int panel) const;
    // The integer tag of a control: the register it writes.
    static int Tag(const QObject* control);
    static void SetTag(QObject* control, int tag);

    static const char* const Caption;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // An instrument as the window talks to it: the port (its name and the
    // device behind it, TModbusM::DeviceId), the slave address and the model
    // it is read as.  Slave 0 is none.
    struct TInstrument {
        std::string Port;
        std::string Device;
        uint8_t Slave = 0;
        int DevType = -1;
        bool operator==(const TInstrument& o) const {
            return Port == o.Port && Device == o.Device && Slave == o.Slave && DevType == o.DevType;
        }
    };
    // What the current-output group shows: BoxFix checked, 20 mA selected.
    struct TCurrentView {
        bool Fixed;
        bool Twenty;
    };

    void BuildLayout();
    void SetPanel(int panel, const QString& text);
    // The slave address a request would go to (address 0: the text of
    // CBAddr); nullopt when it is no integer from 1 to 247.  Marks nothing.
    std::optional<uint8_t> SlaveOf(uint8_t address) const;
    bool ParseAddress(uint8_t address, uint8_t& slave);
    // The user is typing an address that is not complete yet.
    bool AddressBeingTyped() const;
    // Opens the port if needed; false (the box shown) when it cannot be.
    bool OpenPort();
    // The port error box with the reason for errno `error` (0: unknown).
    void ShowPortError(int error);
    // Fills the port box anew, keeping the chosen port when it is still there.
    void RefreshPorts();
    // Opens the port when needed and hands the request to the master:
    // 0, or 3 when the port cannot be opened.  `undo` is what the
    // current-output group showed before the click that made the request.
    int SendRequest(std::optional<TCurrentView> undo = std::nullopt);
    // WriteRegister, with what to show again if the request fails.
    int Write(uint8_t address, uint8_t reg, int32_t value, std::optional<TCurrentView> undo);
    // Whether RegImage was read from `slave` as the selected model on the
    // port chosen now.  The device behind the port's name is known only once
    // the port is open: OpenPort forgets an image whose device has changed.
    bool ImageFrom(uint8_t slave) const {
        return imageFrom_.Port == MB->PortName() && imageFrom_.Slave == slave && imageFrom_.DevType == DevType;
    }
    // Whether a write of `reg` to `address` may rely on RegImage; when not,
    // status panel 3 asks for a reading.
    bool ImageServesWrite(uint8_t address, uint8_t reg);
    // Asks for a reading of the instrument at `address` (0: CBAddr), or
    // marks CBAddr when it holds no valid address.
    void ShowReadingNeeded(uint8_t address);
    // The current-output group: `view` shown without writing anything;
    // the state as known for the addressed instrument, or unknown.
    void ShowCurrentView(TCurrentView view);
    void ShowCurrentOutput();
    bool CurrentOutputKnown() const;
    void EnterCurrentOutput(bool twenty);
    bool IsMB() const { return IsMBModel(DevType); }
    bool CalibrationAllowed();
    void OpenValueDialog(int row, const QObject* control);
    void StartSearch();
    void StopSearch();
    bool GridColumnSizing(QEvent* event);

    Scheduler& scheduler_;
    QLabel* panels_[4];
    std::vector<PortItem> portItems_;   // the items of CBPortNum
    std::string chosenPort_;            // key of the port chosen in CBPortNum
    bool portErrorBoxShown_ = false;
    bool startingSearch_ = false;
    bool stoppingSearch_ = false;
    // The instrument RegImage was last read from; none once an answer of
    // another instrument has been stored into it.
    TInstrument imageFrom_;
    // Of the request handed to the master last: the model it was made for,
    // and what to show again once if it fails.
    int requestDevType_ = InitialDevType;
    std::optional<TCurrentView> undo_;
    // The selection of the 4/20 mA pair when a key was pressed on it (the
    // arrow keys select the other button before they move the focus there).
    std::optional<bool> twentyAtKey_;
    int sizingColumn_ = -1;   // column whose border is being dragged
    int sizingStartX_ = 0;
    int sizingStartWidth_ = 0;
};

} // namespace orn
