// The guided calibration against the simulator's test gas on the virtual
// clock, the window's writes in the records, the records when they cannot
// be written, the history and the certificate.
#include "window_fixture.h"

#include "calibration_dialog.h"
#include "history_view.h"
#include "records_tools.h"
#include "report.h"
#include "store.h"
#include "trend_view.h"

#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>

using namespace orn;
using namespace orn::test;
using namespace orn::records;

namespace {

class Calibration : public WindowTest {
protected:
    QTemporaryDir dir;
    std::unique_ptr<TRecordsTools> tools;
    TCalibrationDialog* dialog = nullptr;
    sim::Instrument* mb4 = nullptr;
    QStringList alerts;

    void SetUp() override {
        WindowTest::SetUp();
        mb4 = &Add(sim::Model::MB4, 1);
        Open(dir.filePath("records.db"));
    }
    void TearDown() override {
        tools.reset();
        WindowTest::TearDown();
    }
    void Open(const QString& path) {
        tools.reset();
        tools = std::make_unique<TRecordsTools>(*form, clock, path.toStdString());
        tools->Link().ShowAlert = [this](const QString& text) { alerts << text; };
        dialog = tools->Calibration();
        dialog->OpenFile = [](const QString&) {};
    }
    // The setup as the engineer fills it in.
    void Setup(TSessionKind kind, const char* gas = "25,00") {
        dialog->Kind->setCurrentIndex(int(kind));
        dialog->Gas->setText(QString::fromUtf8(gas));
        dialog->Lot->setText(QStringLiteral("17/3"));
        dialog->Expiry->setDate(QDate::currentDate().addMonths(6));
        dialog->Technician->setEditText(QString::fromUtf8("Иванов И. И."));
        dialog->Site->setText(QString::fromUtf8("Цех 3"));
    }
    TStep Step() const { return dialog->Session()->Step(); }
    // Runs the virtual clock until `pred` holds, in steps of 100 ms.
    template <class Pred> bool Run(Pred pred, int maxMs = 300000) { return clock.runUntil(pred, maxMs, 100); }
    // Waits in real time for the records' threads (and the window's thread
    // to hear of them).
    template <class Pred> bool Wait(Pred pred) {
        for (int i = 0; i < 3000 && !pred(); ++i) {
            QCoreApplication::processEvents();
            QThread::msleep(10);
        }
        return pred();
    }
    std::vector<TServiceRecord> Stored() {
        EXPECT_TRUE(tools->Link().Recorder().WaitWritten(30000));
        std::string error;
        TRecordStore store(OpenSqlite(dir.filePath("records.db").toStdString(), error));
        std::vector<TServiceRecord> out;
        EXPECT_TRUE(store.Services(TQuery{}, out)) << store.Error();
        return out;
    }
    const TServiceRecord* Find(const std::vector<TServiceRecord>& rs, TKind kind) {
        for (const TServiceRecord& r : rs)
            if (r.kind == kind) return &r;
        return nullptr;
    }
};

TEST_F(Calibration, BumpTestPassesAndFailsOnTheSimulatorsGas) {
    for (const bool weakSensor : {false, true}) {
        SCOPED_TRACE(weakSensor);
        mb4->removeGas(0);
        Setup(TSessionKind::Bump);
        ASSERT_TRUE(dialog->Start()) << dialog->SetupError->text().toStdString();
        ASSERT_TRUE(Run([&] { return Step() == TStep::ApplyGas; }));
        EXPECT_TRUE(dialog->BtGasApplied->isEnabled());
        // A sensor that has lost sensitivity shows 10 of the 25 %об applied.
        mb4->applyGas(weakSensor ? 10 : 25, 10, 0.02);
        dialog->BtGasApplied->click();
        ASSERT_TRUE(Run([&] { return Step() == TStep::Done; }, 70000));
        const TServiceRecord& r = dialog->Session()->Record();
        EXPECT_EQ(r.result, weakSensor ? TResult::Fail : TResult::Pass);
        EXPECT_NEAR(*r.zeroBefore, 1.50, 0.1);
        ASSERT_TRUE(r.gasBefore);
        if (weakSensor) EXPECT_NEAR(*r.gasBefore, 11.5, 0.2);
        else EXPECT_GE(*r.gasBefore, 12.5);
        EXPECT_EQ(r.action, "");   // a check writes nothing
        dialog->BtNew->click();
    }
    const auto stored = Stored();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].serial, int64_t(mb4->serialNumber()));
    EXPECT_EQ(stored[0].technician, "Иванов И. И.");
    EXPECT_EQ(stored[0].criteria, "не менее 50 % ПГС за 60 с");
    for (const auto& req : Sent()) EXPECT_EQ(req.substr(3, 2), "03") << "only reads went out";
}

