// The main window's writes: WriteRegister's checks and request, the
// commands with their guards and follow-ups, the current output, the switch
// to the service protocol.
#include "window_fixture.h"

#include <QLabel>

using namespace orn;
using namespace orn::test;
using sim::Model;

namespace {

class Write : public WindowTest {
protected:
    // An MB4 at address 1, read once: range 100,00, thresholds 20,00 and
    // 50,00, magnetic calibration gas 50,00, output released.
    sim::Instrument& ReadMb4() {
        auto& inst = Add(Model::MB4, 1);
        ReadOnce();
        EXPECT_EQ(form->RxCount, 1);
        EXPECT_EQ(form->RegImage[4], 10000);
        EXPECT_EQ(form->RegImage[8], 2000);
        EXPECT_EQ(form->RegImage[9], 5000);
        com1->clearLog();
        return inst;
    }
    size_t SentCount() const { return com1->requests().size(); }
};

} // namespace

// ---------------------------------------------------------------- WriteRegister

TEST_F(Write, RequestGoesOutWithFunction6AndEndsWithTheEcho) {
    auto& inst = ReadMb4();
    ASSERT_EQ(form->WriteRegister(0, 8, 1250), 0);
    EXPECT_EQ(LastSent(), "01 06 00 08 04 E2 8A 81");
    EXPECT_EQ(form->MB->FunctionCode, 6);
    EXPECT_EQ(form->MB->Offset, 8);
    EXPECT_EQ(form->MB->Timeout(), 500);
    EXPECT_EQ(form->MB->Quantity, 13) << "the read's quantity stays";
    EXPECT_TRUE(form->Waiting);
    EXPECT_EQ(Panel(0), "Tx: 2");
    clock.advance(600);
    EXPECT_FALSE(form->Waiting);
    EXPECT_FALSE(form->MB->Connected());
    EXPECT_EQ(Panel(1), "Rx: 2");
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));
    EXPECT_EQ(inst.reg(8), 1250);
    EXPECT_EQ(Cell(5), Dec("12", "50"));
    clock.advance(5000);
    EXPECT_EQ(SentCount(), 1u) << "a threshold is not read back";

    // Only the low 16 bits are written.
    ASSERT_EQ(form->WriteRegister(0, 3, 0x12345), 0);
    EXPECT_EQ(Head(LastSent()), "01 06 00 03 23 45");
}

TEST_F(Write, ChecksComeInOrderRangeAddressBusyPort) {
    ReadMb4();
    TypeAddress("abc");
    EXPECT_EQ(form->WriteRegister(0, 10, 0), 1) << "the range is checked first";
    EXPECT_FALSE(AddressMarkedRed());
    EXPECT_EQ(form->WriteRegister(0, 10, 100), 2);
    EXPECT_TRUE(AddressMarkedRed());
    clock.advance(200);
    EXPECT_EQ(form->CBAddr->currentText(), "1");
    EXPECT_EQ(form->WriteRegister(248, 10, 100), 2) << "an explicit address is checked too";
    clock.advance(200);

    // While a read is open, a write is dropped and its request left alone.
    ClickRead();
    const auto data = form->MB->RequestData;
    TypeAddress("300");
    EXPECT_EQ(form->WriteRegister(0, 10, 100), 2) << "the address comes before the busy check";
    TypeAddress("1");
    EXPECT_EQ(form->WriteRegister(0, 10, 100), 0);
    EXPECT_EQ(form->WriteRegister(0, 2, 0xBBBB), 0);
    EXPECT_EQ(form->MB->FunctionCode, 3);
    EXPECT_EQ(form->MB->Offset, 1);
    EXPECT_EQ(form->MB->Quantity, 13);
    EXPECT_EQ(form->MB->RequestData, data);
    EXPECT_EQ(Panel(0), "Tx: 2");
    clock.advance(600);
    EXPECT_EQ(SentCount(), 1u);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));
    EXPECT_EQ(Panel(2), "Err: 0");

    com1->refuseOpen = true;
    EXPECT_EQ(form->WriteRegister(0, 10, 100), 3);
    EXPECT_EQ(portErrorBoxes, 1);
    EXPECT_FALSE(form->Waiting);
    EXPECT_EQ(Panel(0), "Tx: 2");
}

