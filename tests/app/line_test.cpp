// The line window on the virtual clock with the simulated line: its search
// beside the window, its round-robin never overlapping the window's
// requests, the thresholds copied under the window's checks and read back,
// the hand-over to the main window.
#include "window_fixture.h"

#include "line_window.h"
#include "records_tools.h"
#include "service_tools.h"
#include "store.h"

#include <QFile>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QThread>

using namespace orn;
using namespace orn::test;

namespace {

class Line : public WindowTest {
protected:
    QTemporaryDir dir;
    std::unique_ptr<TServiceTools> tools;
    std::unique_ptr<TRecordsTools> records;
    std::unique_ptr<TLineTools> lineTools;
    TLineWindow* w = nullptr;

    void SetUp() override {
        WindowTest::SetUp();
        tools = std::make_unique<TServiceTools>(*form, clock);
        records = std::make_unique<TRecordsTools>(*form, clock, dir.filePath("records.db").toStdString());
        lineTools = std::make_unique<TLineTools>(*form, clock, *tools, records.get());
        w = lineTools->Window();
        w->ShowMessage = [](const QString& text) { ADD_FAILURE() << text.toStdString(); };
    }
    void TearDown() override {
        lineTools.reset();
        records.reset();
        tools.reset();
        WindowTest::TearDown();
    }
    int RowOf(int address) const {
        for (size_t i = 0; i < w->Rows().size(); ++i)
            if (w->Rows()[i].Entry.Address == address) return int(i);
        return -1;
    }
    // Runs until every row has been read since `sinceMs`.
    bool AllRead(uint32_t sinceMs, int maxMs = 10000) {
        return clock.runUntil(
            [&] {
                for (const auto& r : w->Rows())
                    if (!r.Read || r.ReadMs < sinceMs) return false;
                return true;
            },
            maxMs);
    }
};

TEST_F(Line, ScanFillsTheTableAndReadsItWithoutTouchingTheWindow) {
    Add(sim::Model::MB4, 1);
    Add(sim::Model::MB2, 3).applyGas(30, 0.001, 0);   // above its threshold 1 (20,00)
    Add(sim::Model::X22, 5);
    Add(sim::Model::X20, 12).setReg(3, 0x0012);
    w->SpTo->setValue(15);
    const QString log = dir.filePath("readings.csv");
    ASSERT_TRUE(tools->StartLog(log));
    w->BoxLog->setChecked(true);
    w->StartScan();
    ASSERT_TRUE(clock.runUntil([&] { return !w->Scanning(); }, 10000));
    ASSERT_EQ(w->Rows().size(), 4u);
    EXPECT_EQ(w->CellText(RowOf(3), TLineWindow::ColModel), QString::fromUtf8("ОРН10-X-X1 MB2"));
    EXPECT_EQ(w->CellText(RowOf(12), TLineWindow::ColModel), QString::fromUtf8("ОРН10-X-20"));
    ASSERT_TRUE(AllRead(0));
    EXPECT_EQ(w->CellText(RowOf(5), TLineWindow::ColSerial), QStringLiteral("2650005"));
    EXPECT_EQ(w->CellText(RowOf(12), TLineWindow::ColLimit2), QString::fromUtf8("—"));
    EXPECT_EQ(w->CellText(RowOf(12), TLineWindow::ColStatus), QStringLiteral("0012"));
    EXPECT_NE(w->Table->item(RowOf(3), TLineWindow::ColAddress)->background(), QBrush());   // at threshold 1
    EXPECT_EQ(w->Table->item(RowOf(1), TLineWindow::ColAddress)->background(), QBrush());
    // Nothing of it reached the window's counters, status bar or table.
    EXPECT_EQ(Panel(0), QStringLiteral("Tx: 0"));
    EXPECT_EQ(Panel(1), QStringLiteral("Rx: 0"));
    EXPECT_EQ(Cell(0), QString());
    // An instrument that stops answering is marked with its error; its
    // fixed output is shown once it answers again.
    line.at(1).faults().silent = true;
    ASSERT_TRUE(clock.runUntil([&] { return w->Rows()[size_t(RowOf(1))].Code == mbTimeout; }, 5000));
    EXPECT_EQ(w->CellText(RowOf(1), TLineWindow::ColError), QString::fromUtf8("Нет связи"));
    EXPECT_EQ(w->CellText(RowOf(1), TLineWindow::ColSerial), QStringLiteral("2630001"));   // as last read, grey
    line.at(1).faults().silent = false;
    line.at(1).setReg(1, 0x0400);
    ASSERT_TRUE(clock.runUntil([&] { return w->Rows()[size_t(RowOf(1))].Code == 0; }, 5000));
    EXPECT_EQ(w->CellText(RowOf(1), TLineWindow::ColStatus), QString::fromUtf8("0400 ток фиксирован"));
    EXPECT_EQ(w->CellText(RowOf(1), TLineWindow::ColCurrent), QString::fromUtf8("фиксирован"));
    // Every read of the table in the readings log, with its address and serial number.
    tools->StopLog();
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    for (const char* row : {";1;ОРН10-X-X1 MB4;2630001;", ";12;ОРН10-X-20;2640012;"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(row))) << row;
}

// The table is read continuously while the user reads, writes and reads
// automatically in the main window: no two requests are ever open at once,
// and none of the window's fails as busy, whenever it comes.
TEST_F(Line, RoundRobinNeverOverlapsTheWindowsRequests) {
    for (uint8_t a : {1, 2, 3}) Add(sim::Model::MB4, a);
    for (int a : {1, 2, 3}) w->AddRow(a, dtMB4, TLineSetting{}, true);
    int open = 0, overlaps = 0, sent = 0;
    form->MB->OnLine = [&](const LineEvent& e) {
        if (e.kind == LineEventKind::Sent) overlaps += open++ > 0, ++sent;
        if (e.kind == LineEventKind::Outcome) open = 0;
    };
    ReadOnce();
    ASSERT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));
    // Clicks whenever the window has no request of its own open, at
    // moments that fall anywhere in the table's transactions.
    uint32_t step = 7;
    int clicks = 0, written = 0;
    for (int i = 0; i < 300; ++i) {
        clock.advance(step = step * 13 % 29 + 1);
        if (form->Waiting) continue;
        ++clicks;
        if (i % 3 == 0) EXPECT_EQ(form->WriteRegister(0, 8, written = 1000 + i), 0);
        else ClickRead();
    }
    SetAuto(true);
    const uint32_t autoFrom = clock.nowMs();
    clock.advance(10000);
    SetAuto(false);
    clock.advance(1000);
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(form->ErrCount, 0) << Panel(3).toStdString();
    EXPECT_EQ(form->TxCount, form->RxCount);
    EXPECT_GE(form->TxCount, clicks + 5);
    EXPECT_EQ(line.at(1).reg(8), written);
    EXPECT_TRUE(AllRead(autoFrom));
    EXPECT_GT(sent, form->TxCount + 100);   // the table kept reading
}

