// The main window: start state, reading and display, auto mode, port settings.
#include "window_fixture.h"
#include "host_files.h"

#include "application.h"
#include "service_tools.h"

#include <QMenu>
#include <QMouseEvent>
#include <QSettings>
#include <QStatusBar>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <tuple>

using namespace orn;
using namespace orn::test;
using sim::Model;

namespace {

class Read : public WindowTest {};

struct Control {
    const char* name;
    QRect geometry;   // relative to the parent, the window's inner border included
    const char* text;
    const char* english;
};

const Control Controls[] = {
    {"GBPort", {6, 6, 181, 113}, "Связь", "Connection"},
    {"LabelPort", {8, 24, 28, 13}, "Порт:", "Port:"},
    {"LabelSpeed", {8, 52, 51, 13}, "Скорость:", "Speed:"},
    {"LabelParity", {8, 80, 51, 13}, "Чётность:", "Parity:"},
    {"CBPortNum", {68, 20, 69, 21}, "COM1", "COM1"},
    {"CBPortSpeed", {68, 48, 69, 21}, "19200", "19200"},
    {"CBParity", {68, 76, 69, 21}, "Even", "Even"},
    {"SBtFind", {6, 126, 81, 26}, "Найти", "Search"},
    {"GBDev", {6, 158, 181, 89}, "Прибор", "Instrument"},
    {"LabelType", {8, 24, 22, 13}, "Тип:", "Kind"},
    {"LabelAddr", {8, 52, 34, 13}, "Адрес:", "Addr.:"},
    {"CBDev", {48, 20, 121, 21}, "ОРН10-X-X1 MB4", "ORN10-X-X1 MB4"},
    {"CBAddr", {48, 48, 61, 21}, "1", "1"},
    {"SBtGo", {6, 254, 81, 26}, "Переключить", "Switch"},
    {"Label4", {198, 6, 59, 13}, "Показания:", "Readings:"},
    {"Grid", {198, 22, 209, 257}, "", ""},
    {"SBtWrLimit1", {406, 138, 23, 22}, "", ""},
    {"SBtWrCurrent", {406, 209, 23, 22}, "", ""},
    {"BoxAuto", {478, 22, 73, 17}, "Авто", "Auto"},
    {"SBtRead", {478, 46, 75, 26}, "Читать", "Read"},
    {"BtZero", {478, 94, 75, 25}, "Уст. 0", "Set 0"},
    {"BtCalb", {478, 126, 75, 25}, "Градуировка", "Calibrate"},
    {"BtInit", {478, 158, 75, 25}, "Сброс", "Reset"},
    {"GBCur", {438, 206, 113, 73}, "Ток", "Current output"},
    {"BoxFix", {8, 16, 89, 17}, "Фиксировать", "Fix"},
    {"Box4", {8, 40, 49, 17}, "4мА", "4mA"},
    {"Box20", {56, 40, 49, 17}, "20мА", "20mA"},
    {"StBar", {6, 286, 551, 19}, "", ""},
};

// The text a control shows, and the width it needs to show all of it.
QString TextOf(const QWidget* w, int* width = nullptr) {
    QString text;
    int needed = 0;
    const QFontMetrics fm = w->fontMetrics();
    const QStyle* style = w->style();
    if (auto* b = qobject_cast<const QCheckBox*>(w))
        text = b->text(), needed = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) +
                                   style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w) +
                                   fm.horizontalAdvance(text);
    else if (auto* r = qobject_cast<const QRadioButton*>(w))
        text = r->text(), needed = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, w) +
                                   style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, w) +
                                   fm.horizontalAdvance(text);
    else if (auto* b = qobject_cast<const QAbstractButton*>(w)) text = b->text(), needed = fm.horizontalAdvance(text) + 6;
    else if (auto* g = qobject_cast<const QGroupBox*>(w)) text = g->title(), needed = fm.horizontalAdvance(text) + 16;
    else if (auto* l = qobject_cast<const QLabel*>(w)) text = l->text(), needed = fm.horizontalAdvance(text);
    else if (auto* cb = qobject_cast<const QComboBox*>(w)) text = cb->currentText();
    if (width) *width = needed;
    return text;
}

} // namespace

