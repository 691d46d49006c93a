// The serial port disappears while the window uses it, as when a USB adapter
// is pulled: in-process on the virtual clock (the simulated port vanishes),
// then on a real pseudo-terminal whose other side is closed, with the POSIX
// link and the Qt event loop.  Last, a search on orn10sim's troubled line.
#include "window_fixture.h"

#include "frames.h"
#include "posix_serial.h"
#include "pty_pair.h"
#include "qt_scheduler.h"
#include "service_tools.h"
#include "traffic_view.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace orn;
using namespace orn::test;
using sim::Model;

namespace {

// ---------------------------------------------------------------- in-process

class Vanish : public WindowTest {};

TEST_F(Vanish, AdapterPulledDuringAReadEndsItAsAPortFailureAndTheNextReadShowsTheBoxOnce) {
    Add(Model::MB4, 1).setReg(8, 2500);
    ReadOnce();
    ASSERT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));
    const QString threshold = Cell(5);

    ClickRead();
    ASSERT_TRUE(com1->isOpen());
    clock.advance(10);
    com1->vanished = true;

    // The next poll finds the device gone: the request ends there, long
    // before its timeout, as a port failure with the port error box.
    clock.advance(100);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ошибка 11 (порт не инициирован)"));
    EXPECT_EQ(portErrorBoxes, 1);
    EXPECT_EQ(portErrorText, QString::fromUtf8("Ошибка:\n Не могу открыть порт!\n Устройство отключено: подключите "
                                               "его и выберите порт в списке."));
    clock.advance(500);
    EXPECT_EQ(Panel(0), "Tx: 2");
    EXPECT_EQ(Panel(1), "Rx: 1");
    EXPECT_EQ(Panel(2), "Err: 1");
    EXPECT_EQ(Cell(5), threshold) << "the grid keeps its values";
    EXPECT_FALSE(form->Waiting);
    EXPECT_FALSE(form->MB->Busy());
    EXPECT_FALSE(com1->isOpen());
    // Nothing runs any more: no poll goes on reading the dead device.
    EXPECT_EQ(clock.runningTimers(), 0);
    EXPECT_FALSE(clock.processPendingEvents());
    EXPECT_EQ(portErrorBoxes, 1);

    // The next request finds the port missing: one box, nothing counted.
    const int attempts = com1->openAttempts();
    EXPECT_EQ(form->ReadRegisters(0, 1, 13), 3);
    EXPECT_EQ(portErrorBoxes, 2);
    EXPECT_EQ(com1->openAttempts(), attempts + 1);
    clock.advance(10000);
    EXPECT_EQ(portErrorBoxes, 2) << "no retry of its own";
    EXPECT_EQ(com1->openAttempts(), attempts + 1);
    EXPECT_EQ(Panel(0), "Tx: 2");
    EXPECT_EQ(Panel(2), "Err: 1");

    // The adapter is back: the next read works.
    com1->vanished = false;
    ReadOnce();
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok — порт снова доступен"));
    EXPECT_EQ(Panel(1), "Rx: 2");
    EXPECT_EQ(form->TxCount, form->RxCount + form->ErrCount);
}

TEST_F(Vanish, AdapterPulledInAutoModeOneBoxAndOneOpenAttemptPerTick) {
    Add(Model::MB4, 1);
    SetAuto(true);
    clock.advance(2600);
    ASSERT_EQ(Panel(1), "Rx: 1");

    // Pulled 50 ms into the second read.
    clock.advance(1450);
    ASSERT_TRUE(com1->isOpen());
    com1->vanished = true;
    clock.advance(1000);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ошибка 11 (порт не инициирован)"));
    EXPECT_EQ(portErrorBoxes, 1) << "the failed read's";
    EXPECT_EQ(clock.runningTimers(), 1) << "only the auto timer";

    // The user takes 7 s to close the box: the ticks meanwhile, and after
    // it, fail quietly, the panel on the error.  Each tick tries once more.
    const int attempts = com1->openAttempts();
    whilePortErrorBox = [&] {
        whilePortErrorBox = nullptr;
        clock.advance(7000);
    };
    clock.advance(10950);   // ticks at 6, 8, 10, 12, 14 and 16 s
    EXPECT_EQ(com1->openAttempts(), attempts + 6) << "one attempt per tick, no retry loop";
    EXPECT_EQ(portErrorBoxes, 1) << "once per outage: the failed read's";
    EXPECT_EQ(Panel(3), QString::fromUtf8("COM1: не могу открыть порт"));
    EXPECT_EQ(Panel(0), "Tx: 2");
    EXPECT_EQ(Panel(2), "Err: 1");
    EXPECT_FALSE(form->MB->Connected());

    com1->vanished = false;
    clock.advance(2500);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok — порт снова доступен"));
    EXPECT_EQ(Panel(0), "Tx: 3");
    EXPECT_EQ(form->TxCount, form->RxCount + form->ErrCount);
}

