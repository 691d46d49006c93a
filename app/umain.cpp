#include "umain.h"

#include "icons.h"
#include "net_dialog.h"
#include "port_box.h"
#include "readings_log.h"
#include "ueditdialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTableWidget>
#include <QTime>
#include <QToolButton>

#include <algorithm>
#include <type_traits>
#include <cstdlib>

namespace orn {

const char* const TMForm::Caption = "ORN10-X-XX Util v2.2";

namespace {

// Controls stand inside a border of 6 pixels; the layout is in pixels at
// 96 dpi relative to the inner area.
constexpr int Border = 6;
constexpr int ClientWidth = 551;
constexpr int ClientHeight = 299;

// The grid is laid out as a classic string grid, whose 1-pixel lines lie
// outside the cells: rows of 22 pixels and columns of 110 (column 0: 122),
// each followed by its line.  A Qt section includes its line, so the
// sections are one pixel larger: rows 23 pixels apart, the values at 123.
constexpr int GridLine = 1;
constexpr int GridRowPitch = 22 + GridLine;
constexpr int GridColumnPitch = 110 + GridLine;
constexpr int GridLabelPitch = 122 + GridLine;
// A column border dragged by the user stops where either column would be
// narrower than this, so both stay in sight and can be grabbed again.
constexpr int GridMinColumn = 16;

// The speeds offered, as ordinals of TComPortBaudRate: 1200 .. 115200.
constexpr TComPortBaudRate SpeedMap[] = {br1200, br2400, br4800, br9600, br19200, br38400, br57600, br115200};

const char* const PortErrorText = "Ошибка:\n Не могу открыть порт!";
const char* const PortErrorCaption = "ORN Modbus";

// A control with its object name, place and (for labels, buttons and group
// boxes) its text.
template <class W> W* Make(QWidget* parent, const char* name, int x, int y, int w, int h, const char* text = nullptr) {
    auto* widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(x, y, w, h);
    if constexpr (std::is_base_of_v<QGroupBox, W>) {
        if (text) widget->setTitle(QString::fromUtf8(text));
    } else if constexpr (std::is_base_of_v<QLabel, W> || std::is_base_of_v<QAbstractButton, W>) {
        if (text) widget->setText(QString::fromUtf8(text));
    }
    return widget;
}

QString Number(int n) { return QString::number(n); }

// The slave address a text of the address box names: an integer from 1 to
// 247, or 0 when it names none.
int AddressOf(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok && value >= 1 && value <= 247 ? value : 0;
}

} // namespace

// ---------------------------------------------------------------- creation

TMForm::TMForm(Scheduler& scheduler, SerialBackend& backend, std::function<PortScan()> scanPorts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      ScanPorts(scanPorts ? std::move(scanPorts) : SystemPorts),
      scheduler_(scheduler) {
    // The master, with the settings the window stores for it.
    MB = std::make_unique<TModbusM>(scheduler, backend);
    MB->SetComPort(pnCOM1);
    MB->SetComPortBaudRate(br19200);
    MB->SetComPortParity(ptEVEN);
    MB->SlaveId = 1;
    MB->FunctionCode = 3;
    MB->Offset = 0;
    MB->Quantity = 1;
    MB->RegisterDim = 2;
    MB->SetFTimeout(1000);
    MB->OnResponseReady = [this](TModbusM* sender) { MBResponseReady(sender); };
    MB->OnError = [this](TModbusM* sender, const std::string& msg) { MBError(sender, msg); };

    TimerEdit = scheduler.createTimer([this] { TimerEditTimer(); });
    TimerEdit->setInterval(200);
    TimerAuto = scheduler.createTimer([this] { TimerAutoTimer(); });
    TimerAuto->setInterval(2000);
    TimerOnes = scheduler.createTimer([this] { TimerOnesTimer(); });
    TimerOnes->setInterval(2000);

    DecimalSeparator = QLocale::system().decimalPoint().toStdString();
    ShowPortErrorBox = [this] {
        QMessageBox box(QMessageBox::Critical, QString::fromUtf8(PortErrorCaption), PortErrorMessage, QMessageBox::Ok,
                        this);
        box.exec();
    };
    AskNetEntry = [this](const NetEntry& proposal) -> std::optional<NetEntry> {
        TNetDialog dialog(proposal, this);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.Entry();
    };
    netEntries_ = LoadNetEntries();
    Ask = [this](const TQuestion& q) {
        QMessageBox box(QMessageBox::Warning, q.Title, q.Text, QMessageBox::NoButton, this);
        std::vector<QAbstractButton*> buttons;
        for (int i = 0; i < q.Buttons.size(); ++i) {
            const auto role = i == q.Escape    ? QMessageBox::RejectRole
                              : i == q.Default ? QMessageBox::AcceptRole
                                               : QMessageBox::DestructiveRole;
            buttons.push_back(box.addButton(q.Buttons[i], role));
        }
        box.setDefaultButton(static_cast<QPushButton*>(buttons[size_t(q.Default)]));
        box.setEscapeButton(buttons[size_t(q.Escape)]);
        box.exec();
        const auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
        return chosen == buttons.end() ? q.Escape : int(chosen - buttons.begin());
    };

    BuildLayout();

    // The constructor's own steps.
    Finding = false;
    FoundCount = 0;
    FindAddr = 1;
    TxCount = RxCount = ErrCount = 0;
    Waiting = false;
    SetPanel(0, "Tx: " + Number(TxCount));
    SetPanel(1, "Rx: " + Number(RxCount));
    SetPanel(2, "Err: " + Number(ErrCount));
    SetTag(BtCalb, 2);
    SetTag(SBtWrLimit1, 8);
    SetTag(SBtWrLimit2, 9);
    SetTag(SBtWrMagnet, 7);
    SetTag(SBtWrCurrent, 10);
    DevType = CBDev->currentIndex();
    for (int r = 0; r < Grid->rowCount(); ++r)
        Grid->item(r, 0)->setText(QString::fromUtf8(RowLabels(DevType, r)));
    Grid->setColumnWidth(0, GridLabelPitch);
    RegOffset = 1;
    RegCount = 13;
}

TMForm::~TMForm() {
    // The master goes first so that no event of it reaches a half-destroyed window.
    MB.reset();
}

void TMForm::BuildLayout() {
    setWindowTitle(QString::fromUtf8(Caption));
    setWindowIcon(QIcon(QPixmap::fromImage(ProgramIcon())));
    // The layout is measured in "MS Sans Serif" 8 pt; where that is missing,
    // the nearest narrow sans fonts keep the texts inside their controls.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(ClientWidth + 2 * Border, ClientHeight + 2 * Border);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);

    auto at = [](int v) { return v + Border; };
    auto utf8 = [](const char* s) { return QString::fromUtf8(s); };

    // Port settings.
    GBPort = Make<QGroupBox>(this, "GBPort", at(0), at(0), 181, 113, "Связь");
    LabelPort = Make<QLabel>(GBPort, "LabelPort", 8, 24, 28, 13, "Порт:");
    LabelSpeed = Make<QLabel>(GBPort, "LabelSpeed", 8, 52, 51, 13, "Скорость:");
    LabelParity = Make<QLabel>(GBPort, "LabelParity", 8, 80, 51, 13, "Чётность:");
    auto* portBox = Make<TPortBox>(GBPort, "CBPortNum", 68, 20, 69, 21);
    portBox->OnPopup = [this] { RefreshPorts(); };
    CBPortNum = portBox;
    // The first port listed is chosen at start.
    RefreshPorts();
    CBPortNumChange();
    CBPortSpeed = Make<QComboBox>(GBPort, "CBPortSpeed", 68, 48, 69, 21);
    for (TComPortBaudRate rate : SpeedMap) CBPortSpeed->addItem(Number(int(BaudRates[rate])));
    CBPortSpeed->setCurrentIndex(4);
    CBParity = Make<QComboBox>(GBPort, "CBParity", 68, 76, 69, 21);
    CBParity->addItems({"None", "Odd", "Even"});
    CBParity->setCurrentIndex(2);

    SBtFind = Make<QToolButton>(this, "SBtFind", at(0), at(120), 81, 26, "Найти");

    // Instrument.
    GBDev = Make<QGroupBox>(this, "GBDev", at(0), at(152), 181, 89, "Прибор");
    LabelType = Make<QLabel>(GBDev, "LabelType", 8, 24, 22, 13, "Тип:");
    LabelAddr = Make<QLabel>(GBDev, "LabelAddr", 8, 52, 34, 13, "Адрес:");
    CBDev = Make<QComboBox>(GBDev, "CBDev", 48, 20, 121, 21);
    for (const TModelInfo& m : Models) CBDev->addItem(utf8(m.ItemText));
    CBDev->setCurrentIndex(InitialDevType);
    CBAddr = Make<QComboBox>(GBDev, "CBAddr", 48, 48, 61, 21);
    CBAddr->setEditable(true);
    CBAddr->setInsertPolicy(QComboBox::NoInsert);
    CBAddr->addItem("1");
    CBAddr->setCurrentIndex(0);

    // The free places right of SBtFind and SBtGo, up to the group boxes' edge.
    BtService = Make<QToolButton>(this, "BtService", at(100), at(120), 81, 26);
    BtService->setText(tr("Сервис"));
    BtService->setToolTip(tr("Обмен по линии, график, запись показаний в файл"));
    BtService->setPopupMode(QToolButton::InstantPopup);
    BtRecording = Make<QToolButton>(this, "BtRecording", at(86), at(248), 95, 26);
    BtRecording->setAutoRaise(true);
    BtRecording->setPopupMode(QToolButton::InstantPopup);
    // A state that opens the menu when clicked, without a menu arrow over its text.
    BtRecording->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"));
    QPalette red = BtRecording->palette();
    red.setColor(QPalette::ButtonText, QColor(176, 0, 0));
    BtRecording->setPalette(red);
    for (QToolButton* b : {BtService, BtRecording}) b->hide();

    SBtGo = Make<QToolButton>(this, "SBtGo", at(0), at(248), 81, 26, "Переключить");
    SBtGo->setToolTip(utf8("Переключить на работу с ORN терминалом"));
    SBtGo->setCursor(Qt::PointingHandCursor);

    // Readings.
    Label4 = Make<QLabel>(this, "Label4", at(192), at(0), 59, 13, "Показания:");
    LabelSource = Make<QLabel>(this, "LabelSource", at(256), at(0), 214, 13);
    LabelSource->setForegroundRole(QPalette::PlaceholderText);
    LabelSource->hide();
    Grid = Make<QTableWidget>(this, "Grid", at(192), at(16), 209, 257);
    Grid->setRowCount(GridRowCount);
    Grid->setColumnCount(2);
    Grid->horizontalHeader()->hide();
    Grid->verticalHeader()->hide();
    Grid->horizontalHeader()->setMinimumSectionSize(1);
    Grid->horizontalHeader()->setDefaultSectionSize(GridColumnPitch);
    Grid->verticalHeader()->setMinimumSectionSize(1);
    Grid->verticalHeader()->setDefaultSectionSize(GridRowPitch);
    Grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    Grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Grid->setShowGrid(true);
    // The sunken border of 2 pixels that the layout's size includes.
    Grid->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    Grid->setWordWrap(false);
    for (int r = 0; r < GridRowCount; ++r) {
        auto* label = new QTableWidgetItem;
        label->setFlags(Qt::ItemIsEnabled);   // the fixed column
        label->setBackground(palette().button());
        Grid->setItem(r, 0, label);
        Grid->setItem(r, 1, new QTableWidgetItem);
    }
    // Column borders can be dragged, as in a classic string grid.
    Grid->viewport()->setMouseTracking(true);
    Grid->viewport()->installEventFilter(this);

    const QIcon glyph(QPixmap::fromImage(WriteGlyph()));
    auto writeButton = [&](const char* name, int top, const char* hint) {
        auto* b = Make<QToolButton>(this, name, at(400), at(top), 23, 22);
        b->setAutoRaise(true);
        b->setIcon(glyph);
        b->setIconSize(QSize(16, 16));
        b->setToolTip(utf8(hint));
        return b;
    };
    SBtWrLimit1 = writeButton("SBtWrLimit1", 132, "Задать новый порог");
    SBtWrLimit2 = writeButton("SBtWrLimit2", 156, "Задать новый порог");
    SBtWrMagnet = writeButton("SBtWrMagnet", 180, "Задать новую концентрацию газа для магнитной градуировки");
    SBtWrCurrent = writeButton("SBtWrCurrent", 203, "Указать текущее значение тока (только для границ диапазона)");

    // Reading and commands.
    BoxAuto = Make<QCheckBox>(this, "BoxAuto", at(472), at(16), 73, 17, "Авто");
    SBtRead = Make<QToolButton>(this, "SBtRead", at(472), at(40), 75, 26, "Читать");
    SBtRead->setToolTip(utf8("Считать текущие показания из прибора"));
    BtZero = Make<QPushButton>(this, "BtZero", at(472), at(88), 75, 25, "Уст. 0");
    BtZero->setToolTip(utf8("Установка нуля показаний по концентрации"));
    BtCalb = Make<QPushButton>(this, "BtCalb", at(472), at(120), 75, 25, "Градуировка");
    BtCalb->setToolTip(utf8("Градуировка показаний по концентрации"));
    BtInit = Make<QPushButton>(this, "BtInit", at(472), at(152), 75, 25, "Сброс");
    BtInit->setToolTip(utf8("Сброс градуировки показаний по концентрации к заводской"));
    for (QPushButton* b : {BtZero, BtCalb, BtInit}) b->setAutoDefault(false);

    // Current output.
    GBCur = Make<QGroupBox>(this, "GBCur", at(432), at(200), 113, 73, "Ток");
    BoxFix = Make<QCheckBox>(GBCur, "BoxFix", 8, 16, 89, 17, "Фиксировать");
    Box4 = Make<QRadioButton>(GBCur, "Box4", 8, 40, 49, 17, "4мА");
    Box4->setChecked(true);
    Box4->setEnabled(false);
    Box20 = Make<QRadioButton>(GBCur, "Box20", 56, 40, 49, 17, "20мА");
    Box20->setEnabled(false);
    Box4->installEventFilter(this);
    Box20->installEventFilter(this);
    // Tab enters the pair at the selected button, as radio buttons usually
    // do, so that entering it by keyboard sends the current the screen shows.
    // (Qt would otherwise enter at the button focused last, which after an
    // undo or a release is the one not selected.)
    auto tabEntersSelected = [this] {
        for (QRadioButton* b : {Box4, Box20}) {
            int policy = b->focusPolicy();
            policy = b->isChecked() ? (policy | Qt::TabFocus) : (policy & ~int(Qt::TabFocus));
            b->setFocusPolicy(Qt::FocusPolicy(policy));
        }
    };
    tabEntersSelected();
    connect(Box4, &QRadioButton::toggled, this, tabEntersSelected);

    // Status bar: three counters and a message panel.
    StBar = Make<QStatusBar>(this, "StBar", at(0), at(280), ClientWidth, 19);
    // The window has a fixed size: a grip would resize nothing.
    StBar->setSizeGripEnabled(false);
    const int widths[4] = {70, 70, 70, 50};
    for (int i = 0; i < 4; ++i) {
        panels_[i] = new QLabel(StBar);
        panels_[i]->setObjectName(QStringLiteral("StBarPanel%1").arg(i));
        panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panels_[i]->setMinimumWidth(widths[i]);
        if (i < 3) panels_[i]->setFixedWidth(widths[i]);
        StBar->addWidget(panels_[i], i == 3 ? 1 : 0);
    }

    // Speed buttons and labels take no focus; the rest follow the tab order.
    for (QToolButton* b :
         {SBtFind, SBtGo, SBtRead, SBtWrLimit1, SBtWrLimit2, SBtWrMagnet, SBtWrCurrent, BtService, BtRecording})
        b->setFocusPolicy(Qt::NoFocus);
    QWidget* order[] = {CBPortNum, CBPortSpeed, CBParity, CBDev, CBAddr, Grid, BtInit,
                        BtZero,    BoxFix,      Box4,     Box20, BoxAuto, BtCalb};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    // Handlers.  Check boxes report every change of state, also by code.
    connect(CBPortNum, qOverload<int>(&QComboBox::activated), this, [this] {
        CBPortNumChange();
        ShowReadings();   // greyed: they come from the port before
    });
    connect(CBPortSpeed, qOverload<int>(&QComboBox::activated), this, [this] { CBPortSpeedChange(); });
    connect(CBParity, qOverload<int>(&QComboBox::activated), this, [this] { CBParityChange(); });
    connect(CBDev, qOverload<int>(&QComboBox::activated), this, [this] { CBDevChange(); });
    connect(SBtFind, &QToolButton::clicked, this, [this] { SBtFindClick(); });
    connect(SBtGo, &QToolButton::clicked, this, [this] { SBtGoClick(); });
    connect(SBtRead, &QToolButton::clicked, this, [this] { SBtReadClick(); });
    connect(SBtWrLimit1, &QToolButton::clicked, this, [this] { SBtWrLimit1Click(); });
    connect(SBtWrLimit2, &QToolButton::clicked, this, [this] { SBtWrLimit2Click(); });
    connect(SBtWrMagnet, &QToolButton::clicked, this, [this] { SBtWrMagnetClick(); });
    connect(SBtWrCurrent, &QToolButton::clicked, this, [this] { SBtWrCurrentClick(); });
    connect(BtZero, &QPushButton::clicked, this, [this] { BtZeroClick(); });
    connect(BtCalb, &QPushButton::clicked, this, [this] { BtCalbClick(); });
    connect(BtInit, &QPushButton::clicked, this, [this] { BtInitClick(); });
    connect(BoxAuto, &QCheckBox::toggled, this, [this] { BoxAutoClick(); });
    connect(BoxFix, &QCheckBox::toggled, this, [this] { BoxFixClick(); });
    // A click on the unknown state (partly checked) checks the box without
    // toggling it: it goes to the handler all the same.
    connect(BoxFix, &QCheckBox::clicked, this, [this] { if (BoxFix->isTristate()) BoxFixClick(); });
    // Enter in the address box reads, as a click on SBtRead.
    connect(CBAddr->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (SBtRead->isEnabled()) SBtReadClick();
    });
    connect(CBAddr, &QComboBox::editTextChanged, this, [this] {
        ShowCurrentOutput();
        ShowReadings();
    });
}

// ---------------------------------------------------------------- helpers

int TMForm::Tag(const QObject* control) { return control->property("Tag").toInt(); }
void TMForm::SetTag(QObject* control, int tag) { control->setProperty("Tag", tag); }

QString TMForm::PanelText(int panel) const { return panels_[panel]->text(); }
void TMForm::SetPanel(int panel, const QString& text) { panels_[panel]->setText(text); }

std::optional<uint8_t> TMForm::SlaveOf(uint8_t address) const {
    const int value = address != 0 ? address : AddressOf(CBAddr->currentText());
    if (value < 1 || value > 247) return std::nullopt;
    return uint8_t(value);
}

bool TMForm::ParseAddress(uint8_t address, uint8_t& slave) {
    const std::optional<uint8_t> valid = SlaveOf(address);
    if (!valid) {
        // Mark the box red for one tick of TimerEdit, which then puts "1" back.
        QPalette pal = CBAddr->lineEdit()->palette();
        pal.setColor(QPalette::Base, QColor(255, 0, 0));
        CBAddr->lineEdit()->setPalette(pal);
        TimerEdit->setEnabled(true);
        return false;
    }
    slave = *valid;
    return true;
}

bool TMForm::OpenPort() {
    if (MB->Connected()) return true;
    if (OnPortOpening) OnPortOpening();
    if (MB->Connect()) {
        // The first answer or error after an outage says that it is over;
        // until one comes the outage goes on (a network link is opened at
        // once and may only then fail to connect).
        portBack_ = portOutage_;
        // Another device under the name the image was read through (an
        // adapter swapped) is another instrument.
        if (imageFrom_.Port == MB->PortName() && imageFrom_.Device != MB->DeviceId()) {
            imageFrom_ = TInstrument{};
            ShowCurrentOutput();
        }
        return true;
    }
    if (OnPortOpenFailed) OnPortOpenFailed(MB->ConnectError());
    SetPanel(3, tr("%1: не могу открыть порт").arg(PortLabel()));
    ShowPortError(MB->ConnectError());
    return false;
}

void TMForm::ShowPortError(int error) {
    // The box comes once per outage for what the timers do (automatic
    // reading, the search's steps), which go on trying quietly; a request
    // the user makes shows it each time.  While the box is up its event
    // loop goes on; a request that fails in the meantime does not open a
    // second one.
    const bool quiet = portOutage_ && timerRequest_;
    portOutage_ = true;
    portBack_ = false;
    if (quiet || portErrorBoxShown_) return;
    portErrorBoxShown_ = true;
    PortErrorMessage = QString::fromUtf8(PortErrorText);
    const std::string reason = PortErrorReason(error);
    if (!reason.empty()) PortErrorMessage += "\n " + QCoreApplication::translate("PortError", reason.c_str());
    ShowPortErrorBox();
    portErrorBoxShown_ = false;
}

QString TMForm::PortLabel() const {
    // The name in the closed port box ("COM1", "ttyUSB0"), else the master's.
    const int i = CBPortNum->currentIndex();
    if (i >= 0 && i < int(portItems_.size()) && portItems_[size_t(i)].key() == chosenPort_)
        return CBPortNum->itemData(i).toString();
    return QString::fromStdString(MB->PortName());
}

void TMForm::ShowOutcome(const QString& text) {
    SetPanel(3, portBack_ ? text + tr(" — порт снова доступен") : text);
    portBack_ = false;
}

int TMForm::SendRequest(std::optional<TCurrentView> undo) {
    if (!OpenPort()) return 3;
    // A busy master refuses this request and goes on with the open one.
    if (!MB->Busy()) {
        requestDevType_ = DevType;
        undo_ = undo;
    }
    // Set first: the master may report a refusal before Query returns.
    Waiting = true;
    MB->Query();
    ++TxCount;
    SetPanel(0, "Tx: " + Number(TxCount));
    return 0;
}

// ---------------------------------------------------------------- reading

int TMForm::ReadRegisters(uint8_t address, uint8_t first, uint8_t count) {
    uint8_t slave = 0;
    if (!ParseAddress(address, slave)) return 2;
    if (!MayTalkTo(slave)) return 0;
    // Behind a tool's request the read waits, for the address given now.
    if (Held([this, slave, first, count] { ReadRegisters(slave, first, count); })) return 0;
    // While a transaction is open its request stays as it is: the answer on
    // its way is judged and stored by it.  The master refuses this read.
    if (!MB->Busy()) {
        MB->SlaveId = slave;
        MB->FunctionCode = 3;
        MB->Offset = first;
        MB->Quantity = count;
        MB->RegisterDim = 2;
        MB->SetFTimeout(500);
    }
    return SendRequest();
}

void TMForm::SBtReadClick() { ReadRegisters(0, RegOffset, RegCount); }

void TMForm::BoxAutoClick() {
    TimerAuto->setInterval(2000);
    TimerAuto->setEnabled(BoxAuto->isChecked());
    SBtRead->setEnabled(!BoxAuto->isChecked());
}

bool TMForm::AddressBeingTyped() const {
    // The caret is in the address box (it stays there while the user looks
    // at another window) and its text is not an address yet: every text on
    // the way to one, the empty one included, is the user's, not a mistake.
    const QWidget* caret = focusWidget();
    return (caret == CBAddr || caret == CBAddr->lineEdit()) && AddressOf(CBAddr->currentText()) == 0;
}

void TMForm::TimerAutoTimer() {
    const TimerRequest fromTimer(*this);
    if (!Finding) {
        // A read the timer starts does not take an address that is still
        // being typed: this tick reads nothing and leaves the text alone.
        // Nor does it collide with a request of the window still open (a
        // write): the next tick reads.  Behind a tool's it waits.
        if (!AddressBeingTyped() && !MasterBusy()) SBtReadClick();
        return;
    }
    // One step of the bus search.
    ++FindAddr;
    if (FindAddr > 247) {
        SBtFindClick();
        return;
    }
    ReadRegisters(FindAddr, RegOffset, RegCount);
    // A port that cannot be opened keeps its text there.
    if (!portOutage_) SetPanel(3, QString::fromUtf8("№") + Number(FindAddr));
}

void TMForm::TimerOnesTimer() {
    // A request of the window still open: the read comes with the next tick.
    if (MasterBusy()) return;
    const TimerRequest fromTimer(*this);
    // During a bus search only probes may read: the answer to any other
    // read would be counted as an instrument found.  Like the automatic
    // reading, it does not take an address that is still being typed.
    if (!Finding && !AddressBeingTyped()) SBtReadClick();
    TimerOnes->setEnabled(false);
}

void TMForm::TimerEditTimer() {
    TimerEdit->setEnabled(false);
    CBAddr->setEditText("1");
    CBAddr->lineEdit()->setPalette(CBAddr->palette());
}

void TMForm::MBResponseReady(TModbusM* /*Sender*/) {
    MB->Disconnect();
    ++RxCount;
    SetPanel(1, "Rx: " + Number(RxCount));
    const QString slave = QString::fromUtf8("№") + Number(MB->SlaveId);
    ShowOutcome(slave + ": Ok");
    portOutage_ = false;
    undo_.reset();
    const size_t stored = RegImage.Store(MB->Offset, MB->ResponseData());
    const TInstrument answered{MB->PortName(), MB->DeviceId(), MB->SlaveId, requestDevType_};
    GridTake(answered);
    FollowFixedOutput(answered);
    // A reading makes the image that of the instrument read (a probe of the
    // bus search is no reading: it does not set the current output's state);
    // anything another instrument answers makes it no one's.
    if (MB->FunctionCode == 3 && !Finding) imageFrom_ = answered;
    else if (stored > 0 && !(imageFrom_ == answered)) imageFrom_ = TInstrument{};
    ShowCurrentOutput();

    if (MB->FunctionCode == 6) {
        if (MB->Offset == RegServiceProtocol) {
            SetPanel(3, slave + QString::fromUtf8(": Переключен на служебный протокол"));
            // The grid keeps its values; the request is over all the same.
            Waiting = false;
            return;
        }
        const bool reread = IsMB() ? (MB->Offset == 1 || MB->Offset == 2) : MB->Offset == 5;
        if (!BoxAuto->isChecked() && reread) TimerOnes->setEnabled(true);
    } else if (MB->FunctionCode == 3) {
        if (Finding) {
            ++FoundCount;
            // The address just found becomes the selected one.  (The box
            // selects the first item added to an empty list by itself, so
            // counting on from the current index would skip past it.)
            CBAddr->addItem(Number(MB->SlaveId));
            CBAddr->setCurrentIndex(CBAddr->count() - 1);
        } else if (IsMB() && CurrentOutputKnown() && BoxFix->isChecked() != RegImage.CurrentFixed()) {
            BoxFix->setChecked(RegImage.CurrentFixed());
        }
    }
    ShowReadings();
    if (DlgForm) DlgForm->UpdateRange();
    Waiting = false;
}

void TMForm::MBError(TModbusM* /*Sender*/, const std::string& /*ErrorMsg*/) {
    const uint8_t code = MB->ErrorCode();
    // A request refused because another is open is counted and shown, but
    // the open one goes on: its port stays open and it ends on its own.
    const bool refused = code == mbMasterBusy;
    if (!refused) MB->Disconnect();
    ++ErrCount;
    SetPanel(2, "Err: " + Number(ErrCount));
    const QString slave = QString::fromUtf8("№") + Number(MB->SlaveId);
    // The device failed under the request (an adapter pulled): the port, not
    // the instrument, failed, as when it cannot be opened.
    const int deviceError = code == mbCommError ? MB->DeviceError() : 0;
    const int shown = deviceError ? int(mbPortNotOpen) : int(code);
    if (deviceError) portBack_ = false;   // the outage goes on
    ShowOutcome(Finding ? slave : slave + ": " + QString::fromUtf8(MBErrorText(shown)));
    if (refused) return;
    if (!deviceError) portOutage_ = false;
    // Whatever the grid shows is not confirmed any more.
    gridFresh_ = 0;
    ShowReadings();

    // A failed write of the current output shows again what the group showed
    // before the click, once: a request can report more than one error
    // (exception 5, then its timeout).
    if (undo_) {
        ShowCurrentView(*undo_);
        undo_.reset();
        ShowCurrentOutput();
    }
    Waiting = false;
    if (deviceError) ShowPortError(deviceError);
}

void TMForm::GridTake(const TInstrument& source) {
    if (!(source == gridFrom_)) {
        gridFrom_ = source;
        gridValid_ = gridFresh_ = 0;
        gasNote_.clear();
    }
    const TDataByte& data = MB->ResponseData();
    if (MB->FunctionCode == 6) {
        const TModelInfo* model = ModelOf(source.DevType);
        if (data.size() < 2 || MB->Offset >= RegImageSize) return;
        const uint16_t word = uint16_t((data[0] << 8) | data[1]);
        if (model && MB->Offset == model->RegCalb) {
            // A command, a calibration value or the fixed output's value:
            // the register will read as gas again once the instrument is read.
            gridFresh_ &= uint16_t(~(1u << MB->Offset));
            gasNote_ = CommandNote(source.DevType, word);
            return;
        }
        gridImage_.Set(MB->Offset, word);
        gridValid_ |= uint16_t(1u << MB->Offset);
        gridFresh_ |= uint16_t(1u << MB->Offset);
        return;
    }
    for (size_t k = 0; 2 * k + 1 < data.size() && MB->Offset + k < size_t(RegImageSize); ++k) {
        const int reg = int(MB->Offset + k);
        gridImage_.Set(reg, uint16_t((data[2 * k] << 8) | data[2 * k + 1]));
        gridValid_ |= uint16_t(1u << reg);
        gridFresh_ |= uint16_t(1u << reg);
    }
    gridReadAt_ = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    gasNote_.clear();
}

QString TMForm::CommandNote(int devType, uint16_t word) const {
    QString what;
    if (word == CmdSetZero) what = tr("установка нуля");
    else if (word == CmdResetCalibration) what = tr("сброс градуировки к заводской");
    else if (IsMBModel(devType) && RegImage.CurrentFixed())
        what = word == 0 ? tr("ток выхода 4 мА") : tr("ток выхода 20 мА");
    else what = tr("градуировка при %1").arg(QString::fromStdString(ExactHundredths(word, DecimalSeparator)));
    return tr("Записано: %1 (%2). Показание обновится при следующем чтении.")
        .arg(what, QString::fromStdString(HexText(word)));
}

bool TMForm::GridNamesBoxes() const {
    return gridFrom_.Port == MB->PortName() && gridFrom_.Device == MB->DeviceId() &&
           gridFrom_.Slave == SlaveOf(0).value_or(0) && gridFrom_.DevType == DevType;
}

void TMForm::ShowReadings() {
    // Values of another instrument than the one the boxes name are shown,
    // but greyed; values of another model are no values of this one.
    const bool current = GridNamesBoxes();
    const bool sameModel = gridFrom_.DevType == DevType;
    const QBrush grey = palette().brush(QPalette::Disabled, QPalette::Text);
    bool anyStale = false;
    for (int r = 0; r < GridRowCount; ++r) {
        const uint16_t regs = RowRegisters(DevType, r);
        if (!regs) continue;
        QTableWidgetItem* cell = Grid->item(r, 1);
        const bool shown = sameModel && (gridValid_ & regs) == regs;
        const bool stale = shown && (!current || (gridFresh_ & regs) != regs);
        anyStale = anyStale || stale;
        cell->setText(shown ? QString::fromStdString(ReadingText(DevType, r, gridImage_, DecimalSeparator).value_or(""))
                            : QString());
        cell->setForeground(stale ? grey : palette().text());
        cell->setToolTip(r == GasRow && !gasNote_.isEmpty() && (shown || current) ? gasNote_ : QString());
    }
    if (!anyStale) {
        LabelSource->hide();
        return;
    }
    // "MB4", "X-20": the model's name without the family's.
    QString model = QString::fromUtf8(ModelOf(gridFrom_.DevType)->ItemText).section(QLatin1Char(' '), -1);
    model.remove(QString::fromUtf8("ОРН10-"));
    const QString port = QString::fromStdString(gridFrom_.Port).section(QLatin1Char('/'), -1);
    LabelSource->setText(gridReadAt_.isEmpty()
                             ? tr("устарели: №%1 (%2, %3)").arg(gridFrom_.Slave).arg(model, port)
                             : tr("устарели: №%1 (%2, %3) в %4").arg(gridFrom_.Slave).arg(model, port, gridReadAt_));
    LabelSource->setToolTip(tr("Серые значения прочитаны из прибора №%1 (%2, порт %3) и с тех пор не подтверждены.")
                                .arg(gridFrom_.Slave)
                                .arg(QString::fromUtf8(ModelOf(gridFrom_.DevType)->ItemText),
                                     QString::fromStdString(gridFrom_.Port)));
    LabelSource->show();
}

void TMForm::CBDevChange() {
    const int previousDevType = DevType;
    DevType = CBDev->currentIndex();
    for (int r = 0; r < Grid->rowCount(); ++r) {
        Grid->item(r, 0)->setText(QString::fromUtf8(RowLabels(DevType, r)));
        Grid->item(r, 1)->setText(QString());
    }
    // The values come back only with the next answer.
    if (DevType != previousDevType) gridValid_ = 0;
    LabelSource->hide();
    const TModelInfo& model = *ModelOf(DevType);
    SBtWrLimit1->setEnabled(model.EnLimit1);
    SBtWrLimit2->setEnabled(model.EnLimit2);
    SBtWrMagnet->setEnabled(model.EnMagnet);
    SBtWrCurrent->setEnabled(model.EnCurrent);
    GBCur->setEnabled(model.EnGBCur);
    // Tags of the controls whose register differs between the groups.
    SetTag(BtCalb, IsMB() ? 2 : 5);
    SetTag(SBtWrLimit1, IsMB() ? 8 : 6);
    SetTag(SBtWrLimit2, IsMB() ? 9 : 7);
    RegOffset = model.RegOffset;
    RegCount = model.RegCount;
    // The dialog's register is one of the previous model's; on this model
    // it may be another value altogether (a serial number word).
    if (DlgForm && DevType != previousDevType) DlgForm->CancelBtnClick();
    ShowCurrentOutput();
}

// ---------------------------------------------------------------- port settings

void TMForm::CBPortNumChange() {
    const int i = CBPortNum->currentIndex();
    if (i == int(portItems_.size())) {
        AddNetEntry();
        return;
    }
    if (i < 0 || i >= int(portItems_.size())) return;
    const PortItem item = portItems_[size_t(i)];
    if (item.key() != chosenPort_ && !MayLeaveFixedOutput(tr("перейти на порт %1").arg(CBPortNum->currentText()))) {
        // Staying on the port chosen before.
        for (size_t k = 0; k < portItems_.size(); ++k)
            if (portItems_[k].key() == chosenPort_) CBPortNum->setCurrentIndex(int(k));
        return;
    }
    // The master takes either only while its port is closed.
    MB->SetComPortPath(item.path);
    if (item.number) MB->SetComPort(TComPortNumber(item.number - 1));
    chosenPort_ = item.key();
    ShowLineBoxes(item);
    if (item.net) {
        MB->SetNetAllowance(uint16_t(item.net->allowanceMs));
        // The entry used last comes first in the list, this time and the next.
        PutFirst(netEntries_, *item.net);
        SaveNetEntries(netEntries_);
    }
    // The image belongs to the port it was read through, as to its address.
    // (Nothing is known before the first answer; the controls shown then
    // may not all exist yet.)
    if (RxCount > 0) ShowCurrentOutput();
}

void TMForm::RefreshPorts() {
    PortList list = BuildPortList(ScanPorts(), chosenPort_, netEntries_);
    CBPortNum->clear();
    for (const PortItem& item : list.items) {
        QString text = QString::fromStdString(item.text);
        if (item.net) text += QString::fromUtf8(" — ") + NetProtocolName(item.net->address.protocol);
        CBPortNum->addItem(text, QString::fromStdString(item.shortText));
    }
    CBPortNum->addItem(tr("Сеть…"));
    // A chosen port that is gone leaves the box empty; the master keeps it,
    // so the next request says why it cannot be opened.
    CBPortNum->setCurrentIndex(list.current);
    portItems_ = std::move(list.items);
}

void TMForm::AddNetEntry() {
    const auto chosen = std::find_if(portItems_.begin(), portItems_.end(),
                                     [&](const PortItem& p) { return p.key() == chosenPort_; });
    NetEntry proposal;
    proposal.address.protocol = NetProtocol::ModbusTcp;
    proposal.address.port = 502;
    if (chosen != portItems_.end() && chosen->net) proposal = *chosen->net;
    const std::optional<NetEntry> entry = AskNetEntry(proposal);
    if (entry) {
        PutFirst(netEntries_, *entry);
        SaveNetEntries(netEntries_);
    }
    // Listed, and the port chosen before still chosen: the new entry is
    // then chosen as the user would choose it.
    RefreshPorts();
    if (!entry) return;
    for (size_t k = 0; k < portItems_.size(); ++k)
        if (portItems_[k].key() == entry->address.url()) CBPortNum->setCurrentIndex(int(k));
    CBPortNumChange();
}

void TMForm::ShowLineBoxes(const PortItem& item) {
    const bool applies = !item.net || item.net->address.protocol == NetProtocol::Rfc2217;
    const QString why =
        applies ? QString()
                : tr("Скорость и чётность линии задаются в настройках шлюза или преобразователя: по протоколу %1 "
                     "программа их не передаёт (передаёт только по RFC 2217).")
                      .arg(NetProtocolName(item.net->address.protocol));
    // At start the boxes do not exist yet; the first port is no network one.
    for (QWidget* w : {static_cast<QWidget*>(CBPortSpeed), static_cast<QWidget*>(CBParity)}) {
        if (!w) continue;
        w->setEnabled(applies);
        w->setToolTip(why);
    }
    // The closed box is too narrow for a network address: it is told whole here.
    CBPortNum->setToolTip(item.net ? CBPortNum->currentText() : QString());
}

void TMForm::CBPortSpeedChange() {
    const int i = CBPortSpeed->currentIndex();
    if (i >= 0 && i < int(std::size(SpeedMap))) MB->SetComPortBaudRate(SpeedMap[i]);
}

void TMForm::CBParityChange() { MB->SetComPortParity(TComPortParity(CBParity->currentIndex())); }

void TMForm::FormClose() { MB->Disconnect(); }

void TMForm::closeEvent(QCloseEvent* event) {
    if (!MayLeaveFixedOutput(tr("закрыть программу"))) {
        event->ignore();
        return;
    }
    FormClose();
    QWidget::closeEvent(event);
}

// ---------------------------------------------------------------- writes

int TMForm::WriteRegister(uint8_t address, uint8_t reg, int32_t value) {
    return Write(address, reg, value, std::nullopt);
}

int TMForm::Write(uint8_t address, uint8_t reg, int32_t value, std::optional<TCurrentView> undo) {
    if (!ImageServesWrite(address, reg)) return 4;
    const uint16_t word = uint16_t(uint32_t(value) & 0xFFFF);
    if (!WriteValueAllowed(DevType, reg, word, RegImage)) return 1;
    uint8_t slave = 0;
    if (!ParseAddress(address, slave)) return 2;
    if (!MayTalkTo(slave)) return 0;
    // Behind a tool's request the write waits, checked again when it goes;
    // what the current-output group showed before comes back if it fails then.
    if (Held([this, slave, reg, value, undo] {
            if (Write(slave, reg, value, undo) != 0 && undo) ShowCurrentView(*undo);
        }))
        return 0;
    // The open transaction still needs its request to judge its answer.
    if (MB->Busy()) return 0;
    if (WriteUsesImage(DevType, reg)) {
        // Only the open port tells which device is behind its name.
        if (!OpenPort()) return 3;
        if (!ImageServesWrite(address, reg)) {
            MB->Disconnect();
            return 4;
        }
    }
    return SendWrite(slave, reg, word, undo);
}

int TMForm::SendWrite(uint8_t slave, uint8_t reg, uint16_t word, std::optional<TCurrentView> undo) {
    if (MB->Busy()) return 0;
    MB->SlaveId = slave;
    MB->FunctionCode = 6;
    MB->Offset = reg;
    MB->RegisterDim = 2;
    MB->RequestData = {uint8_t(word >> 8), uint8_t(word & 0xFF)};
    MB->SetFTimeout(500);
    return SendRequest(undo);
}

void TMForm::WaitWhile(const std::function<bool()>& busy, int ms) {
    const uint32_t start = scheduler_.nowMs();
    while (busy() && scheduler_.nowMs() - start < uint32_t(ms) && scheduler_.processPendingEvents()) {
    }
}

void TMForm::WaitForIdle() {
    // The master ends every request by its answer timeout.
    WaitWhile([this] { return MB->Busy(); }, 2000);
}

QString TMForm::InstrumentText() const {
    const uint16_t serial = RowRegisters(DevType, 0);
    const bool read = GridNamesBoxes() && serial && (gridValid_ & serial) == serial;
    return tr("№%1, %2, сер. номер %3")
        .arg(SlaveOf(0).value_or(0))
        .arg(CBDev->currentText(),
             read ? QString::fromStdString(ReadingText(DevType, 0, gridImage_, DecimalSeparator).value_or(""))
                  : tr("не прочитан"));
}

bool TMForm::Confirm(const QString& title, const QString& text, const QString& yes) {
    return Ask({title, text, {yes, tr("Отмена")}, 1, 1}) == 0;
}

// ---------------------------------------------------------------- a fixed output left behind

void TMForm::FollowFixedOutput(const TInstrument& answered) {
    const TDataByte& data = MB->ResponseData();
    // The status word as written (its echo) or as read from an MB model.
    const bool status = IsMBModel(answered.DevType) && MB->Offset == 1 && data.size() >= 2 &&
                        (MB->FunctionCode == 6 || (MB->FunctionCode == 3 && !Finding));
    if (!status) return;
    const uint16_t word = uint16_t((data[0] << 8) | data[1]);
    const bool known = fixedOutput_ && SameOutput(fixedOutput_->Where, answered);
    if (!(word & CurrentFixedMask)) {
        if (known) fixedOutput_.reset();   // released, here or elsewhere
    } else if (known) {
        fixedOutput_->Status = word;
    } else if (MB->FunctionCode == 6) {
        fixedOutput_ = TFixedOutput{answered, InstrumentText(), word};
    }
}

bool TMForm::MayTalkTo(uint8_t slave) {
    // The port is asked about when it is chosen, the bus search when it starts.
    if (Finding || !fixedOutput_ || fixedOutput_->Where.Slave == slave) return true;
    if (MayLeaveFixedOutput(tr("обратиться к прибору №%1").arg(slave))) return true;
    // Staying: the address box names the instrument again.
    if (fixedOutput_ && !askingAboutFixed_) CBAddr->setEditText(Number(fixedOutput_->Where.Slave));
    return false;
}

bool TMForm::MayLeaveFixedOutput(const QString& move) {
    if (!fixedOutput_) return true;
    // Requests meanwhile (automatic reading) wait for the answer.
    if (askingAboutFixed_) return false;
    askingAboutFixed_ = true;
    QString failure;
    int answer = 0;
    for (;;) {
        const QString text =
            tr("Токовый выход прибора %1 зафиксирован в этом сеансе: прибор выдаёт постоянный ток вместо "
               "показаний концентрации.\n\nОсвободить выход, прежде чем %2?")
                .arg(fixedOutput_->Name, move);
        answer = Ask({tr("Токовый выход зафиксирован"), failure + text,
                      {tr("Освободить"), tr("Оставить зафиксированным"), tr("Отмена")}, 0, 2});
        // Released meanwhile, or now.
        if (answer != 0 || ReleaseFixedOutput() || !fixedOutput_) break;
        failure = tr("Освободить выход не удалось: %1.\n\n").arg(PanelText(3));
    }
    askingAboutFixed_ = false;
    if (answer == 1) fixedOutput_.reset();
    return answer != 2;
}

bool TMForm::ReleaseFixedOutput() {
    WaitForIdle();
    if (!fixedOutput_) return true;
    if (MB->Busy() || fixedOutput_->Where.Port != MB->PortName()) return false;
    // Only the open port tells which device is behind its name.
    if (!OpenPort()) return false;
    if (MB->DeviceId() != fixedOutput_->Where.Device) {
        MB->Disconnect();
        return false;
    }
    // The status word as last seen from that instrument, the fix bit clear:
    // what unchecking BoxFix writes.
    const uint16_t released = uint16_t(fixedOutput_->Status & ~CurrentFixedMask);
    if (SendWrite(fixedOutput_->Where.Slave, 1, released, std::nullopt) != 0) return false;
    WaitWhile([this] { return Waiting; }, 3000);
    return !fixedOutput_;
}

std::optional<TValueRange> TMForm::AllowedRange(uint8_t reg) const {
    if (WriteUsesImage(DevType, reg)) {
        const std::optional<uint8_t> slave = SlaveOf(0);
        if (!slave || !ImageFrom(*slave)) return std::nullopt;
    }
    TValueRange range = WriteRange(DevType, reg, RegImage);
    const TModelInfo* model = ModelOf(DevType);
    if (model && reg == model->RegCalb) range.High = std::min<uint16_t>(range.High, CmdResetCalibration - 1);
    return range;
}

bool TMForm::ImageServesWrite(uint8_t address, uint8_t reg) {
    if (!WriteUsesImage(DevType, reg)) return true;
    const std::optional<uint8_t> slave = SlaveOf(address);
    // An invalid address is the write's own refusal, with its red mark.
    if (!slave || ImageFrom(*slave)) return true;
    ShowReadingNeeded(address);
    return false;
}

void TMForm::ShowReadingNeeded(uint8_t address) {
    // An invalid address is marked as a request would mark it.
    uint8_t slave = 0;
    if (ParseAddress(address, slave))
        SetPanel(3, QString::fromUtf8("№") + Number(slave) + QString::fromUtf8(": Сначала считайте показания"));
}

bool TMForm::CalibrationAllowed() {
    if (!IsMB()) return true;
    return RxCount > 0 && ImageServesWrite(0, 2) && !RegImage.CurrentFixed();
}

void TMForm::OpenValueDialog(int row, const QObject* control) {
    if (!DlgForm || !ImageServesWrite(0, uint8_t(Tag(control)))) return;
    DlgForm->Open(Grid->item(row, 1)->text(), Grid->item(row, 0)->text(), Tag(control));
}

void TMForm::SBtWrLimit1Click() { OpenValueDialog(5, SBtWrLimit1); }

void TMForm::SBtWrLimit2Click() {
    if (RxCount > 0) OpenValueDialog(6, SBtWrLimit2);
}

void TMForm::SBtWrMagnetClick() {
    if (RxCount > 0) OpenValueDialog(7, SBtWrMagnet);
}

void TMForm::SBtWrCurrentClick() {
    if (RxCount > 0) OpenValueDialog(8, SBtWrCurrent);
}

void TMForm::BtCalbClick() {
    if (CalibrationAllowed()) OpenValueDialog(1, BtCalb);
}

void TMForm::BtZeroClick() {
    if (CalibrationAllowed()) WriteRegister(0, IsMB() ? 2 : 5, CmdSetZero);
}

void TMForm::BtInitClick() {
    if (!CalibrationAllowed()) return;
    // An address that is none is marked, not asked about.
    if (SlaveOf(0) &&
        !Confirm(tr("Сброс градуировки"),
                 tr("Сбросить градуировку прибора к заводской?\n\nПрибор: %1.\n\nГрадуировка, сделанная после "
                    "завода, будет потеряна: прибор будет показывать концентрацию по заводской градуировке.")
                     .arg(InstrumentText()),
                 tr("Сбросить")))
        return;
    WaitForIdle();
    // A reading meanwhile may have found the output fixed.
    if (CalibrationAllowed()) WriteRegister(0, IsMB() ? 2 : 5, CmdResetCalibration);
}

int TMForm::CalibrationCommand(uint16_t value) {
    const uint8_t reg = ModelOf(DevType)->RegCalb;
    if (!CalibrationAllowed()) return 5;
    if (value != CmdSetZero && !TypedValueWritable(DevType, reg, value)) return 1;
    return WriteRegister(0, reg, value);
}

void TMForm::SBtGoClick() {
    if (SlaveOf(0) &&
        !Confirm(tr("Переключение на служебный протокол"),
                 tr("Переключить прибор на служебный протокол?\n\nПрибор: %1.\n\nПрибор перестанет отвечать по "
                    "MODBUS и не вернётся к нему, пока его питание не выключат и не включат снова на месте "
                    "установки.")
                     .arg(InstrumentText()),
                 tr("Переключить")))
        return;
    WaitForIdle();
    WriteRegister(0, RegServiceProtocol, CmdServiceProtocol);
}

void TMForm::BoxFixClick() {
    if (RxCount == 0) {
        BoxFix->setChecked(false);
        return;
    }
    // A click while the state is unknown changes nothing but says what is missing.
    if (!CurrentOutputKnown()) {
        ShowCurrentOutput();
        ShowReadingNeeded(0);
        return;
    }
    const bool checked = BoxFix->isChecked();
    if (checked != RegImage.CurrentFixed()) {
        const uint16_t status = checked ? uint16_t(RegImage[1] | CurrentFixedMask)
                                        : uint16_t(RegImage[1] & ~CurrentFixedMask);
        const TCurrentView before{!checked, Box20->isChecked()};
        if (Write(0, 1, status, before) != 0) ShowCurrentView(before);
    }
    // The box as it is now: a write refused, or failed at once, has put it back.
    const bool fixed = BoxFix->isChecked();
    Box4->setEnabled(fixed);
    Box20->setEnabled(fixed);
    if (!fixed) Box4->setChecked(true);
}

void TMForm::Box4Enter() { EnterCurrentOutput(false); }

void TMForm::Box20Enter() { EnterCurrentOutput(true); }

void TMForm::EnterCurrentOutput(bool twenty) {
    // What the pair showed before: an arrow key has selected this button
    // already; a click selects it only after the focus has come.
    const bool wasTwenty = twentyAtKey_.value_or(Box20->isChecked());
    twentyAtKey_.reset();
    // (Partly checked, the state unknown, is not checked: the focus can pass
    // here while the pair is being disabled for it.)
    if (BoxFix->checkState() != Qt::Checked || !RegImage.CurrentFixed()) return;
    const TCurrentView before{true, wasTwenty};
    Write(0, 2, twenty ? RegImage[4] : 0, before);
}

bool TMForm::CurrentOutputKnown() const {
    if (RxCount == 0) return true;   // nothing read yet: the group as at start
    const std::optional<uint8_t> slave = SlaveOf(0);
    return slave && ImageFrom(*slave);
}

void TMForm::ShowCurrentView(TCurrentView view) {
    {
        // Only the screen changes: BoxFixClick must not take it for a click.
        const QSignalBlocker quiet(BoxFix);
        BoxFix->setCheckState(view.Fixed ? Qt::Checked : Qt::Unchecked);
        BoxFix->setTristate(false);
    }
    Box4->setEnabled(view.Fixed);
    Box20->setEnabled(view.Fixed);
    // Setting one button of the pair is what unchecks the other.
    (view.Fixed && view.Twenty ? Box20 : Box4)->setChecked(true);
}

void TMForm::ShowCurrentOutput() {
    if (!CurrentOutputKnown()) {
        // Partly checked: the fix state of this instrument is not known.
        const QSignalBlocker quiet(BoxFix);
        BoxFix->setCheckState(Qt::PartiallyChecked);
        Box4->setEnabled(false);
        Box20->setEnabled(false);
    } else if (BoxFix->isTristate()) {
        // Known again (the instrument read, or back in the address box).
        const bool fixed = IsMB() && RegImage.CurrentFixed();
        ShowCurrentView({fixed, Box20->isChecked()});
    }
}

bool TMForm::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Box4 || watched == Box20) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down)
            twentyAtKey_ = Box20->isChecked();
    } else if ((watched == Box4 || watched == Box20) && event->type() == QEvent::KeyRelease) {
        twentyAtKey_.reset();
    }
    if (event->type() == QEvent::FocusIn && (watched == Box4 || watched == Box20)) {
        // Focus coming back with the window is not an entry into the control.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == Box4) Box4Enter();
            else Box20Enter();
        }
        return false;
    }
    if (watched == Grid->viewport()) return GridColumnSizing(event);
    return QWidget::eventFilter(watched, event);
}

