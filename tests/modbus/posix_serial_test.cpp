// The POSIX serial link on real pseudo-terminals, with libmodbus as the slave
// at the other end, and the real-time scheduler that drives it.
#include "modbusm.h"
#include "net_link.h"
#include "posix_serial.h"
#include "realtime_scheduler.h"

#include <gtest/gtest.h>
#include <modbus.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "pty_pair.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace orn;
using orn::test::PortEnv;
using Pty = orn::test::PtyPair;

namespace {

// libmodbus as an RTU slave (address 1) on the multiplexer side of a pty,
// answering from its own register map in a thread of its own.
class LibmodbusSlave {
public:
    static constexpr int kRegisters = 20;

    explicit LibmodbusSlave(int fd) {
        ctx_ = modbus_new_rtu("/dev/null", 19200, 'E', 8, 1);   // the device name is never opened
        map_ = modbus_mapping_new(0, 0, kRegisters, 0);
        if (!ctx_ || !map_) {
            ADD_FAILURE() << "libmodbus: " << modbus_strerror(errno);
            return;
        }
        for (int i = 0; i < kRegisters; ++i) map_->tab_registers[i] = uint16_t(0x1100 + 0x0101 * i);
        modbus_set_slave(ctx_, 1);
        modbus_set_socket(ctx_, fd);
        modbus_set_indication_timeout(ctx_, 0, 50000);   // lets the thread notice stop_
        thread_ = std::thread([this] { serve(); });
    }
    ~LibmodbusSlave() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (map_) modbus_mapping_free(map_);
        if (ctx_) modbus_free(ctx_);   // not modbus_close: the fd belongs to the Pty
    }
    uint16_t reg(int i) {
        std::lock_guard<std::mutex> lock(mu_);
        return map_->tab_registers[i];
    }
    int requests() const { return requests_; }

private:
    void serve() {
        uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!stop_) {
            const int rc = modbus_receive(ctx_, query);
            if (rc > 0) {
                ++requests_;
                std::lock_guard<std::mutex> lock(mu_);
                modbus_reply(ctx_, query, rc, map_);
            } else if (rc < 0 && errno != ETIMEDOUT) {
                // EIO until the device side is opened: wait, do not spin.
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }

    modbus_t* ctx_ = nullptr;
    modbus_mapping_t* map_ = nullptr;
    std::mutex mu_;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};

// libmodbus as a MODBUS TCP server on the loopback (port 0: a free one), in
// a thread of its own: an independent slave for the network links.
class LibmodbusTcpSlave {
public:
    explicit LibmodbusTcpSlave(uint16_t port) {
        ctx_ = modbus_new_tcp("127.0.0.1", port);
        map_ = modbus_mapping_new(0, 0, LibmodbusSlave::kRegisters, 0);
        listen_ = ctx_ ? modbus_tcp_listen(ctx_, 4) : -1;
        if (!map_ || listen_ < 0) {
            ADD_FAILURE() << "libmodbus: " << modbus_strerror(errno);
            return;
        }
        for (int i = 0; i < LibmodbusSlave::kRegisters; ++i) map_->tab_registers[i] = uint16_t(0x2200 + i);
        sockaddr_in a{};
        socklen_t len = sizeof a;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        modbus_set_indication_timeout(ctx_, 0, 20000);   // lets the thread notice stop_ and drop_
        thread_ = std::thread([this] { serve(); });
    }
    ~LibmodbusTcpSlave() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (listen_ >= 0) ::close(listen_);
        if (map_) modbus_mapping_free(map_);
        if (ctx_) modbus_free(ctx_);
    }
    uint16_t port() const { return port_; }
    uint16_t reg(int i) {
        std::lock_guard<std::mutex> lock(mu_);
        return map_->tab_registers[i];
    }
    int accepted() const { return accepted_; }
    // Closes the connection it holds, as a gateway does to an idle one.
    void dropConnection() {
        drop_ = true;
        while (drop_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

private:
    void serve() {
        uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        while (!stop_) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            int fd = listen_;
            if (modbus_tcp_accept(ctx_, &fd) < 0) continue;
            ++accepted_;
            while (!stop_ && !drop_) {
                const int rc = modbus_receive(ctx_, query);
                if (rc > 0) {
                    std::lock_guard<std::mutex> lock(mu_);
                    modbus_reply(ctx_, query, rc, map_);
                } else if (rc < 0 && errno != ETIMEDOUT) {
                    break;   // the master went away
                }
            }
            drop_ = false;
            modbus_close(ctx_);
        }
    }

    modbus_t* ctx_ = nullptr;
    modbus_mapping_t* map_ = nullptr;
    int listen_ = -1;
    uint16_t port_ = 0;
    std::mutex mu_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> drop_{false};
    std::atomic<int> accepted_{0};
    std::thread thread_;
};

// A master on the POSIX backend and the real clock, recording its outcomes.
struct Master {
    RealtimeScheduler clock;
    PosixSerialBackend backend;
    TModbusM mb{clock, backend};
    int answers = 0;
    std::vector<std::string> errors;