TEST_F(Read, StartState) {
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("ORN10-X-XX Util v2.2"));
    EXPECT_EQ(form->CBDev->currentText(), QString::fromUtf8("ОРН10-X-X1 MB4"));
    const char* labels[11] = {"Сер. номер",    "Газ, %об.",     "t, С",
                              "Статус",        "Диапазон измер., %об", "Порог №1, %об",
                              "Порог №2, %об", "Газ магн. град-ки, %об", "Ток, мА",
                              "Время работы, с", "Версия ПО"};
    for (int r = 0; r < 11; ++r) {
        EXPECT_EQ(Cell(r, 0), QString::fromUtf8(labels[r])) << r;
        EXPECT_EQ(Cell(r), "") << r;
    }
    EXPECT_EQ(Panel(0), "Tx: 0");
    EXPECT_EQ(Panel(1), "Rx: 0");
    EXPECT_EQ(Panel(2), "Err: 0");
    EXPECT_EQ(Panel(3), "");
    EXPECT_FALSE(form->MB->Connected());
    EXPECT_EQ(com1->openAttempts(), 0);
    EXPECT_EQ(form->MB->ComPort(), pnCOM1);
    EXPECT_EQ(form->MB->ComPortSpeed(), br19200);
    EXPECT_EQ(form->MB->ComPortParity(), ptEVEN);
    EXPECT_EQ(form->MB->Timeout(), 1000);
    // Write controls of the initial model and their registers.
    EXPECT_TRUE(form->SBtWrCurrent->isEnabled());
    EXPECT_TRUE(form->GBCur->isEnabled());
    EXPECT_EQ(TMForm::Tag(form->SBtWrLimit1), 8);
    EXPECT_EQ(TMForm::Tag(form->BtCalb), 2);
    EXPECT_TRUE(form->Box4->isChecked());
    EXPECT_FALSE(form->Box4->isEnabled());
    clock.advance(10000);
    EXPECT_TRUE(com1->written().empty()) << "nothing is sent until the user acts";
}

TEST_F(Read, LayoutOfTheControls) {
    for (const Control& c : Controls) {
        auto* w = form->findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(w->geometry(), c.geometry) << c.name;
        EXPECT_EQ(TextOf(w), QString::fromUtf8(c.text)) << c.name;
    }
    EXPECT_EQ(form->SBtGo->toolTip(), QString::fromUtf8("Переключить на работу с ORN терминалом"));
    EXPECT_EQ(form->SBtWrMagnet->toolTip(),
              QString::fromUtf8("Задать новую концентрацию газа для магнитной градуировки"));
    EXPECT_EQ(form->SBtRead->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(form->size(), QSize(563, 311));
    EXPECT_FALSE(form->StBar->isSizeGripEnabled()) << "the window has a fixed size";

    // Rows 22 px apart plus their line fill the grid; the values start at 123.
    form->show();
    const QTableWidget* grid = form->Grid;
    EXPECT_EQ(grid->columnViewportPosition(1), 123);
    EXPECT_EQ(grid->rowViewportPosition(10) + grid->rowHeight(10), grid->viewport()->height());
    // Each write button stands beside the row of the value it writes: its
    // centre within 2 px of the row's centre.
    const QToolButton* writeButtons[] = {form->SBtWrLimit1, form->SBtWrLimit2, form->SBtWrMagnet, form->SBtWrCurrent};
    for (int row = 5; row <= 8; ++row) {
        const int top = grid->viewport()->mapTo(form.get(), QPoint(0, grid->rowViewportPosition(row))).y();
        const int centre = writeButtons[row - 5]->geometry().center().y();
        EXPECT_LE(std::abs(2 * centre - (2 * top + grid->rowHeight(row) - 1)), 4) << row;
    }

    // A dragged column border keeps both columns in sight and inside the grid.
    auto border = [&](int column) { return grid->columnViewportPosition(column) + grid->columnWidth(column); };
    auto drag = [&](int column, int to) {
        const std::pair<QEvent::Type, int> steps[] = {
            {QEvent::MouseButtonPress, border(column)}, {QEvent::MouseMove, to}, {QEvent::MouseButtonRelease, to}};
        for (const auto& [type, x] : steps) {
            QMouseEvent event(type, QPointF(x, 5), QPointF(x, 5), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(grid->viewport(), &event);
        }
    };
    const int width = grid->viewport()->width();
    for (const auto& [column, to, expected] : {std::array{0, 5000, width - 16}, {0, -5000, 16}, {1, 5000, width},
                                               {1, -5000, 16 + 16}}) {
        drag(column, to);
        EXPECT_EQ(border(column), expected) << column << " to " << to;
    }
}

struct ModelCase {
    Model model;
    int devType;
    const char* request;   // without the CRC
    std::vector<std::pair<int, const char*>> cells;
};

class ReadModel : public WindowTest, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(ReadModel, IsReadAndDecoded) {
    const ModelCase& c = GetParam();
    auto& inst = Add(c.model, 1);
    const bool mb = sim::IsMbModel(c.model);
    inst.setSerialNumber(65536);
    inst.setReg(mb ? 2 : 5, 1234);
    inst.setReg(mb ? 1 : 3, 0x0400);
    if (mb) inst.setReg(7, 4500);
    if (c.model == Model::MB3) {
        inst.setReg(10, 1200);
        inst.setReg(11, 3898800 & 0xFFFF);
        inst.setReg(12, 3898800 >> 16);
    }
    if (c.model == Model::X22) inst.setDateTime(2020, 3, 7, 12, 30, 45);
    ChooseModel(c.devType);
    ReadOnce();
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));
    EXPECT_EQ(Panel(0), "Tx: 1");
    EXPECT_EQ(Panel(1), "Rx: 1");
    EXPECT_EQ(Panel(2), "Err: 0");
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0].substr(0, 17), c.request);
    for (const auto& [row, text] : c.cells) EXPECT_EQ(Cell(row), QString::fromUtf8(text)) << row;
    for (int r = 0; r < 11; ++r) {
        if (Cell(r, 0).isEmpty()) {
            EXPECT_EQ(Cell(r), "") << "row " << r << " has no label and no value";
        }
    }
    EXPECT_FALSE(form->MB->Connected()) << "the port is closed after the answer";
    EXPECT_FALSE(form->Waiting);
}

