// orn10ctl against the simulator on a real pseudo-terminal, in real time:
// the arguments and the refusals as one table, then one run of each command.
#include "commands.h"
#include "options.h"
#include "output.h"
#include "posix_serial.h"
#include "net_peers.h"
#include "pty_pair.h"
#include "pty_server.h"
#include "tcp_server.h"
#include "texts.h"
#include "realtime_scheduler.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cctype>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace orn;
using namespace orn::ctl;
using namespace orn::sim;

namespace {

class Ctl : public ::testing::Test {
protected:
    SimLine line;
    PtyServer server{line};
    std::thread thread;
    std::string home;   // the records and their settings go here, not to the user's

    void SetUp() override {
        char dir[] = "/tmp/orn10ctl-records-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        home = dir;
        setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        line.add(Model::MB4, 1);
        line.add(Model::X22, 5);
        line.add(Model::MB1, 9);
        line.freezeDrift();
        std::string error;
        ASSERT_TRUE(server.open(error)) << error;
        thread = std::thread([this] { server.run(); });
    }
    void TearDown() override {
        server.stop();
        thread.join();
        EXPECT_EQ(std::system(("rm -rf " + home).c_str()), 0);
    }

    struct Result {
        int status;
        std::string out, err;
    };
    // orn10ctl on the simulator's port (a later -p wins), output captured,
    // in English unless --lang says otherwise; through the POSIX link unless
    // `through` is given.
    Result Run(std::vector<std::string> args, const std::string& sep = ".", SerialBackend* through = nullptr) {
        args.insert(args.begin(), {"-p", server.devicePath()});
        SetLanguage(LanguageOption(args).value_or(TLanguage::English));
        TOptions o;
        std::string error;
        if (!ParseArgs(args, o, error)) return {exUsage, "", error};
        char *out = nullptr, *err = nullptr;
        size_t outSize = 0, errSize = 0;
        std::FILE* fout = open_memstream(&out, &outSize);
        std::FILE* ferr = open_memstream(&err, &errSize);
        int status = 0;
        {
            TOutput output(o.format, fout, ferr, sep);
            PosixSerialBackend backend;
            status = ctl::Run(o, output, through ? *through : backend, nullptr);
        }
        std::fclose(fout);
        std::fclose(ferr);
        Result r{status, out, err};
        std::free(out);
        std::free(err);
        return r;
    }
    uint16_t SimReg(uint8_t address, int reg) {
        uint16_t v = 0;
        server.withLine([&](SimLine& l) { v = l.at(address).reg(reg); });
        return v;
    }
};

TEST_F(Ctl, ArgumentsAndRefusals) {
    // The simulated MB4 has range 100,00, threshold 1 20,00 and threshold 2 50,00.
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;   // in the output or the error
        bool fixed = false; // with the MB4's current output fixed
    } cases[] = {
        {{}, exUsage, "no command"},
        {{"frobnicate"}, exUsage, "unknown command"},
        {{"read", "extra"}, exUsage, "unexpected argument"},
        {{"-a", "0", "read"}, exUsage, "bad address"},
        {{"-a", "248", "read"}, exUsage, "bad address"},
        {{"-s", "12345", "read"}, exUsage, "bad speed"},
        {{"-P", "mark", "read"}, exUsage, "bad parity"},
        {{"-m", "MB5", "read"}, exUsage, "bad model"},
        {{"-t", "10", "read"}, exUsage, "bad timeout"},
        {{"-a", "1,5", "read"}, exUsage, "for watch only"},
        {{"-a", "1,5-3", "watch"}, exUsage, "bad address '5-3'"},
        {{"-a", "1:MB7", "watch"}, exUsage, "bad model in '1:MB7'"},
        {{"--sweep=9600,1234", "scan"}, exUsage, "bad sweep item '1234'"},
        {{"--sweep", "read"}, exUsage, "for scan only"},
        {{"-i", "-1", "watch"}, exUsage, "bad interval"},
        {{"--json=yes", "read"}, exUsage, "takes no value"},
        {{"read", "-a"}, exUsage, "needs a value"},
        {{"scan", "20-10"}, exUsage, "bad address range"},
        {{"fix", "12"}, exUsage, "bad output"},
        {{"write", "threshold3", "1"}, exUsage, "unknown value"},
        {{"write", "threshold1"}, exUsage, "missing argument"},
        {{"write", "threshold1", "12,5,0"}, exUsage, "bad value"},
        {{"history"}, exUsage, "missing argument"},
        {{"history", "26x"}, exUsage, "bad serial number"},
        {{"--from", "2026-02-30", "export"}, exUsage, "bad date"},
        // Refused before anything is sent.
        {{"-m", "MB1", "write", "threshold1", "1"}, exRefused, "has no threshold 1"},
        {{"-m", "X-20", "write", "threshold2", "1"}, exRefused, "has no threshold 2"},
        {{"-m", "MB2", "fix", "20"}, exRefused, "has no current output to fix"},
        {{"write", "threshold1", "-1"}, exRefused, "-1.00 is no register value"},
        {{"write", "magnet", "655,36"}, exRefused, "655.36 is no register value"},
        {{"calibrate", "480.59"}, exRefused, "code of a command"},
        // Refused on the state just read, as the window's range checks.
        {{"write", "threshold1", "50,01"}, exRefused, "\"Threshold 1, %vol\" 50.01 is outside 0.00 to 50.00"},
        {{"write", "threshold2", "19.99"}, exRefused, "19.99 is outside 20.00 to 100.00"},
        {{"write", "magnet", "0"}, exRefused, "0.00 is outside 0.01 to 100.00"},
        {{"write", "current", "50.01"}, exRefused, "50.01 is outside 0.01 to 50.00"},
        {{"-a", "5", "-m", "x22", "write", "threshold1", "50.01"}, exRefused, "outside 0.00 to 50.00"},
        {{"zero"}, exRefused, "current output is fixed", true},
        {{"--json", "calibrate", "2"}, exRefused, "\"refused\":\"the current output is fixed", true},
        // What the line says.
        {{"-a", "2", "-t", "30", "read"}, exNoAnswer, "#2: No response"},
        {{"-a", "5", "read"}, exBadAnswer, "#5: Error 02 (wrong value)"},
        {{"-a", "2", "-t", "30", "write", "threshold1", "1"}, exNoAnswer, "No response"},
        // In Russian: the window's texts.
        {{"--lang", "ru", "-a", "2", "-t", "30", "read"}, exNoAnswer, "№2: Нет связи"},
        {{"--lang=ru", "write", "threshold1", "50,01"}, exRefused, "«Порог №1, %об» 50.01 вне пределов 0.00 … 50.00"},
        {{"--lang", "ru", "frobnicate"}, exUsage, "неизвестная команда 'frobnicate'"},
        {{"--lang", "de", "read"}, exUsage, "bad language 'de'"},
        {{"-p", "/nonexistent/port", "read"}, exPort, "No such file or directory"},
        {{"-p", "/dev/null", "zero"}, exPort, "not a serial port"},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        if (c.fixed) server.withLine([](SimLine& l) { l.at(1).setReg(1, CurrentFixedMask); });
        const Result r = Run(c.args);
        if (c.fixed) server.withLine([](SimLine& l) { l.at(1).setReg(1, 0); });
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
    }
    // Nothing refused reached the instruments.
    EXPECT_EQ(SimReg(1, 8), 2000);
    EXPECT_EQ(SimReg(1, 9), 5000);
    EXPECT_EQ(SimReg(1, 7), 5000);
    EXPECT_EQ(SimReg(5, 6), 2000);
    EXPECT_EQ(SimReg(1, 2) == CmdSetZero, false);
}