bool TMForm::GridColumnSizing(QEvent* event) {
    if (event->type() != QEvent::MouseMove && event->type() != QEvent::MouseButtonPress &&
        event->type() != QEvent::MouseButtonRelease)
        return false;
    const int x = static_cast<QMouseEvent*>(event)->position().toPoint().x();
    auto borderAt = [&](int px) {
        for (int c = 0; c < Grid->columnCount(); ++c)
            if (std::abs(px - (Grid->columnViewportPosition(c) + Grid->columnWidth(c))) <= 2) return c;
        return -1;
    };
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        sizingColumn_ = borderAt(x);
        if (sizingColumn_ < 0) return false;
        sizingStartX_ = x;
        sizingStartWidth_ = Grid->columnWidth(sizingColumn_);
        return true;
    case QEvent::MouseButtonRelease:
        if (sizingColumn_ < 0) return false;
        sizingColumn_ = -1;
        return true;
    default:
        if (sizingColumn_ >= 0) {
            // The border stays inside the grid with both columns in sight:
            // the label column leaves room for the values, and the value
            // column's border does not pass the grid's right edge.
            const int room = Grid->viewport()->width() - Grid->columnViewportPosition(sizingColumn_) -
                             (sizingColumn_ == 0 ? GridMinColumn : 0);
            const int width = sizingStartWidth_ + x - sizingStartX_;
            Grid->setColumnWidth(sizingColumn_, std::max(GridMinColumn, std::min(width, room)));
            return true;
        }
        if (borderAt(x) >= 0) Grid->viewport()->setCursor(Qt::SplitHCursor);
        else Grid->viewport()->unsetCursor();
        return false;
    }
}

