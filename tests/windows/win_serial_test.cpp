// The Windows serial link end to end: COM ports that Wine maps to orn10sim's
// pseudo-terminals.  scripts/test-windows.sh starts the simulators, maps the
// ports and names them in the environment; without it the cases that need a
// port are skipped.
//   ORN10_TEST_COM_PLAIN    MB4 at 1, X-22 at 5
//   ORN10_TEST_COM_ECHO     MB4 at 1, every request echoed (2-wire adapter)
//   ORN10_TEST_COM_NOISY    MB4 at 1 with a stray 00 and another slave's frame before each answer
//   ORN10_TEST_COM_VANISH   MB4 at 1, whose simulator ends when the file
//   ORN10_TEST_VANISH_FLAG  is created
//   ORN10_TEST_COM_MISSING  a COM port that is not there
// Two checks cannot be made under Wine and are skipped there: Wine does not
// enforce an exclusive open (share mode 0), and a pseudo-terminal cannot
// hold a parity setting for GetCommState to report back.
#include "line.h"
#include "modbusm.h"
#include "port_list.h"
#include "realtime_scheduler.h"
#include "serial_win.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

using namespace orn;

namespace {

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

#define PORT_OR_SKIP(var, name)                                       \
    const std::string var = Env(name);                                \
    if (var.empty()) GTEST_SKIP() << name << " is not set"

ctl::TLineSettings Settings(const std::string& port) {
    ctl::TLineSettings s;
    s.port = port;
    return s;
}

TEST(WinSerial, ErrorsMapToTheReasonsOfLinux) {
    EXPECT_EQ(PortErrnoOf(ERROR_ACCESS_DENIED), EBUSY);
    EXPECT_EQ(PortErrnoOf(ERROR_SHARING_VIOLATION), EBUSY);
    EXPECT_EQ(PortErrnoOf(ERROR_FILE_NOT_FOUND), ENOENT);
    for (DWORD pulled : {ERROR_BAD_COMMAND, ERROR_DEVICE_NOT_CONNECTED, ERROR_OPERATION_ABORTED, ERROR_GEN_FAILURE})
        EXPECT_EQ(PortErrnoOf(pulled), ENODEV) << pulled;
    EXPECT_EQ(PortErrorReason(PortErrnoOf(ERROR_ACCESS_DENIED)), PortErrorReason(EBUSY));
    EXPECT_EQ(DevicePathOf("com12"), "\\\\.\\com12");
    EXPECT_EQ(DevicePathOf("\\\\.\\COM3"), "\\\\.\\COM3");

    WinSerialBackend backend;
    PORT_OR_SKIP(missing, "ORN10_TEST_COM_MISSING");
    EXPECT_EQ(backend.openPath(missing), nullptr);
    EXPECT_EQ(PortErrorReason(backend.lastOpenError()), PortErrorReason(ENOENT));
    char windir[MAX_PATH];
    GetWindowsDirectoryA(windir, MAX_PATH);
    EXPECT_EQ(backend.openPath(std::string(windir) + "\\win.ini"), nullptr);
    EXPECT_EQ(backend.lastOpenError(), ENOTTY);
}

// The event-driven path of orn10ctl and the 100 ms poll of the window, on
// one port: a read, a write whose value holds XON and XOFF, an exception,
// silence.
TEST(WinSerial, ReadWriteExceptionTimeout) {
    PORT_OR_SKIP(port, "ORN10_TEST_COM_PLAIN");
    RealtimeScheduler clock;
    WinSerialBackend backend;
    {
        ctl::TCtlLine line(clock, backend, Settings(port));
        ASSERT_TRUE(line.Open()) << line.OpenError();
        EXPECT_EQ(line.Read(1, 1, 13, 500), mbNoError);
        EXPECT_EQ(line.Data().size(), 26u);
        EXPECT_EQ(line.Write(1, 8, 0x1113, 500), mbNoError);
        ASSERT_EQ(line.Read(1, 8, 1, 500), mbNoError);
        EXPECT_EQ(line.Data(), (TDataByte{0x11, 0x13}));
        EXPECT_EQ(line.Read(5, 12, 1, 500), mbIllegalAddress);   // the X-22 has 11 registers
        EXPECT_EQ(line.Read(9, 1, 13, 100), mbTimeout);
        EXPECT_EQ(line.Read(5, 1, 11, 500), mbNoError);
    }

    TModbusM mb(clock, backend);
    mb.SetComPortPath(port);
    mb.SetComPortBaudRate(br19200);
    mb.SetComPortParity(ptEVEN);
    ASSERT_TRUE(mb.Connect());
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(LongToHandle(mb.ComHandle()), &dcb));
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_FALSE(dcb.fOutX || dcb.fInX || dcb.fOutxCtsFlow || dcb.fOutxDsrFlow);
    EXPECT_EQ(dcb.ByteSize, 8);

