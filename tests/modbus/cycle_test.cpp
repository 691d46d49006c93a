// The master's transaction cycle on a virtual clock and a scripted line.
#include "fake_line.h"
#include "modbusm.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace orn;
using orn::test::FakeBackend;
using orn::test::Hex;
using orn::test::ToHex;
using orn::test::WithCrc;

namespace {

struct Event {
    std::string kind;   // "ok" or the error text
    int code;
    bool busyInside;
    int64_t atMs;
};

class Cycle : public ::testing::Test {
protected:
    VirtualScheduler clock;
    FakeBackend backend;
    TModbusM mb{clock, backend};
    std::vector<Event> events;

    void SetUp() override {
        mb.OnResponseReady = [this](TModbusM* sender) {
            EXPECT_EQ(sender, &mb);
            events.push_back({"ok", 0, mb.Busy(), clock.nowUs() / 1000});
        };
        mb.OnError = [this](TModbusM* sender, const std::string& msg) {
            EXPECT_EQ(sender, &mb);
            events.push_back({msg, mb.ErrorCode(), mb.Busy(), clock.nowUs() / 1000});
        };
        ASSERT_TRUE(mb.Connect());
        ReadRequest(1, 0, 1);
    }
    void ReadRequest(uint8_t slave, uint16_t offset, uint16_t quantity) {
        mb.SlaveId = slave;
        mb.FunctionCode = 3;
        mb.Offset = offset;
        mb.Quantity = quantity;
        mb.RegisterDim = 2;
    }
    void Answer(const char* hexBody) { backend.line.receive(WithCrc(Hex(hexBody))); }
};

} // namespace

TEST_F(Cycle, GoodAnswerFiresBeforeTheMasterTurnsIdle) {
    mb.Query();
    EXPECT_EQ(ToHex(backend.line.sent), "01 03 00 00 00 01 84 0A");
    EXPECT_TRUE(mb.Busy());
    EXPECT_EQ(mb.ErrorCode(), 0);
    Answer("01 03 02 12 34");
    clock.advance(99);
    EXPECT_TRUE(events.empty()) << "the poll comes every 100 ms";
    clock.advance(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, "ok");
    EXPECT_TRUE(events[0].busyInside);
    EXPECT_FALSE(mb.Busy());
    EXPECT_EQ(ToHex(mb.ResponseData()), "12 34");
    clock.advance(5000);
    EXPECT_EQ(events.size(), 1u) << "no timeout after the answer";
}

TEST_F(Cycle, NoAnswerTimesOut) {
    mb.SetFTimeout(500);
    mb.Query();
    clock.advance(499);
    EXPECT_TRUE(events.empty());
    clock.advance(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, " 07-Time out");
    EXPECT_EQ(events[0].code, 7);
    EXPECT_TRUE(events[0].busyInside);
    EXPECT_FALSE(mb.Busy());
    clock.advance(5000);
    EXPECT_EQ(events.size(), 1u) << "the timeout fires once";
}

TEST_F(Cycle, RefusalsFireInsideQuery) {
    // Busy: the open transaction goes on and ends with its own answer.
    mb.Query();
    mb.Query();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, " 10-Controlador ocupado");
    EXPECT_TRUE(mb.Busy());
    EXPECT_EQ(backend.line.sent.size(), 8u) << "nothing more sent";
    Answer("01 03 02 00 07");
    clock.advance(100);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].kind, "ok");
    events.clear();
    backend.line.sent.clear();

    // Unknown function: nothing sent, idle again.
    mb.FunctionCode = 7;
    mb.Query();
    EXPECT_EQ(events.back().kind, " 01-Función ilegal");
    EXPECT_FALSE(mb.Busy());
    // Data too short for function 6: the text is two blanks.
    mb.FunctionCode = 6;
    mb.RequestData = {0x01};
    mb.Query();
    EXPECT_EQ(events.back().kind, "  ");
    EXPECT_EQ(events.back().code, 3);
    EXPECT_FALSE(mb.Busy());
    // Port closed: code 11, Busy untouched.
    mb.Disconnect();
    mb.FunctionCode = 3;
    mb.Query();
    EXPECT_EQ(events.back().kind, " 11-Puerto no iniciado");
    EXPECT_FALSE(mb.Busy());
    EXPECT_TRUE(backend.line.sent.empty());
    clock.advance(5000);
    EXPECT_EQ(events.size(), 3u) << "no refused request leaves a timeout behind";
}