// ---------------------------------------------------------------- bus search

void TMForm::SBtFindClick() {
    if (Finding) StopSearch();
    else StartSearch();
}

void TMForm::StartSearch() {
    // A request still open (an automatic reading) would make the master
    // refuse the first probe, and its answer would then count as found:
    // let it end first.  A second click meanwhile starts nothing more.
    if (startingSearch_ || !MayLeaveFixedOutput(tr("начать поиск приборов"))) return;
    startingSearch_ = true;
    WaitForIdle();
    startingSearch_ = false;
    FoundCount = 0;
    FindAddr = 1;
    if (ReadRegisters(FindAddr, RegOffset, RegCount) != 0) return;
    Finding = true;
    SetPanel(3, QString::fromUtf8("№") + Number(FindAddr));
    SBtFind->setText(QString::fromUtf8("Стоп"));
    BoxAuto->setChecked(false);
    BoxAuto->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{SBtGo, GBPort, GBDev, SBtRead, BtInit, BtZero, BtCalb})
        w->setEnabled(false);
    CBAddr->clear();
    CBAddr->setEditText(QString());
    TimerAuto->setInterval(1000);
    TimerAuto->setEnabled(true);
}

void TMForm::StopSearch() {
    // The step that passes address 247 stops the search from inside the
    // wait below; one stop is enough.
    if (stoppingSearch_) return;
    stoppingSearch_ = true;
    // No new probe while the one in flight is waited for; its answer still counts.
    TimerAuto->setEnabled(false);
    while (Waiting && scheduler_.processPendingEvents()) {
    }
    stoppingSearch_ = false;
    Finding = false;
    TimerAuto->setEnabled(false);
    SBtFind->setText(QString::fromUtf8("Найти"));
    ErrCount = 0;
    SetPanel(2, "Err: " + Number(ErrCount));
    SetPanel(3, QString::fromUtf8("Найдено приборов: ") + Number(FoundCount));
    for (QWidget* w :
         std::initializer_list<QWidget*>{SBtGo, GBPort, GBDev, BoxAuto, SBtRead, BtInit, BtZero, BtCalb})
        w->setEnabled(true);
    if (FoundCount == 0) {
        CBAddr->addItem("1");
        CBAddr->setCurrentIndex(CBAddr->count() - 1);
    }
}

} // namespace orn