TEST_F(Calibration, ZeroAndSpanWhenStableCheckedAfterAndRecorded) {
    // 1,50 in clean air (a zero to correct) and 23 of the 25 %об test gas
    // (a span to correct).
    Setup(TSessionKind::ZeroSpan);
    dialog->StableSeconds->setValue(20);
    ASSERT_TRUE(dialog->Start());
    clock.advance(5000);
    EXPECT_EQ(Step(), TStep::ZeroGas);
    EXPECT_FALSE(dialog->BtZero->isEnabled()) << "offered only when stable";
    ASSERT_TRUE(Run([&] { return dialog->BtZero->isEnabled(); }));
    EXPECT_GE(clock.nowMs(), 20000u);
    dialog->BtZero->click();
    ASSERT_TRUE(Run([&] { return Step() == TStep::SpanGas; }));
    EXPECT_NEAR(mb4->reg(2), 0, 2);
    mb4->applyGas(23, 15, 0.02);
    EXPECT_FALSE(dialog->BtSpan->isEnabled());
    ASSERT_TRUE(Run([&] { return dialog->BtSpan->isEnabled(); }));
    dialog->BtSpan->click();
    ASSERT_TRUE(Run([&] { return Step() == TStep::Done; }));
    EXPECT_NEAR(mb4->reg(2), 2500, 10);

    const TServiceRecord& r = dialog->Session()->Record();
    EXPECT_EQ(r.result, TResult::Pass);
    EXPECT_EQ(r.action, "zero+span");
    EXPECT_NEAR(*r.zeroBefore, 1.50, 0.05);
    EXPECT_NEAR(*r.zeroAfter, 0.0, 0.2);
    EXPECT_NEAR(*r.gasBefore, 23.0, 0.2);
    EXPECT_NEAR(*r.gasAfter, 25.0, 0.2);
    EXPECT_EQ(*r.gasConcentration, 25.0);
    EXPECT_EQ(r.cylinderExpiry, QDate::currentDate().addMonths(6).toString(Qt::ISODate).toStdString());
    // The session and the two writes it sent, which belong to it.
    const auto stored = Stored();
    ASSERT_EQ(stored.size(), 3u);
    int writes = 0;
    for (const TServiceRecord& s : stored) {
        if (s.kind != TKind::Command) continue;
        ++writes;
        EXPECT_EQ(s.sessionUuid, r.uuid);
        EXPECT_TRUE(s.action == "zero" || (s.action == "calibrate" && s.valueAfter == 2500)) << s.action;
    }
    EXPECT_EQ(writes, 2);

    // The certificate beside the records.
    const QString pdf = dialog->MakeCertificate();
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << pdf.toStdString();
    EXPECT_TRUE(file.read(5) == "%PDF-");
}

TEST_F(Calibration, CancelAfterTheZeroKeepsWhatWasSentAndSendsNoMore) {
    Setup(TSessionKind::ZeroSpan);
    ASSERT_TRUE(dialog->Start());
    ASSERT_TRUE(Run([&] { return dialog->BtZero->isEnabled(); }));
    // Another address in the window: the session waits for its instrument.
    TypeAddress("2");
    clock.advance(1000);
    EXPECT_FALSE(dialog->BtZero->isEnabled());
    EXPECT_TRUE(dialog->StepText->text().contains(QString::fromUtf8("сессия ждёт")));
    TypeAddress("1");
    ASSERT_TRUE(Run([&] { return dialog->BtZero->isEnabled(); }));
    dialog->BtZero->click();
    ASSERT_TRUE(Run([&] { return Step() == TStep::SpanGas; }));
    mb4->applyGas(23, 5, 0);
    ASSERT_TRUE(Run([&] { return dialog->BtSpan->isEnabled(); }));
    dialog->BtCancel->click();
    EXPECT_EQ(Step(), TStep::Cancelled);
    EXPECT_TRUE(dialog->StepText->text().contains(QString::fromUtf8("Отправленное (ноль) осталось в приборе")))
        << dialog->StepText->text().toStdString();
    const size_t sent = Sent().size();
    clock.advance(10000);
    EXPECT_EQ(Sent().size(), sent) << "nothing more goes out";
    EXPECT_NEAR(mb4->reg(2), 2300, 5) << "the span is as it was";
    const auto stored = Stored();
    const TServiceRecord* session = Find(stored, TKind::ZeroSpan);
    ASSERT_TRUE(session);
    EXPECT_EQ(session->result, TResult::Cancelled);
    EXPECT_EQ(session->action, "zero");
    EXPECT_FALSE(session->gasAfter);

    // Cancelled before anything was sent: nothing recorded, nothing changed.
    dialog->BtNew->click();
    ASSERT_TRUE(dialog->Start());
    clock.advance(4000);
    dialog->BtCancel->click();
    EXPECT_TRUE(dialog->StepText->text().contains(QString::fromUtf8("прибор не изменён")));
    EXPECT_EQ(Stored().size(), stored.size());
}