TEST_F(Vanish, AdapterPulledDuringASearchOneBoxAndTheStopEndsIt) {
    Add(Model::MB4, 5);
    form->SBtFind->click();
    clock.advance(1050);   // the probe of address 2 is on its way
    ASSERT_TRUE(form->Waiting);
    com1->vanished = true;
    clock.advance(900);
    EXPECT_FALSE(form->Waiting) << "the probe ended as a port failure";
    EXPECT_EQ(Panel(2), "Err: 2");
    EXPECT_EQ(portErrorBoxes, 1);

    // Each step finds the port missing: one box for the outage, nothing sent.
    const int attempts = com1->openAttempts();
    clock.advance(2000);   // steps at 2 and 3 s
    EXPECT_EQ(portErrorBoxes, 1);
    EXPECT_EQ(com1->openAttempts(), attempts + 2);
    EXPECT_EQ(Panel(3), QString::fromUtf8("COM1: не могу открыть порт"));
    EXPECT_EQ(Panel(0), "Tx: 2");

    // The stop has nothing to wait for.
    form->SBtFind->click();
    EXPECT_FALSE(form->Finding);
    EXPECT_EQ(Panel(3), QString::fromUtf8("Найдено приборов: 0"));
    EXPECT_EQ(clock.runningTimers(), 0);
    clock.advance(10000);
    EXPECT_EQ(portErrorBoxes, 1);

    // With the adapter back the instrument is found.
    com1->vanished = false;
    form->SBtFind->click();
    clock.advance(5600);
    EXPECT_EQ(form->CBAddr->itemText(0), "5");
    form->SBtFind->click();
    EXPECT_EQ(Panel(3), QString::fromUtf8("Найдено приборов: 1"));
}

// ---------------------------------------------------------------- real pty

// A pseudo-terminal pair whose device side is COM1, reached through a link
// of its own as a USB adapter is through its device node.  Hanging up removes
// the link too, as the system removes a pulled adapter's node: the device's
// own name is free then, and another program's new pseudo-terminal may take
// it at any moment.
struct Pty : PtyPair {
    std::string dir = MakeDir();
    std::string link = dir + "/com1";
    bool linked = ::symlink(path.c_str(), link.c_str()) == 0;
    PortEnv com1{1, link};

    ~Pty() {
        hangUp();
        ::rmdir(dir.c_str());
    }
    void hangUp() {
        PtyPair::hangUp();
        ::unlink(link.c_str());
    }
    static std::string MakeDir() {
        char name[] = "/tmp/orn10-vanish-XXXXXX";
        return ::mkdtemp(name) ? name : "/tmp";
    }
};

// Wraps the program's scheduler: counts every tick of the window's and the
// master's timers, and which of them run.
class CountingScheduler : public Scheduler {
public:
    explicit CountingScheduler(Scheduler& inner) : inner_(inner) {}

    std::unique_ptr<Timer> createTimer(std::function<void()> onTick) override {
        auto tick = [this, onTick = std::move(onTick)] {
            ++ticks;
            onTick();
        };
        return std::make_unique<CountedTimer>(*this, inner_.createTimer(std::move(tick)));
    }
    bool processPendingEvents() override { return inner_.processPendingEvents(); }
    uint32_t nowMs() const override { return inner_.nowMs(); }

    int running() const {
        return int(std::count_if(timers_.begin(), timers_.end(), [](const Timer* t) { return t->enabled(); }));
    }
    int ticks = 0;

private:
    class CountedTimer : public Timer {
    public:
        CountedTimer(CountingScheduler& owner, std::unique_ptr<Timer> inner) : owner_(owner), inner_(std::move(inner)) {
            owner_.timers_.push_back(this);
        }
        ~CountedTimer() override {
            auto& all = owner_.timers_;
            all.erase(std::remove(all.begin(), all.end(), this), all.end());
        }
        void setInterval(int ms) override { inner_->setInterval(ms); }
        int interval() const override { return inner_->interval(); }
        void setEnabled(bool on) override { inner_->setEnabled(on); }
        bool enabled() const override { return inner_->enabled(); }

    private:
        CountingScheduler& owner_;
        std::unique_ptr<Timer> inner_;
    };

    Scheduler& inner_;
    std::vector<const Timer*> timers_;
};