TEST_F(Write, RangesComeFromTheLastReading) {
    auto& inst = ReadMb4();
    ClickRead();   // keeps the master busy: accepted writes are dropped, the image stays
    struct Case {
        uint8_t reg;
        int32_t value;
        int result;
    } cases[] = {
        {8, 5000, 0},  {8, 5001, 1},  {8, 0, 0},                                     // threshold 1: 0 .. threshold 2
        {9, 1999, 1},  {9, 2000, 0},  {9, 10000, 0}, {9, 10001, 1},                  // threshold 2: threshold 1 .. range
        {7, 0, 1},     {7, 1, 0},     {7, 10000, 0}, {7, 10001, 1},                  // magnetic gas: 0,01 .. range
        {10, 0, 1},    {10, 1, 0},    {10, 5000, 0}, {10, 5001, 1}, {10, -1, 1},     // current: 0,01 .. 50,00
        {10, 65536 + 100, 0},                                                        // on the low 16 bits
        {2, 0xFFFF, 0}, {6, -100, 0},                                                // unchecked registers
    };
    for (const Case& c : cases)
        EXPECT_EQ(form->WriteRegister(0, c.reg, c.value), c.result) << int(c.reg) << " " << c.value;
    clock.advance(600);
    EXPECT_EQ(SentCount(), 1u);

    // A range below threshold 1 refuses every threshold 2.
    inst.setReg(4, 1000);
    inst.setSerialNumber(3u << 16);   // register 6
    ReadOnce();
    for (int32_t v : {0, 999, 1000, 1500, 2000, 2001, 65535}) EXPECT_EQ(form->WriteRegister(0, 9, v), 1) << v;

    // Another model takes its bounds only from a reading as that model:
    // X-22 threshold 1 is bounded by register 7, here the MB's magnetic gas,
    // threshold 2 by register 6, here the MB's serial number high word.
    ChooseModel(dtX22);
    EXPECT_EQ(form->WriteRegister(0, 6, 0), 4);
    ReadOnce();
    ClickRead();
    EXPECT_EQ(form->WriteRegister(0, 6, 5000), 0);
    EXPECT_EQ(form->WriteRegister(0, 6, 5001), 1);
    EXPECT_EQ(form->WriteRegister(0, 7, 3), 0);
    EXPECT_EQ(form->WriteRegister(0, 7, 2), 1);
    ChooseModel(dtX20);
    EXPECT_EQ(form->WriteRegister(0, 6, 65535), 0) << "the X-20 checks nothing";
}

// ---------------------------------------------------------------- commands

TEST_F(Write, GuardsBeforeTheFirstAnswer) {
    // Nobody answers: RxCount stays 0 throughout.
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{form->SBtWrLimit2, form->SBtWrMagnet,
                                                                      form->SBtWrCurrent, form->BtCalb}) {
        b->click();
        EXPECT_FALSE(dlg->isVisible()) << b->objectName().toStdString();
    }
    form->BtZero->click();
    form->BtInit->click();
    form->BoxFix->click();
    EXPECT_FALSE(form->BoxFix->isChecked()) << "the box unchecks itself";
    EXPECT_FALSE(form->Box4->isEnabled());
    EXPECT_TRUE(com1->written().empty());

    // Threshold 1 is bounded by a threshold 2 that nothing has read yet.
    form->SBtWrLimit1->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Сначала считайте показания"));
    EXPECT_TRUE(com1->written().empty());

    form->SBtGo->click();
    EXPECT_EQ(Head(LastSent()), "01 06 00 63 6D 2E");
    clock.advance(600);
    EXPECT_EQ(com1->requests().size(), 1u);
    EXPECT_EQ(form->RxCount, 0);

    // The calibrate without a reading.
    for (int devType : {dtX20, dtX22}) {
        ChooseModel(devType);
        form->BtZero->click();
        EXPECT_EQ(Head(LastSent()), "01 06 00 05 BB BB");
        clock.advance(600);
        form->BtInit->click();
        EXPECT_EQ(Head(LastSent()), "01 06 00 05 FF FF");
        clock.advance(600);
        form->BtCalb->click();
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(dlg->Tag, 5);
        dlg->CancelBtn->click();
    }
}