    explicit Master(int portNumber) {
        mb.SetComPort(TComPortNumber(portNumber - 1));
        mb.OnResponseReady = [this](TModbusM*) { ++answers; };
        mb.OnError = [this](TModbusM*, const std::string& text) { errors.push_back(text); };
    }
    // Runs one transaction to its end (a few seconds at most).
    bool transact() {
        mb.Query();
        return clock.runUntil([this] { return !mb.Busy(); }, 3000);
    }
};

bool FdOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

termios Attributes(int fd) {
    termios t{};
    EXPECT_EQ(tcgetattr(fd, &t), 0);
    return t;
}

} // namespace

// ---------------------------------------------------------------- scheduler

TEST(RealtimeScheduler, WaitsForTheNextTickAndGivesUpWithoutTimers) {
    RealtimeScheduler clock;
    EXPECT_FALSE(clock.processPendingEvents()) << "no timer: nothing can ever happen";

    int ticks = 0;
    auto t = clock.createTimer([&] { ++ticks; });
    t->setInterval(20);
    EXPECT_FALSE(clock.processPendingEvents()) << "a disabled timer does not count";
    const uint32_t before = clock.nowMs();
    t->setEnabled(true);
    EXPECT_EQ(clock.runningTimers(), 1);
    EXPECT_TRUE(clock.processPendingEvents());
    EXPECT_EQ(ticks, 1) << "slept until the tick was due and fired it";
    EXPECT_GE(clock.nowMs() - before, 19u);
    t->setEnabled(false);
    EXPECT_FALSE(clock.processPendingEvents());
}

TEST(RealtimeScheduler, PeriodicTicksNeitherBurstNorSpin) {
    RealtimeScheduler clock;
    int ticks = 0;
    auto t = clock.createTimer([&] { ++ticks; });
    t->setInterval(10);
    t->setEnabled(true);
    const uint32_t before = clock.nowMs();
    clock.runFor(100);
    const uint32_t elapsed = clock.nowMs() - before;
    EXPECT_GE(elapsed, 99u);
    EXPECT_GE(ticks, 1);
    EXPECT_LE(uint32_t(ticks), elapsed / 10 + 1) << "at most one tick per period";

    // A thread held up for many periods gets one late tick, not a burst of
    // the missed ones.
    t->setInterval(5);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ticks = 0;
    EXPECT_TRUE(clock.processPendingEvents());
    EXPECT_EQ(ticks, 1);
}

TEST(RealtimeScheduler, HandlersMayDestroyAndReconfigureTimers) {
    RealtimeScheduler clock;
    std::vector<std::string> fired;
    std::unique_ptr<Timer> second;
    std::unique_ptr<Timer> self;
    auto first = clock.createTimer([&] {
        fired.push_back("first");
        second.reset();   // due at the same moment, never fires now
        if (self) self->setInterval(1);
    });
    second = clock.createTimer([&] { fired.push_back("second"); });
    self = clock.createTimer([&] {
        fired.push_back("self");
        self.reset();
    });
    first->setInterval(5);
    second->setInterval(5);
    self->setInterval(1000);
    first->setEnabled(true);
    second->setEnabled(true);
    self->setEnabled(true);

    ASSERT_TRUE(clock.runUntil([&] { return !self; }, 2000)) << "setInterval restarted a 1 ms interval";
    first.reset();
    EXPECT_EQ(fired.at(0), "first");
    EXPECT_EQ(std::count(fired.begin(), fired.end(), "self"), 1);
    EXPECT_EQ(std::count(fired.begin(), fired.end(), "second"), 0);
    EXPECT_EQ(clock.runningTimers(), 0);
    EXPECT_FALSE(clock.runUntil([] { return false; }, 30)) << "gives up at the limit";
}