TEST_F(Ctl, WritesAreRecordedAndReadBackAsHistory) {
    EXPECT_EQ(Run({"--technician", "Иванов", "--site", "Цех 3", "write", "threshold1", "12,5"}).status, exOk);
    EXPECT_EQ(Run({"zero"}).status, exOk);
    EXPECT_EQ(Run({"write", "threshold1", "99"}).status, exRefused);   // nothing sent, nothing kept
    Result r = Run({"--lang", "ru", "history", "2630001"}, ",");
    EXPECT_EQ(r.status, exOk) << r.err;
    EXPECT_NE(r.out.find("ОРН10-X-X1 MB4, сер. номер 2630001"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Запись значения: порог 1 20,00 → 12,50 — Выполнено"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Иванов; Цех 3; orn10ctl"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Команда: ноль — Выполнено"), std::string::npos) << r.out;
    r = Run({"--lang", "ru", "export"}, ",");
    EXPECT_EQ(r.out.rfind("\xEF\xBB\xBFДата и время;Модель;", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(";MB4;2630001;1;"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(";порог 1;8;\"20,00\";\"12,50\";"), std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3);
    r = Run({"history", "2630001"}, ",");
    EXPECT_NE(r.out.find("Value write: threshold 1 20,00 → 12,50 — Done"), std::string::npos) << r.out;
    EXPECT_EQ(Run({"export"}).out.rfind("\xEF\xBB\xBF" "Date and time;Model;", 0), 0u);
    EXPECT_NE(Run({"history", "1"}).out.find("No records"), std::string::npos);

    // A team server that cannot be reached: the records wait here, and the
    // write has succeeded.
    ASSERT_EQ(std::system(("mkdir -p " + home + "/config/orn10util && echo 'server = host=" + home +
                           "/nowhere user=x dbname=y' > " + home + "/config/orn10util/records.conf")
                              .c_str()),
              0);
    r = Run({"write", "threshold1", "13"});
    EXPECT_EQ(r.status, exOk);
    EXPECT_NE(r.err.find("the team server was not reached"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("3 record(s) wait in the local file"), std::string::npos) << r.err;
    // Records that cannot be written: the write stays done, the status says so.
    setenv("XDG_DATA_HOME", "/dev/null", 1);
    r = Run({"write", "threshold1", "14"});
    EXPECT_EQ(r.status, exRecords);
    EXPECT_NE(r.err.find("the write was not recorded"), std::string::npos) << r.err;
    EXPECT_EQ(SimReg(1, 8), 1400);
}

// The POSIX link to a pseudo-terminal that hangs up once it is opened, as
// when the adapter is pulled.
class PulledAdapter : public PosixSerialBackend {
public:
    explicit PulledAdapter(test::PtyPair& pty) : pty_(pty) {}
    std::unique_ptr<SerialDevice> openPath(const std::string& path) override {
        auto device = PosixSerialBackend::openPath(path);
        pty_.hangUp();
        return device;
    }

private:
    test::PtyPair& pty_;
};

TEST_F(Ctl, APulledAdapterIsAPortThatCannotBeUsed) {
    for (const std::vector<std::string>& command : {std::vector<std::string>{"read"}, {"scan"}, {"zero"}}) {
        SCOPED_TRACE(command.front());
        test::PtyPair pty;
        PulledAdapter pulled(pty);
        std::vector<std::string> args{"-p", pty.path};
        args.insert(args.end(), command.begin(), command.end());
        const Result r = Run(args, ".", &pulled);
        EXPECT_EQ(r.status, exPort) << r.out << r.err;
        EXPECT_NE(r.err.find("failed: The device is unplugged"), std::string::npos) << r.err;
    }
}

// The same line behind ser2net (raw and RFC 2217, in front of the
// simulator's pseudo-terminal) and behind the simulator's own listener as a
// MODBUS TCP gateway.
TEST_F(Ctl, LinesBehindTheNetwork) {
    // Two more lines like the first: behind RFC 2217 and behind the gateway.
    SimLine rfcLine, netLine;
    for (SimLine* l : {&rfcLine, &netLine}) {
        l->add(Model::MB4, 1);
        l->add(Model::X22, 5);
        l->add(Model::MB1, 9);
        l->freezeDrift();
    }
    PtyServer rfcServer(rfcLine);
    std::string error;
    ASSERT_TRUE(rfcServer.open(error)) << error;
    std::thread rfcThread([&] { rfcServer.run(); });
    test::Ser2net ser2net(server.devicePath(), rfcServer.devicePath());
    ASSERT_TRUE(ser2net.ok()) << "ser2net did not start";
    // A gateway that passes every answer on in two pieces 60 ms apart, as
    // ser2net may: the scan's default timeout (44 ms to the first byte)
    // finds the instruments only with the network allowance on top.
    TcpServer gateway(netLine, NetProtocol::ModbusTcp, NetFaults{0, 60, 3});
    ASSERT_TRUE(gateway.listen("127.0.0.1", 0, error)) << error;
    std::thread gatewayThread([&] { gateway.run(); });
    uint16_t rfcGas = 0, gatewayGas = 0;
    rfcServer.withLine([&](SimLine& l) { rfcGas = l.at(1).reg(2); });
    gateway.withLine([&](SimLine& l) { gatewayGas = l.at(1).reg(2); });
    const std::string local = "127.0.0.1:";
    const struct { std::string url; uint16_t gas; } lines[] = {
        {"rtu+tcp://" + local + std::to_string(ser2net.rawPort), SimReg(1, 2)},
        {"rfc2217://" + local + std::to_string(ser2net.rfcPort), rfcGas},
        {gateway.url(), gatewayGas},
    };
    for (const auto& l : lines) {
        SCOPED_TRACE(l.url);
        Result r = Run({"-p", l.url, "--json", "read"});
        EXPECT_EQ(r.status, exOk) << r.err;
        EXPECT_NE(r.out.find("\"values\":[0," + std::to_string(l.gas) + ","), std::string::npos) << r.out;
        // The default timeout of a scan finds every instrument behind the network.
        r = Run({"-p", l.url, "--json", "scan", "1-10"});
        EXPECT_EQ(r.status, exOk) << r.err;
        EXPECT_NE(r.out.find("{\"address\":1,\"model\":\"MB4\",\"model_name\":\"ORN10-X-X1 MB4\",\"registers\":13},"
                             "{\"address\":5,\"model\":\"X-22\",\"model_name\":\"ORN10-X-22\",\"registers\":11},"
                             "{\"address\":9,\"model\":\"MB1\",\"model_name\":\"ORN10-X-X1 MB1\",\"registers\":6}],"
                             "\"errors\":[]"),
                  std::string::npos) << r.out;
    }
    // Only RFC 2217 takes the speed to the line: at 9600 bit/s the
    // instruments hear garbage there; a raw device server keeps its own.
    EXPECT_EQ(Run({"-p", lines[1].url, "-s", "9600", "-t", "100", "read"}).status, exNoAnswer);
    EXPECT_EQ(Run({"-p", lines[0].url, "-s", "9600", "read"}).status, exOk);
    EXPECT_EQ(Run({"-p", lines[1].url, "read"}).status, exOk);

    // A connection that cannot be made: port failure, with the reason.
    const Result refused = Run({"-p", "tcp://127.0.0.1:" + std::to_string(test::FreePort()), "read"});
    EXPECT_EQ(refused.status, exPort);
    EXPECT_NE(refused.err.find("connection refused"), std::string::npos) << refused.err;
    gateway.stop();
    gatewayThread.join();
    rfcServer.stop();
    rfcThread.join();
}

TEST(CtlArgs, NamesAndUnits) {
    TOptions o;
    std::string e;
    ASSERT_TRUE(ParseArgs({"--port=COM3", "-s", "9600", "-P", "odd", "-a", "17", "-m", "ОРН10-X-22", "-i", "0,5",
                           "-n", "3", "--csv", "watch"},
                          o, e))
        << e;
    EXPECT_EQ(o.line.speed, 9600u);
    EXPECT_EQ(o.line.parity, ptODD);
    EXPECT_EQ(o.address, 17);
    EXPECT_EQ(o.devType, dtX22);
    EXPECT_EQ(o.intervalMs, 500);
    EXPECT_EQ(o.count, 3);
    EXPECT_EQ(o.format, TFormat::Csv);
    setenv("ORN10_COM3", "/tmp/orn10-ctl-test", 1);
    EXPECT_EQ(PortDevice(o.line.port), "/tmp/orn10-ctl-test");
    unsetenv("ORN10_COM3");
    // The window lists COM1 to COM256.
    setenv("ORN10_COM256", "/tmp/orn10-ctl-test", 1);
    EXPECT_EQ(PortDevice("COM256"), "/tmp/orn10-ctl-test");
    unsetenv("ORN10_COM256");
    EXPECT_EQ(PortDevice("COM257"), "COM257");
    EXPECT_EQ(PortDevice("com2"), "/dev/ttyS1");
    EXPECT_EQ(PortDevice("/dev/serial/by-id/usb-x"), "/dev/serial/by-id/usb-x");
    TOptions s;
    ASSERT_TRUE(ParseArgs({"scan", "5", "-m", "x-20"}, s, e));
    EXPECT_EQ(s.scanFrom, 5);
    EXPECT_EQ(s.scanTo, 5);
    EXPECT_EQ(s.devType, dtX20);
    // A scan waits the request's wire time plus 40 ms by default: 1-247 in
    // seconds at 19200 bit/s.
    EXPECT_EQ(DefaultTimeoutMs(s), 44);
    // Over the network the allowance comes on top (the master adds it).
    TOptions n;
    ASSERT_TRUE(ParseArgs({"-p", "tcp://gw", "--net-timeout", "250", "read"}, n, e)) << e;
    EXPECT_EQ(n.line.netAllowanceMs, 250);
    EXPECT_EQ(PortDevice(n.line.port), "tcp://gw");
    EXPECT_FALSE(ParseArgs({"-p", "tcp://gw:99999", "read"}, n, e));
    EXPECT_NE(e.find("bad network address"), std::string::npos) << e;
    // The language of a run: LC_ALL over LC_MESSAGES over LANG; C and POSIX
    // English whatever LANGUAGE says; LANGUAGE's first of ru/en beside
    // another locale; --lang over all of it, the last one given.
    struct {
        const char *all, *messages, *lang, *language;
        TLanguage expected;
    } const locales[] = {
        {nullptr, nullptr, "ru_RU.UTF-8", nullptr, TLanguage::Russian},
        {"C", nullptr, "ru_RU.UTF-8", "ru", TLanguage::English},
        {"", "POSIX", "ru_RU.UTF-8", nullptr, TLanguage::English},
        {nullptr, "ru_RU.UTF-8", "en_US.UTF-8", nullptr, TLanguage::Russian},
        {nullptr, nullptr, "en_US.UTF-8", "de:ru:en", TLanguage::Russian},
        {nullptr, nullptr, "ru_RU.UTF-8", "en_GB:ru", TLanguage::English},
        {nullptr, nullptr, "de_DE.UTF-8", "fr", TLanguage::English},
        {nullptr, nullptr, nullptr, nullptr, TLanguage::English},
    };
    for (const auto& l : locales)
        EXPECT_EQ(LanguageOf(l.all, l.messages, l.lang, l.language), l.expected)
            << (l.lang ? l.lang : "-") << " / " << (l.language ? l.language : "-");
    EXPECT_EQ(LanguageOption({"-a", "1", "--lang", "ru", "read"}), TLanguage::Russian);
    EXPECT_EQ(LanguageOption({"--lang=ru", "--lang", "en"}), TLanguage::English);
    EXPECT_EQ(LanguageOption({"read"}), std::nullopt);
}

TEST_F(Ctl, PortsListsWhatTheWindowOffers) {
    // A port a variable names comes first as COM<n>, with -p COM<n>.
    setenv("ORN10_COM7", server.devicePath().c_str(), 1);
    const Result human = Run({"ports"});
    const Result json = Run({"--json", "ports"});
    unsetenv("ORN10_COM7");
    EXPECT_EQ(human.status, exOk);
    const std::string first = human.out.substr(0, human.out.find('\n'));   // columns as wide as the widest
    EXPECT_TRUE(first.rfind("COM7  ", 0) == 0 && first.size() > 10 && first.substr(first.size() - 6) == "  COM7")
        << human.out;
    EXPECT_EQ(json.out.rfind("{\"ports\":[{\"port\":\"COM7\",\"name\":\"COM7\",\"description\":\"COM7\"}", 0), 0u)
        << json.out;
}

TEST_F(Ctl, ReadShowsTheWindowsTable) {
    const Result r = Run({"--lang", "ru", "read"}, ",");
    ASSERT_EQ(r.status, exOk) << r.err;
    EXPECT_NE(r.out.find("№1 ОРН10-X-X1 MB4: Ok\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Сер. номер              " + std::to_string(SimReg(1, 6) * 65536 + SimReg(1, 5)) + "\n"),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Порог №2, %об           50,00\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Статус                  0000\n"), std::string::npos) << r.out;
    const Result en = Run({"read"}, ",");
    EXPECT_NE(en.out.find("#1 ORN10-X-X1 MB4: Ok\nSerial no.             "), std::string::npos) << en.out;
    EXPECT_NE(en.out.find("Threshold 2, %vol      50,00\n"), std::string::npos) << en.out;

    const Result j = Run({"-a", "5", "-m", "X-22", "--json", "read"}, ",");
    ASSERT_EQ(j.status, exOk) << j.err;
    EXPECT_NE(j.out.find("\"registers\":{\"first\":1,\"values\":[" + std::to_string(SimReg(5, 1)) + "," +
                         std::to_string(SimReg(5, 2)) + ","),
              std::string::npos) << j.out;

    // An echoing adapter and a slow instrument: the echo is not the start of
    // the answer, which still has the whole timeout to begin.
    server.withLine([](SimLine& l) {
        LineConfig c = l.config();
        c.echo = true;
        c.turnaroundMs = 80;
        l.setConfig(c);
    });
    const Result e = Run({"-v", "read"});
    EXPECT_EQ(e.status, exOk) << e.err;
}

// The JSON of a reading: the same keys in every language, the label and the
// unit in the language of the run, the value a number in that unit, or
// null, with the register's value beside it where the window shows
// hexadecimal (and for the X-22's date and time).
TEST_F(Ctl, JsonOfAReadingInBothLanguages) {
    server.withLine([](SimLine& l) { l.at(9).setReg(2, 0xBBBB); });
    const struct {
        int address;
        const char* model;
        const char* key;
        const char* english[2];   // label, unit
        const char* russian[2];
        const char* value;        // what follows "value": (nullptr: any number)
    } rows[] = {
        {1, "MB4", "serial", {"Serial no.", ""}, {"Сер. номер", ""}, "2630001,"},
        {1, "MB4", "gas", {"Gas", "%vol"}, {"Газ", "%об"}, "1.50,\"text\":\"1.50\""},
        {1, "MB4", "temperature", {"t", "°C"}, {"t", "С"}, "21.50,"},
        {1, "MB4", "status", {"Status", ""}, {"Статус", ""}, "null,\"register\":0,\"text\":\"0000\""},
        {1, "MB4", "range", {"Range", "%vol"}, {"Диапазон измер.", "%об"}, "100.00,"},
        {1, "MB4", "threshold1", {"Threshold 1", "%vol"}, {"Порог №1", "%об"}, "20.00,"},
        {1, "MB4", "threshold2", {"Threshold 2", "%vol"}, {"Порог №2", "%об"}, "50.00,"},
        {1, "MB4", "magnet", {"Magnet cal. gas", "%vol"}, {"Газ магн. град-ки", "%об"}, "50.00,"},
        {1, "MB4", "current", {"Current", "mA"}, {"Ток", "мА"}, "4.24,"},
        {1, "MB4", "working_time", {"Operating time", "s"}, {"Время работы", "с"}, nullptr},
        {1, "MB4", "software_version", {"Firmware version", ""}, {"Версия ПО", ""}, "1.04,"},
        {5, "X-22", "poll_interval", {"Poll interval", "s"}, {"Интервал опросов", "с"}, "60,"},
        {5, "X-22", "date", {"Date", ""}, {"Дата", ""}, "null,\"text\":"},
        {5, "X-22", "clock", {"Time", ""}, {"Время", ""}, "null,\"text\":"},
        {9, "MB1", "gas", {"Gas", "%vol"}, {"Газ", "%об"}, "null,\"register\":48059,\"text\":\"BBBB\""},
    };
    for (const char* language : {"en", "ru"}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(language) + " " + row.key);
            const Result r = Run({"--lang", language, "-a", std::to_string(row.address), "-m", row.model, "--json",
                                  "read"}, ",");
            ASSERT_EQ(r.status, exOk) << r.err;
            EXPECT_NE(r.out.find(std::string("\"model\":\"") + row.model + "\""), std::string::npos) << r.out;
            const char* const* shown = std::string(language) == "en" ? row.english : row.russian;
            const std::string field = std::string("\"") + row.key + "\":{\"label\":\"" + shown[0] +
                                      "\",\"unit\":\"" + shown[1] + "\",\"value\":";
            const size_t at = r.out.find(field);
            ASSERT_NE(at, std::string::npos) << r.out;
            if (row.value) EXPECT_EQ(r.out.compare(at + field.size(), std::strlen(row.value), row.value), 0) << r.out;
            else EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(r.out[at + field.size()]))) << r.out;
        }
    }
}

TEST_F(Ctl, WritesAndCommandsAreReadBack) {
    Result r = Run({"write", "threshold1", "12,5"}, ",");
    ASSERT_EQ(r.status, exOk) << r.err;
    EXPECT_NE(r.out.find("Threshold 1, %vol  12,50"), std::string::npos) << r.out;
    EXPECT_EQ(SimReg(1, 8), 1250);
    r = Run({"--csv", "read"});
    EXPECT_NE(r.out.find(",12.50,50.00,"), std::string::npos) << r.out;

    r = Run({"fix", "20"});
    ASSERT_EQ(r.status, exOk) << r.err;
    server.withLine([](SimLine& l) { EXPECT_TRUE(l.at(1).currentFixed()); });
    EXPECT_EQ(SimReg(1, 10), 2000);   // 20,00 mA
    EXPECT_EQ(Run({"release"}).status, exOk);
    server.withLine([](SimLine& l) { EXPECT_FALSE(l.at(1).currentFixed()); });
    r = Run({"--json", "release"});
    EXPECT_NE(r.out.find("\"writes\":[],\"note\":\"the current output is not fixed"), std::string::npos) << r.out;

    r = Run({"--lang", "ru", "-a", "9", "-m", "MB1", "service"});
    EXPECT_EQ(r.status, exOk) << r.err;
    EXPECT_NE(r.out.find("№9: Переключен на служебный протокол"), std::string::npos) << r.out;
    server.withLine([](SimLine& l) { EXPECT_TRUE(l.at(9).serviceMode()); });
}

TEST_F(Ctl, ScanFindsExactlyTheInstrumentsAndTheirModels) {
    // Timeouts with room for a loaded machine: the simulator answers in about 10 ms.
    Result r = Run({"--json", "-t", "100", "scan", "1-10"});
    ASSERT_EQ(r.status, exOk) << r.err;
    EXPECT_NE(r.out.find("\"found\":[{\"address\":1,\"model\":\"MB4\",\"model_name\":\"ORN10-X-X1 MB4\","
                         "\"registers\":13},{\"address\":5,\"model\":\"X-22\",\"model_name\":\"ORN10-X-22\","
                         "\"registers\":11},{\"address\":9,\"model\":\"MB1\",\"model_name\":\"ORN10-X-X1 MB1\","
                         "\"registers\":6}],\"errors\":[]"),
              std::string::npos) << r.out;
    r = Run({"-t", "30", "scan", "2-4"});
    EXPECT_EQ(r.status, exNoAnswer);
    EXPECT_NE(r.out.find("Instruments found: 0"), std::string::npos) << r.out;
    EXPECT_NE(Run({"--lang", "ru", "-t", "30", "scan", "2-4"}).out.find("Найдено приборов: 0"), std::string::npos);
    // One set up at another speed is found by the sweep, at that speed.
    server.withLine([](SimLine& l) { l.setOwnSettings(9, 9600, ptEVEN); });
    r = Run({"-t", "100", "--csv", "scan", "1-10", "--sweep=19200,9600,even"});
    ASSERT_EQ(r.status, exOk) << r.err;
    EXPECT_EQ(r.out, "address,model,registers,outcome,speed,parity\n1,MB4,13,Ok,19200,E\n"
                     "5,X-22,11,Ok,19200,E\n9,MB1,6,Ok,9600,E\n");
}

TEST_F(Ctl, WatchReadsSeveralInstrumentsOneLineEach) {
    const Result r = Run({"--csv", "-a", "1,5:X-22", "watch", "-i", "0", "-n", "2"}, ",");
    EXPECT_EQ(r.status, exOk) << r.err;
    std::vector<std::string> lines;
    for (size_t at = 0, nl; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1)
        lines.push_back(r.out.substr(at, nl - at));
    ASSERT_EQ(lines.size(), 5u) << r.out;
    // The readings of both models, each under its key; the X-22's date
    // after the MB4's version.
    EXPECT_EQ(lines[0], "time,address,model,outcome,ms,serial,gas,temperature,status,range,threshold1,threshold2,"
                        "magnet,current,working_time,software_version,poll_interval,date,clock");
    for (size_t k = 1; k < lines.size(); ++k) {
        EXPECT_NE(lines[k].find(k % 2 ? ",1,MB4,Ok," : ",5,X-22,Ok,"), std::string::npos) << lines[k];
        EXPECT_NE(lines[k].find(k % 2 ? ",2630001," : ",2650005,"), std::string::npos) << lines[k];
    }
}

TEST_F(Ctl, WatchSurvivesASilentInstrumentAndRecovers) {
    server.withLine([](SimLine& l) {
        l.at(1).faults().silent = true;
        l.at(1).faults().count = 2;   // the next two requests go unheard
    });
    const Result r = Run({"--csv", "-t", "200", "watch", "-i", "0", "-n", "5"});
    // The status is that of the last failed read.
    EXPECT_EQ(r.status, exNoAnswer) << r.err;
    std::vector<std::string> lines;
    for (size_t at = 0, nl; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1)
        lines.push_back(r.out.substr(at, nl - at));
    ASSERT_EQ(lines.size(), 6u) << r.out;
    EXPECT_EQ(lines[0], "time,address,model,outcome,ms,serial,gas,temperature,status,range,threshold1,threshold2,"
                        "magnet,current,working_time,software_version");
    for (size_t k = 1; k < lines.size(); ++k)
        EXPECT_NE(lines[k].find(k <= 2 ? ",1,MB4,No response," : ",1,MB4,Ok,"), std::string::npos) << lines[k];
}

// The program itself, its output on a full disk or into a pipe whose reader
// takes a line and goes (bash: pipefail gives the status of orn10ctl).
TEST_F(Ctl, OutputThatCannotBeWrittenFailsAndAReaderThatStopsEndsQuietly) {
    const std::string tool = "timeout 20 " ORN10CTL_PATH " -p " + server.devicePath() + " ";
    const std::string errFile = ::testing::TempDir() + "orn10ctl-stderr";
    const char* const full = "orn10ctl: cannot write the output: No space left on device\n";
    const struct {
        const char* command;
        int status;
        const char* says;   // on standard error
    } cases[] = {
        {"--help > /dev/full", exOutput, full},
        {"read > /dev/full", exOutput, full},
        {"--json read > /dev/full", exOutput, full},
        {"-t 100 scan 1-3 > /dev/full", exOutput, full},
        {"write threshold1 12 > /dev/full", exOutput, full},
        {"history 1 > /dev/full", exOutput, full},
        {"--csv watch -i 0 > /dev/full", exOutput, full},   // ends by itself
        {"--csv watch -i 0 | head -1 > /dev/null", exOk, ""},
        {"--help | head -1 > /dev/null", exOk, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const int status = std::system(("bash -o pipefail -c '" + tool + c.command + "' 2> " + errFile).c_str());
        std::ifstream in(errFile);
        const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(WEXITSTATUS(status), c.status) << said;
        EXPECT_EQ(said, c.says);
    }
}

// A port that cannot be opened from the second open on, until 1.5 s have
// passed since the first refusal: an adapter pulled and plugged in again.
class VanishingPort : public PosixSerialBackend {
public:
    int refused = 0;
    std::unique_ptr<SerialDevice> openPath(const std::string& path) override {
        using namespace std::chrono;
        if (++opens_ > 1 && (refused == 0 || steady_clock::now() - since_ < milliseconds(1500))) {
            if (refused++ == 0) since_ = steady_clock::now();
            return nullptr;
        }
        return PosixSerialBackend::openPath(path);
    }
    int lastOpenError() const override { return ENOENT; }

private:
    int opens_ = 0;
    std::chrono::steady_clock::time_point since_;
};

TEST_F(Ctl, AWatchWaitsForAVanishedPortAndSaysSoOnce) {
    server.withLine([](SimLine& l) {
        l.at(1).faults().silent = true;
        l.at(1).faults().count = 1;   // the second read goes unheard: the port is closed and opened again
    });
    VanishingPort port;
    const Result r = Run({"--csv", "-t", "300", "watch", "-i", "0", "-n", "40"}, ".", &port);
    EXPECT_NE(r.status, exOk) << r.err;
    // Tried again every 500 ms, not as fast as it can: a few tries in 1.5 s.
    EXPECT_GE(port.refused, 2);
    EXPECT_LE(port.refused, 8);
    auto count = [](const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    };
    // One line per try, the outage's first only: the header and 40 - refused + 1.
    EXPECT_EQ(count(r.out, "\n"), 42 - port.refused) << r.out;
    EXPECT_EQ(count(r.out, "Error 11"), 1) << r.out;
    EXPECT_EQ(count(r.err, "port gone: " + server.devicePath() + ": No such file or directory"), 1) << r.err;
    EXPECT_EQ(count(r.err, "port back"), 1) << r.err;
}

TEST(CtlScheduler, AWatchWakesAtOnceAndADeadDescriptorIsToldOnce) {
    RealtimeScheduler clock;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::vector<short> seen;
    auto watch = clock.watchReadable(fds[0], [&](short revents) {
        seen.push_back(revents);
        char buf[8];
        (void)!::read(fds[0], buf, sizeof buf);
    });
    auto timer = clock.createTimer([] {});
    timer->setInterval(5000);
    timer->setEnabled(true);
    std::thread writer([&] { (void)!::write(fds[1], "x", 1); });
    const auto start = RealtimeScheduler::Clock::now();
    EXPECT_TRUE(clock.runUntil([&] { return !seen.empty(); }, 3000));
    EXPECT_LT(RealtimeScheduler::Clock::now() - start, std::chrono::milliseconds(1000));
    writer.join();
    ::close(fds[1]);   // hung up: told once, then the watch stops
    timer->setEnabled(false);
    while (clock.processPendingEvents()) {}
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[1] & WatchHungUp);
    EXPECT_FALSE(watch->enabled());
    ::close(fds[0]);
}

} // namespace