TEST_F(Write, SetZeroSendsItsCodeAndReadsAgainTwoSecondsLater) {
    auto& inst = ReadMb4();
    const QString reading = Cell(1);
    form->BtZero->click();
    ASSERT_EQ(com1->requests().size(), 1u);
    EXPECT_EQ(LastSent(), "01 06 00 02 BB BB 1A 89");
    clock.advance(600);
    EXPECT_EQ(form->RegImage[2], 0xBBBB) << "the image holds the echo";
    EXPECT_EQ(Cell(1), reading) << "the grid keeps the reading, greyed, until the next reading";
    EXPECT_TRUE(Grey(1));
    EXPECT_FALSE(Grey(0));
    EXPECT_TRUE(form->Grid->item(1, 1)->toolTip().contains(QString::fromUtf8("установка нуля (BBBB)")));
    clock.advance(1400);
    EXPECT_EQ(SentCount(), 1u);
    clock.advance(200);
    ASSERT_EQ(SentCount(), 2u);
    EXPECT_EQ(Head(LastSent()), "01 03 00 01 00 0D");
    EXPECT_EQ(Cell(1), QString::fromStdString(GasText(inst.reg(2), Sep().toStdString())));
    EXPECT_FALSE(Grey(1));
    EXPECT_EQ(form->Grid->item(1, 1)->toolTip(), "");
    clock.advance(10000);
    EXPECT_EQ(SentCount(), 2u) << "one read only";

    // Reset: the same road with 0xFFFF.
    form->BtInit->click();
    EXPECT_EQ(Head(LastSent()), "01 06 00 02 FF FF");
    clock.advance(600);
    EXPECT_NE(Cell(1), "FFFF");
    EXPECT_TRUE(Grey(1));
    clock.advance(2000);
    EXPECT_EQ(SentCount(), 4u);
}

TEST_F(Write, NoExtraReadInAutoMode) {
    ReadMb4();
    SetAuto(true);
    clock.advance(2600);   // the auto read at 2 s is over
    form->BtZero->click();
    clock.advance(600);
    EXPECT_TRUE(Grey(1));
    clock.advance(900);    // the auto read at 4 s confirms it
    EXPECT_FALSE(Grey(1));
    clock.advance(2500);
    ASSERT_EQ(SentCount(), 4u) << "reads at 2, 4 and 6 s and the write";
    for (size_t i : {0, 2, 3}) EXPECT_EQ(Head(sim::HexText(com1->requests()[i].bytes)), "01 03 00 01 00 0D");
}

TEST_F(Write, ReReadFollowsTheGasRegisterOfEachGroup) {
    // register 5 is read back, threshold 1 (register 6) is not.
    Add(Model::X20, 1);
    ChooseModel(dtX20);
    ReadOnce();
    com1->clearLog();
    form->WriteRegister(0, 6, 1000);
    clock.advance(5000);
    EXPECT_EQ(SentCount(), 1u);
    form->BtZero->click();
    clock.advance(2700);
    ASSERT_EQ(SentCount(), 3u);
    EXPECT_EQ(Head(LastSent()), "01 03 00 01 00 07");
}

TEST_F(Write, CalibrationOnAnMbModel) {
    auto& inst = ReadMb4();
    form->BtCalb->click();
    ASSERT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("Газ, %об."));
    EXPECT_EQ(dlg->MEdit->text(), Cell(1));
    EXPECT_EQ(dlg->Tag, 2);
    dlg->MEdit->setText(Dec("1", "50"));
    dlg->OKBtn->click();
    EXPECT_EQ(Head(LastSent()), "01 06 00 02 00 96");
    clock.advance(600);
    EXPECT_EQ(inst.reg(2), 150);
    clock.advance(2000);

    // While the output is fixed, calibration and its commands do nothing.
    inst.setReg(1, 0x0400);
    ReadOnce();
    ASSERT_TRUE(form->BoxFix->isChecked());
    const size_t before = SentCount();
    form->BtCalb->click();
    EXPECT_FALSE(dlg->isVisible());
    form->BtZero->click();
    form->BtInit->click();
    clock.advance(5000);
    EXPECT_EQ(SentCount(), before);
}