    for (uint8_t slave : {1, 9}) {
        mb.SlaveId = slave;
        mb.FunctionCode = 3;
        mb.Offset = 1;
        mb.Quantity = 13;
        mb.SetFTimeout(500);
        mb.Query();
        ASSERT_TRUE(clock.runUntil([&] { return !mb.Busy(); }, 5000));
        EXPECT_EQ(mb.ErrorCode(), slave == 1 ? mbNoError : mbTimeout);
    }
}

TEST(WinSerial, ExclusiveOpenAndParityReadBack) {
    if (UnderWine())
        GTEST_SKIP() << "Wine does not enforce share mode 0, and a pseudo-terminal cannot hold a parity";
    PORT_OR_SKIP(port, "ORN10_TEST_COM_PLAIN");
    RealtimeScheduler clock;
    WinSerialBackend backend;
    TModbusM mb(clock, backend);
    mb.SetComPortPath(port);
    mb.SetComPortParity(ptEVEN);
    ASSERT_TRUE(mb.Connect());
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(LongToHandle(mb.ComHandle()), &dcb));
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(backend.openPath(port), nullptr);
    EXPECT_EQ(backend.lastOpenError(), EBUSY);
}

TEST(WinSerial, EchoStrayBytesAndForeignFrames) {
    for (const char* name : {"ORN10_TEST_COM_ECHO", "ORN10_TEST_COM_NOISY"}) {
        PORT_OR_SKIP(port, name);
        RealtimeScheduler clock;
        WinSerialBackend backend;
        ctl::TCtlLine line(clock, backend, Settings(port));
        ASSERT_TRUE(line.Open()) << name;
        int ok = 0;
        for (int i = 0; i < 20; ++i) ok += line.Read(1, 1, 13, 500) == mbNoError;
        EXPECT_EQ(ok, 20) << name;
    }
}

// The simulator ends while the port is open: the request ends as a port
// failure, and the port cannot be opened again.
TEST(WinSerial, APortThatVanishes) {
    PORT_OR_SKIP(port, "ORN10_TEST_COM_VANISH");
    RealtimeScheduler clock;
    WinSerialBackend backend;
    ctl::TCtlLine line(clock, backend, Settings(port));
    ASSERT_TRUE(line.Open());
    ASSERT_EQ(line.Read(1, 1, 13, 500), mbNoError);
    std::FILE* flag = std::fopen(Env("ORN10_TEST_VANISH_FLAG").c_str(), "w");
    ASSERT_NE(flag, nullptr);
    std::fclose(flag);
    int code = mbNoError;
    for (int i = 0; i < 100 && code == mbNoError; ++i) code = line.Read(1, 1, 13, 200);
    // A port failure with the device's error, whether it went during the
    // request or before it; no answer should the driver not notice.
    EXPECT_TRUE(code == mbPortNotOpen || code == mbTimeout) << code;
    if (code == mbPortNotOpen) {
        EXPECT_EQ(line.DeviceError(), ENODEV);
    }
    line.Close();
    EXPECT_FALSE(line.Open());
    // Wine opens its default device for a COM port whose mapping leads
    // nowhere (/dev/ttyS<n-1>, no serial port here); Windows finds none.
    if (!UnderWine()) {
        EXPECT_EQ(PortErrorReason(line.OpenError()), PortErrorReason(ENODEV));
    }
}

} // namespace
