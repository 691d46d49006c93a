// The simulator on a real pseudo-terminal, in real time: libmodbus as an
// independent master, the utility's own POSIX link, and the orn10sim program.
// Waits are real but short and bounded.
#include "modbusm.h"
#include "posix_serial.h"
#include "pty_server.h"
#include "pty_termios.h"
#include "realtime_scheduler.h"

#include <gtest/gtest.h>
#include <modbus.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace orn;
using namespace orn::sim;

namespace {

class PtyLine : public ::testing::Test {
protected:
    SimLine line;
    PtyServer server{line};
    std::thread thread;
    modbus_t* ctx = nullptr;

    void SetUp() override {
        const struct { Model model; uint8_t address; } models[] = {
            {Model::MB1, 1}, {Model::MB2, 2}, {Model::MB3, 3}, {Model::MB4, 4}, {Model::X20, 5}, {Model::X22, 6}};
        for (const auto& m : models) line.add(m.model, m.address);
        line.freezeDrift();
        std::string error;
        ASSERT_TRUE(server.open(error)) << error;
        thread = std::thread([this] { server.run(); });
        ctx = modbus_new_rtu(server.devicePath().c_str(), 19200, 'E', 8, 1);
        ASSERT_NE(ctx, nullptr);
        modbus_set_response_timeout(ctx, 0, 300000);
        ASSERT_EQ(modbus_connect(ctx), 0) << modbus_strerror(errno);
    }
    void TearDown() override {
        if (ctx) {
            modbus_close(ctx);
            modbus_free(ctx);
        }
        server.stop();
        if (thread.joinable()) thread.join();
    }
    uint16_t simReg(uint8_t address, int reg) {
        uint16_t v = 0;
        server.withLine([&](SimLine& l) { v = l.at(address).reg(reg); });
        return v;
    }
};

TEST_F(PtyLine, LibmodbusReadsEveryModel) {
    const struct { uint8_t address; int count; } models[] = {{1, 6}, {2, 9}, {3, 12}, {4, 13}, {5, 7}, {6, 11}};
    for (const auto& m : models) {
        SCOPED_TRACE(int(m.address));
        modbus_set_slave(ctx, m.address);
        uint16_t regs[16] = {};
        ASSERT_EQ(modbus_read_registers(ctx, 1, m.count, regs), m.count) << modbus_strerror(errno);
        // The clock registers of the X-22 may tick between the two looks.
        for (int r = 1; r <= std::min(m.count, 8); ++r) EXPECT_EQ(regs[r - 1], simReg(m.address, r)) << r;
        EXPECT_EQ(modbus_read_registers(ctx, 1, m.count + 1, regs), -1);
        EXPECT_EQ(errno, EMBXILADD);
    }
}

TEST_F(PtyLine, LibmodbusWritesAThresholdAndSwitchesToTheServiceProtocol) {
    modbus_set_slave(ctx, 4);
    ASSERT_EQ(modbus_write_register(ctx, 8, 1250), 1) << modbus_strerror(errno);
    uint16_t v = 0;
    ASSERT_EQ(modbus_read_registers(ctx, 8, 1, &v), 1);
    EXPECT_EQ(v, 1250);

    // The master may open and close the port for every request.
    for (int i = 0; i < 3; ++i) {
        modbus_close(ctx);
        ASSERT_EQ(modbus_connect(ctx), 0);
        ASSERT_EQ(modbus_read_registers(ctx, 8, 1, &v), 1) << modbus_strerror(errno);
    }

    EXPECT_EQ(modbus_write_register(ctx, 99, 0x6D2E), 1) << modbus_strerror(errno);
    EXPECT_EQ(modbus_read_registers(ctx, 1, 1, &v), -1);
    EXPECT_EQ(errno, ETIMEDOUT);
    server.withLine([](SimLine& l) { EXPECT_TRUE(l.at(4).serviceMode()); });
    modbus_set_slave(ctx, 5);   // the others still answer
    EXPECT_EQ(modbus_read_registers(ctx, 1, 1, &v), 1);
}

TEST_F(PtyLine, TheUtilitysOwnLinkOpensAndClosesForEveryRequest) {
    modbus_close(ctx);
    RealtimeScheduler clock;
    PosixSerialBackend backend;
    ASSERT_EQ(::setenv("ORN10_COM1", server.devicePath().c_str(), 1), 0);
    TModbusM mb(clock, backend);
    mb.SetComPort(pnCOM1);
    mb.SetComPortBaudRate(br19200);
    mb.SetComPortParity(ptEVEN);
    mb.SetFTimeout(500);
    int code = -1;
    mb.OnResponseReady = [&](TModbusM* m) { m->Disconnect(); code = 0; };
    mb.OnError = [&](TModbusM* m, const std::string&) { m->Disconnect(); code = m->ErrorCode(); };
    for (int i = 0; i < 3; ++i) {
        mb.SlaveId = 6;
        mb.FunctionCode = 3;
        mb.Offset = 1;
        mb.Quantity = 11;
        code = -1;
        ASSERT_TRUE(mb.Connect()) << "request " << i;
        mb.Query();
        ASSERT_TRUE(clock.runUntil([&] { return code >= 0; }, 2000));
        EXPECT_EQ(code, 0);
        EXPECT_EQ(mb.ResponseData().size(), 22u);
    }
    // At another speed the instruments hear garbage.
    mb.SetComPortBaudRate(br9600);
    code = -1;
    ASSERT_TRUE(mb.Connect());
    mb.Query();
    ASSERT_TRUE(clock.runUntil([&] { return code >= 0; }, 2000));
    EXPECT_EQ(code, mbTimeout);
    ::unsetenv("ORN10_COM1");
}

TEST_F(PtyLine, LastCloseRestoresSettingsAndDropsPendingInputEveryTime) {
    modbus_close(ctx);
    const std::string path = server.devicePath();
    const auto restored = [&] {
        for (int waited = 0; waited < 1000; waited += 5) {
            const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const bool at19200 = fd >= 0 && TerminalSpeed(fd) == 19200;
            if (fd >= 0) ::close(fd);
            if (at19200) return true;
            ::poll(nullptr, 0, 5);
        }
        return false;
    };
    // Two masters, one changes the speed and floods the line; both close
    // back to back.  Their close notifications may merge into one.
    const std::vector<uint8_t> flood(3000, 0x55);
    for (int cycle = 0; cycle < 40; ++cycle) {
        const int a = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const int b = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(a, 0);
        ASSERT_GE(b, 0);
        termios t{};
        ASSERT_EQ(tcgetattr(a, &t), 0);
        cfsetspeed(&t, B9600);
        ASSERT_EQ(tcsetattr(a, TCSANOW, &t), 0);
        EXPECT_GT(::write(b, flood.data(), flood.size()), 0);
        ::close(a);
        ::close(b);
        ASSERT_TRUE(restored()) << "cycle " << cycle;
    }
    // The next master is answered at once, not after the flood.
    ASSERT_EQ(modbus_connect(ctx), 0);
    modbus_set_slave(ctx, 4);
    uint16_t v = 0;
    EXPECT_EQ(modbus_read_registers(ctx, 1, 1, &v), 1) << modbus_strerror(errno);
}

// ---------------------------------------------------------------- the program

struct Child {
    pid_t pid = -1;
    int in = -1;
    int out = -1;
    int err = -1;
};

Child Spawn(const std::vector<std::string>& args) {
    int in[2], out[2], err[2];
    Child c;
    if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) return c;
    c.pid = ::fork();
    if (c.pid == 0) {
        ::dup2(in[0], 0);
        ::close(in[1]);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::close(out[0]);
        ::close(err[0]);
        std::vector<char*> argv{const_cast<char*>(ORN10SIM_PATH)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(ORN10SIM_PATH, argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    c.in = in[1];
    c.out = out[0];
    c.err = err[0];
    return c;
}

// Reads until the fd ends, a newline (when asked) or the time is up.
std::string ReadFrom(int fd, int maxMs, bool lineOnly) {
    std::string s;
    for (int waited = 0; waited < maxMs; waited += 10) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0) continue;
        char c;
        if (::read(fd, &c, 1) != 1) break;
        s += c;
        if (lineOnly && c == '\n') break;
        waited -= 10;
    }
    return s;
}

int WaitExit(pid_t pid, int maxMs) {
    for (int waited = 0; waited < maxMs; waited += 10) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        ::poll(nullptr, 0, 10);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

// Ends the child and removes the scratch folder however the test ends.
struct ProgramRun {
    Child child;
    std::string dir;
    ~ProgramRun() {
        if (child.pid > 0 && ::kill(child.pid, 0) == 0) {
            ::kill(child.pid, SIGKILL);
            ::waitpid(child.pid, nullptr, 0);
        }
        if (child.in >= 0) ::close(child.in);
        if (child.out >= 0) ::close(child.out);
        if (child.err >= 0) ::close(child.err);
        if (!dir.empty()) {
            ::unlink((dir + "/sub/com1").c_str());
            ::rmdir((dir + "/sub").c_str());
            ::rmdir(dir.c_str());
        }
    }
};

TEST(Orn10simProgram, ServesOnItsLinkAndCleansUpOnSigterm) {
    char dir[] = "/tmp/orn10simtestXXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    ProgramRun run;
    run.dir = dir;
    const std::string link = run.dir + "/sub/com1";
    // A stale link from an earlier run is replaced.
    ::mkdir((run.dir + "/sub").c_str(), 0755);
    ASSERT_EQ(::symlink("/dev/pts/9999", link.c_str()), 0);

    run.child = Spawn({"--link", link, "--instrument", "X-22@5", "--instrument=mb1@7", "--turnaround", "2"});
    ASSERT_GT(run.child.pid, 0);
    EXPECT_EQ(ReadFrom(run.child.out, 5000, true), "ORN10_COM1=" + link + "\n");

    // Two masters one after the other, the first leaving its settings on the
    // port (it exits without restoring them): the second must still be able
    // to set them, which a pseudo-terminal refuses when nothing changes.
    for (int session = 0; session < 2; ++session) {
        SCOPED_TRACE(session);
        modbus_t* ctx = modbus_new_rtu(link.c_str(), 19200, 'E', 8, 1);
        ASSERT_NE(ctx, nullptr);
        modbus_set_response_timeout(ctx, 0, 500000);
        const int connected = modbus_connect(ctx);
        EXPECT_EQ(connected, 0) << modbus_strerror(errno);
        if (connected == 0) {
            modbus_set_slave(ctx, 5);
            uint16_t regs[11];
            EXPECT_EQ(modbus_read_registers(ctx, 1, 11, regs), 11) << modbus_strerror(errno);
            modbus_set_slave(ctx, 7);
            EXPECT_EQ(modbus_read_registers(ctx, 1, 6, regs), 6) << modbus_strerror(errno);
            ::close(modbus_get_socket(ctx));
        }
        modbus_free(ctx);
        ::poll(nullptr, 0, 50);   // the simulator notices the close
    }

    // Test gas, given on the standard input, reaches the reading.
    const std::string command = "gas 5 30 tau=0 noise=0\nnonsense\n";
    ASSERT_EQ(::write(run.child.in, command.data(), command.size()), ssize_t(command.size()));
    std::string said = ReadFrom(run.child.err, 5000, true);
    said = ReadFrom(run.child.err, 5000, true);
    EXPECT_EQ(said, "orn10sim: gas 30.00 % applied to 5 (tau 0 s, noise 0 %)\n");
    EXPECT_EQ(ReadFrom(run.child.err, 5000, true).rfind("orn10sim: unknown command 'nonsense'", 0), 0u);
    modbus_t* ctx = modbus_new_rtu(link.c_str(), 19200, 'E', 8, 1);
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(modbus_connect(ctx), 0);
    modbus_set_slave(ctx, 5);
    uint16_t gas = 0;
    EXPECT_EQ(modbus_read_registers(ctx, 5, 1, &gas), 1) << modbus_strerror(errno);
    EXPECT_NEAR(gas, 3150, 8);   // 1,50 in clean air and the drift
    modbus_close(ctx);
    modbus_free(ctx);

    ::kill(run.child.pid, SIGTERM);
    EXPECT_EQ(WaitExit(run.child.pid, 3000), 0);
    run.child.pid = -1;
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0);   // removed on exit
}

// Over TCP as a MODBUS TCP gateway: libmodbus from two threads at once, each
// always getting its own instrument's registers, and mbpoll the same ones;
// with a network latency, a master that waits less gets nothing.
TEST(Orn10simProgram, ServesOverTcpToSeveralMastersAtOnce) {
    for (const char* latency : {"0", "300"}) {
        SCOPED_TRACE(latency);
        ProgramRun run;
        run.child = Spawn({"--tcp", "0", "--protocol", "mbtcp", "-i", "MB4@1", "-i", "X-22@5", "--freeze",
                           "--net-fault", std::string("latency=") + latency});
        const std::string url = ReadFrom(run.child.out, 5000, true);
        ASSERT_EQ(url.rfind("tcp://127.0.0.1:", 0), 0u) << url;
        const int port = std::stoi(url.substr(url.rfind(':') + 1));
        auto connect = [&](int slave, int timeoutMs) {
            modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
            modbus_set_slave(ctx, slave);
            modbus_set_response_timeout(ctx, 0, uint32_t(timeoutMs) * 1000);
            EXPECT_EQ(modbus_connect(ctx), 0) << modbus_strerror(errno);
            return ctx;
        };
        if (latency[0] != '0') {
            modbus_t* ctx = connect(1, 100);
            uint16_t v = 0;
            EXPECT_EQ(modbus_read_registers(ctx, 1, 1, &v), -1);
            modbus_close(ctx);
            modbus_free(ctx);
            continue;
        }
        std::vector<uint16_t> first[2];
        const int slaves[2] = {1, 5};
        std::thread masters[2];
        for (int m = 0; m < 2; ++m)
            masters[m] = std::thread([&, m] {
                modbus_t* ctx = connect(slaves[m], 2000);
                for (int i = 0; i < 40; ++i) {
                    uint16_t regs[8] = {};
                    ASSERT_EQ(modbus_read_registers(ctx, 1, 8, regs), 8) << modbus_strerror(errno);
                    if (first[m].empty()) first[m].assign(regs, regs + 8);
                    EXPECT_EQ(std::vector<uint16_t>(regs, regs + 8), first[m]) << "read " << i;
                }
                modbus_close(ctx);
                modbus_free(ctx);
            });
        for (std::thread& t : masters) t.join();
        ASSERT_FALSE(first[0].empty());
        EXPECT_NE(first[0], first[1]) << "two instruments, two answers";

        // mbpoll, one read of the MB4's registers 1 to 8.
        const std::string command = "mbpoll -m tcp -p " + std::to_string(port) +
                                    " -a 1 -0 -r 1 -c 8 -1 -o 2 127.0.0.1 2>&1";
        std::string out;
        if (std::FILE* p = ::popen(command.c_str(), "r")) {
            char buf[256];
            while (std::fgets(buf, sizeof buf, p)) out += buf;
            EXPECT_EQ(::pclose(p), 0) << out;
        }
        for (int r = 1; r <= 8; ++r)
            EXPECT_NE(out.find("[" + std::to_string(r) + "]: \t" + std::to_string(int16_t(first[0][size_t(r - 1)]))),
                      std::string::npos)
                << out;
    }
}

TEST(Orn10simProgram, ALiveSimulatorsLinkIsTakenOverOnlyWhenAsked) {
    char dir[] = "/tmp/orn10simtestXXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    ProgramRun first, second, third;
    first.dir = dir;
    const std::string link = first.dir + "/sub/com1";
    auto target = [&] {
        char to[PATH_MAX] = {};
        return ::readlink(link.c_str(), to, sizeof to - 1) > 0 ? std::string(to) : std::string();
    };
    first.child = Spawn({"--link", link});
    ASSERT_EQ(ReadFrom(first.child.out, 5000, true), "ORN10_COM1=" + link + "\n");
    const std::string device = target();
    second.child = Spawn({"--link", link});
    const std::string said = ReadFrom(second.child.err, 5000, false);
    EXPECT_EQ(WaitExit(second.child.pid, 5000), 1);
    EXPECT_NE(said.find("of orn10sim pid " + std::to_string(first.child.pid) + ", still running"), std::string::npos)
        << said;
    EXPECT_EQ(target(), device) << "the first keeps its link";

    third.child = Spawn({"--link", link, "--take-over"});
    ASSERT_EQ(ReadFrom(third.child.out, 5000, true), "ORN10_COM1=" + link + "\n");
    EXPECT_NE(target(), device);
    // Each removes its link on exit, and only its own.
    for (ProgramRun* run : {&first, &third}) {
        ::kill(run->child.pid, SIGTERM);
        EXPECT_EQ(WaitExit(run->child.pid, 3000), 0);
        run->child.pid = -1;
        EXPECT_EQ(target().empty(), run == &third);
    }
}

TEST(Orn10simProgram, BadArgumentsExitWithStatus2) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--instrument", "MB5@1"}, {"--instrument", "MB4@0"}, {"--speed", "fast"}, {"--parity", "mark"},
             {"--turnaround"}, {"--fault", "3:silent"}, {"--fault", "1:explode"}, {"--bogus"},
             {"-i", "MB4@1", "-i", "X-20@1"}, {"--random", "drop=2"}, {"--fault", "1:stray=0"},
             {"--fault", "1:foreign=1"}, {"--echo=1"}, {"--gas", "3:25"}, {"--gas", "1:lots"},
             {"--gas", "1:25,tau=-1"}, {"--tcp", "70000"}, {"--protocol", "udp"}, {"--net-fault", "jitter=5"}}) {
        Child c = Spawn(args);
        ASSERT_GT(c.pid, 0);
        const std::string err = ReadFrom(c.err, 3000, false);
        EXPECT_EQ(WaitExit(c.pid, 3000), 2) << args[0];
        EXPECT_EQ(err.rfind("orn10sim: ", 0), 0u) << err;
        EXPECT_EQ(ReadFrom(c.out, 100, false), "");
        ::close(c.in);
        ::close(c.out);
        ::close(c.err);
    }
    Child h = Spawn({"--help"});
    const std::string help = ReadFrom(h.out, 3000, false);
    EXPECT_EQ(WaitExit(h.pid, 3000), 0);
    for (const char* option :
         {"--instrument MODEL@ADDR", "--echo", "stray=HEX", "foreign=ADDR", "slow=MS", "--gas", "gas ADDR off",
          "--take-over", "--tcp [ADDR:]PORT", "--protocol rtu|mbtcp", "latency=MS"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    ::close(h.in);
    ::close(h.out);
    ::close(h.err);
}

} // namespace