// ---------------------------------------------------------------- current output

TEST_F(Write, CurrentOutputFixDriveAndRelease) {
    auto& inst = ReadMb4();
    ShowActive();
    form->BoxFix->setFocus();
    form->BoxFix->click();
    EXPECT_TRUE(form->BoxFix->isChecked());
    EXPECT_TRUE(form->Box4->isEnabled());
    EXPECT_TRUE(form->Box20->isEnabled());
    ASSERT_EQ(SentCount(), 1u);
    EXPECT_EQ(Head(LastSent()), "01 06 00 01 04 00");
    // Before the echo has set the fix bit, entering the radio buttons sends nothing.
    Press(form->BoxFix, Qt::Key_Tab);
    ASSERT_TRUE(form->Box4->hasFocus());
    clock.advance(600);
    EXPECT_TRUE(inst.currentFixed());
    EXPECT_TRUE(form->RegImage.CurrentFixed());
    EXPECT_EQ(SentCount(), 1u);
    clock.advance(2000);
    ASSERT_EQ(SentCount(), 2u) << "the status is read again";
    EXPECT_EQ(Head(LastSent()), "01 03 00 01 00 0D");
    EXPECT_TRUE(form->BoxFix->isChecked());

    // 4 mA: back to the check box and in again with Tab.
    Press(form->Box4, Qt::Key_Backtab);
    ASSERT_TRUE(form->BoxFix->hasFocus());
    EXPECT_EQ(SentCount(), 2u);
    Press(form->BoxFix, Qt::Key_Tab);
    ASSERT_TRUE(form->Box4->hasFocus());
    ASSERT_EQ(SentCount(), 3u);
    EXPECT_EQ(Head(LastSent()), "01 06 00 02 00 00");
    clock.advance(600);
    EXPECT_EQ(inst.reg(10), 400);
    clock.advance(2000);
    EXPECT_EQ(SentCount(), 4u) << "read again after register 2";
    // 20 mA: the arrow key selects the other button and moves the focus there.
    Press(form->Box4, Qt::Key_Right);
    ASSERT_TRUE(form->Box20->hasFocus());
    EXPECT_TRUE(form->Box20->isChecked());
    ASSERT_EQ(SentCount(), 5u);
    EXPECT_EQ(Head(LastSent()), "01 06 00 02 27 10") << "the measuring range";
    clock.advance(2600);
    EXPECT_EQ(inst.reg(10), 2000);
    EXPECT_EQ(SentCount(), 6u);

    // Focus that comes back with the window, or a click on the button that
    // has the focus, is no entry.
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(form->Box20->hasFocus());
    form->Box20->click();
    clock.advance(3000);
    EXPECT_EQ(SentCount(), 6u);

    // Release.
    form->BoxFix->click();
    EXPECT_FALSE(form->BoxFix->isChecked());
    EXPECT_FALSE(form->Box4->isEnabled());
    EXPECT_FALSE(form->Box20->isEnabled());
    EXPECT_TRUE(form->Box4->isChecked());
    ASSERT_EQ(SentCount(), 7u);
    EXPECT_EQ(Head(LastSent()), "01 06 00 01 00 00");
    clock.advance(600);
    EXPECT_FALSE(inst.currentFixed());
    clock.advance(5000);
    EXPECT_EQ(SentCount(), 8u) << "the re-read, and nothing from the focus leaving the disabled buttons";
    EXPECT_FALSE(form->BoxFix->isChecked());

    // Fixed again, Tab enters at the selected 4 mA, not at 20 mA focused last.
    form->BoxFix->setFocus();
    form->BoxFix->click();
    clock.advance(2600);
    ASSERT_EQ(SentCount(), 10u);
    Press(form->BoxFix, Qt::Key_Tab);
    EXPECT_TRUE(form->Box4->hasFocus());
    ASSERT_EQ(SentCount(), 11u);
    EXPECT_EQ(Head(LastSent()), "01 06 00 02 00 00");
}

