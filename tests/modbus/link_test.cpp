// The master's side of the serial link: opening, settings, writing.
#include "fake_line.h"
#include "modbusm.h"

#include <gtest/gtest.h>

using namespace orn;
using orn::test::FakeBackend;

namespace {

class Link : public ::testing::Test {
protected:
    VirtualScheduler clock;
    FakeBackend backend;
    TModbusM mb{clock, backend};
};

} // namespace

TEST_F(Link, DefaultsAfterConstruction) {
    EXPECT_EQ(mb.ComPort(), pnCOM2);
    EXPECT_EQ(mb.ComPortSpeed(), br9600);
    EXPECT_EQ(mb.ComPortDataBits(), db8BITS);
    EXPECT_EQ(mb.ComPortStopBits(), sb1BITS);
    EXPECT_EQ(mb.ComPortParity(), ptNONE);
    EXPECT_EQ(mb.ComPortHwHandshaking(), hhNONE);
    EXPECT_EQ(mb.Timeout(), 1000);
    EXPECT_EQ(mb.RegisterDim, 2);
    EXPECT_EQ(mb.SlaveId, 0);
    EXPECT_FALSE(mb.Busy());
    EXPECT_EQ(mb.ErrorCode(), 0);
    EXPECT_FALSE(mb.Connected());
    EXPECT_EQ(mb.ComHandle(), 0);
    EXPECT_EQ(clock.runningTimers(), 0);
    EXPECT_EQ(backend.line.opens, 0) << "the port is not opened by construction";
}

TEST_F(Link, ConnectAppliesSettingsAndStartsThePoll) {
    mb.SetComPort(TComPortNumber(9));   // "COM10"
    mb.SetComPortBaudRate(br19200);
    mb.SetComPortParity(ptEVEN);
    ASSERT_TRUE(mb.Connect());
    EXPECT_EQ(backend.line.lastPortNumber, 10);
    EXPECT_EQ(backend.line.settings.baudRate, 19200u);
    EXPECT_EQ(backend.line.settings.parity, ptEVEN);
    EXPECT_EQ(backend.line.settings.dataBits, 8);
    EXPECT_EQ(backend.line.purges, 1);
    EXPECT_EQ(clock.runningTimers(), 1);
    EXPECT_EQ(mb.ComHandle(), 42);

    // Connect on an open port changes nothing.
    EXPECT_TRUE(mb.Connect());
    EXPECT_EQ(backend.line.opens, 1);
    EXPECT_EQ(backend.line.configures, 1);

    mb.Disconnect();
    EXPECT_FALSE(backend.line.open);
    EXPECT_EQ(clock.runningTimers(), 0);
    EXPECT_EQ(mb.ComHandle(), 0);
}

TEST_F(Link, EveryRateReachesTheDevice) {
    ASSERT_TRUE(mb.Connect());
    for (int i = 0; i < 15; ++i) {
        mb.SetComPortBaudRate(TComPortBaudRate(i));
        EXPECT_EQ(backend.line.settings.baudRate, BaudRates[i]);
    }
    EXPECT_EQ(BaudRates[br14400], 14400u);
    EXPECT_EQ(BaudRates[br256000], 256000u);
}

TEST_F(Link, SettingsWhileOpen) {
    mb.SetComPort(pnCOM1);
    ASSERT_TRUE(mb.Connect());
    // The port number is ignored while open and lost.
    mb.SetComPort(pnCOM3);
    EXPECT_EQ(mb.ComPort(), pnCOM1);
    // Every other setting is applied at once and empties the queues.
    const int purges = backend.line.purges;
    backend.line.incoming = {1, 2, 3};
    mb.SetComPortStopBits(sb2BITS);
    mb.SetComPortDataBits(db7BITS);
    mb.SetComPortHwHandshaking(hhRTSCTS);
    EXPECT_EQ(backend.line.settings.stopBits, sb2BITS);
    EXPECT_EQ(backend.line.settings.dataBits, 7);
    EXPECT_TRUE(backend.line.settings.rtsCts);
    EXPECT_EQ(backend.line.purges, purges + 3);
    EXPECT_TRUE(backend.line.incoming.empty());
    mb.Disconnect();
    ASSERT_TRUE(mb.Connect());
    EXPECT_EQ(backend.line.lastPortNumber, 1) << "the previous port is opened again";
}

TEST_F(Link, FailedOpen) {
    backend.line.refuseOpen = true;
    EXPECT_FALSE(mb.Connect());
    EXPECT_FALSE(mb.Connected());
    EXPECT_EQ(mb.ComHandle(), -1);
    EXPECT_EQ(clock.runningTimers(), 0);
    backend.line.refuseOpen = false;
    EXPECT_TRUE(mb.Connect()) << "the next Connect tries again";
}

TEST_F(Link, SendData) {
    const uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(mb.OutFreeSpace(), 65535);
    EXPECT_EQ(mb.SendData(data, 10), 0) << "closed port";
    ASSERT_TRUE(mb.Connect());
    EXPECT_EQ(mb.SendData(data, 0), 0);
    EXPECT_EQ(mb.SendData(data, -5), 0);
    EXPECT_TRUE(backend.line.sent.empty());

    // Less free space than data: several pieces, each where the last ended.
    backend.line.outQueued = 4096;   // a driver queue larger than ours: no room
    EXPECT_EQ(mb.OutFreeSpace(), 0);
    backend.line.outQueued = 1024;
    EXPECT_EQ(mb.OutFreeSpace(), 4);
    EXPECT_EQ(mb.SendData(data, 10), 10);
    EXPECT_EQ(backend.line.sent, std::vector<uint8_t>(data, data + 10));
}

TEST_F(Link, SendDataNeverHangs) {
    const uint8_t data[8] = {};
    ASSERT_TRUE(mb.Connect());
    backend.line.clock = &clock;

    // A queue that stays full: given up after the stall limit, nothing written.
    backend.line.outQueued = 1028;
    const int64_t start = clock.nowUs();
    EXPECT_EQ(mb.SendData(data, 8), 0);
    EXPECT_GE(clock.nowUs() - start, 5000 * 1000);
    EXPECT_LE(clock.nowUs() - start, 5100 * 1000);

    // A write that moves nothing although there is room ends at once,
    // with the negated count written so far.
    backend.line.outQueued = 0;
    backend.line.maxWrite = 0;
    EXPECT_EQ(mb.SendData(data, 8), 0);
    backend.line.maxWrite = 3;
    backend.line.sent.clear();
    EXPECT_EQ(mb.SendData(data, 8), 8) << "short writes go on";

    // A failing device: the negated total.
    backend.line.gone = true;
    EXPECT_EQ(mb.SendData(data, 8), 0);
}

TEST_F(Link, AdoptAndReleaseAHandle) {
    mb.SetComHandle(0);   // the current handle: nothing happens
    EXPECT_FALSE(mb.Connected());
    mb.SetComHandle(7);
    EXPECT_TRUE(mb.Connected());
    EXPECT_EQ(backend.line.configures, 0) << "no settings on an adopted handle";
    EXPECT_EQ(clock.runningTimers(), 1);
    mb.SetComHandle(-1);
    EXPECT_FALSE(mb.Connected());
    EXPECT_EQ(mb.ComHandle(), 0);
    EXPECT_EQ(clock.runningTimers(), 0);
}