TEST_F(Cycle, ShortSendIsACommunicationError) {
    backend.line.gone = true;
    mb.Query();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, " 09-Error de comunicación");
    EXPECT_FALSE(mb.Busy());
    EXPECT_EQ(mb.DeviceError(), ENODEV) << "the device failed: a port failure";
    // A transmit queue that stays full is no device failure.
    backend.line.gone = false;
    backend.line.outQueued = mb.OutBufferSize;
    backend.line.clock = &clock;
    mb.Query();
    EXPECT_EQ(mb.ErrorCode(), 9);
    EXPECT_EQ(mb.DeviceError(), 0);
}

TEST_F(Cycle, ExceptionAnswers) {
    Answer("01 03 02 AA BB");
    mb.Query();
    clock.advance(100);
    ASSERT_EQ(events.back().kind, "ok");

    const struct { const char* answer; const char* text; int code; } cases[] = {
        {"01 83 02", " 02-Dirección ilegal", 2},
        {"01 83 01", " 01-Función ilegal", 1},
        {"01 83 04", " 04-Error de trabajo del esclavo", 4},
        {"01 83 06", " 06-El esclavo está ocupado y no atiende al query", 6},
        {"01 83 08", " 08-Error de acceso a memoria del esclavo", 8},
        {"01 83 07", " 04-Error de trabajo del esclavo", 4},
        {"01 83 00", " 04-Error de trabajo del esclavo", 4},
    };
    for (const auto& c : cases) {
        events.clear();
        mb.Query();
        Answer(c.answer);
        clock.advance(100);
        ASSERT_EQ(events.size(), 1u) << c.answer;
        EXPECT_EQ(events[0].kind, c.text);
        EXPECT_EQ(events[0].code, c.code);
        EXPECT_FALSE(mb.Busy());
        EXPECT_EQ(ToHex(mb.ResponseData()), "AA BB") << "the last good data stays";
    }
}

TEST_F(Cycle, ExceptionFiveKeepsTheTransactionOpen) {
    mb.SetFTimeout(500);
    mb.Query();
    clock.advance(300);
    Answer("01 83 05");
    clock.advance(100);   // t = 400: the exception arrives
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, " 05-El esclavo requiere más tiempo");
    EXPECT_TRUE(mb.Busy());
    // A fresh full interval from the exception: not at 500, but at 900.
    clock.advance(499);
    EXPECT_EQ(events.size(), 1u);
    clock.advance(1);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].code, 7);
    EXPECT_EQ(events[1].atMs, 900);
    EXPECT_FALSE(mb.Busy());

    // The answer that follows is judged on its own.
    events.clear();
    mb.Query();
    Answer("01 83 05");
    clock.advance(100);
    Answer("01 03 02 00 01");
    clock.advance(100);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].kind, "ok");
    EXPECT_FALSE(mb.Busy());
}

TEST_F(Cycle, AnswerInPiecesIsJudgedWhenWhole) {
    // 13 registers at 1200 bit/s arrive over several polls.
    ReadRequest(1, 1, 13);
    mb.SetFTimeout(500);
    std::vector<uint8_t> body = Hex("01 03 1A");
    for (int i = 0; i < 26; ++i) body.push_back(uint8_t(i));
    const auto answer = WithCrc(body);
    mb.Query();
    backend.line.receive({answer.begin(), answer.begin() + 1});
    clock.advance(100);
    backend.line.receive({answer.begin() + 1, answer.begin() + 12});
    clock.advance(100);
    EXPECT_TRUE(events.empty()) << "no verdict on an answer still arriving";
    EXPECT_TRUE(mb.Busy());
    backend.line.receive({answer.begin() + 12, answer.end()});
    clock.advance(100);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, "ok");
    EXPECT_EQ(mb.ResponseData().size(), 26u);
    EXPECT_EQ(mb.ResponseData()[25], 25);
}

TEST_F(Cycle, TruncatedAnswerFailsAtTheTimeout) {
    mb.SetFTimeout(500);
    mb.Query();
    backend.line.receive(Hex("01 03 02 12"));
    clock.advance(499);
    EXPECT_TRUE(events.empty());
    clock.advance(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, " 09-Error de comunicación");
    EXPECT_FALSE(mb.Busy());
}

TEST_F(Cycle, NothingFiresOutsideATransaction) {
    // A late answer after the timeout, a good frame and noise while idle.
    mb.SetFTimeout(500);
    mb.Query();
    clock.advance(500);
    ASSERT_EQ(events.back().code, 7);
    Answer("01 03 02 00 2A");
    clock.advance(100);
    backend.line.receive(Hex("01 03 02 00 01 FF FF"));
    clock.advance(1000);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(mb.ResponseData().empty());
    mb.Query();
    Answer("01 03 02 00 05");
    clock.advance(100);
    EXPECT_EQ(events.back().kind, "ok");
    EXPECT_EQ(ToHex(mb.ResponseData()), "00 05");
}