TEST_F(Write, RefusedOrFailedFixReturnsTheBox) {
    auto& inst = ReadMb4();
    // Refused before sending: a bad address (state unknown), a port that cannot be opened.
    TypeAddress("0");
    form->BoxFix->click();
    EXPECT_EQ(form->BoxFix->checkState(), Qt::PartiallyChecked);
    EXPECT_TRUE(AddressMarkedRed());
    EXPECT_FALSE(form->Box20->isEnabled());
    clock.advance(200);
    EXPECT_EQ(form->BoxFix->checkState(), Qt::Unchecked) << "address 1 again";
    com1->refuseOpen = true;
    form->BoxFix->click();
    EXPECT_FALSE(form->BoxFix->isChecked());
    EXPECT_EQ(portErrorBoxes, 1);
    com1->refuseOpen = false;
    EXPECT_EQ(SentCount(), 0u);

    // Failed on the line: unchecked again, and nothing more is sent.
    inst.faults().exception = 4;
    form->BoxFix->click();
    EXPECT_TRUE(form->BoxFix->isChecked());
    clock.advance(600);
    EXPECT_FALSE(form->BoxFix->isChecked());
    EXPECT_FALSE(form->Box4->isEnabled());
    EXPECT_TRUE(form->Box4->isChecked());
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ошибка 04 — порт снова доступен")) << "after the port refused";
    clock.advance(5000);
    EXPECT_EQ(SentCount(), 1u);
    EXPECT_FALSE(inst.currentFixed());

    // A failed release checks it again.
    inst.clearFaults();
    form->BoxFix->click();
    clock.advance(2600);
    ASSERT_TRUE(inst.currentFixed());
    inst.faults().silent = true;
    form->BoxFix->click();
    EXPECT_FALSE(form->Box20->isEnabled());
    clock.advance(600);
    EXPECT_TRUE(form->BoxFix->isChecked());
    EXPECT_TRUE(form->Box20->isEnabled());
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Нет связи"));
    const size_t sent = SentCount();
    clock.advance(5000);
    EXPECT_EQ(SentCount(), sent);
}

TEST_F(Write, FixDroppedDuringAReadStaysUntilTheAnswer) {
    ReadMb4();
    ClickRead();
    form->BoxFix->click();
    EXPECT_TRUE(form->BoxFix->isChecked()) << "dropped, not refused";
    EXPECT_TRUE(form->Box20->isEnabled());
    clock.advance(600);
    EXPECT_FALSE(form->BoxFix->isChecked()) << "the reading puts the instrument's state back";
    EXPECT_FALSE(form->Box20->isEnabled());
    clock.advance(5000);
    EXPECT_EQ(SentCount(), 1u);
}