INSTANTIATE_TEST_SUITE_P(
    AllModels, ReadModel,
    ::testing::Values(
        ModelCase{Model::MB1, 0, "01 03 00 01 00 06", {{0, "65536"}, {1, "12,34"}, {2, "21,50"}, {3, "0400"}, {4, "100,00"}}},
        ModelCase{Model::MB2, 1, "01 03 00 01 00 09", {{5, "20,00"}, {6, "50,00"}, {7, "45,00"}}},
        ModelCase{Model::MB3, 2, "01 03 00 01 00 0C", {{8, "12,00"}, {9, "3898800"}}},
        ModelCase{Model::MB4, 3, "01 03 00 01 00 0D", {{1, "12,34"}, {10, "1,04"}}},
        ModelCase{Model::X20, 4, "01 03 00 01 00 07", {{0, "65536"}, {1, "12,34"}, {3, "0400"}, {4, "2,20"}, {5, "20,00"}}},
        ModelCase{Model::X22, 5, "01 03 00 01 00 0B", {{4, "60"}, {6, "50,00"}, {7, "7/3/20"}, {8, "12:30:45"}}}),
    [](const ::testing::TestParamInfo<ModelCase>& info) {
        std::string name = sim::ModelName(info.param.model);
        name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
        return name;
    });

TEST_F(Read, FailuresShowTheirTexts) {
    ReadOnce();   // nobody at address 1
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Нет связи"));
    EXPECT_EQ(Panel(2), "Err: 1");
    EXPECT_FALSE(form->MB->Connected());
    EXPECT_FALSE(form->Waiting);

    auto& inst = Add(Model::MB4, 1);
    inst.faults().exception = 2;
    ReadOnce();
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ошибка 02 (неверное значение)"));
    EXPECT_EQ(Panel(2), "Err: 2");
    inst.faults().exception = 0;
    inst.faults().badCrc = true;
    ReadOnce();
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ошибка 09 (CRC)"));
    EXPECT_EQ(Panel(1), "Rx: 0");
    EXPECT_EQ(Panel(0), "Tx: 3");
    for (int r = 0; r < 11; ++r) EXPECT_EQ(Cell(r), "") << "the grid keeps its values";
}

