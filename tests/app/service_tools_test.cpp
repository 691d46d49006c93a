// The window's service tools: readings log rows, the log's write failures,
// a file that vanishes, another writer, a stalled medium, the file dialog,
// the traffic view's hook and its bound.
#include "window_fixture.h"

#include "host_files.h"
#include "service_tools.h"
#include "traffic_view.h"
#include "trend_view.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <future>
#include <thread>

#include <cerrno>

using namespace orn;
using namespace orn::test;

namespace {

class Tools : public WindowTest {
protected:
    std::unique_ptr<TServiceTools> tools;
    QStringList messages;

    void SetUp() override {
        WindowTest::SetUp();
        Add(sim::Model::MB4, 1);
        tools = std::make_unique<TServiceTools>(*form, clock);
        tools->ShowMessage = [this](const QString& text) { messages << text; };
    }
    void TearDown() override {
        tools.reset();
        WindowTest::TearDown();
    }
    // Every row handed over is written (or failed), and the window has heard of it.
    void Settle() {
        ASSERT_TRUE(tools->Log().Flush(10000));
        QCoreApplication::processEvents();
    }
};

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Append(const QString& path, const char* text) {
    QFile file(path);
    if (file.open(QIODevice::Append)) file.write(text);
}

QByteArray LogHead() { return QByteArray("\xEF\xBB\xBF") + ReadingsCsvHeader().c_str(); }

struct CsvCase {
    int devType;
    uint16_t gas;   // register 2 on the MB models, 5 on
    const char* row;
};

// Registers 1 to 13 of each group, as the instrument answered them.
TRegImage Image(int devType, uint16_t gas) {
    const uint16_t mb[] = {0, 0x0400, gas, 2345, 10000, 0, 1, 4500, 2000, 5000, 1200, 0x7DB0, 0x3B, 104};
    const uint16_t x2x[] = {0, 4660, 0, 0x1E05, 2150, gas, 2000, 220, 60, 0x1403, 0x070C, 0x1E2D, 0, 0};
    TRegImage image;
    for (int r = 0; r < RegImageSize; ++r) image.Set(r, IsMBModel(devType) ? mb[r] : x2x[r]);
    return image;
}

} // namespace

TEST(ReadingsCsv, RowsOfEachModelGroup) {
    EXPECT_EQ(ReadingsCsvHeader(),
              "Дата и время;Порт;Адрес;Модель;Сер. номер;\"Газ, %об.\";\"t, С\";Статус;\"Диапазон измер., %об\";"
              "\"Порог №1, %об\";\"Порог №2, %об\";\"Газ магн. град-ки, %об\";\"Ток, мА\";\"Время работы, с\";"
              "Версия ПО;\"Интервал опросов, с\";Дата;Время\r\n");
    const CsvCase cases[] = {
        {dtMB1, 2150, "ОРН10-X-X1 MB1;65536;\"21,50\";\"23,45\";0x0400;\"100,00\";;;;;;;;;\r\n"},
        {dtMB4, 2150,
         "ОРН10-X-X1 MB4;65536;\"21,50\";\"23,45\";0x0400;\"100,00\";\"20,00\";\"50,00\";\"45,00\";\"12,00\";3898800;"
         "\"1,04\";;;\r\n"},
        // A gas value shown in hexadecimal; a status word that reads like a number in exponent form.
        {dtX20, 0x270F, "ОРН10-X-20;4660;0x270F;\"21,50\";0x1E05;;\"20,00\";;;;;\"2,20\";;;\r\n"},
        {dtX22, 1234, "ОРН10-X-22;4660;\"12,34\";\"21,50\";0x1E05;;\"20,00\";\"2,20\";;;;;60;7/3/20;12:30:45\r\n"},
    };
    for (const CsvCase& c : cases)
        EXPECT_EQ(ReadingsCsvRow("01.02.2027 10:00:00", "COM1", 1, c.devType, Image(c.devType, c.gas), ","),
                  std::string("01.02.2027 10:00:00;COM1;1;") + c.row)
            << c.devType;
}