TEST_F(Write, FailedCurrentOutputWriteShowsAgainWhatWasShown) {
    auto& inst = ReadMb4();
    ShowActive();
    auto view = [&] {
        return std::tuple(form->BoxFix->checkState(), form->Box4->isEnabled(), form->Box20->isChecked());
    };
    auto enter = [&](QRadioButton* b) { b->setFocus(Qt::MouseFocusReason); b->click(); };   // focus, then check
    // Fixed and 20 mA before the click, the click, the fault (exception 5, or silent).
    struct Case { bool fixed, twenty; std::function<void()> click; uint8_t exception; } cases[] = {
        {false, false, [&] { form->BoxFix->click(); }, 5}, {true, true, [&] { form->BoxFix->click(); }, 5},
        {true, false, [&] { enter(form->Box20); }, 0},     {true, true, [&] { enter(form->Box4); }, 5},
        {true, true, [&] { Press(form->Box20, Qt::Key_Left); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        inst.clearFaults();
        inst.setReg(1, c.fixed ? CurrentFixedMask : 0);
        ReadOnce();
        if (c.fixed) enter(c.twenty ? form->Box20 : form->Box4);
        clock.advance(2600);
        const auto before = view();
        inst.faults().silent = !c.exception;
        inst.faults().exception = c.exception;
        const int errors = form->ErrCount;
        c.click();
        EXPECT_NE(view(), before);
        clock.advance(1200);
        EXPECT_EQ(form->ErrCount, errors + (c.exception ? 2 : 1)) << "exception 5, then the timeout";
        EXPECT_EQ(view(), before);
    }
}

TEST_F(Write, StateOfOneInstrumentGoesToNoOther) {
    Add(Model::MB4, 2).setReg(1, CurrentFixedMask);
    Add(Model::MB4, 1);
    TypeAddress("2");
    // COM2: a second adapter on the same line.
    sim::SimPort* com2 = &backend.attach(2, line);
    // After a reading: another address, another model, a bus search (found:
    // 1, then 2), another port, another adapter under the same port's name
    // (which the first write that opens the port finds out).
    std::function<void()> moves[] = {
        [&] { TypeAddress("1"); },
        [&] { ChooseModel(dtMB3); },
        [&] { form->SBtFind->click(); clock.advance(1500); form->SBtFind->click(); },
        [&] {
            form->CBPortNum->setCurrentIndex(1);
            form->CBPortNumChange();
        },
        [&] {
            com2->identity = "another adapter";
            const size_t sent = com2->requests().size();
            EXPECT_EQ(form->WriteRegister(0, 8, 1000), 4);
            EXPECT_EQ(com2->requests().size(), sent);
            EXPECT_FALSE(form->MB->Connected());
        },
    };
    for (auto& move : moves) {
        ReadOnce();
        form->SBtWrLimit2->click();
        move();
        // The state is shown as unknown, and nothing that builds on the image goes out.
        EXPECT_EQ(form->BoxFix->checkState(), Qt::PartiallyChecked);
        EXPECT_FALSE(form->Box20->isEnabled());
        com1->clearLog();
        com2->clearLog();
        EXPECT_EQ(dlg->isVisible(), &move != &moves[1]) << "a model change closes it";
        dlg->MEdit->setText("30");
        dlg->OKBtn->click();
        EXPECT_EQ(dlg->MEdit->text(), "30") << "kept for after the reading";
        dlg->CancelBtn->click();
        for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
                 form->BoxFix, form->BtZero, form->BtInit, form->BtCalb, form->SBtWrLimit1, form->SBtWrMagnet}) {
            form->findChild<QLabel*>("StBarPanel3")->clear();
            b->click();
            EXPECT_EQ(Panel(3), QString::fromUtf8("№") + form->CBAddr->currentText() +
                                    QString::fromUtf8(": Сначала считайте показания"));
        }
        EXPECT_FALSE(dlg->isVisible());
        form->Box20Enter();
        clock.advance(3000);
        EXPECT_TRUE(com1->requests().empty());
        EXPECT_TRUE(com2->requests().empty());
    }
    ReadOnce();
    EXPECT_EQ(form->BoxFix->checkState(), Qt::Checked);
    form->Box20Enter();
    ASSERT_EQ(com2->requests().size(), 2u);
    EXPECT_EQ(Head(sim::HexText(com2->requests().back().bytes)), "02 06 00 02 27 10");
}

TEST_F(Write, FixedOutputIsNotLeftBehind) {
    auto& inst = ReadMb4();
    Add(Model::MB4, 2);
    auto fix = [&] {
        form->BoxFix->click();
        clock.advance(2600);
        com1->clearLog();
    };
    fix();
    form->show();
    // Cancelled: the window stays where it was and sends nothing.
    const std::pair<const char*, std::function<bool()>> moves[] = {
        {"close", [&] { return !form->close() && form->isVisible(); }},
        {"address", [&] { TypeAddress("2"); ClickRead(); return form->CBAddr->currentText() == "1"; }},
        {"port", [&] { form->CBPortNum->setCurrentIndex(1); form->CBPortNumChange();
                       return form->CBPortNum->currentIndex() == 0 && form->MB->ComPort() == pnCOM1; }},
        {"search", [&] { form->SBtFind->click(); return !form->Finding; }},
    };
    answer = [](const TMForm::TQuestion& q) { return q.Escape; };
    for (const auto& [what, move] : moves) {
        asked.clear();
        EXPECT_TRUE(move()) << what;
        ASSERT_EQ(asked.size(), 1u) << what;
        EXPECT_TRUE(asked[0].Text.contains(QString::fromUtf8("№1, ОРН10-X-X1 MB4, сер. номер ") + Cell(0))) << what;
        clock.advance(3000);
        EXPECT_EQ(SentCount(), 0u) << what;
    }
    // Released (the default) before reading another address; unanswered at
    // first, it is asked again with why.
    inst.faults().silent = true;
    asked.clear();
    answer = [&](const TMForm::TQuestion& q) {
        if (asked.size() == 2) inst.clearFaults();
        return q.Default;
    };
    TypeAddress("2");
    ClickRead();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_TRUE(asked[1].Text.startsWith(QString::fromUtf8("Освободить выход не удалось: №1: Нет связи.")));
    EXPECT_FALSE(inst.currentFixed());
    EXPECT_EQ(Head(sim::HexText(com1->requests()[1].bytes)), "01 06 00 01 00 00");
    EXPECT_EQ(Head(LastSent()), "02 03 00 01 00 0D") << "then the read";
    // Fixed again and left fixed on closing: nothing is written.
    clock.advance(3000);
    TypeAddress("1");
    ReadOnce();
    fix();
    answer = [](const TMForm::TQuestion&) { return 1; };
    EXPECT_TRUE(form->close());
    clock.advance(3000);
    EXPECT_EQ(SentCount(), 0u);
    EXPECT_TRUE(inst.currentFixed());
}