// ---------------------------------------------------------------- port paths

TEST(PosixSerial, PortPathFromEnvironmentOrTtyS) {
    unsetenv("ORN10_COM1");
    EXPECT_EQ(PortPath(1), "/dev/ttyS0");
    EXPECT_EQ(PortPath(10), "/dev/ttyS9");
    {
        PortEnv env(1, "/dev/ttyUSB0");
        EXPECT_EQ(PortPath(1), "/dev/ttyUSB0");
        EXPECT_EQ(PortPath(2), "/dev/ttyS1");
    }
    setenv("ORN10_COM3", "", 1);
    EXPECT_EQ(PortPath(3), "/dev/ttyS2") << "an empty variable counts as unset";
    unsetenv("ORN10_COM3");
}

TEST(PosixSerial, ClosedPortAndPortsThatCannotOpen) {
    Master m(41);
    const uint8_t frame[] = {1, 3, 0, 0, 0, 1, 0x84, 0x0A};
    EXPECT_EQ(m.mb.OutFreeSpace(), 65535);
    EXPECT_EQ(m.mb.SendData(frame, 8), 0);

    {
        PortEnv env(41, "/nonexistent/tty");
        EXPECT_FALSE(m.mb.Connect());
        EXPECT_EQ(m.mb.ConnectError(), ENOENT);
        EXPECT_EQ(m.mb.ComHandle(), -1);
        EXPECT_FALSE(m.mb.Connected());
    }
    {
        PortEnv env(41, "/dev/null");   // opens, but is no tty
        EXPECT_FALSE(m.mb.Connect());
        EXPECT_EQ(m.mb.ConnectError(), ENOTTY);
        EXPECT_EQ(m.mb.ComHandle(), -1);
    }
    EXPECT_EQ(m.clock.runningTimers(), 0) << "no poll without a port";

    PosixSerialBackend backend;
    EXPECT_EQ(backend.adopt(-1), nullptr);
    EXPECT_EQ(backend.adopt(987654), nullptr) << "not an open fd";
}

TEST(PosixSerial, DeviceIdentityFollowsTheDeviceNotTheName) {
    Pty a, b;
    const std::string link = "/tmp/orn10-identity-" + std::to_string(getpid());
    ASSERT_EQ(symlink(a.path.c_str(), link.c_str()), 0);
    PosixSerialBackend backend;
    auto identity = [&](const std::string& path) {
        auto dev = backend.openPath(path);
        EXPECT_NE(dev, nullptr) << path;
        return dev ? dev->identity() : std::string();
    };
    const std::string byPath = identity(a.path);
    EXPECT_FALSE(byPath.empty());
    EXPECT_EQ(identity(link), byPath) << "two names of one device";
    EXPECT_NE(identity(b.path), byPath);
    unlink(link.c_str());
}

// ---------------------------------------------------------------- exclusive access