TEST_F(Tools, EveryReadIsARowOnDiskAfterWhatOthersAppended) {
    // The tools are in sight: the service button's menu; recording beside it.
    EXPECT_TRUE(form->BtService->isVisibleTo(form.get()));
    emit form->BtService->menu()->aboutToShow();
    EXPECT_EQ(form->BtService->menu()->actions().mid(0, 2), QList<QAction*>({tools->ActTraffic, tools->ActTrend}));
    EXPECT_FALSE(form->BtRecording->isVisibleTo(form.get()));
    QTemporaryDir dir;
    const QString path = dir.filePath("readings.csv");
    ASSERT_TRUE(tools->StartLog(path));
    ReadOnce();
    Settle();
    EXPECT_TRUE(form->BtRecording->isVisibleTo(form.get())) << "recording is shown in the window";
    EXPECT_EQ(form->BtRecording->text(), QString::fromUtf8("● Запись: 1"));
    const QByteArray bytes = Bytes(path);
    ASSERT_TRUE(bytes.startsWith(LogHead())) << bytes.toStdString();
    const QString text = QString::fromUtf8(bytes);
    const QStringList rows = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[1].contains(QString::fromUtf8(";COM1;1;ОРН10-X-X1 MB4;"))) << rows[1].toStdString();
    EXPECT_TRUE(rows[1].contains(QLatin1Char('"') + Cell(1) + QLatin1Char('"'))) << "the gas as the table shows it";
    // A read refused on the way (no answer) adds nothing; the trend took the read too.
    line.at(1).faults().silent = true;
    ReadOnce();
    Settle();
    EXPECT_EQ(tools->Log().Rows(), 1);
    EXPECT_EQ(tools->Trend()->Samples().size(), 1u);

    // Another program appends a line: it stays, and our next row follows it.
    line.at(1).faults().silent = false;
    Append(path, "другая программа\r\n");
    ReadOnce();
    Settle();
    const QByteArray tail = Bytes(path).mid(bytes.size());
    EXPECT_TRUE(tail.startsWith("другая программа\r\n") && tail.count('\n') == 2) << tail.toStdString();
    EXPECT_TRUE(tail.contains(";COM1;1;ОРН10-X-X1 MB4;")) << tail.toStdString();
    // Started again without replacing: appended, no second header.
    ASSERT_TRUE(tools->StartLog(path));
    ReadOnce();
    Settle();
    const QByteArray again = Bytes(path);
    EXPECT_TRUE(again.startsWith(bytes + tail) && again.count(LogHead()) == 1) << again.toStdString();
}

TEST_F(Tools, WriteFailureStopsRecordingWhileReadsGoOn) {
    EXPECT_FALSE(tools->StartLog(QStringLiteral("/nonexistent-folder/readings.csv")));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("/nonexistent-folder/readings.csv")));
    EXPECT_FALSE(tools->StartLog(QString::fromStdString(DeviceFile())));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].contains(QString::fromUtf8("это не обычный файл"))) << messages[1].toStdString();

    // A FIFO nobody reads is refused without waiting for a reader.
    QTemporaryDir dir;
    const std::string fifo = MakeFifo(dir.path().toStdString());
    ASSERT_FALSE(fifo.empty());
    TReadingsLog log([] { return 0u; });
    auto started = std::async(std::launch::async, [&] { return log.Start(fifo, false); });
    const bool waited = started.wait_for(std::chrono::seconds(10)) != std::future_status::ready;
    if (waited) OpenFifoReader(fifo);   // the reader it waits for
    EXPECT_FALSE(waited);
    EXPECT_FALSE(started.get());
    EXPECT_EQ(log.Error(), "это не обычный файл");

    // A disk that fills during a row: the part written is taken back while
    // it ends the file; once another program has written after it, it stays.
    const QString path = dir.filePath("readings.csv");
    for (bool othersAfter : {false, true}) {
        SCOPED_TRACE(othersAfter);
        messages.clear();
        QFile::remove(path);
        std::atomic<long> room{-1};   // bytes the disk still takes; -1: any
        tools->Log().WriteFile = [&](TLogFile& file, const char* data, size_t size) -> long {
            if (room == 0) {
                errno = ENOSPC;
                return -1;
            }
            const long n = file.Write(data, room < 0 ? size : std::min(size, size_t(room.exchange(0))));
            if (room == 0 && othersAfter) Append(path, "после нас\r\n");
            return n;
        };
        ASSERT_TRUE(tools->StartLog(path));
        ReadOnce();
        Settle();
        Append(path, "другая программа\r\n");
        const QByteArray before = Bytes(path);
        room = 10;
        ReadOnce();
        Settle();
        ReadOnce();
        EXPECT_FALSE(tools->Log().Recording());
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].contains(QString::fromUtf8("на диске нет места"))) << messages[0].toStdString();
        const QByteArray after = Bytes(path);
        EXPECT_EQ(after.size(), before.size() + (othersAfter ? 10 + qsizetype(strlen("после нас\r\n")) : 0));
        EXPECT_TRUE(after.startsWith(before)) << after.toStdString();
    }
    tools->Log().WriteFile = nullptr;
    EXPECT_EQ(form->BtRecording->text(), QString::fromUtf8("Запись прервана"));
    EXPECT_EQ(form->ErrCount, 0) << "the reads went on";
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));
}

