// The master's transaction cycle on a virtual clock and a scripted line.
#include "fake_line.h"
#include "modbusm.h"

#include <gtest/gtest.h>

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

    // An answer after an exception 5 lands behind it and fails the CRC.
    events.clear();
    mb.Query();
    Answer("01 83 05");
    clock.advance(100);
    Answer("01 03 02 00 01");
    clock.advance(100);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].code, 9);
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

TEST_F(Cycle, LateAnswerAfterTimeoutIsStillDecoded) {
    mb.SetFTimeout(500);
    mb.Query();
    clock.advance(500);
    ASSERT_EQ(events.back().code, 7);
    Answer("01 03 02 00 2A");
    clock.advance(100);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].kind, "ok");
    EXPECT_FALSE(events[1].busyInside);
    EXPECT_EQ(ToHex(mb.ResponseData()), "00 2A");
}

TEST_F(Cycle, BytesWhileIdleAreJudgedToo) {
    backend.line.receive(Hex("01 03 02 00 01 FF FF"));
    clock.advance(100);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, 9);
    // A good frame while idle still fires, but Query empties what came before.
    mb.Query();
    Answer("01 03 02 00 05");
    clock.advance(100);
    EXPECT_EQ(events.back().kind, "ok");
}

TEST_F(Cycle, NoiseCannotGrowTheBufferWithoutBound) {
    mb.Query();
    // An unknown function byte makes every poll judge; a long run of noise
    // that announces a long frame is cut at the longest frame there is.
    backend.line.receive(Hex("01 03 FF"));
    backend.line.receive(std::vector<uint8_t>(300, 0x55));
    clock.advance(100);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, 9);
    EXPECT_TRUE(mb.RxBuffer().empty());
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

    // A timeout shorter than the first poll wins even if the answer is queued.
    Answer("01 03 02 00 01");
    mb.Query();
    clock.advance(11);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, 7);
    clock.advance(89);
    EXPECT_EQ(events.back().kind, "ok") << "then the late answer";

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
    EXPECT_EQ(events[0].atMs, 100 + 400 + 300);
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