TEST_F(Calibration, SetupRefusals) {
    const struct {
        TSessionKind kind;
        const char* gas;
        int expiryDays;
        const char* says;
    } cases[] = {
        {TSessionKind::Span, "25", -1, "Баллон просрочен: годен до"},
        {TSessionKind::Bump, "0", 30, "Концентрация ПГС"},
        {TSessionKind::Span, "480,59", 30, "Концентрация ПГС"},   // the zero command's code
        {TSessionKind::Span, "много", 30, "Концентрация ПГС"},
    };
    for (const auto& c : cases) {
        Setup(c.kind, c.gas);
        dialog->Expiry->setDate(QDate::currentDate().addDays(c.expiryDays));
        EXPECT_FALSE(dialog->Start()) << c.says;
        EXPECT_TRUE(dialog->SetupError->text().contains(QString::fromUtf8(c.says)))
            << dialog->SetupError->text().toStdString();
    }
    Setup(TSessionKind::Zero);
    dialog->Technician->setEditText(QString());
    EXPECT_FALSE(dialog->Start());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Calibration, WindowWritesAreRecordedAndTheHistoryShowsDueDates) {
    ReadOnce();
    form->BtZero->click();   // confirmed: the value before and the code sent
    clock.advance(3000);
    ChooseModel(dtX20);
    TypeAddress("7");        // nobody there: sent, never confirmed
    form->BtZero->click();
    clock.advance(600);
    // A calibration that passed 8 months ago, of an instrument not on this line.
    TServiceRecord old = NewRecord();
    old.atUtc = UtcText(*UtcMs(NowUtc()) - 240LL * 86400000);
    old.model = "X-22";
    old.serial = 4242;
    old.kind = TKind::Span;
    old.result = TResult::Pass;
    tools->Link().Submit(old);

    const auto stored = Stored();
    ASSERT_EQ(stored.size(), 3u);
    // (Made within the same millisecond of real time: in either order.)
    const bool first = stored[0].result == TResult::Unconfirmed;
    const TServiceRecord& unconfirmed = stored[first ? 0 : 1];
    EXPECT_EQ(unconfirmed.result, TResult::Unconfirmed);
    EXPECT_EQ(unconfirmed.model, "X-20");
    EXPECT_FALSE(unconfirmed.serial);
    EXPECT_EQ(unconfirmed.notes, "Нет связи");
    const TServiceRecord& zero = stored[first ? 1 : 0];
    EXPECT_EQ(zero.action, "zero");
    EXPECT_EQ(zero.serial, int64_t(mb4->serialNumber()));
    EXPECT_EQ(zero.valueBefore, 150);
    EXPECT_EQ(zero.valueAfter, CmdSetZero);
    EXPECT_EQ(zero.result, TResult::Done);

    THistoryView* h = tools->History();
    h->Refresh();
    ASSERT_TRUE(Wait([&] { return !h->Loading(); }));
    ASSERT_EQ(h->Instruments->rowCount(), 2);   // the X-20 at 7 has no serial number
    EXPECT_EQ(h->Instruments->item(0, 1)->text(), "4242");
    EXPECT_EQ(h->Instruments->item(0, 7)->text(), QString::fromUtf8("ПРОСРОЧЕНА"));
    EXPECT_EQ(h->Instruments->item(1, 7)->text(), QString::fromUtf8("градуировок нет"));
    h->Serial->setText(QString::number(mb4->serialNumber()));
    h->Refresh();
    ASSERT_TRUE(Wait([&] { return !h->Loading() && h->Instruments->rowCount() == 1; }));
    h->Instruments->selectRow(0);
    EXPECT_EQ(h->Services->rowCount(), 1);
    EXPECT_EQ(h->Services->item(0, 3)->text(), QString::fromUtf8("ноль"));
    const QString csv = dir.filePath("export.csv");
    QString error;
    ASSERT_TRUE(h->Export(csv, false, error)) << error.toStdString();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].contains(QString::fromUtf8(";Команда;ноль;2;\"1,50\";0xBBBB;"))) << lines[1].toStdString();
}

TEST_F(Calibration, RecordsThatCannotBeWrittenStayAndAreSaid) {
    Open(QStringLiteral("/dev/null/records.db"));
    ReadOnce();
    form->SBtWrLimit1->click();
    dlg->MEdit->setText(QStringLiteral("12"));
    dlg->OKBtn->click();
    clock.advance(600);
    EXPECT_EQ(line.at(1).reg(8), 1200) << "the write itself is done";
    ASSERT_TRUE(Wait([&] { return !alerts.isEmpty(); }));
    EXPECT_TRUE(alerts[0].contains(QString::fromUtf8("Записей в памяти: 1"))) << alerts[0].toStdString();
    EXPECT_EQ(tools->Link().Recorder().Unwritten().size(), 1u);
    // Saved to a file on request ...
    const QString saved = dir.filePath("unwritten.csv");
    QString error;
    ASSERT_TRUE(tools->Link().SaveUnwritten(saved, error)) << error.toStdString();
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(file.readAll()).contains(QString::fromUtf8(";порог 1;8;\"20,00\";\"12,00\";")));
    // ... and asked about before the window closes.
    int asked = 0;
    tools->Link().AskOnClose = [&](const QString&) {
        ++asked;
        return TRecordsLink::TCloseChoice::Stay;
    };
    EXPECT_FALSE(form->close());
    EXPECT_EQ(asked, 1);
}

} // namespace