TEST_F(Cycle, NoiseCannotGrowTheBufferWithoutBound) {
    mb.SetFTimeout(500);
    mb.Query();
    // An answer that announces more than any frame, then noise: skipped as
    // it comes, and at the timeout the damaged answer is reported.
    backend.line.receive(Hex("01 03 FF"));
    backend.line.receive(std::vector<uint8_t>(300, 0x55));
    clock.advance(100);
    EXPECT_TRUE(events.empty());
    EXPECT_LE(mb.RxBuffer().size(), 1u);
    clock.advance(400);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, 9);
    EXPECT_FALSE(mb.Busy());
    for (int i = 0; i < 50; ++i) {
        backend.line.receive(std::vector<uint8_t>(200, uint8_t(i)));
        clock.advance(100);
        EXPECT_LE(mb.RxBuffer().size(), MaxRtuFrame);
    }
}

TEST_F(Cycle, TimeoutSettingAndRestart) {
    mb.SetFTimeout(10);
    EXPECT_EQ(mb.Timeout(), 1000);
    mb.SetFTimeout(0);
    EXPECT_EQ(mb.Timeout(), 1000);
    mb.SetFTimeout(11);
    EXPECT_EQ(mb.Timeout(), 11);

    // A timeout shorter than the first poll takes what the port holds.
    mb.Query();
    clock.advance(10);
    Answer("01 03 02 00 01");
    clock.advance(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, "ok");
    EXPECT_EQ(events[0].atMs, 11);

    // Changing the timeout while waiting starts the wait again.
    events.clear();
    mb.SetFTimeout(500);
    mb.Query();
    clock.advance(400);
    mb.SetFTimeout(300);
    clock.advance(299);
    EXPECT_TRUE(events.empty());
    clock.advance(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].atMs, 11 + 400 + 300);
}

TEST_F(Cycle, QueryFromInsideAHandlerIsRefusedNested) {
    std::vector<int> codes;
    mb.OnResponseReady = [&](TModbusM*) { mb.Query(); };
    mb.OnError = [&](TModbusM*, const std::string&) { codes.push_back(mb.ErrorCode()); };
    mb.Query();
    Answer("01 03 02 00 01");
    clock.advance(100);
    EXPECT_EQ(codes, std::vector<int>{10});
    EXPECT_FALSE(mb.Busy());
    clock.advance(5000);
    EXPECT_EQ(codes.size(), 1u);
}

TEST_F(Cycle, DisconnectWhileWaitingEndsWithTimeout) {
    mb.SetFTimeout(500);
    mb.Query();
    mb.Disconnect();
    Answer("01 03 02 00 01");
    clock.advance(500);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, 7);
    EXPECT_EQ(clock.runningTimers(), 0) << "poll and timeout both stopped";
}

TEST_F(Cycle, DestructionFiresNothingAndClosesThePort) {
    int fired = 0;
    {
        VirtualScheduler c;
        FakeBackend b;
        auto* m = new TModbusM(c, b);
        m->OnError = [&](TModbusM*, const std::string&) { ++fired; };
        m->OnResponseReady = [&](TModbusM*) { ++fired; };
        ASSERT_TRUE(m->Connect());
        m->FunctionCode = 3;
        m->Query();
        EXPECT_TRUE(b.line.open);
        delete m;
        EXPECT_FALSE(b.line.open);
        EXPECT_EQ(c.runningTimers(), 0);
        c.advance(5000);
    }
    EXPECT_EQ(fired, 0);
}

