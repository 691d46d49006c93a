// The simulated instruments on a virtual clock, with the real master.
#include "instruments.h"
#include "line_scan.h"
#include "modbusm.h"
#include "sim_backend.h"

#include <gtest/gtest.h>

#include <cmath>

#include <set>
#include <string>
#include <vector>

using namespace orn;
using namespace orn::sim;

namespace {

struct Outcome {
    int code = -1;   // 0: good answer, else the master's error code
    std::vector<uint16_t> regs;
    int64_t endMs = 0;
};

class SimMaster : public ::testing::Test {
protected:
    VirtualScheduler clock;
    SimLine line;
    SimBackend backend{clock};
    SimPort& com1 = backend.attach(1, line);
    TModbusM mb{clock, backend};
    Outcome last;
    bool done = false;

    void SetUp() override {
        mb.SetComPort(pnCOM1);
        mb.SetComPortBaudRate(br19200);
        mb.SetComPortParity(ptEVEN);
        mb.SetFTimeout(500);
        // As the window does: the port is closed as soon as a transaction ends.
        mb.OnResponseReady = [this](TModbusM*) { finish(0); };
        mb.OnError = [this](TModbusM*, const std::string&) {
            if (mb.ErrorCode() != mbMoreTime) finish(mb.ErrorCode());
        };
    }
    void finish(int code) {
        last.code = code;
        last.regs.clear();
        if (code == 0)
            for (size_t i = 0; i + 1 < mb.ResponseData().size(); i += 2)
                last.regs.push_back(uint16_t(mb.ResponseData()[i] << 8 | mb.ResponseData()[i + 1]));
        last.endMs = clock.nowUs() / 1000;
        done = true;
        mb.Disconnect();
    }
    Outcome transact(uint8_t slave, uint8_t function, uint16_t offset, uint16_t quantityOrValue) {
        mb.SlaveId = slave;
        mb.FunctionCode = function;
        mb.Offset = offset;
        mb.RegisterDim = 2;
        if (function == 6)
            mb.RequestData = {uint8_t(quantityOrValue >> 8), uint8_t(quantityOrValue)};
        else
            mb.Quantity = quantityOrValue;
        done = false;
        last = Outcome{};
        EXPECT_TRUE(mb.Connect());
        mb.Query();
        EXPECT_TRUE(clock.runUntil([this] { return done; }, 5000));
        return last;
    }
    Outcome read(uint8_t slave, uint16_t first, uint16_t count) { return transact(slave, 3, first, count); }
    Outcome write(uint8_t slave, uint16_t reg, uint16_t value) { return transact(slave, 6, reg, value); }
    // A raw frame straight onto the line, bypassing the master.
    std::vector<uint8_t> rawExchange(std::vector<uint8_t> frame, bool withCrc = true, int waitMs = 200) {
        if (withCrc) {
            frame.resize(frame.size() + 2);
            SetFrameCRC(frame);
        }
        auto dev = backend.open(1);
        EXPECT_TRUE(dev);
        if (!dev) return {};
        dev->write(frame.data(), frame.size());
        clock.advance(waitMs);
        uint8_t buf[300];
        const long n = dev->read(buf, sizeof buf);
        return std::vector<uint8_t>(buf, buf + (n > 0 ? n : 0));
    }
};

TEST_F(SimMaster, EveryModelReadsExactlyItsRegisters) {
    const struct { Model model; uint8_t address; int count; } models[] = {
        {Model::MB1, 1, 6}, {Model::MB2, 2, 9}, {Model::MB3, 3, 12},
        {Model::MB4, 4, 13}, {Model::X20, 5, 7}, {Model::X22, 6, 11}};
    for (const auto& m : models) line.add(m.model, m.address);
    line.freezeDrift();
    for (const auto& m : models) {
        SCOPED_TRACE(ModelName(m.model));
        Instrument& inst = line.at(m.address);
        const Outcome all = read(m.address, 1, uint16_t(m.count));
        ASSERT_EQ(all.code, 0);
        ASSERT_EQ(all.regs.size(), size_t(m.count));
        for (int r = 1; r <= m.count; ++r) EXPECT_EQ(all.regs[size_t(r - 1)], inst.reg(r)) << "register " << r;
        // The serial number, low word first, whichever model.
        const int lo = IsMbModel(m.model) ? 5 : 1;
        EXPECT_EQ(uint32_t(all.regs[size_t(lo)]) << 16 | all.regs[size_t(lo - 1)], inst.serialNumber());
        EXPECT_EQ(read(m.address, 1, uint16_t(m.count + 1)).code, mbIllegalAddress);
        EXPECT_EQ(read(m.address, 0, 1).code, mbIllegalAddress);
        EXPECT_EQ(read(m.address, uint16_t(m.count), 1).code, 0);
        EXPECT_EQ(read(m.address, 1, 0).code, mbIllegalValue);
    }
    EXPECT_EQ(line.at(4).reg(4), 10000);   // MB4 measuring range 100,00
    EXPECT_EQ(line.at(5).reg(7), 220);     // X-20 software version 2,20
    EXPECT_EQ(line.at(6).reg(8), 60);      // X-22 polling interval
}

TEST_F(SimMaster, CalibrationCommandsOnTheGasRegister) {
    line.freezeDrift();   // also for the instruments added from now on
    for (auto [model, address, gasReg] : {std::tuple{Model::MB4, 1, 2}, std::tuple{Model::X22, 5, 5}}) {
        SCOPED_TRACE(ModelName(model));
        Instrument& inst = line.add(model, uint8_t(address));
        EXPECT_EQ(inst.gasRegister(), gasReg);
        const uint16_t factory = inst.reg(gasReg);
        ASSERT_GT(factory, 0);

        EXPECT_EQ(write(uint8_t(address), uint16_t(gasReg), 2500).regs, std::vector<uint16_t>{2500});
        EXPECT_EQ(read(uint8_t(address), uint16_t(gasReg), 1).regs, std::vector<uint16_t>{2500});

        EXPECT_EQ(write(uint8_t(address), uint16_t(gasReg), 0xBBBB).regs, std::vector<uint16_t>{0xBBBB});
        EXPECT_EQ(read(uint8_t(address), uint16_t(gasReg), 1).regs, std::vector<uint16_t>{0});

        // Calibrating at a value after the zero moves the reading there too.
        EXPECT_EQ(write(uint8_t(address), uint16_t(gasReg), 300).code, 0);
        EXPECT_EQ(inst.reg(gasReg), 300);

        EXPECT_EQ(write(uint8_t(address), uint16_t(gasReg), 0xFFFF).regs, std::vector<uint16_t>{0xFFFF});
        EXPECT_EQ(read(uint8_t(address), uint16_t(gasReg), 1).regs, std::vector<uint16_t>{factory});
    }
}

TEST_F(SimMaster, ThresholdsAndMagnetGasAreStored) {
    Instrument& mb = line.add(Model::MB2, 1);
    Instrument& x20 = line.add(Model::X20, 2);
    Instrument& x22 = line.add(Model::X22, 3);
    EXPECT_EQ(write(1, 8, 1250).regs, std::vector<uint16_t>{1250});
    EXPECT_EQ(write(1, 9, 4000).code, 0);
    EXPECT_EQ(write(1, 7, 3300).code, 0);
    EXPECT_EQ(read(1, 7, 3).regs, (std::vector<uint16_t>{3300, 1250, 4000}));
    EXPECT_EQ(write(2, 6, 1500).code, 0);
    EXPECT_EQ(write(3, 6, 1000).code, 0);
    EXPECT_EQ(write(3, 7, 2000).code, 0);
    EXPECT_EQ(x20.reg(6), 1500);
    EXPECT_EQ(x22.reg(6), 1000);
    EXPECT_EQ(x22.reg(7), 2000);
    EXPECT_EQ(mb.reg(8), 1250);
}

TEST_F(SimMaster, WritesOutsideTheWritableRegistersGetException2) {
    Instrument& mb1 = line.add(Model::MB1, 1);
    line.add(Model::MB4, 2);
    line.add(Model::X20, 3);
    line.add(Model::X22, 4);
    const struct { uint8_t address; uint16_t reg; } refused[] = {
        {1, 8},    // MB1 has no thresholds
        {1, 1},    // nor a current output to fix
        {2, 0}, {2, 3}, {2, 4}, {2, 5}, {2, 6}, {2, 11}, {2, 12}, {2, 13}, {2, 14},   // read-only or missing
        {3, 1}, {3, 3}, {3, 7}, {3, 8},   // serial, status, version, missing
        {4, 8}, {4, 9}, {4, 11}, {4, 12}, // interval and clock read-only, 12 missing
    };
    for (const auto& r : refused)
        EXPECT_EQ(write(r.address, r.reg, 1).code, mbIllegalAddress) << int(r.address) << ":" << r.reg;
    const uint32_t serial = mb1.serialNumber();
    EXPECT_EQ(write(1, 5, 7).code, mbIllegalAddress);
    EXPECT_EQ(mb1.serialNumber(), serial);
    // Register 99 takes only its code; other functions are not served.
    EXPECT_EQ(write(2, 99, 0x1234).code, mbIllegalValue);
    EXPECT_FALSE(line.at(2).serviceMode());
    EXPECT_EQ(transact(2, 4, 1, 1).code, mbIllegalFunction);
    mb.RequestData = {0, 1, 0, 2};
    EXPECT_EQ(transact(2, 16, 8, 2).code, mbIllegalFunction);
}

TEST_F(SimMaster, CurrentOutputIsFixedDrivenAndReleased) {
    Instrument& inst = line.add(Model::MB4, 1);
    inst.freezeDrift();
    inst.setReg(1, 0x0003);   // the instrument's own status bits
    inst.setReg(2, 2500);     // 25,00 % of a 100,00 % range: 8 mA
    EXPECT_EQ(read(1, 10, 1).regs, std::vector<uint16_t>{800});

    // Fixing: only bit 10 of the written status counts.
    EXPECT_EQ(write(1, 1, 0x0400).regs, std::vector<uint16_t>{0x0400});
    EXPECT_TRUE(inst.currentFixed());
    EXPECT_EQ(read(1, 1, 1).regs, std::vector<uint16_t>{0x0403});
    EXPECT_EQ(inst.reg(10), 800);   // holds where it was

    // While fixed, register 2 drives the output and calibrates nothing.
    EXPECT_EQ(write(1, 2, 0).regs, std::vector<uint16_t>{0});
    EXPECT_EQ(read(1, 10, 1).regs, std::vector<uint16_t>{400});
    EXPECT_EQ(write(1, 2, 10000).code, 0);
    EXPECT_EQ(inst.reg(10), 2000);
    EXPECT_EQ(write(1, 2, 5000).code, 0);
    EXPECT_EQ(inst.reg(10), 1200);
    EXPECT_EQ(write(1, 2, 0xBBBB).code, 0);
    EXPECT_EQ(inst.reg(10), 2000);
    EXPECT_EQ(inst.reg(2), 2500);

    // Released: the output follows the gas again, the own bits stay.
    EXPECT_EQ(write(1, 1, 0x0003).code, 0);
    EXPECT_FALSE(inst.currentFixed());
    EXPECT_EQ(read(1, 1, 10).regs[9], 800);
    EXPECT_EQ(inst.reg(1), 0x0003);
    EXPECT_EQ(write(1, 2, 5000).code, 0);   // now a calibration
    EXPECT_EQ(inst.reg(10), 1200);
}

TEST_F(SimMaster, ServiceProtocolSilencesModbusUntilRestart) {
    Instrument& inst = line.add(Model::X20, 3);
    EXPECT_EQ(write(3, 99, 0x6D2E).regs, std::vector<uint16_t>{0x6D2E});
    EXPECT_TRUE(inst.serviceMode());
    EXPECT_EQ(read(3, 1, 7).code, mbTimeout);
    EXPECT_EQ(write(3, 99, 0x6D2E).code, mbTimeout);
    inst.restart();
    EXPECT_EQ(read(3, 1, 7).code, 0);
}

TEST_F(SimMaster, SlowLineAnswerArrivesInPiecesAndIsStillGood) {
    line.setConfig({1200, ptEVEN, 5});
    line.add(Model::MB4, 1);
    mb.SetComPortBaudRate(br1200);
    mb.SlaveId = 1;
    mb.FunctionCode = 3;
    mb.Offset = 1;
    mb.Quantity = 13;
    done = false;
    ASSERT_TRUE(mb.Connect());
    mb.Query();
    std::set<size_t> partial;
    while (!done && clock.nowUs() < 1000000) {
        clock.advance(100);
        if (!done) partial.insert(mb.RxBuffer().size());
    }
    ASSERT_EQ(last.code, 0);
    EXPECT_EQ(last.regs.size(), 13u);
    partial.erase(0);
    // 31 bytes at 9,17 ms each after 73 ms of request: three polls see pieces.
    EXPECT_GE(partial.size(), 3u);
    for (size_t n : partial) EXPECT_LT(n, 31u);
    EXPECT_EQ(com1.requests().size(), 1u);
    EXPECT_EQ(com1.requests()[0].atUs, 0);
    EXPECT_EQ(HexText(com1.requests()[0].bytes), "01 03 00 01 00 0D D5 CF");
}

TEST_F(SimMaster, TwoInstrumentsShareTheLine) {
    Instrument& a = line.add(Model::MB4, 1);
    Instrument& b = line.add(Model::X22, 5);
    const Outcome ra = read(1, 1, 13);
    const Outcome rb = read(5, 1, 11);
    ASSERT_EQ(ra.code, 0);
    ASSERT_EQ(rb.code, 0);
    EXPECT_NE(a.serialNumber(), b.serialNumber());
    EXPECT_EQ(write(5, 6, 777).code, 0);
    EXPECT_EQ(b.reg(6), 777);
    EXPECT_EQ(a.reg(8), 2000);
    EXPECT_EQ(line.stats().answers, 3);
}

TEST_F(SimMaster, ForeignAddressBroadcastAndBadCrcGetNoAnswer) {
    line.add(Model::MB4, 1);
    EXPECT_EQ(read(7, 1, 1).code, mbTimeout);
    EXPECT_EQ(line.stats().foreign, 1);
    EXPECT_EQ(write(0, 8, 100).code, mbTimeout);
    EXPECT_EQ(line.stats().broadcasts, 1);
    EXPECT_EQ(line.at(1).reg(8), 2000);

    std::vector<uint8_t> bad{1, 3, 0, 1, 0, 1, 0x00, 0x00};
    EXPECT_TRUE(rawExchange(bad, false).empty());
    EXPECT_EQ(line.stats().badCrc, 1);
    EXPECT_EQ(read(1, 1, 1).code, 0);
}

TEST_F(SimMaster, NoiseCannotWedgeTheParser) {
    line.add(Model::MB4, 1);
    {
        // Junk that announces a long frame, then silence.
        auto dev = backend.open(1);
        const uint8_t junk[] = {0x01, 0x10, 0x00};
        dev->write(junk, sizeof junk);
        clock.advance(20);
    }
    EXPECT_EQ(read(1, 1, 2).code, 0);
    EXPECT_EQ(line.stats().broken, 1);

    // A flood is not held beyond what the line can take.
    {
        auto dev = backend.open(1);
        const std::vector<uint8_t> flood(100000, 0x55);
        dev->write(flood.data(), flood.size());
    }
    EXPECT_EQ(line.stats().overrun, 100000 - int(MaxInputBacklog));
    clock.advance(3000);
    EXPECT_EQ(read(1, 1, 2).code, 0);

    // A function whose length only silence tells is answered after it.
    EXPECT_EQ(HexText(rawExchange({1, 0x08, 0, 0, 0x12, 0x34})), HexText([] {
                  std::vector<uint8_t> e{1, 0x88, 1, 0, 0};
                  SetFrameCRC(e);
                  return e;
              }()));
}

TEST_F(SimMaster, EchoingAdapterWritesAreNeverFalselyOk) {
    TModbusM::ForgetEchoes();
    Instrument& inst = line.add(Model::MB4, 1);
    LineConfig echoing = line.config();
    echoing.echo = true;
    line.setConfig(echoing);
    EXPECT_EQ(read(1, 1, 1).code, 0);
    EXPECT_TRUE(mb.PortEchoes()) << "learnt from the read";
    inst.faults().silent = true;
    EXPECT_EQ(write(1, 8, 111).code, mbTimeout) << "the echo of the write is not its answer";
    inst.clearFaults();
    EXPECT_EQ(write(1, 8, 222).code, 0);
    EXPECT_EQ(inst.reg(8), 222);
    // Another adapter on the same port: the first read forgets the echo.
    line.setConfig(LineConfig{});
    EXPECT_EQ(read(1, 1, 1).code, 0);
    EXPECT_FALSE(mb.PortEchoes());
    EXPECT_EQ(write(1, 8, 333).code, 0);
}

TEST_F(SimMaster, MasterAtAnotherSpeedOrParityIsNotHeard) {
    line.add(Model::MB4, 1);
    mb.SetComPortBaudRate(br9600);
    EXPECT_EQ(read(1, 1, 1).code, mbTimeout);
    mb.SetComPortBaudRate(br19200);
    mb.SetComPortParity(ptNONE);
    EXPECT_EQ(read(1, 1, 1).code, mbTimeout);
    EXPECT_EQ(line.stats().garbled, 2);
    EXPECT_EQ(com1.lastSettings().parity, ptNONE);
    mb.SetComPortParity(ptEVEN);
    EXPECT_EQ(read(1, 1, 1).code, 0);
}

// The line's search driven by the master's outcomes, as the window and
// orn10ctl drive it: every model told by the last register it answers, a
// slow instrument found only with the time it needs, one set up at other
// settings found by the sweep at those settings, a port that fails ending
// the search.
TEST_F(SimMaster, LineScanFindsEveryModelTheSlowOneAndTheOneAtOtherSettings) {
    const Model models[] = {Model::MB1, Model::MB2, Model::MB3, Model::MB4, Model::X20, Model::X22};
    for (int d = 0; d < 6; ++d) line.add(models[d], uint8_t(2 + 2 * d));
    line.add(Model::MB4, 20).faults().turnaroundMs = 150;
    line.add(Model::X22, 30);
    line.setOwnSettings(30, 2400, ptODD);
    bool pull = false;   // the adapter is pulled after address 25
    auto run = [&](TScanPlan plan) {
        TLineScan scan(plan);
        while (const auto p = scan.Next()) {
            const auto rate = std::find(std::begin(BaudRates), std::end(BaudRates), p->Setting.Speed);
            mb.SetComPortBaudRate(TComPortBaudRate(rate - std::begin(BaudRates)));
            mb.SetComPortParity(p->Setting.Parity);
            mb.SetFTimeout(uint16_t(p->TimeoutMs + WireMs(p->Setting, ReadAnswerBytes(1)) + 20));
            scan.Outcome(com1.vanished ? int(mbPortNotOpen) : read(p->Slave, p->Reg, 1).code);
            com1.vanished = pull && p->Slave >= 25;
        }
        std::vector<std::string> found;
        for (const TScanHit& h : scan.Hits())
            found.push_back(std::to_string(h.Address) + " " + ModelShortName(h.DevType) + " " + SettingText(h.Setting) +
                            (h.Code ? " code " + std::to_string(h.Code) : ""));
        return std::make_pair(found, scan.PortFailed());
    };
    TScanPlan plan;
    plan.To = 31;
    using V = std::vector<std::string>;
    const V atDefaults = {"2 MB1 19200 8E1", "4 MB2 19200 8E1", "6 MB3 19200 8E1",
                          "8 MB4 19200 8E1", "10 X-20 19200 8E1", "12 X-22 19200 8E1"};
    EXPECT_EQ(run(plan).first, atDefaults);
    plan.TimeoutMs = 200;
    V slow = atDefaults;
    slow.push_back("20 MB4 19200 8E1");
    EXPECT_EQ(run(plan).first, slow);
    // The usual settings first; an address found is not asked again.
    plan.Settings = SweepOrder({{2400, ptODD}, {19200, ptEVEN}, {2400, ptEVEN}});
    EXPECT_EQ(plan.Settings.front(), (TLineSetting{19200, ptEVEN}));
    V swept = slow;
    swept.push_back("30 X-22 2400 8O1");
    EXPECT_EQ(run(plan).first, swept);
    pull = true;
    const auto [pulled, failed] = run(plan);
    EXPECT_TRUE(failed);
    EXPECT_EQ(pulled, slow);
}

TEST_F(SimMaster, FaultsOnDemand) {
    Instrument& inst = line.add(Model::MB4, 1);
    Faults& f = inst.faults();

    f.silent = true;
    EXPECT_EQ(write(1, 8, 111).code, mbTimeout);
    EXPECT_EQ(inst.reg(8), 2000);   // unheard, not carried out
    inst.clearFaults();

    f.badCrc = true;
    EXPECT_EQ(write(1, 8, 222).code, mbCommError);
    EXPECT_EQ(inst.reg(8), 222);    // carried out, answer damaged
    inst.clearFaults();

    f.exception = 6;
    EXPECT_EQ(read(1, 1, 1).code, mbSlaveBusy);
    inst.clearFaults();

    // Junk, chosen stray bytes and another slave's frame before the answer:
    // the master drops them and finds the answer.
    f.noiseBytes = 2;
    f.stray = {0x00, 0xFF};
    f.foreign = 7;
    std::string kinds;
    mb.OnLine = [&](const LineEvent& e) { kinds += "SREKFLO"[int(e.kind)]; };
    EXPECT_EQ(read(1, 1, 13).code, 0);
    EXPECT_NE(kinds.find('F'), std::string::npos);
    EXPECT_NE(kinds.find('K'), std::string::npos);
    mb.OnLine = nullptr;
    inst.clearFaults();

    // A pause inside the answer: still whole before the 500 ms timeout...
    f.splitGapMs = 250;
    Outcome r = read(1, 1, 13);
    EXPECT_EQ(r.code, 0);
    EXPECT_GE(r.endMs, 250);
    // ...or cut by it.
    f.splitGapMs = 600;
    EXPECT_EQ(read(1, 1, 13).code, mbCommError);
    inst.clearFaults();
    clock.advance(1000);   // the rest of that answer passes

    f.turnaroundMs = 300;
    const int64_t start = clock.nowUs() / 1000;
    r = read(1, 1, 1);
    EXPECT_EQ(r.code, 0);
    EXPECT_GE(r.endMs - start, 300);
    f.turnaroundMs = 700;
    EXPECT_EQ(read(1, 1, 1).code, mbTimeout);
    inst.clearFaults();
    clock.advance(1000);

    // A fault for one request only.
    f.silent = true;
    f.count = 1;
    EXPECT_EQ(read(1, 1, 1).code, mbTimeout);
    EXPECT_EQ(read(1, 1, 1).code, 0);
    EXPECT_FALSE(inst.faults().any());
}

TEST_F(SimMaster, RandomFaultsAreSeededAndNeverWedgeTheMaster) {
    auto soak = [](uint32_t seed) {
        VirtualScheduler clock;
        SimLine line;
        line.add(Model::MB4, 1);
        RandomFaults rf;
        rf.drop = rf.corrupt = rf.split = rf.delay = rf.garble = 0.15;
        rf.splitGapMs = 200;
        rf.delayMs = 600;
        rf.seed = seed;
        line.setRandomFaults(rf);
        SimBackend backend(clock);
        backend.attach(1, line);
        TModbusM mb(clock, backend);
        mb.SetComPort(pnCOM1);
        mb.SetComPortBaudRate(br19200);
        mb.SetComPortParity(ptEVEN);
        mb.SetFTimeout(500);
        std::string codes;
        mb.OnResponseReady = [&](TModbusM* m) { codes += '0'; m->Disconnect(); };
        mb.OnError = [&](TModbusM* m, const std::string&) { codes += char('0' + m->ErrorCode()); m->Disconnect(); };
        for (int i = 0; i < 60; ++i) {
            mb.SlaveId = 1;
            mb.FunctionCode = 3;
            mb.Offset = 1;
            mb.Quantity = 13;
            EXPECT_TRUE(mb.Connect());
            mb.Query();
            EXPECT_TRUE(clock.runUntil([&] { return !mb.Busy(); }, 2000));
            clock.advance(1000);   // lets a late answer pass before the next request
        }
        return codes;
    };
    const std::string a = soak(7);
    EXPECT_EQ(a.size(), 60u);
    EXPECT_NE(a.find('0'), std::string::npos);
    EXPECT_NE(a.find_first_not_of('0'), std::string::npos);
    EXPECT_EQ(soak(7), a);
    EXPECT_NE(soak(8), a);
}

TEST_F(SimMaster, PortOpenRefusedExclusiveAndVanishing) {
    line.add(Model::MB4, 1);
    EXPECT_EQ(backend.open(2), nullptr);   // nothing attached at COM2
    auto first = backend.open(1);
    ASSERT_TRUE(first);
    EXPECT_TRUE(com1.isOpen());
    EXPECT_EQ(backend.open(1), nullptr);   // exclusive
    first.reset();
    EXPECT_FALSE(com1.isOpen());

    com1.refuseOpen = true;
    EXPECT_FALSE(mb.Connect());
    com1.refuseOpen = false;
    EXPECT_EQ(read(1, 1, 1).code, 0);
    EXPECT_EQ(com1.opens(), 2);
    EXPECT_EQ(com1.openAttempts(), 4);
    EXPECT_EQ(com1.lastSettings().baudRate, 19200u);
    EXPECT_EQ(com1.lastSettings().parity, ptEVEN);

    // Pulled while open: reads and writes fail, and it cannot be opened again.
    auto dev = backend.open(1);
    ASSERT_TRUE(dev);
    com1.vanished = true;
    uint8_t b[8] = {1, 3, 0, 1, 0, 1, 0xD5, 0xCA};
    EXPECT_EQ(dev->write(b, 8), -1);
    EXPECT_EQ(dev->read(b, 8), -1);
    dev.reset();
    EXPECT_FALSE(mb.Connect());
    com1.vanished = false;
    EXPECT_EQ(read(1, 1, 1).code, 0);
}

TEST_F(SimMaster, GasDriftsDeterministicallyUnlessFrozen) {
    auto readings = [](uint32_t seed, bool frozen) {
        VirtualScheduler clock;
        SimLine line({}, seed);
        SimBackend backend(clock);
        backend.attach(1, line);
        Instrument& inst = line.add(Model::MB4, 1);
        inst.freezeDrift(frozen);
        auto dev = backend.open(1);
        std::vector<uint16_t> out;
        for (int i = 0; i < 20; ++i) {
            uint8_t req[8] = {1, 3, 0, 2, 0, 1};
            std::vector<uint8_t> f(req, req + 8);
            SetFrameCRC(f);
            dev->write(f.data(), f.size());
            clock.advance(50);
            uint8_t ans[7];
            EXPECT_EQ(dev->read(ans, 7), 7);
            out.push_back(uint16_t(ans[3] << 8 | ans[4]));
        }
        return out;
    };
    const auto drifting = readings(3, false);
    EXPECT_GT(std::set<uint16_t>(drifting.begin(), drifting.end()).size(), 2u);
    for (uint16_t v : drifting) EXPECT_NEAR(v, 150, 8);
    EXPECT_EQ(readings(3, false), drifting);
    const auto frozen = readings(3, true);
    EXPECT_EQ(std::set<uint16_t>(frozen.begin(), frozen.end()), std::set<uint16_t>{150});
}

TEST_F(SimMaster, TestGasRisesAndFallsAndZeroAndSpanActOnTheReading) {
    Instrument& inst = line.add(Model::MB4, 1);
    line.freezeDrift();
    auto gas = [&] {
        const Outcome r = read(1, 2, 1);
        return r.code == 0 ? r.regs[0] : -1;
    };
    // From 1,50 in clean air towards 1,50 + 25,00: 63 % of the way after one
    // time constant, all but a trace after ten.
    inst.applyGas(25, 20, 0);
    clock.advance(20000);
    EXPECT_NEAR(gas(), 150 + 2500 * (1 - std::exp(-1.0)), 2);
    clock.advance(180000);
    EXPECT_EQ(gas(), 2650);
    // Span: the reading as it is becomes the value; zero: it becomes 0.
    EXPECT_EQ(write(1, 2, 2500).code, 0);
    EXPECT_EQ(gas(), 2500);
    inst.removeGas(5);
    clock.advance(100000);
    EXPECT_EQ(gas(), 142);   // 1,50 on the new span
    EXPECT_EQ(write(1, 2, 0xBBBB).code, 0);
    EXPECT_EQ(gas(), 0);
    // The gas comes back on the new zero and span; the noise moves each
    // read about the value.
    inst.applyGas(10, 0, 0.05);
    std::set<int> values;
    for (int i = 0; i < 20; ++i) {
        values.insert(gas());
        EXPECT_NEAR(*values.rbegin(), 943, 35);
    }
    EXPECT_GT(values.size(), 3u);
}

TEST_F(SimMaster, CountersFollowTheLineClock) {
    Instrument& mb4 = line.add(Model::MB4, 1);
    Instrument& x22 = line.add(Model::X22, 5);
    x22.setDateTime(2026, 12, 31, 23, 59, 58);
    const uint32_t work = uint32_t(mb4.reg(12)) << 16 | mb4.reg(11);
    EXPECT_GT(work, 65535u);
    clock.advance(3000);
    EXPECT_EQ(uint32_t(mb4.reg(12)) << 16 | mb4.reg(11), work + 3);
    const Outcome r = read(5, 9, 3);
    ASSERT_EQ(r.code, 0);
    // 2027-01-01 00:00:01, read a few ms later.
    EXPECT_EQ(r.regs, (std::vector<uint16_t>{27 << 8 | 1, 1 << 8 | 0, 0 << 8 | 1}));
    x22.setReg(11, 30 << 8 | 45);
    EXPECT_EQ(x22.reg(11), 30 << 8 | 45);
    EXPECT_EQ(x22.reg(10), 1 << 8 | 0);
}

} // namespace
