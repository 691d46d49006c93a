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

#include <QStringList>
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
    QComboBox* CBPortSpeed = nullptr;
    QLabel* LabelPort;
    QLabel* LabelSpeed;
    QComboBox* CBDev;
    QToolButton* SBtGo;
    QLabel* LabelType;
    QLabel* LabelAddr;
    QComboBox* CBAddr;
    QComboBox* CBParity = nullptr;
    QLabel* LabelParity;
    std::unique_ptr<Timer> TimerEdit;
    QToolButton* SBtRead;
    QToolButton* SBtFind;
    // Beside SBtFind, a menu of the service tools; beside SBtGo, the state
    // of the readings log.  Hidden until the tools attach them.
    QToolButton* BtService;
    QToolButton* BtRecording;
    QTableWidget* Grid;
    QLabel* Label4;
    // Beside Label4, while the grid shows values that are not current: from
    // which instrument they are and when they were read.
    QLabel* LabelSource;
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
    // The values a write of `reg` to the instrument in the address box
    // accepts now (hundredths; the calibration register without the reset
    // code); nullopt while they depend on a reading of that instrument that
    // has not been made.
    std::optional<TValueRange> AllowedRange(uint8_t reg) const;

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

    // ---- The master shared with the tools beside the window (the line
    // table, master_share.h).  While a tool's transaction is open (or the
    // window's own requests wait behind one) the window's requests are
    // handed to the guest, which makes them as soon as the master is free,
    // instead of the master refusing them as busy.  Unset: every request
    // goes at once, as always.
    class TMasterGuest {
    public:
        virtual ~TMasterGuest() = default;
        virtual bool Holds() const = 0;
        virtual void Hold(std::function<void()> send) = 0;
    };
    TMasterGuest* Guest = nullptr;
    // Whether a request of the window now would be refused as busy: one of
    // its own is open (a tool's is not: the request would wait for it).
    bool MasterBusy() const { return MB->Busy() && !(Guest && Guest->Holds()); }

    // ---- Links and seams.
    // The value entry dialog; set by the program entry once it exists.
    TDlgForm* DlgForm = nullptr;
    // Shows the port error box (modal) with the text PortErrorMessage.  Tests
    // replace it.
    std::function<void()> ShowPortErrorBox;
    // A question in a modal box: the answer is the index of the button
    // chosen in Buttons; Escape when the box is closed otherwise.  Enter
    // chooses Default.  Tests replace it.
    struct TQuestion {
        QString Title;
        QString Text;
        QStringList Buttons;
        int Default = 0;
        int Escape = 0;
    };
    std::function<int(const TQuestion&)> Ask;
    // The text of the port error box: the fixed message and, when the reason
    // is known, a line with the reason and what to do.
    QString PortErrorMessage;
    // Told before the window opens the port for a request, and when it
    // cannot be opened (with the reason, an errno value or 0); the service
    // tools listen.
    std::function<void()> OnPortOpening;
    std::function<void(int error)> OnPortOpenFailed;
    // Lists the ports for the port box; asked each time its list opens.
    std::function<PortScan()> ScanPorts;
    // Asks for a line behind the network ("Сеть…" in the port box), starting
    // from `proposal`; nullopt when the user cancels.  Tests replace it.
    std::function<std::optional<NetEntry>(const NetEntry& proposal)> AskNetEntry;
    // The regional decimal separator the grid and the dialog use.
    std::string DecimalSeparator;
    // Text of status panel 0..3.
    QString PanelText(int panel) const;
    // The chosen port as the closed port box names it ("COM1", "ttyUSB0").
    QString PortLabel() const;
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
    // Takes an answer into the grid's registers: a read, or the echo of a
    // write (a command's code or a calibration value written to the gas
    // register is no reading: the gas row keeps its reading, greyed).
    void GridTake(const TInstrument& source);
    // Whether the port, address box and model name the instrument the
    // grid's values come from.
    bool GridNamesBoxes() const;
    QString CommandNote(int devType, uint16_t word) const;
    void SetPanel(int panel, const QString& text);
    // The slave address a request would go to (address 0: the text of
    // CBAddr); nullopt when it is no integer from 1 to 247.  Marks nothing.
    std::optional<uint8_t> SlaveOf(uint8_t address) const;
    bool ParseAddress(uint8_t address, uint8_t& slave);
    // The user is typing an address that is not complete yet.
    bool AddressBeingTyped() const;
    // Opens the port if needed; false (the box shown) when it cannot be.
    bool OpenPort();
    // The one path of a port that cannot be opened or has failed under a
    // request (`error`: errno, 0 unknown): the port error box with the
    // reason, once per outage for the timers' requests, which go on trying
    // quietly; every time for a request the user makes.
    void ShowPortError(int error);
    // Status panel 3 after an answer or error; says when the port is back.
    void ShowOutcome(const QString& text);
    // Marks the requests a timer makes while it lives.
    struct TimerRequest {
        explicit TimerRequest(TMForm& f) : form(f), was(f.timerRequest_) { form.timerRequest_ = true; }
        ~TimerRequest() { form.timerRequest_ = was; }
        TMForm& form;
        bool was;
    };
    // Fills the port box anew, keeping the chosen port when it is still there.
    void RefreshPorts();
    // "Сеть…": a new network entry, chosen and remembered; on cancel the
    // port chosen before stays.
    void AddNetEntry();
    // Speed and parity reach only a serial port or an RFC 2217 device server.
    void ShowLineBoxes(const PortItem& item);
    // Opens the port when needed and hands the request to the master:
    // 0, or 3 when the port cannot be opened.  `undo` is what the
    // current-output group showed before the click that made the request.
    int SendRequest(std::optional<TCurrentView> undo = std::nullopt);
    // WriteRegister, with what to show again if the request fails.
    int Write(uint8_t address, uint8_t reg, int32_t value, std::optional<TCurrentView> undo);
    // Whether the guest has taken `send` to make later.
    bool Held(std::function<void()> send) {
        if (!Guest || !Guest->Holds()) return false;
        Guest->Hold(std::move(send));
        return true;
    }
    // The request of a write that has passed its checks: 0 (also when a
    // transaction is open and it is dropped), or 3.
    int SendWrite(uint8_t slave, uint8_t reg, uint16_t word, std::optional<TCurrentView> undo);
    // Runs the event loop while `busy` holds, for at most `ms` milliseconds.
    void WaitWhile(const std::function<bool()>& busy, int ms);
    // Lets the open request end (an automatic reading), so that a command
    // the user has just confirmed is not dropped for it.
    void WaitForIdle();
    // "№5, ОРН10-X-X1 MB4, сер. номер 1234" of the instrument in the boxes;
    // the serial number as read from it, or that it was not.
    QString InstrumentText() const;
    // Asks whether to go on with an irreversible command: true for `yes`;
    // Enter and Esc keep the instrument as it is.
    bool Confirm(const QString& title, const QString& text, const QString& yes);
    // Before the window leaves an instrument whose current output this
    // session fixed (`move` says how), asks whether to release it first;
    // false when the user stays.  No question while there is none such.
    bool MayLeaveFixedOutput(const QString& move);
    // Whether a request may go to `slave`: asks first when it leaves the
    // fixed output of another instrument; false when it must not be sent.
    bool MayTalkTo(uint8_t slave);
    // Writes the fixed output's release and waits for the answer; true when
    // the instrument confirmed it.
    bool ReleaseFixedOutput();
    // Keeps fixedOutput_ with an answer: set by the echo of a fix, gone with
    // the echo of a release or a reading of the output released.
    void FollowFixedOutput(const TInstrument& answered);
    // One current output: port, device and slave address (the model it is
    // read as does not matter).
    static bool SameOutput(const TInstrument& a, const TInstrument& b) {
        return a.Port == b.Port && a.Device == b.Device && a.Slave == b.Slave;
    }
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
    std::vector<NetEntry> netEntries_;  // the user's network entries, most recently used first
    bool portErrorBoxShown_ = false;
    bool portOutage_ = false;    // the port could not be opened and has not been since
    bool portBack_ = false;      // opened after an outage; not said yet
    bool timerRequest_ = false;  // a timer is making the request
    bool startingSearch_ = false;
    bool stoppingSearch_ = false;
    // The instrument RegImage was last read from; none once an answer of
    // another instrument has been stored into it.
    TInstrument imageFrom_;
    // Of the request handed to the master last: the model it was made for,
    // and what to show again once if it fails.
    int requestDevType_ = InitialDevType;
    std::optional<TCurrentView> undo_;
    // A current output this session fixed and has not released: where it
    // is, its instrument in words, its status word as last seen.
    struct TFixedOutput {
        TInstrument Where;
        QString Name;
        uint16_t Status = 0;
    };
    std::optional<TFixedOutput> fixedOutput_;
    bool askingAboutFixed_ = false;
    // The selection of the 4/20 mA pair when a key was pressed on it (the
    // arrow keys select the other button before they move the focus there).
    std::optional<bool> twentyAtKey_;
    // The grid shows only registers received from gridFrom_ (gridValid_),
    // in grey those not received again since the last failure (gridFresh_)
    // and all of them while the boxes name another instrument.  RegImage is
    // the writes' image and may hold what the grid must not show.
    TInstrument gridFrom_;
    TRegImage gridImage_;
    uint16_t gridValid_ = 0;
    uint16_t gridFresh_ = 0;
    QString gridReadAt_;   // time of the last read of gridFrom_
    QString gasNote_;      // what was written to the gas register since that read
    int sizingColumn_ = -1;   // column whose border is being dragged
    int sizingStartX_ = 0;
    int sizingStartWidth_ = 0;
};

} // namespace orn