TEST_F(Write, ResetAndServiceSwitchAskFirstNamingTheInstrument) {
    ReadMb4();
    const QString instrument = QString::fromUtf8("Прибор: №1, ОРН10-X-X1 MB4, сер. номер ") + Cell(0) + ".";
    const std::pair<QAbstractButton*, const char*> cases[] = {{form->BtInit, "01 06 00 02 FF FF"},
                                                              {form->SBtGo, "01 06 00 63 6D 2E"}};
    for (const auto& [button, frame] : cases) {
        answer = [](const TMForm::TQuestion& q) { return q.Default; };   // Enter
        button->click();
        EXPECT_TRUE(asked.back().Text.contains(instrument)) << asked.back().Text.toStdString();
        EXPECT_EQ(asked.back().Default, asked.back().Escape) << "Enter keeps the instrument as it is";
        clock.advance(3000);
        EXPECT_EQ(SentCount(), 0u);
        // Confirmed while an automatic reading is open: sent once it has ended.
        SetAuto(true);
        answer = [&](const TMForm::TQuestion&) {
            clock.advance(2050);
            return 0;
        };
        button->click();
        EXPECT_EQ(SentCount(), 2u) << "the reading, then the command";
        EXPECT_EQ(Head(LastSent()), frame);
        EXPECT_EQ(form->ErrCount, 0);
        SetAuto(false);
        clock.advance(3000);
        com1->clearLog();
    }
    // Never read: said so.  Set zero and calibration ask nothing.
    const size_t before = asked.size();
    ChooseModel(dtX22);
    answer = [](const TMForm::TQuestion& q) { return q.Escape; };
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{form->BtInit, form->BtZero, form->BtCalb})
        b->click();
    ASSERT_EQ(asked.size(), before + 1);
    EXPECT_TRUE(asked.back().Text.contains(QString::fromUtf8("№1, ОРН10-X-22, сер. номер не прочитан")));
}

// ---------------------------------------------------------------- service protocol

TEST_F(Write, ServiceProtocolSwitchLeavesTheGridAlone) {
    auto& inst = ReadMb4();
    ChooseModel(dtMB3);   // empties the value column
    const TRegImage before = form->RegImage;
    form->SBtGo->click();
    EXPECT_EQ(Head(LastSent()), "01 06 00 63 6D 2E");
    clock.advance(600);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Переключен на служебный протокол"));
    EXPECT_EQ(Panel(1), "Rx: 2");
    EXPECT_FALSE(form->Waiting);
    EXPECT_FALSE(form->MB->Connected());
    EXPECT_EQ(form->RegImage.Regs, before.Regs);
    for (int r = 0; r < GridRowCount; ++r) EXPECT_EQ(Cell(r), "") << r;
    EXPECT_TRUE(inst.serviceMode());
    clock.advance(5000);
    EXPECT_EQ(com1->requests().size(), 1u) << "no read follows";
    ReadOnce();
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Нет связи")) << "the instrument now speaks another protocol";
}