TEST_F(Read, GridShowsOnlyWhatTheNamedInstrumentAnsweredAndGreysWhatIsNotCurrent) {
    Add(Model::X20, 9);
    Add(Model::X20, 8);
    ChooseModel(dtX20);
    TypeAddress("9");
    // A write as the very first request: its echo is all that was read.
    ASSERT_EQ(form->WriteRegister(0, 6, 2500), 0);
    clock.advance(600);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№9: Ok"));
    for (int r = 0; r <= 5; ++r) EXPECT_EQ(Cell(r), r == 5 ? Dec("25", "00") : "") << r;
    ReadOnce();
    const QString serial = Cell(0);
    auto greyRows = [&] { return int(Grey(0)) + Grey(1) + Grey(2) + Grey(3) + Grey(4) + Grey(5); };
    // Stale after a failure, and while the boxes name another instrument,
    // until the next reading of the instrument in the boxes.
    struct Step {
        std::function<void()> act;
        int grey;
    } steps[] = {
        {[&] { line.at(9).faults().silent = true; ReadOnce(); }, 6},
        {[&] { line.at(9).clearFaults(); ReadOnce(); }, 0},
        {[&] { TypeAddress("8"); }, 6},
        {[&] { TypeAddress("9"); }, 0},
        {[&] { TypeAddress("7"); ReadOnce(); }, 6},   // nobody at 7
        {[&] { TypeAddress("9"); }, 6},               // the failure stands until a reading
        {[&] { ReadOnce(); }, 0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(&step - steps);
        step.act();
        EXPECT_EQ(greyRows(), step.grey);
        EXPECT_EQ(Cell(0), serial) << "the values stay";
        EXPECT_EQ(form->LabelSource->isVisibleTo(form.get()), step.grey > 0);
        EXPECT_TRUE(!step.grey || form->LabelSource->text().contains(QString::fromUtf8("№9 (X-20, COM1) в ")));
    }
}

TEST_F(Read, SecondClickIsRefusedAndTheFirstReadStillSucceeds) {
    Add(Model::MB4, 1).setReg(2, 777);
    ClickRead();
    clock.advance(5);
    ClickRead();
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ошибка 10 (прибор занят)"));
    EXPECT_EQ(Panel(2), "Err: 1");
    EXPECT_TRUE(form->MB->Connected()) << "the refusal leaves the open request alone";
    clock.advance(600);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));
    EXPECT_EQ(Panel(1), "Rx: 1");
    EXPECT_EQ(Panel(0), "Tx: 2");
    EXPECT_EQ(Cell(1), "7,77");
    EXPECT_EQ(Sent().size(), 1u);
}

TEST_F(Read, RefusedReadDuringAWriteKeepsTheWritesRequest) {
    auto& inst = Add(Model::MB4, 1);
    ReadOnce();
    inst.setReg(8, 1000);
    ASSERT_EQ(form->WriteRegister(0, 8, 1500), 0);
    ClickRead();   // refused: the write is open
    clock.advance(600);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));
    EXPECT_EQ(form->RegImage[8], 1500) << "the echo lands at the written register";
    EXPECT_EQ(form->RegImage[1], inst.reg(1)) << "and not at the read's first register";
    EXPECT_EQ(inst.reg(8), 1500);
}

class ReadSlowLine : public WindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(ReadSlowLine, AnswerInPiecesSucceeds) {
    const int index = GetParam();   // 1200, 2400, 4800 bit/s
    auto cfg = line.config();
    cfg.baudRate = BaudRates[std::array{br1200, br2400, br4800}[size_t(index)]];
    line.setConfig(cfg);
    Add(Model::MB4, 1).setReg(2, 4321);
    form->CBPortSpeed->setCurrentIndex(index);
    form->CBPortSpeedChange();
    ReadOnce();
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));
    EXPECT_EQ(Cell(1), "43,21");
    EXPECT_EQ(Panel(2), "Err: 0");
    EXPECT_GT(com1->requests().size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(LowSpeeds, ReadSlowLine, ::testing::Values(0, 1, 2));

TEST_F(Read, InvalidAddressesAreMarkedRed) {
    Add(Model::MB4, 1);
    for (const char* text : {"0", "248", "257", "-1", "abc", ""}) {
        SCOPED_TRACE(text);
        TypeAddress(QString::fromLatin1(text));
        ClickRead();
        EXPECT_TRUE(AddressMarkedRed());
        clock.advance(199);
        EXPECT_TRUE(AddressMarkedRed());
        clock.advance(1);
        EXPECT_FALSE(AddressMarkedRed());
        EXPECT_EQ(form->CBAddr->currentText(), "1");
        EXPECT_TRUE(com1->written().empty());
        EXPECT_EQ(Panel(0), "Tx: 0");
    }
    // Enter in the box reads, as a click on "Читать".
    TypeAddress("247");
    Press(form->CBAddr->lineEdit(), Qt::Key_Return);
    clock.advance(600);
    EXPECT_EQ(form->CBAddr->count(), 1) << "the list is the search's";
    EXPECT_FALSE(AddressMarkedRed());
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0].substr(0, 5), "F7 03");
    TypeAddress("1");
    ReadOnce();
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));
}