TEST(PosixSerial, OnlyOneHolderAtATime) {
    Pty pty;
    PortEnv env(42, pty.path);
    // An fd opened before the master takes the port shows its exclusive mode.
    const int watcher = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watcher, 0);

    Master first(42), second(42);
    ASSERT_TRUE(first.mb.Connect());
    EXPECT_GT(first.mb.ComHandle(), 0);
    int exclusive = 0;
    ASSERT_EQ(ioctl(watcher, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);

    // Refused while held, also for root (the lock, not TIOCEXCL, does it).
    EXPECT_FALSE(second.mb.Connect());
    EXPECT_EQ(second.mb.ConnectError(), EBUSY) << "from open() (TIOCEXCL) or, for root, from the lock";
    EXPECT_EQ(second.mb.ComHandle(), -1);
    EXPECT_EQ(second.backend.open(42), nullptr);
    EXPECT_TRUE(first.mb.Connected());

    first.mb.Disconnect();
    ASSERT_EQ(ioctl(watcher, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "exclusive mode given up, so ordinary users may open it again";
    EXPECT_TRUE(second.mb.Connect());
    EXPECT_FALSE(first.mb.Connect());
    ::close(watcher);
}

TEST(PosixSerial, AdoptedHandleIsClosedOnlyWhenNotReleased) {
    Pty pty;
    Master m(43);
    const int fd = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    m.mb.SetComHandle(fd);
    ASSERT_TRUE(m.mb.Connected());
    EXPECT_EQ(m.mb.ComHandle(), fd);
    EXPECT_EQ(m.clock.runningTimers(), 1) << "the poll runs on an adopted port";
    m.mb.SetComHandle(-1);
    EXPECT_FALSE(m.mb.Connected());
    EXPECT_TRUE(FdOpen(fd)) << "released, not closed";

    m.mb.SetComHandle(fd);
    m.mb.Disconnect();
    EXPECT_FALSE(FdOpen(fd)) << "closed with the port";
}

TEST(PosixSerial, AdoptedBlockingHandleDoesNotBlock) {
    Pty pty;
    const int fd = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY);   // blocking
    ASSERT_GE(fd, 0);
    termios t = Attributes(fd);
    cfmakeraw(&t);
    t.c_cc[VMIN] = 1;   // a plain read() would wait for a byte
    t.c_cc[VTIME] = 0;
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);

    PosixSerialBackend backend;
    auto dev = backend.adopt(fd);
    ASSERT_NE(dev, nullptr);
    uint8_t buf[8] = {};
    EXPECT_EQ(dev->read(buf, sizeof buf), 0);
    ASSERT_EQ(::write(pty.side, "\x01\x02", 2), 2);
    long got = 0;
    for (int i = 0; i < 100 && got == 0; ++i) {
        got = dev->read(buf, sizeof buf);
        if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(got, 2);
    EXPECT_EQ(dev->write(buf, 2), 2);
    pty.hangUp();
    EXPECT_EQ(dev->read(buf, sizeof buf), -1);
    EXPECT_EQ(dev->write(buf, 2), -1);
}

TEST(PosixSerial, AdoptedPipeWithoutAReaderFailsTheSendNotTheProgram) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    Master m(49);
    m.mb.SetComHandle(fds[1]);
    m.mb.FunctionCode = 3;
    m.mb.Query();   // a SIGPIPE would end the test program here
    EXPECT_EQ(m.mb.ErrorCode(), mbCommError);
}

// ---------------------------------------------------------------- settings

TEST(PosixSerial, EveryRateIsTaken) {
    Pty pty;
    PortEnv env(44, pty.path);
    Master m(44);
    ASSERT_TRUE(m.mb.Connect());
    for (int i = 0; i < 15; ++i) {
        m.mb.SetComPortBaudRate(TComPortBaudRate(i));
        EXPECT_EQ(LineSpeed(m.mb.ComHandle()), BaudRates[i]) << "rate " << BaudRates[i];
    }
    // Back from a rate without a B constant to one with it.
    m.mb.SetComPortBaudRate(br9600);
    const termios t = Attributes(m.mb.ComHandle());
    EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));
    m.mb.Disconnect();

    // Every rate also opens from scratch.
    for (int i = 0; i < 15; ++i) {
        m.mb.SetComPortBaudRate(TComPortBaudRate(i));
        ASSERT_TRUE(m.mb.Connect()) << "rate " << BaudRates[i];
        EXPECT_EQ(LineSpeed(m.mb.ComHandle()), BaudRates[i]);
        m.mb.Disconnect();
    }
}

TEST(PosixSerial, LineSettingsInTheTermios) {
    Pty pty;
    PosixSerialBackend backend;
    PortEnv env(45, pty.path);
    auto dev = backend.open(45);
    ASSERT_NE(dev, nullptr);
    const int fd = dev->nativeHandle();

    LineSettings s;
    s.stopBits = sb1HALFBITS;
    s.parity = ptEVEN;
    s.rtsCts = true;
    s.xonXoff = true;
    dev->configure(s);
    termios t = Attributes(fd);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u) << "raw";
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INPCK | ISTRIP | IGNPAR), 0u) << "parity not checked on receive";
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_NE(t.c_cflag & CSTOPB, 0u) << "1.5 stop bits become 2";
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);

    // Every flag goes again when not asked for.  (A pty keeps neither the
    // parity nor the character size, so those are not checked here.)
    dev->configure(LineSettings{});
    t = Attributes(fd);
    EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);

    // Nothing has arrived: 0 at once, not "gone".
    uint8_t buf[16];
    EXPECT_EQ(dev->read(buf, sizeof buf), 0);
    EXPECT_EQ(dev->outQueued(), 0);
    EXPECT_TRUE(dev->waitWritable(100));
}