TEST_F(Tools, AFileThatLosesItsNameStopsTheRecording) {
    QTemporaryDir dir;
    const QString path = dir.filePath("readings.csv");
    // Deleted (its folder removed, the stick pulled), or another file put in
    // its place after it was deleted or renamed.
    enum Loss { Deleted, DeletedAndReplaced, RenamedAndReplaced };
    for (Loss loss : {Deleted, DeletedAndReplaced, RenamedAndReplaced}) {
        SCOPED_TRACE(loss);
        if (loss != RenamedAndReplaced && !DeletionSeenWhileOpen()) continue;
        if (loss == DeletedAndReplaced && !DeletedNameIsFree()) continue;   // the name stays the log's
        const bool replaced = loss != Deleted;
        messages.clear();
        ASSERT_TRUE(tools->StartLog(path, true));
        ReadOnce();
        Settle();
        ASSERT_TRUE(loss == RenamedAndReplaced ? QFile::rename(path, path + ".old") : QFile::remove(path));
        if (replaced) Append(path, "новый файл\r\n");
        ReadOnce();
        Settle();
        EXPECT_FALSE(tools->Log().Recording());
        EXPECT_EQ(tools->Log().Rows(), 1);
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].contains(QString::fromUtf8("файл удалён или переименован"))) << messages[0].toStdString();
        EXPECT_EQ(Bytes(path), QByteArray(replaced ? "новый файл\r\n" : ""));
        QFile::remove(path);
    }
}

TEST_F(Tools, AStalledMediumHoldsNothingUpAndStoppingWaitsBoundedly) {
    QTemporaryDir dir;
    const QString path = dir.filePath("readings.csv");
    // The medium stalls until the round's promise is kept (or dropped).
    auto medium = std::make_shared<std::shared_future<void>>();
    tools->Log().WriteFile = [medium](TLogFile& file, const char* data, size_t size) {
        medium->wait_for(std::chrono::seconds(20));
        return file.Write(data, size);
    };
    for (int round = 0; round < 2; ++round) {
        std::promise<void> wakes;
        *medium = wakes.get_future().share();
        ASSERT_TRUE(tools->StartLog(path, true));
        for (uint16_t gas : {1111, 2222}) {   // the reads go on meanwhile
            line.at(1).setReg(2, gas);
            ReadOnce();
        }
        clock.advance(TReadingsLog::StallMs);
        QStringList notes;
        for (QLabel* label : tools->Trend()->findChildren<QLabel*>()) notes << label->text();
        EXPECT_TRUE(notes.join('\n').contains(QString::fromUtf8("запись задерживается, в очереди строк: 2")));
        if (round == 1) tools->LogFlushMs = 50;   // not for ever: what did not make it is told
        std::thread waker([&] {
            if (round == 0) wakes.set_value();
        });
        tools->StopLog();   // waits for the rows in the queue, which land in their order
        waker.join();
        if (round == 0) {
            const QByteArray bytes = Bytes(path);
            EXPECT_LT(bytes.indexOf(";\"11,11\";"), bytes.indexOf(";\"22,22\";")) << bytes.toStdString();
        }
    }
    EXPECT_EQ(form->RxCount, 4);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QString::fromUtf8("Записано строк: 0, не записано: 2."))) << messages[0].toStdString();
}

TEST_F(Tools, TheFileDialogAsksBeforeReplacingTheNameItAddsCsvTo) {
    QTemporaryDir dir;
    const QString path = dir.filePath("data.csv");
    Append(path, "old\r\n");
    QString question;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->setDirectory(dir.path());
        // Typed, as a user would, into the name box that has the focus.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QApplication::setActiveWindow(dialog);
        name->setFocus();
        name->setText(QStringLiteral("data"));
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr) << "no question asked";
            question = box->text();
            box->button(QMessageBox::Yes)->click();
        });
        QMetaObject::invokeMethod(dialog, "accept");   // as the "Save" button
    });
    tools->ToggleLog();
    EXPECT_TRUE(question.contains(QStringLiteral("data.csv"))) << question.toStdString();
    ASSERT_TRUE(tools->Log().Recording());
    EXPECT_EQ(Bytes(path), QByteArray()) << "emptied once, as confirmed";
    ReadOnce();
    Settle();
    EXPECT_TRUE(Bytes(path).startsWith(LogHead()));
}