TEST_F(Read, AutoModeReadsEveryTwoSeconds) {
    Add(Model::MB4, 1);
    SetAuto(true);
    EXPECT_FALSE(form->SBtRead->isEnabled());
    clock.advance(1999);
    EXPECT_EQ(Panel(0), "Tx: 0");
    clock.advance(1);
    EXPECT_EQ(Panel(0), "Tx: 1");
    clock.advance(6100);
    EXPECT_EQ(Panel(0), "Tx: 4");
    EXPECT_EQ(Panel(1), "Rx: 4");
    // A write still open when a tick comes: the tick skips, which is no error.
    clock.advance(1850);
    ASSERT_EQ(form->WriteRegister(0, 8, 1500), 0);
    clock.advance(250);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));
    EXPECT_EQ(Panel(0), "Tx: 5");
    EXPECT_EQ(Panel(2), "Err: 0");
    clock.advance(2000);
    EXPECT_EQ(Panel(0), "Tx: 6") << "the next tick reads";
    // Enter in the address box does not read in auto mode.
    Press(form->CBAddr->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(Panel(0), "Tx: 6");
    SetAuto(false);
    EXPECT_TRUE(form->SBtRead->isEnabled());
    clock.advance(10000);
    EXPECT_EQ(Panel(0), "Tx: 6");
}

TEST_F(Read, AutoReadingLeavesAnAddressBeingTypedAlone) {
    Add(Model::MB4, 4);
    ShowActive();
    form->CBAddr->setFocus();
    SetAuto(true);
    TypeAddress("");
    clock.advance(2500);
    EXPECT_TRUE(com1->written().empty());
    EXPECT_FALSE(AddressMarkedRed());
    EXPECT_EQ(form->CBAddr->currentText(), "");
    TypeAddress("4");
    clock.advance(2000);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№4: Ok")) << "reads go on with the next valid address";
    // Text left behind in the box is no address: marked, and "1" after 200 ms.
    TypeAddress("4x");
    form->Grid->setFocus();
    clock.advance(1700);
    EXPECT_EQ(form->CBAddr->currentText(), "1");
    EXPECT_EQ(Sent().size(), 1u);
}

TEST_F(Read, ModelChangeRelabelsWithoutReading) {
    Add(Model::MB4, 1).setReg(2, 1000);
    ReadOnce();
    ASSERT_EQ(Cell(1), "10,00");
    const TRegImage before = form->RegImage;
    ChooseModel(5);
    EXPECT_EQ(Cell(7, 0), QString::fromUtf8("Дата"));
    EXPECT_EQ(Cell(9, 0), "");
    for (int r = 0; r < 11; ++r) EXPECT_EQ(Cell(r), "") << r;
    EXPECT_EQ(form->RegCount, 11);
    EXPECT_EQ(TMForm::Tag(form->SBtWrLimit1), 6);
    EXPECT_EQ(TMForm::Tag(form->BtCalb), 5);
    EXPECT_FALSE(form->GBCur->isEnabled());
    EXPECT_FALSE(form->SBtWrMagnet->isEnabled());
    EXPECT_TRUE(form->SBtWrLimit2->isEnabled());
    EXPECT_EQ(form->RegImage.Regs, before.Regs);
    clock.advance(5000);
    EXPECT_EQ(Sent().size(), 1u);
    ChooseModel(0);
    EXPECT_FALSE(form->SBtWrLimit1->isEnabled());
    EXPECT_EQ(form->RegCount, 6);
}

TEST_F(Read, PortSettingsReachTheMaster) {
    form->CBPortNum->setCurrentIndex(9);
    form->CBPortNumChange();
    EXPECT_EQ(form->MB->ComPort(), TComPortNumber(9));
    form->CBPortSpeed->setCurrentIndex(5);
    form->CBPortSpeedChange();
    EXPECT_EQ(form->MB->ComPortSpeed(), br38400);
    form->CBPortSpeed->setCurrentIndex(7);
    form->CBPortSpeedChange();
    EXPECT_EQ(form->MB->ComPortSpeed(), br115200);
    form->CBParity->setCurrentIndex(1);
    form->CBParityChange();
    EXPECT_EQ(form->MB->ComPortParity(), ptODD);

    // COM10 is port number 10: nothing is attached there.
    ClickRead();
    EXPECT_EQ(portErrorBoxes, 1);
    EXPECT_EQ(Panel(0), "Tx: 0");
    auto& com10 = backend.attach(10, line);
    ClickRead();
    EXPECT_EQ(com10.opens(), 1);
    EXPECT_EQ(com10.lastSettings().baudRate, 115200u);
    EXPECT_EQ(com10.lastSettings().parity, ptODD);
}