// ---------------------------------------------------------------- transactions

class AgainstLibmodbus : public ::testing::Test {
protected:
    Pty pty;
    PortEnv env{46, pty.path};
    LibmodbusSlave slave{pty.side};
    Master m{46};

    void SetUp() override {
        m.mb.SetComPortBaudRate(br19200);
        m.mb.SetComPortParity(ptEVEN);
        m.mb.SlaveId = 1;
        m.mb.SetFTimeout(1000);
        ASSERT_TRUE(m.mb.Connect());
    }
};

TEST_F(AgainstLibmodbus, ReadsThirteenRegisters) {
    m.mb.FunctionCode = 3;
    m.mb.Offset = 1;
    m.mb.Quantity = 13;
    ASSERT_TRUE(m.transact());
    ASSERT_EQ(m.answers, 1) << (m.errors.empty() ? "" : m.errors.front());
    EXPECT_EQ(m.mb.ErrorCode(), 0);
    const TDataByte& data = m.mb.ResponseData();
    ASSERT_EQ(data.size(), 26u);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(data[2 * i] * 256 + data[2 * i + 1], slave.reg(1 + i)) << "register " << 1 + i;
}

TEST_F(AgainstLibmodbus, WritesOneRegisterThenReadsItBack) {
    m.mb.FunctionCode = 6;
    m.mb.Offset = 2;
    m.mb.Quantity = 1;
    m.mb.RequestData = {0xBB, 0xBB};
    ASSERT_TRUE(m.transact());
    ASSERT_EQ(m.answers, 1) << (m.errors.empty() ? "" : m.errors.front());
    EXPECT_EQ(slave.reg(2), 0xBBBB);
    EXPECT_EQ(m.mb.ResponseData(), TDataByte({0xBB, 0xBB}));

    m.mb.FunctionCode = 3;
    ASSERT_TRUE(m.transact());
    EXPECT_EQ(m.answers, 2);
    EXPECT_EQ(m.mb.ResponseData(), TDataByte({0xBB, 0xBB}));
}

TEST_F(AgainstLibmodbus, IllegalAddressIsAnException) {
    m.mb.FunctionCode = 3;
    m.mb.Offset = 100;
    m.mb.Quantity = 1;
    ASSERT_TRUE(m.transact());
    EXPECT_EQ(m.answers, 0);
    EXPECT_EQ(m.mb.ErrorCode(), 2);
    ASSERT_EQ(m.errors.size(), 1u);
    EXPECT_EQ(m.errors[0], " 02-Dirección ilegal");
}

// The MODBUS TCP link on real sockets against libmodbus's server: opened and
// closed around every request as the window does, on one kept connection;
// one closed by the server is made again by the next request, and while
// the server is down the request fails with the reason.
TEST(NetAgainstLibmodbus, ReadsWritesAndConnectsAgain) {
    auto slave = std::make_unique<LibmodbusTcpSlave>(0);
    RealtimeScheduler clock;
    NetBackend net(clock);
    TModbusM mb(clock, net);
    int answers = 0, errors = 0;
    mb.OnResponseReady = [&](TModbusM*) { ++answers; };
    mb.OnError = [&](TModbusM*, const std::string&) { ++errors; };
    const uint16_t port = slave->port();
    mb.SetComPortPath("tcp://127.0.0.1:" + std::to_string(port));
    mb.SlaveId = 7;
    mb.SetFTimeout(1000);
    auto transact = [&](uint8_t function, uint16_t offset, uint16_t quantity) {
        mb.FunctionCode = function;
        mb.Offset = offset;
        mb.Quantity = quantity;
        EXPECT_TRUE(mb.Connect());
        mb.Query();
        EXPECT_TRUE(clock.runUntil([&] { return !mb.Busy(); }, 5000));
        mb.Disconnect();
        return mb.ErrorCode();
    };
    ASSERT_EQ(transact(3, 1, 13), 0);
    // The socket is waited on, but no one else may read it: its bytes are
    // the link's own.
    ASSERT_TRUE(mb.Connect());
    EXPECT_GE(mb.ReadableHandle(), 0);
    EXPECT_EQ(mb.ComHandle(), -1);
    mb.Disconnect();
    const TDataByte& data = mb.ResponseData();
    ASSERT_EQ(data.size(), 26u);
    for (int i = 0; i < 13; ++i) EXPECT_EQ(data[2 * i] * 256 + data[2 * i + 1], slave->reg(1 + i)) << i + 1;
    mb.RequestData = {0xFF, 0xBB};
    EXPECT_EQ(transact(6, 2, 1), 0);
    EXPECT_EQ(slave->reg(2), 0xFFBB);
    EXPECT_EQ(transact(3, 100, 1), 2) << "exception 2";
    EXPECT_EQ(slave->accepted(), 1) << "one connection for all";

    slave->dropConnection();
    EXPECT_EQ(transact(3, 1, 1), 0);
    EXPECT_EQ(slave->accepted(), 2);

    slave.reset();
    EXPECT_EQ(transact(3, 1, 1), 9);
    EXPECT_EQ(mb.DeviceError(), ECONNREFUSED);
    slave = std::make_unique<LibmodbusTcpSlave>(port);
    EXPECT_EQ(transact(3, 1, 1), 0);
    EXPECT_EQ(answers, 4);
    EXPECT_EQ(errors, 2);
}