// Wraps the POSIX backend: counts the reads of the open device and how many
// of them found it gone.
class CountingBackend : public SerialBackend {
public:
    std::unique_ptr<SerialDevice> open(int portNumber) override {
        ++opens;
        auto device = posix_.open(portNumber);
        if (!device) return nullptr;
        ++opened;
        return std::make_unique<CountedDevice>(*this, std::move(device));
    }
    int opens = 0, opened = 0, reads = 0, goneReads = 0, bytesRead = 0;
    std::function<void()> onBytes;   // a read delivered bytes

private:
    class CountedDevice : public SerialDevice {
    public:
        CountedDevice(CountingBackend& owner, std::unique_ptr<SerialDevice> inner)
            : owner_(owner), inner_(std::move(inner)) {}
        void configure(const LineSettings& s) override { inner_->configure(s); }
        void purge(bool rx, bool tx) override { inner_->purge(rx, tx); }
        int outQueued() override { return inner_->outQueued(); }
        long read(uint8_t* buf, size_t n) override {
            const long got = inner_->read(buf, n);
            ++owner_.reads;
            if (got < 0) ++owner_.goneReads;
            else owner_.bytesRead += int(got);
            if (got > 0 && owner_.onBytes) owner_.onBytes();
            return got;
        }
        long write(const uint8_t* buf, size_t n) override { return inner_->write(buf, n); }
        bool waitWritable(int ms) override { return inner_->waitWritable(ms); }
        int nativeHandle() const override { return inner_->nativeHandle(); }
        void release() override { inner_->release(); }

    private:
        CountingBackend& owner_;
        std::unique_ptr<SerialDevice> inner_;
    };

    PosixSerialBackend posix_;
};

// Runs the Qt event loop until pred() holds or maxMs have passed.
template <class Pred> bool RunQt(Pred pred, int maxMs) {
    if (pred()) return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (pred()) loop.quit();
    });
    check.start(5);
    QTimer::singleShot(maxMs, &loop, &QEventLoop::quit);
    loop.exec();
    return pred();
}

class VanishPty : public ::testing::Test {
protected:
    QtScheduler qt;
    CountingScheduler scheduler{qt};
    CountingBackend backend;
    Pty pty;
    std::unique_ptr<TMForm> form;
    int portErrorBoxes = 0;

    void SetUp() override {
        ASSERT_TRUE(pty.linked);
        form = std::make_unique<TMForm>(scheduler, backend);
        form->ShowPortErrorBox = [this] { ++portErrorBoxes; };
    }
    void TearDown() override { form.reset(); }

    // After the transaction has ended as a port failure: the box said the
    // device is gone, the port is closed, no timer runs, and the event loop
    // stays quiet; the next request shows the box once more.
    void ExpectQuietAndOneBox() {
        EXPECT_EQ(form->PanelText(3), QString::fromUtf8("№1: Ошибка 11 (порт не инициирован)"));
        EXPECT_EQ(portErrorBoxes, 1);
        EXPECT_TRUE(form->PortErrorMessage.contains(QString::fromUtf8("Устройство отключено")))
            << form->PortErrorMessage.toStdString();
        EXPECT_FALSE(form->MB->Connected());
        EXPECT_FALSE(form->MB->Busy());
        EXPECT_EQ(scheduler.running(), 0);
        const int ticks = scheduler.ticks, reads = backend.reads;
        RunQt([] { return false; }, 300);
        EXPECT_EQ(scheduler.ticks, ticks) << "a timer still ticks after the port was closed";
        EXPECT_EQ(backend.reads, reads);

        EXPECT_EQ(form->ReadRegisters(0, 1, 13), 3);
        EXPECT_EQ(portErrorBoxes, 2);
        EXPECT_EQ(backend.opened, 1) << "the device is gone for good";
        EXPECT_EQ(form->PanelText(0), "Tx: 1");
        EXPECT_EQ(form->PanelText(2), "Err: 1");
        EXPECT_EQ(scheduler.running(), 0);
    }
};

TEST_F(VanishPty, HungUpAfterTheRequestIsAPortFailure) {
    ASSERT_EQ(form->ReadRegisters(0, 1, 13), 0);
    const std::vector<uint8_t> request = pty.take(1000);
    ASSERT_EQ(request, (std::vector<uint8_t>{0x01, 0x03, 0x00, 0x01, 0x00, 0x0D, 0xD5, 0xCF}));
    pty.hangUp();

    ASSERT_TRUE(RunQt([&] { return !form->Waiting; }, 3000)) << "the request never ended";
    EXPECT_EQ(form->PanelText(1), "Rx: 0");
    // The first poll that finds the device gone ends the request.
    EXPECT_EQ(backend.goneReads, 1);
    EXPECT_LE(backend.reads, 8);
    ExpectQuietAndOneBox();
}