TEST_F(Read, PortThatCannotBeOpenedShowsOneBoxPerOutageAndSaysWhenItIsBack) {
    com1->refuseOpen = true;
    EXPECT_EQ(form->ReadRegisters(0, 1, 13), 3);
    EXPECT_EQ(portErrorBoxes, 1);
    EXPECT_EQ(Panel(0), "Tx: 0");
    EXPECT_EQ(Panel(2), "Err: 0");
    EXPECT_EQ(Panel(3), QString::fromUtf8("COM1: не могу открыть порт"));

    // A read the user makes shows it again; requests while it is up fail
    // without a second one.
    int refusedMeanwhile = 0;
    whilePortErrorBox = [&] {
        whilePortErrorBox = nullptr;
        for (int i = 0; i < 3; ++i) refusedMeanwhile += form->ReadRegisters(0, 1, 13) == 3;
    };
    ClickRead();
    EXPECT_EQ(refusedMeanwhile, 3);
    EXPECT_EQ(portErrorBoxes, 2);

    // Auto mode tries at every tick, quietly, the panel on the error.
    const int attempts = com1->openAttempts();
    SetAuto(true);
    clock.advance(10000);
    EXPECT_EQ(com1->openAttempts(), attempts + 5);
    EXPECT_EQ(portErrorBoxes, 2);
    EXPECT_EQ(Panel(3), QString::fromUtf8("COM1: не могу открыть порт"));
    com1->refuseOpen = false;
    Add(Model::MB4, 1);
    clock.advance(2500);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok — порт снова доступен"));
    clock.advance(2000);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));
    // The next outage shows the box again, from a tick.
    com1->refuseOpen = true;
    clock.advance(4000);
    EXPECT_EQ(portErrorBoxes, 3);
}

TEST_F(Read, PortErrorBoxSaysWhy) {
    const char* const gone = "Устройство отключено: подключите его и выберите порт в списке.";
    const char* const busy = "Порт занят другой программой: закройте её или выберите другой порт.";
    const std::pair<int, const char*> reasons[] = {
        {EACCES, "Нет доступа к порту: добавьте себя в группу dialout и войдите в систему заново."},
        {EBUSY, busy},
        {EWOULDBLOCK, busy},
        {ENOENT, gone},
        {ENODEV, gone},
        {ENOTTY, "Это не последовательный порт: выберите другой порт."},
    };
    for (const auto& [error, reason] : reasons) {
        com1->refuseWith = error;
        EXPECT_EQ(form->ReadRegisters(0, 1, 13), 3);
        EXPECT_EQ(portErrorText, QString::fromUtf8("Ошибка:\n Не могу открыть порт!\n ") + QString::fromUtf8(reason))
            << error;
    }
    EXPECT_EQ(portErrorBoxes, 6);
}

TEST_F(Read, PortListOffersTheAdapterAndFollowsIt) {
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0";
    PortRecord adapterPort{"ttyUSB0", "/dev/ttyUSB0", byId, "FT232R USB UART", "FTDI", "A10K1234"};
    auto& adapter = backend.attach(byId, line);
    Add(Model::MB4, 1);
    ports.found = {adapterPort};
    TMForm started(clock, backend, [this] { return ports; });
    EXPECT_EQ(started.CBPortNum->currentText(), QString::fromUtf8("ttyUSB0 — FT232R USB UART (A10K1234)"));
    EXPECT_EQ(started.MB->PortName(), byId) << "an adapter found at start is chosen";

    // Plugged in after the start: offered when the list opens; COM1 is gone.
    auto openList = [this] {
        form->CBPortNum->showPopup();
        form->CBPortNum->hidePopup();
    };
    openList();
    ASSERT_EQ(form->CBPortNum->count(), 2) << "the adapter, and \"Сеть…\"";
    EXPECT_EQ(form->CBPortNum->currentIndex(), -1);
    form->CBPortNum->setCurrentIndex(0);
    form->CBPortNumChange();
    ReadOnce();
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));

    adapter.vanished = true;   // pulled out
    ports.found.clear();
    ClickRead();
    EXPECT_TRUE(portErrorText.contains(QString::fromUtf8("Устройство отключено"))) << portErrorText.toStdString();
    openList();
    EXPECT_EQ(form->CBPortNum->count(), 11) << "COM1 to COM10, and \"Сеть…\"";
    EXPECT_EQ(form->CBPortNum->currentIndex(), -1) << "the adapter is not offered";

    adapter.vanished = false;   // back, in another socket
    adapterPort.name = "ttyUSB1";
    adapterPort.location = "/dev/ttyUSB1";
    ports.found = {adapterPort};
    openList();
    EXPECT_EQ(form->CBPortNum->currentText(), QString::fromUtf8("ttyUSB1 — FT232R USB UART (A10K1234)"));
    ReadOnce();
    EXPECT_EQ(adapter.opens(), 2);
    EXPECT_EQ(Panel(1), "Rx: 2");
}