// Thresholds of one instrument to others: each read first, each value
// under the window's range check, nothing where the model lacks it, each
// read back, each write recorded.
TEST_F(Line, SettingsCopyGoesThroughTheWindowsChecksAndIsReadBack) {
    sim::Instrument& source = Add(sim::Model::MB4, 1);
    source.setReg(8, 1500);
    source.setReg(9, 4500);
    Add(sim::Model::MB2, 3);
    Add(sim::Model::MB3, 6).setReg(4, 4000);   // range 40,00: threshold 2 of 45,00 refused
    Add(sim::Model::X20, 12);
    Add(sim::Model::MB4, 9).faults().silent = true;
    for (auto [a, d] : {std::pair{1, dtMB4}, {3, dtMB2}, {6, dtMB3}, {12, dtX20}, {9, dtMB4}})
        w->AddRow(a, d, TLineSetting{}, false);
    w->BoxPoll->setChecked(false);
    w->BoxPoll->setChecked(true);
    clock.runUntil([&] { return w->Rows()[size_t(RowOf(1))].Read; }, 5000);
    ASSERT_TRUE(w->CopySettings(RowOf(1), {RowOf(3), RowOf(6), RowOf(12), RowOf(9)}, {true, true, true}));
    ASSERT_TRUE(clock.runUntil([&] { return !w->Copying(); }, 20000));
    EXPECT_EQ(line.at(3).reg(8), 1500);
    EXPECT_EQ(line.at(3).reg(9), 4500);
    EXPECT_EQ(line.at(3).reg(7), source.reg(7));
    EXPECT_EQ(line.at(6).reg(8), 1500);
    EXPECT_EQ(line.at(6).reg(9), 5000);
    EXPECT_EQ(line.at(12).reg(6), 1500);
    const auto copy = [&](int a) { return w->Rows()[size_t(RowOf(a))].Copy.toStdString(); };
    EXPECT_EQ(copy(3), "записано: порог №1 15,00, порог №2 45,00, газ магн. градуировки 50,00");
    EXPECT_EQ(copy(6), "записано: порог №1 15,00; порог №2 45,00 не записан: вне 15,00…40,00; "
                       "газ магн. градуировки 50,00 не записан: вне 0,01…40,00");
    EXPECT_EQ(copy(12), "записано: порог №1 15,00; порог №2: нет у этой модели; газ магн. градуировки: нет у этой "
                        "модели");
    EXPECT_EQ(copy(9), "не прочитан (Нет связи): ничего не записано");
    // What changed the instruments is in the service records.
    ASSERT_TRUE(records->Link().Recorder().WaitWritten(30000));
    std::string error;
    records::TRecordStore store(records::OpenSqlite(dir.filePath("records.db").toStdString(), error));
    std::vector<records::TServiceRecord> stored;
    ASSERT_TRUE(store.Services(records::TQuery{}, stored)) << store.Error();
    std::vector<std::string> writes;
    for (const auto& r : stored)
        writes.push_back(std::to_string(r.address) + " " + r.action + " " + std::to_string(r.valueAfter.value_or(-1)) +
                         " " + std::to_string(r.serial.value_or(0)));
    std::sort(writes.begin(), writes.end());
    EXPECT_EQ(writes, (std::vector<std::string>{"12 threshold1 1500 2640012", "3 magnet 5000 2610003",
                                                "3 threshold1 1500 2610003", "3 threshold2 4500 2610003",
                                                "6 threshold1 1500 2620006"}));
}

TEST_F(Line, DoubleClickHandsTheInstrumentOverToTheWindow) {
    Add(sim::Model::X22, 5);
    line.setOwnSettings(5, 9600, ptNONE);
    w->AddRow(5, dtX22, TLineSetting{9600, ptNONE}, false);
    ASSERT_TRUE(AllRead(0));
    emit w->Table->cellDoubleClicked(0, TLineWindow::ColSerial);
    clock.advance(600);
    EXPECT_EQ(form->CBDev->currentIndex(), dtX22);
    EXPECT_EQ(form->CBAddr->currentText(), QStringLiteral("5"));
    EXPECT_EQ(form->CBPortSpeed->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(form->CBParity->currentIndex(), int(ptNONE));
    EXPECT_EQ(Panel(3), QString::fromUtf8("№5: Ok"));
    EXPECT_EQ(Cell(0), QStringLiteral("2650005"));
    // The specified controls work on it as always: a threshold written.
    EXPECT_EQ(form->WriteRegister(0, 6, 1234), 0);
    clock.advance(600);
    EXPECT_EQ(line.at(5).reg(6), 1234);
}

} // namespace