// ---------------------------------------------------------------- device gone

TEST(PosixSerial, HungUpDeviceIsGoneNotSilent) {
    Pty pty;
    PosixSerialBackend backend;
    PortEnv env(47, pty.path);
    auto dev = backend.open(47);
    ASSERT_NE(dev, nullptr);
    dev->configure(LineSettings{});
    uint8_t buf[16] = {};
    EXPECT_EQ(dev->read(buf, sizeof buf), 0);

    pty.hangUp();
    EXPECT_EQ(dev->read(buf, sizeof buf), -1);
    EXPECT_EQ(dev->lastError(), ENODEV);
    EXPECT_EQ(dev->write(buf, 4), -1);
    EXPECT_EQ(dev->lastError(), ENODEV) << "EIO of a hung-up tty: the device is gone";
    EXPECT_FALSE(dev->waitWritable(5000)) << "a gone device is reported at once";
    EXPECT_EQ(dev->outQueued(), 0);
    dev->configure(LineSettings{});   // harmless
    dev->purge(true, true);
}

TEST(PosixSerial, MasterEndsTransactionsOnAGoneDevice) {
    Pty pty;
    PortEnv env(48, pty.path);
    Master m(48);
    m.mb.SlaveId = 1;
    m.mb.FunctionCode = 3;
    m.mb.Quantity = 1;
    m.mb.SetFTimeout(300);
    ASSERT_TRUE(m.mb.Connect());

    // A request is sent, then the line hangs up before any answer: the
    // first poll finds the device gone and ends the transaction as a device
    // failure, not as a 300 ms timeout.
    m.mb.Query();
    EXPECT_TRUE(m.mb.Busy());
    pty.hangUp();
    ASSERT_TRUE(m.clock.runUntil([&] { return !m.mb.Busy(); }, 3000));
    EXPECT_EQ(m.mb.ErrorCode(), 9);
    EXPECT_EQ(m.mb.DeviceError(), ENODEV);
    ASSERT_EQ(m.errors.size(), 1u);
    m.clock.runFor(400);
    EXPECT_EQ(m.errors.size(), 1u) << "one outcome: no timeout follows";

    // Writing to it fails at once instead of waiting out OutputTimeout.
    const uint8_t frame[] = {1, 3, 0, 0, 0, 1, 0x84, 0x0A};
    EXPECT_LE(m.mb.SendData(frame, 8), 0);
    m.errors.clear();
    m.mb.Query();
    EXPECT_FALSE(m.mb.Busy());
    EXPECT_EQ(m.mb.ErrorCode(), 9);
    EXPECT_EQ(m.mb.DeviceError(), ENODEV);
    ASSERT_EQ(m.errors.size(), 1u);
    EXPECT_EQ(m.errors[0], " 09-Error de comunicación");

    // The port is still held and the poll still runs, quietly.
    EXPECT_TRUE(m.mb.Connected());
    m.clock.runFor(250);
    m.mb.Disconnect();
    EXPECT_EQ(m.clock.runningTimers(), 0);
}