TEST_F(Read, ReadingShowsTheFixedCurrentOutputWithoutWriting) {
    auto& inst = Add(Model::MB4, 1);
    inst.setReg(1, 0x0400);
    ASSERT_TRUE(inst.currentFixed());
    ReadOnce();
    EXPECT_TRUE(form->BoxFix->isChecked());
    EXPECT_TRUE(form->Box4->isEnabled());
    EXPECT_TRUE(form->Box20->isEnabled());
    clock.advance(5000);
    EXPECT_EQ(Sent().size(), 1u) << "following the instrument sends nothing";
    inst.setReg(1, 0);
    ReadOnce();
    EXPECT_FALSE(form->BoxFix->isChecked());
    EXPECT_FALSE(form->Box4->isEnabled());
    EXPECT_TRUE(form->Box4->isChecked());
    clock.advance(5000);
    EXPECT_EQ(Sent().size(), 2u);
}

TEST_F(Read, DecimalSeparatorFollowsTheRegionalSettings) {
    // The tests run under ru_RU.UTF-8 (comma) and once more under C (point).
    const QString expected = QLocale::system().decimalPoint();
    EXPECT_EQ(QString::fromStdString(form->DecimalSeparator), expected);
    Add(Model::MB4, 1).setReg(2, 2150);
    ReadOnce();
    EXPECT_EQ(Cell(1), "21" + expected + "50");
}

TEST_F(Read, ClosingTheWindowClosesThePort) {
    Add(Model::MB4, 1);
    ClickRead();
    ASSERT_TRUE(com1->isOpen());
    form->show();
    form->close();
    EXPECT_FALSE(com1->isOpen());
    clock.advance(5000);
    EXPECT_EQ(Panel(1), "Rx: 0") << "the outstanding answer is never handled";
}

TEST(Application, ExceptionInAHandlerIsShownAndTheLoopGoesOn) {
    struct Thrower : QObject {
        bool event(QEvent*) override { throw std::runtime_error("broken handler"); }
    } thrower;
    QStringList shown;
    const auto saved = orn::ShowErrorBox;
    orn::ShowErrorBox = [&](const QString& text) { shown << text; };
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&thrower, &event);
    orn::RunGuarded([] { throw 42; });
    orn::ShowErrorBox = saved;
    EXPECT_EQ(shown, QStringList({"broken handler", ""}));
}

TEST(Application, QtsOwnTextsSpeakTheProgramsLanguage) {
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("Отмена"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "File &name:"), QString::fromUtf8("&Имя файла:"));
}