// What real lines deliver, in one table.  Words: "req" the request as
// sent, "ans" its good answer, hex bytes ('+': with their CRC), "|" the next
// poll, "@" the last poll before the 450 ms timeout.  Before: a read through
// an echoing adapter, a read of slave 5 or a write of 30,00 ("0B B8") to
// register 8 or 9 of slave 1 that timed out.  Each case runs
// without and with a line listener: one outcome either way, and the listener
// sees each frame and the outcome in order (S sent, R received, E echo, K
// skipped, F foreign, L late: with byte counts; O: with the code).
TEST(CycleLine, OnlyTheAnswerToThisRequestAnswers) {
    // `stored`: ResponseData after an answer that is not the request's own value.
    const struct { const char* what; uint8_t function; const char* before, *pieces; int code; const char* events;
                   const char* stored = nullptr; } cases[] = {
        {"stray 00", 3, "", "00 ans", 0, "S8 R8 K1 O0"},
        {"stray FF", 3, "", "FF ans", 0, "S8 R8 K1 O0"},
        {"noise announcing a long frame", 3, "", "0703F0 ans", 0, "S8 R10 K3 O0"},
        {"echo of a read", 3, "", "req ans", 0, "S8 R15 E8 O0"},
        {"echo, then the answer in pieces", 3, "", "req | 010302 | 1234B533", 0, "S8 R8 E8 R3 R4 O0"},
        {"echo of a write", 6, "echo", "req ans", 0, "S8 R16 E8 O0"},
        {"echo of a write, no answer", 6, "echo", "req", 7, "S8 R8 E8 O7"},
        {"write, no echo", 6, "", "ans", 0, "S8 R8 O0"},
        {"foreign frame first", 3, "", "0903020000+ ans", 0, "S8 R14 F7 O0"},
        {"late answer of the earlier request", 3, "5", "0503020007+ | ans", 0, "S8 R7 L7 R7 O0"},
        {"function-6 frame for a read", 3, "", "010600010007+", 7, "S8 R8 F8 O7"},
        {"function-4 answer for a read", 3, "", "010402ABCD+", 7, "S8 R7 F7 O7"},
        {"corrupt answer", 3, "", "01030212340000", 9, "S8 R7 K1 K6 O9"},
        {"cut-off answer", 3, "", "01030212", 9, "S8 R4 O9"},
        {"exception 2", 3, "", "018302+", 2, "S8 R5 O2"},
        {"whole just before the timeout", 3, "", "@ ans", 0, "S8 R7 O0"},
        // Write 12,50 to register 8: an answer repeats the register.
        {"late write answer of another register", 6, "w9", "010600090BB8+ | ans", 0, "S8 R8 L8 R8 O0"},
        {"late answer of an earlier write of the register", 6, "w8", "010600080BB8+ | ans", 0, "S8 R8 L8 R8 O0"},
        {"answered with the value stored", 6, "", "010600080BB8+", 0, "S8 R8 O0", "0B B8"},
        {"write answer of another register alone", 6, "", "010600090BB8+", 4, "S8 R8 F8 O4"},
        // A read of one register: a frame with two is another master's.
        {"another master's answer, then ours", 3, "", "01030400010002+ | ans", 0, "S8 R9 F9 R7 O0"},
        {"wrong length alone", 3, "", "01030400010002+", 4, "S8 R9 F9 O4"},
    };
    for (const auto& c : cases)
        for (bool listen : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (listen ? ", listened to" : ""));
            TModbusM::ForgetEchoes();
            VirtualScheduler clock;
            FakeBackend backend;
            TModbusM mb(clock, backend);
            std::vector<int> codes;
            mb.OnResponseReady = [&](TModbusM*) { codes.push_back(0); };
            mb.OnError = [&](TModbusM* m, const std::string&) { codes.push_back(m->ErrorCode()); };
            ASSERT_TRUE(mb.Connect());
            mb.SetFTimeout(450);
            mb.FunctionCode = 3;
            mb.Quantity = mb.Offset = 1;
            const bool echoed = *c.before == 'e';
            if (*c.before) {
                mb.SlaveId = *c.before == '5' ? 5 : 1;
                if (*c.before == 'w') {
                    mb.FunctionCode = 6;
                    mb.Offset = uint16_t(std::atoi(c.before + 1));
                    mb.RequestData = Hex("0B B8");
                }
                mb.Query();
                if (echoed) backend.line.receive(backend.line.sent);
                if (echoed) backend.line.receive(WithCrc(Hex("01 03 02 00 00")));
                clock.advance(500);
                ASSERT_EQ(codes, std::vector<int>{echoed ? 0 : 7});
                EXPECT_EQ(mb.PortEchoes(), echoed);
                codes.clear();
            }
            std::string seen;
            if (listen)
                mb.OnLine = [&](const LineEvent& e) {
                    seen += std::string(seen.empty() ? "" : " ") + "SREKFLO"[int(e.kind)] +
                            std::to_string(e.kind == LineEventKind::Outcome ? e.code : e.size);
                };
            mb.SlaveId = 1;
            mb.FunctionCode = c.function;
            mb.Offset = c.function == 6 ? 8 : 1;
            mb.RequestData = Hex("04 E2");
            backend.line.sent.clear();
            mb.Query();
            const std::vector<uint8_t> req = backend.line.sent;
            const std::vector<uint8_t> ans = c.function == 6 ? req : WithCrc(Hex("01 03 02 12 34"));
            const int64_t start = clock.nowUs() / 1000;
            std::istringstream words(std::string(c.pieces) + " |");
            for (std::string w; words >> w;) {
                std::vector<uint8_t> b = w == "req" ? req : w == "ans" ? ans : Hex(w.c_str());
                if (w.back() == '+') b = WithCrc(b);
                backend.line.receive(b);
                if (w == "|") clock.advance(100);
                if (w == "@") clock.advance(start + 420 - clock.nowUs() / 1000);
            }
            clock.advance(1000);
            EXPECT_EQ(codes, std::vector<int>{c.code});
            const char* own = c.function == 6 ? "04 E2" : "12 34";
            const char* stored = c.code ? (echoed ? "00 00" : "") : c.stored ? c.stored : own;
            EXPECT_EQ(ToHex(mb.ResponseData()), stored) << "only the answer is stored";
            if (listen) {
                EXPECT_EQ(seen, c.events);
            }
        }
}