TEST_F(Tools, TrafficViewListensOnlyWhileOpen) {
    ReadOnce();
    EXPECT_FALSE(form->MB->OnLine) << "nothing attached before the view is open";
    tools->ShowTraffic();
    TTrafficLog& log = *tools->Traffic()->Log();
    EXPECT_EQ(log.Count(), 0);
    ReadOnce();
    TypeAddress("9");   // nobody there
    ReadOnce();
    ASSERT_EQ(log.Count(), 2);
    ASSERT_EQ(Sent().size(), 3u);
    EXPECT_EQ(log.Text(0, TTrafficLog::ColRequest).toStdString(), Sent()[1]);
    EXPECT_TRUE(log.Text(0, TTrafficLog::ColAnswer).startsWith(QString::fromUtf8("[+100 мс] 01 03 1A ")));
    EXPECT_EQ(log.Text(0, TTrafficLog::ColOutcome), "Ok");
    EXPECT_EQ(log.Text(1, TTrafficLog::ColAnswer), "");
    EXPECT_EQ(log.Text(1, TTrafficLog::ColOutcome), QString::fromUtf8("Нет связи"));
    EXPECT_TRUE(log.Line(1).contains(QString::fromUtf8("COM1  → 09 03 00 01 00 0D"))) << log.Line(1).toStdString();
    // A port that cannot be opened: a line, nothing sent.
    com1->refuseOpen = true;
    ClickRead();
    ASSERT_EQ(log.Count(), 3);
    EXPECT_TRUE(log.Text(2, TTrafficLog::ColOutcome).startsWith(QString::fromUtf8("не могу открыть порт — Порт")));
    com1->refuseOpen = false;

    tools->Traffic()->SetPaused(true);
    EXPECT_FALSE(form->MB->OnLine);
    tools->Traffic()->SetPaused(false);
    tools->Traffic()->close();
    EXPECT_FALSE(form->MB->OnLine);
    ReadOnce();
    EXPECT_EQ(log.Count(), 3);
}

TEST(TrafficLog, StaysAtItsBound) {
    TTrafficLog log;
    uint8_t request[8] = {1, 3, 0, 1, 0, 13, 0x54, 0x0F};
    std::vector<uint8_t> answer(31, 0x5A);
    auto transaction = [&](uint32_t n) {
        request[5] = uint8_t(n);
        log.Feed({LineEventKind::Sent, n * 2000, request, sizeof request, 0, 1, 3});
        log.Feed({LineEventKind::Received, n * 2000 + 100, answer.data(), answer.size(), 0, 1, 3});
        log.Feed({LineEventKind::Outcome, n * 2000 + 100, nullptr, 0, 0, 1, 3});
    };
    uint32_t n = 0;
    for (; n < uint32_t(log.Capacity()); ++n) transaction(n);
    const size_t full = log.MemoryBytes();
    for (; n < uint32_t(3 * log.Capacity() + 7); ++n) transaction(n);
    EXPECT_EQ(log.Count(), log.Capacity());
    EXPECT_EQ(log.rowCount(), log.Capacity());
    EXPECT_EQ(log.MemoryBytes(), full);
    EXPECT_EQ(log.Text(log.Count() - 1, TTrafficLog::ColRequest),
              QStringLiteral("01 03 00 01 00 %1 54 0F").arg(uint8_t(n - 1), 2, 16, QLatin1Char('0')).toUpper())
        << "the newest is last";

    // A line that never stops talking: one transaction keeps at most its share.
    std::vector<uint8_t> noise(4096, 0xFF);
    log.Feed({LineEventKind::Sent, 0, request, sizeof request, 0, 1, 3});
    for (int i = 0; i < 100; ++i) log.Feed({LineEventKind::Received, 0, noise.data(), noise.size(), 0, 1, 3});
    EXPECT_LE(log.Record(log.Count() - 1).bytes.size(), TTrafficLog::MaxBytes);
    EXPECT_LE(log.Record(log.Count() - 1).steps.size(), TTrafficLog::MaxSteps);
    EXPECT_TRUE(log.Text(log.Count() - 1, TTrafficLog::ColAnswer).endsWith(QString::fromUtf8("…")));
}