// Russian, byte for byte, under the locales this suite runs in (ru_RU and C);
// English when the program speaks English, every text of the window in
// sight in both; the language the UI languages ask for; a choice in the
// program remembered.
TEST_F(Read, LanguageOfTheWindowAndItsChoice) {
    auto& app = dynamic_cast<TApplication&>(*QCoreApplication::instance());
    ASSERT_EQ(app.Language(), TLanguage::Russian);
    app.SetLanguage(TLanguage::English);
    const auto made = std::make_unique<TMForm>(clock, backend, [this] { return ports; });
    TMForm* english = made.get();
    TDlgForm englishDlg(english);
    const QString englishQt = QCoreApplication::translate("QPlatformTheme", "Cancel");
    // What the status bar says; the decimal mark stays the locale's.
    Add(Model::MB4, 1).setReg(2, 2150);
    english->ShowPortErrorBox = [] {};
    english->SBtRead->click();
    clock.advance(1000);
    const QString englishOk = english->PanelText(3), englishGas = english->Grid->item(1, 1)->text();
    english->CBAddr->setEditText(QStringLiteral("9"));
    english->SBtRead->click();
    clock.advance(1000);
    const QString englishSilence = english->PanelText(3);
    english->CBAddr->setEditText(QStringLiteral("1"));
    app.SetLanguage(TLanguage::Russian);
    EXPECT_EQ(englishQt, "Cancel") << "Qt's own texts in English too";
    EXPECT_EQ(englishOk, "#1: Ok");
    EXPECT_EQ(englishGas, "21" + QLocale::system().decimalPoint() + "50");
    EXPECT_EQ(englishSilence, "#9: No response");
    ReadOnce();
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));

    // The English in sight.  (The Russian labels are the original ones: in the fonts of
    // the offscreen platform "Адрес:" takes one pixel more than its label.)
    for (const Control& c : Controls) {
        const auto* ru = form->findChild<QWidget*>(QString::fromLatin1(c.name));
        const auto* en = english->findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_TRUE(ru && en) << c.name;
        int enWidth = 0;
        EXPECT_EQ(TextOf(ru), QString::fromUtf8(c.text)) << c.name;
        EXPECT_EQ(TextOf(en, &enWidth), QString::fromUtf8(c.english)) << c.name;
        if (test::TextWidthsComparable()) {
            EXPECT_LE(enWidth, c.geometry.width()) << c.name << ": " << c.english << " is cut off";
        }
    }
    const char* englishLabels[] = {"Serial no.", "Gas, %vol", "t, °C", "Status", "Range, %vol", "Threshold 1, %vol",
                                   "Threshold 2, %vol", "Magnet cal. gas, %vol", "Current, mA", "Operating time, s",
                                   "Firmware version"};
    for (int r = 0; r < 11; ++r) {
        for (const TMForm* window : {form.get(), english}) {
            const QTableWidgetItem* item = window->Grid->item(r, 0);
            if (test::TextWidthsComparable()) {
                EXPECT_LE(window->Grid->fontMetrics().horizontalAdvance(item->text()) + 6,
                          window->Grid->columnWidth(0))
                    << item->text().toStdString() << " is cut off";
            }
        }
        EXPECT_EQ(english->Grid->item(r, 0)->text(), QString::fromUtf8(englishLabels[r])) << r;
    }
    EXPECT_EQ(englishDlg.windowTitle(), "Set a new value");
    EXPECT_EQ(englishDlg.OKBtn->text(), "Set");
    EXPECT_EQ(english->SBtGo->toolTip(), "Switch to the ORN terminal protocol");

    // The UI languages, in order of preference; C stays Russian.
    const std::tuple<const char*, QStringList, TLanguage> asked[] = {
        {"C", {"C"}, TLanguage::Russian},
        {"C", {"en", "en-US"}, TLanguage::Russian},   // LANGUAGE=en under LC_ALL=C
        {"ru_RU", {"ru-RU", "ru"}, TLanguage::Russian},
        {"en_US", {"en-US", "en"}, TLanguage::English},
        {"ru_RU", {"en", "en-Latn-US"}, TLanguage::English},   // LANGUAGE=en
        {"de_DE", {"de-DE", "de"}, TLanguage::Russian},
        {"de_DE", {"de", "en", "ru"}, TLanguage::English},    // LANGUAGE=de:en:ru
        {"uk_UA", {"uk", "ru", "en"}, TLanguage::Russian},
    };
    for (const auto& [locale, languages, expected] : asked)
        EXPECT_EQ(LanguageOf(QString::fromLatin1(locale), languages), expected)
            << locale << " " << languages.join(',').toStdString();

    // "Язык / Language" in the service menu: the choice is kept for the next start.
    TServiceTools tools(*form, clock);
    ASSERT_EQ(tools.ActLanguage->text(), QString::fromUtf8("Язык / Language"));
    ASSERT_TRUE(form->actions().contains(tools.ActLanguage));
    EXPECT_FALSE(ChosenLanguage());
    const QList<QAction*> choices = tools.ActLanguage->menu()->actions();
    ASSERT_EQ(choices.size(), 2);
    EXPECT_TRUE(choices[0]->isChecked());
    choices[1]->trigger();
    EXPECT_EQ(ChosenLanguage(), TLanguage::English);
    EXPECT_EQ(app.Language(), TLanguage::Russian) << "the windows keep their language until the next start";
    choices[0]->trigger();
    EXPECT_EQ(ChosenLanguage(), TLanguage::Russian);
    QSettings(QStringLiteral("orn10util"), QStringLiteral("orn10util")).remove(QStringLiteral("language"));
}