TEST_F(VanishPty, HungUpInTheMiddleOfTheAnswerIsAPortFailure) {
    ASSERT_EQ(form->ReadRegisters(0, 1, 13), 0);
    ASSERT_EQ(pty.take(1000).size(), 8u);
    // Ten of the answer's 31 bytes, then the adapter is pulled.
    const uint8_t head[10] = {0x01, 0x03, 0x1A, 0x00, 0x00, 0x00, 0x96, 0x08, 0x66, 0x27};
    ASSERT_EQ(::write(pty.side, head, sizeof head), ssize_t(sizeof head));
    ASSERT_TRUE(RunQt([&] { return backend.bytesRead >= 10; }, 2000));
    pty.hangUp();

    ASSERT_TRUE(RunQt([&] { return !form->Waiting; }, 3000)) << "the request never ended";
    EXPECT_EQ(form->PanelText(1), "Rx: 0");
    EXPECT_LE(backend.reads, 8);
    ExpectQuietAndOneBox();
}

// ---------------------------------------------------------------- the traffic view's watch

// While the traffic view is open it watches the port: received bytes carry
// the time they came, not the 100 ms poll's; an answer after the timeout,
// which the master never sees, is shown late on its line; and the port is
// free again for the next request.
TEST(TrafficPty, BytesAreStampedWhenTheyComeAndAnAnswerAfterTheTimeoutIsShownLate) {
    Pty pty;
    QtScheduler qt;
    CountingBackend backend;
    uint32_t readAt = 0;   // when the master's poll read the answer
    backend.onBytes = [&] { readAt = qt.nowMs(); };
    TMForm form(qt, backend);
    form.ShowPortErrorBox = [] { ADD_FAILURE() << "the port could not be opened"; };
    TServiceTools tools(form, qt);
    tools.ShowTraffic();
    const TTrafficLog& log = *tools.Traffic()->Log();
    TDataByte answer(3 + 26 + 2);   // 13 registers and the CRC
    answer[0] = 1, answer[1] = 3, answer[2] = 26;
    SetFrameCRC(answer);
    auto request = [&] {
        EXPECT_EQ(form.ReadRegisters(0, 1, 13), 0);
        EXPECT_EQ(pty.take(1000).size(), 8u);
    };

    request();   // answered 20 ms later, from inside the event loop
    QTimer::singleShot(20, [&] { ::write(pty.side, answer.data(), answer.size()); });
    ASSERT_TRUE(RunQt([&] { return !form.Waiting; }, 3000));
    EXPECT_EQ(form.PanelText(3), QString::fromUtf8("№1: Ok"));
    const TTrafficRecord& answered = log.Record(0);
    ASSERT_EQ(answered.steps.size(), 2u);
    EXPECT_LT(answered.startMs + answered.steps[1].dtMs, readAt) << "stamped on arrival, before the poll read it";

    request();   // answered after the timeout
    ASSERT_TRUE(RunQt([&] { return !form.Waiting; }, 3000));
    ASSERT_EQ(::write(pty.side, answer.data(), answer.size()), ssize_t(answer.size()));
    const QString late = QString::fromUtf8("Нет связи; после тайм-аута пришло: [+");
    ASSERT_TRUE(RunQt([&] { return log.Text(1, TTrafficLog::ColOutcome).startsWith(late); }, 2000));
    EXPECT_TRUE(log.Text(1, TTrafficLog::ColOutcome).endsWith(QString::fromStdString(sim::HexText(answer))));
    request();   // the port is the master's again
}

// ---------------------------------------------------------------- a late instrument

// orn10sim with an instrument at 5 that answers 1.2 s late, and one at 3
// whose answers come after a stray 00 and another slave's frame: the search,
// on the Qt event loop with the POSIX link, lists 3, and 5 or nothing, never
// 6, though the answer of 5 arrives while 6 is probed.
TEST(SearchPty, ALateAnswerIsNeverCountedForTheNextAddress) {
    QProcess sim;
    sim.start(QStringLiteral(ORN10SIM_PATH), {"-i", "MB4@3", "-i", "MB4@5", "-f", "3:stray=00,foreign=9",
                                              "-f", "5:slow=1200"});
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    const QByteArray printed = sim.readLine().trimmed();
    ASSERT_TRUE(printed.startsWith("ORN10_COM1=")) << printed.toStdString();
    PortEnv com1(1, printed.mid(11).toStdString());
    QtScheduler qt;
    PosixSerialBackend backend;
    TMForm form(qt, backend);
    form.ShowPortErrorBox = [] { ADD_FAILURE() << "the port could not be opened"; };
    int late = 0;
    form.MB->OnLine = [&](const LineEvent& e) { late += e.kind == LineEventKind::Late; };
    form.SBtFind->click();
    ASSERT_TRUE(RunQt([&] { return form.FindAddr >= 7; }, 10000));
    form.SBtFind->click();   // waits for the probe of 7
    EXPECT_FALSE(form.Finding);
    EXPECT_GE(late, 1) << "the late answer came while 6 was probed";
    QStringList found;
    for (int i = 0; i < form.CBAddr->count(); ++i) found << form.CBAddr->itemText(i);
    EXPECT_TRUE(found == QStringList{"3"} || found == (QStringList{"3", "5"})) << found.join(' ').toStdString();
}

} // namespace