// Whether the port echoes is kept per device: another name of it knows, a
// swapped adapter under the same name is learnt afresh.
TEST(CycleLine, EchoIsLearntPerDeviceNotPerName) {
    TModbusM::ForgetEchoes();
    VirtualScheduler clock;
    FakeBackend backend;
    TModbusM mb(clock, backend);
    EXPECT_EQ(mb.DeviceId(), "") << "before the first open";
    mb.SlaveId = 1;
    mb.FunctionCode = 3;
    mb.Quantity = 1;
    // Adapter A as COM1, A as COM2, B as COM1; each echoes, which a read teaches.
    const struct { TComPortNumber port; const char* device; bool known; } cases[] = {
        {pnCOM1, "A", false}, {pnCOM2, "A", true}, {pnCOM1, "B", false}};
    for (const auto& c : cases) {
        backend.line.identity = c.device;
        mb.SetComPort(c.port);
        ASSERT_TRUE(mb.Connect());
        EXPECT_EQ(mb.DeviceId(), c.device);
        EXPECT_EQ(mb.PortEchoes(), c.known) << mb.PortName() << " " << c.device;
        backend.line.sent.clear();
        mb.Query();
        backend.line.receive(backend.line.sent);
        backend.line.receive(WithCrc(Hex("01 03 02 00 00")));
        clock.advance(200);
        EXPECT_TRUE(mb.PortEchoes());
        mb.Disconnect();
    }
}

// Handlers that destroy the master, close its port, ask again or throw, on
// an answer and on a timeout: under the sanitizers nothing may touch a
// destroyed master, and one whose handler threw still answers the next time.
TEST(CycleHandlers, MayDestroyDisconnectAskAgainOrThrow) {
    for (int action = 0; action < 8; ++action) {
        VirtualScheduler clock;
        FakeBackend backend;
        auto* mb = new TModbusM(clock, backend);
        mb->OnResponseReady = [&, action](TModbusM* m) {
            if (action % 4 == 1) m->Disconnect();
            if (action % 4 == 2) m->Query();   // refused: the transaction is still open
            if (action % 4 == 3) throw std::runtime_error("from a handler");
            if (action % 4 == 0) delete m;   // last: this handler goes with the master
        };
        mb->OnError = [&](TModbusM* m, const std::string&) {
            if (m->ErrorCode() != mbMasterBusy) m->OnResponseReady(m);
        };
        ASSERT_TRUE(mb->Connect());
        mb->SlaveId = mb->FunctionCode = 3;
        mb->Quantity = 1;
        mb->Query();
        if (action < 4) backend.line.receive(WithCrc(Hex("03 03 02 00 01")));
        try {
            clock.advance(1000);
        } catch (const std::runtime_error&) {
        }
        if (action % 4 == 0) continue;
        EXPECT_FALSE(mb->Busy()) << action;
        mb->OnResponseReady = nullptr;
        ASSERT_TRUE(mb->Connect());
        mb->Query();
        backend.line.receive(WithCrc(Hex("03 03 02 00 09")));
        clock.advance(100);
        EXPECT_EQ(ToHex(mb->ResponseData()), "00 09") << action;
        delete mb;
    }
}

TEST(CycleTexts, TwelveErrorTexts) {
    const char* expected[] = {" 00-No Hay Error",
                              " 01-Función ilegal",
                              " 02-Dirección ilegal",
                              "  ",
                              " 04-Error de trabajo del esclavo",
                              " 05-El esclavo requiere más tiempo",
                              " 06-El esclavo está ocupado y no atiende al query",
                              " 07-Time out",
                              " 08-Error de acceso a memoria del esclavo",
                              " 09-Error de comunicación",
                              " 10-Controlador ocupado",
                              " 11-Puerto no iniciado"};
    for (int i = 0; i < 12; ++i) EXPECT_STREQ(TModbusM::ErrorTexts[i], expected[i]) << i;
}