TEST(TrafficLog, OneLinePerRequestWithWhatTheReceivePathDecided) {
    TTrafficLog log;
    log.SetPort("COM1");
    const uint8_t request[] = {1, 3, 0, 1, 0, 1, 0xD5, 0xCA};
    const uint8_t junk[] = {0xFF, 0x00};
    const uint8_t foreign[] = {2, 3, 2, 0, 7, 0xFD, 0x86};
    using K = LineEventKind;
    auto feed = [&](K kind, uint32_t ms, const uint8_t* data = nullptr, size_t n = 0, uint8_t code = 0) {
        log.Feed({kind, ms, data, n, code, 1, 3});
    };
    feed(K::Sent, 1000, request, sizeof request);
    feed(K::Outcome, 1001, nullptr, 0, mbMasterBusy);   // a second request refused meanwhile
    feed(K::Received, 1100, request, sizeof request);
    feed(K::EchoRemoved, 1100, request, sizeof request);
    feed(K::Skipped, 1100, junk, sizeof junk);
    feed(K::Outcome, 1100, nullptr, 0, mbMoreTime);
    feed(K::Received, 1200, foreign, sizeof foreign);
    feed(K::Foreign, 1200, foreign, sizeof foreign);
    feed(K::Late, 1200, foreign, sizeof foreign);
    log.SetPort("/dev/ttyUSB0");
    feed(K::Outcome, 1600, nullptr, 0, mbTimeout);
    log.AddLate(foreign, sizeof foreign - 3, 1650);     // after the end: late, on its line
    log.AddLate(foreign + 4, 3, 1660);                   // the rest of that frame
    feed(K::Outcome, 1700, nullptr, 0, mbPortNotOpen);   // refused before anything was sent
    log.AddOpenFailure(EACCES);
    log.AddLate(junk, sizeof junk, 1750);                // no request's: dropped
    ASSERT_EQ(log.Count(), 4);
    EXPECT_EQ(log.Text(0, TTrafficLog::ColPort), "COM1") << "where it was sent";
    EXPECT_EQ(log.Text(3, TTrafficLog::ColPort), "/dev/ttyUSB0");
    EXPECT_EQ(log.Text(3, TTrafficLog::ColOutcome),
              QString::fromUtf8("не могу открыть порт — ") + QString::fromStdString(PortErrorReason(EACCES)));
    EXPECT_EQ(log.Text(0, TTrafficLog::ColAnswer),
              QString::fromUtf8("[+100 мс] 01 03 00 01 00 01 D5 CA  [+200 мс] 02 03 02 00 07 FD 86"));
    EXPECT_EQ(log.Text(0, TTrafficLog::ColOutcome),
              QString::fromUtf8("эхо удалено; пропущены байты: FF 00; Ошибка 05; "
                                "чужой кадр отброшен: 02 03 02 00 07 FD 86; "
                                "запоздалый ответ отброшен: 02 03 02 00 07 FD 86; Нет связи; "
                                "после тайм-аута пришло: [+650 мс] 02 03 02 00 07 FD 86"));
    EXPECT_EQ(log.Text(1, TTrafficLog::ColRequest), QString::fromUtf8("—"));
    EXPECT_EQ(log.Text(1, TTrafficLog::ColOutcome), QString::fromUtf8("Ошибка 10 (прибор занят)"));
    EXPECT_EQ(log.Text(2, TTrafficLog::ColOutcome), QString::fromUtf8("Ошибка 11 (порт не инициирован)"));
}

TEST(Trend, NoLineCrossesAPauseInTheReads) {
    TTrendView view;
    view.resize(780, 440);
    TRegImage image;
    for (const auto& [reg, value] : {std::pair{2, 1000}, {3, 2150}, {4, 10000}, {8, 2000}, {9, 5000}})
        image.Set(reg, uint16_t(value));
    // Reads at 0, 2 and 4 s, then none until 50 s.
    for (uint32_t ms : {0u, 2000u, 4000u, 50000u, 52000u, 54000u})
        view.AddReading(ms, QStringLiteral("№1"), dtMB4, image, ",");
    const QImage shot = view.grab().toImage();
    auto gasColumns = [&](double from, double to) {   // columns with gas blue in the plot
        int n = 0;
        for (int x = int(from * shot.width()); x < int(to * shot.width()); ++x)
            for (int y = shot.height() * 3 / 10; y < shot.height() * 9 / 10; ++y) {
                const QColor c = shot.pixelColor(x, y);
                if (c.blue() > 150 && c.red() < 80 && c.green() < 150 && ++n) break;
            }
        return n;
    };
    EXPECT_GT(gasColumns(0.75, 0.9), 10) << "the line after the pause";
    EXPECT_EQ(gasColumns(0.3, 0.65), 0) << "nothing across it";
}
