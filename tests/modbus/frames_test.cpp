// Request frames, CRC and the answer check, byte for byte.
#include "fake_line.h"
#include "frames.h"

#include <gtest/gtest.h>

using namespace orn;
using orn::test::Hex;
using orn::test::ToHex;
using orn::test::WithCrc;

namespace {

RequestFields Fields(uint8_t slave, uint8_t function, uint16_t offset, uint16_t quantity, uint8_t dim = 2) {
    RequestFields f;
    f.SlaveId = slave;
    f.FunctionCode = function;
    f.Offset = offset;
    f.Quantity = quantity;
    f.RegisterDim = dim;
    return f;
}

std::string Build(const RequestFields& f, const TDataByte& data = {}) {
    TDataByte frame;
    EXPECT_EQ(BuildRequest(f, data, frame), 0);
    return ToHex(frame);
}

} // namespace

TEST(Crc, KnownFramesAndShortBuffers) {
    EXPECT_EQ(Build(Fields(1, 3, 0, 1)), "01 03 00 00 00 01 84 0A");
    EXPECT_EQ(Build(Fields(1, 6, 2, 0), Hex("BB BB")), "01 06 00 02 BB BB 1A 89");
    EXPECT_EQ(Build(Fields(1, 6, 8, 0), Hex("04 E2")), "01 06 00 08 04 E2 8A 81");
    // Two bytes or fewer cover nothing.
    EXPECT_EQ(FrameCRC({}), 0xFFFF);
    EXPECT_EQ(FrameCRC({0x12, 0x34}), 0xFFFF);
    EXPECT_EQ(FrameCRC(Hex("01 03 00 00 00 01 00 00")), 0x0A84);
    EXPECT_TRUE(FrameCRCValid(Hex("01 03 00 00 00 01 84 0A").data(), 8));
    EXPECT_FALSE(FrameCRCValid(Hex("01 03 00 00 00 01 0A 84").data(), 8));
}

TEST(Request, EveryFunctionCode) {
    EXPECT_EQ(Build(Fields(0x11, 1, 0x0013, 0x0025)), ToHex(WithCrc(Hex("11 01 00 13 00 25"))));
    EXPECT_EQ(Build(Fields(0x11, 2, 0x00C4, 0x0016)), ToHex(WithCrc(Hex("11 02 00 C4 00 16"))));
    EXPECT_EQ(Build(Fields(0x11, 4, 0x0008, 0x0001)), ToHex(WithCrc(Hex("11 04 00 08 00 01"))));
    // Function 5 sends the two bytes as the caller put them.
    EXPECT_EQ(Build(Fields(0x11, 5, 0x00AC, 0), Hex("FF 00 99")), ToHex(WithCrc(Hex("11 05 00 AC FF 00"))));
    // Coils: 10 coils take two bytes.
    EXPECT_EQ(Build(Fields(0x11, 15, 0x0013, 10), Hex("CD 01")), ToHex(WithCrc(Hex("11 0F 00 13 00 0A 02 CD 01"))));
    EXPECT_EQ(Build(Fields(0x11, 16, 0x0001, 2), Hex("00 0A 01 02")),
              ToHex(WithCrc(Hex("11 10 00 01 00 02 04 00 0A 01 02"))));
    // Function 6 sends RegisterDim data bytes.
    EXPECT_EQ(Build(Fields(1, 6, 1, 0, 4), Hex("01 02 03 04")), ToHex(WithCrc(Hex("01 06 00 01 01 02 03 04"))));
}

TEST(Request, ByteCountKeptInEightBits) {
    // 200 registers of 2 bytes: 400 bytes, sent as 144 with 144 data bytes.
    TDataByte data(144, 0x5A), frame;
    ASSERT_EQ(BuildRequest(Fields(1, 16, 0, 200), data, frame), 0);
    ASSERT_EQ(frame.size(), 144u + 9);
    EXPECT_EQ(frame[6], 144);
    EXPECT_TRUE(FrameCRCValid(frame.data(), frame.size()));
}

TEST(Request, Refusals) {
    TDataByte frame{1, 2, 3};
    for (int f : {0, 7, 8, 14, 17, 0x83, 255}) {
        EXPECT_EQ(BuildRequest(Fields(1, uint8_t(f), 0, 1), {}, frame), mbIllegalFunction) << f;
        EXPECT_TRUE(frame.empty());
    }
    EXPECT_EQ(BuildRequest(Fields(1, 5, 0, 1), Hex("FF"), frame), mbIllegalValue);
    EXPECT_EQ(BuildRequest(Fields(1, 6, 0, 1), Hex("FF"), frame), mbIllegalValue);
    EXPECT_EQ(BuildRequest(Fields(1, 6, 0, 1, 4), Hex("01 02 03"), frame), mbIllegalValue);
    EXPECT_EQ(BuildRequest(Fields(1, 15, 0, 9), Hex("01"), frame), mbIllegalValue);
    EXPECT_EQ(BuildRequest(Fields(1, 16, 0, 2), Hex("01 02 03"), frame), mbIllegalValue);
    EXPECT_TRUE(frame.empty());
}

TEST(Answer, GoodAnswersByFunction) {
    TDataByte data;
    EXPECT_EQ(CheckAnswer(WithCrc(Hex("01 03 02 12 34")), 1, 2, data), 0);
    EXPECT_EQ(ToHex(data), "12 34");
    // Coils: Quantity 8 needs one byte, 9 two, 0 none.
    EXPECT_EQ(CheckAnswer(WithCrc(Hex("01 01 01 55")), 8, 2, data), 0);
    EXPECT_EQ(ToHex(data), "55");
    EXPECT_EQ(CheckAnswer(WithCrc(Hex("01 02 02 55 01")), 9, 2, data), 0);
    EXPECT_EQ(CheckAnswer(WithCrc(Hex("01 01 00")), 0, 2, data), 0);
    EXPECT_TRUE(data.empty());
    // Echoes: 5 and 6 give the value, 15 and 16 the quantity.
    EXPECT_EQ(CheckAnswer(WithCrc(Hex("01 05 00 AC FF 00")), 0, 2, data), 0);
    EXPECT_EQ(ToHex(data), "FF 00");
    EXPECT_EQ(CheckAnswer(WithCrc(Hex("01 06 00 02 BB BB")), 0, 2, data), 0);
    EXPECT_EQ(ToHex(data), "BB BB");
    EXPECT_EQ(CheckAnswer(WithCrc(Hex("01 06 00 02 01 02 03 04")), 0, 4, data), 0);
    EXPECT_EQ(ToHex(data), "01 02");
    EXPECT_EQ(CheckAnswer(WithCrc(Hex("01 10 00 01 00 02")), 0, 2, data), 0);
    EXPECT_EQ(ToHex(data), "00 02");
}

TEST(Answer, FailuresLeaveResponseDataAlone) {
    TDataByte data = Hex("77");
    auto check = [&](const TDataByte& rx, uint16_t quantity, uint8_t dim = 2) {
        return CheckAnswer(rx, quantity, dim, data);
    };
    EXPECT_EQ(check({}, 1), mbCommError);
    EXPECT_EQ(check(Hex("01"), 1), mbCommError);
    EXPECT_EQ(check(Hex("01 03 02 12 34 00 00"), 1), mbCommError);               // bad CRC
    EXPECT_EQ(check(WithCrc(Hex("01 03 04 12 34 56 78")), 1), mbSlaveFailure);   // too long for Quantity 1
    EXPECT_EQ(check(WithCrc(Hex("01 06 00 02 BB BB")), 0, 4), mbSlaveFailure);   // RegisterDim 4 wants 10
    EXPECT_EQ(check(WithCrc(Hex("01 07 00")), 1), mbIllegalFunction);            // unknown function byte
    // Right length, byte count disagreeing: nothing is taken from it.
    EXPECT_EQ(check(WithCrc(Hex("01 03 09 12 34")), 1), mbSlaveFailure);
    EXPECT_EQ(ToHex(data), "77");
}

TEST(Answer, ExceptionCodes) {
    const struct { uint8_t e; uint8_t code; } cases[] = {
        {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {8, 8},
        // Codes without a meaning of their own end the transaction as a slave failure.
        {0, 4}, {7, 4}, {9, 4}, {0x0B, 4}, {255, 4},
    };
    for (uint8_t f : {0x81, 0x83, 0x86, 0x8F, 0x90}) {
        for (const auto& c : cases) {
            TDataByte data = Hex("77");
            EXPECT_EQ(CheckAnswer(WithCrc({1, f, c.e}), 1, 2, data), c.code) << int(f) << "/" << int(c.e);
            EXPECT_EQ(ToHex(data), "77");
        }
    }
    TDataByte data;
    EXPECT_EQ(CheckAnswer(WithCrc(Hex("01 87 02")), 1, 2, data), mbIllegalFunction);  // not an exception we know
}

TEST(Answer, AnnouncedLengthFramesAnswersInPieces) {
    const TDataByte answer = WithCrc(Hex("01 03 04 00 01 00 02"));   // 9 bytes
    for (size_t n = 0; n < answer.size(); ++n)
        EXPECT_LT(n, AnnouncedLength(answer.data(), n, 2)) << n;
    EXPECT_EQ(AnnouncedLength(answer.data(), answer.size(), 2), answer.size());

    EXPECT_EQ(AnnouncedLength(Hex("01 83").data(), 2, 2), 5u);
    EXPECT_EQ(AnnouncedLength(Hex("01 06").data(), 2, 2), 8u);
    EXPECT_EQ(AnnouncedLength(Hex("01 06").data(), 2, 4), 10u);
    EXPECT_EQ(AnnouncedLength(Hex("01 10").data(), 2, 2), 8u);
    EXPECT_EQ(AnnouncedLength(Hex("01 05").data(), 2, 2), 8u);
    // An unknown function byte announces nothing: judge what is there.
    EXPECT_EQ(AnnouncedLength(Hex("01 42 00").data(), 3, 2), 3u);
}

TEST(Answer, AWriteIsAnsweredByACopyOfItself) {
    // Only knowing that the port echoes tells its echo from its answer.
    EXPECT_TRUE(EchoPassesAsAnswer(WithCrc(Hex("01 06 00 08 04 E2")), Fields(1, 6, 8, 0)));
    EXPECT_FALSE(EchoPassesAsAnswer(WithCrc(Hex("01 03 00 01 00 01")), Fields(1, 3, 1, 1)));
}

TEST(Receive, AWriteAnswerRepeatsWhatItsRequestWrote) {
    // The coil or register written, and for 15 and 16 the quantity, must be
    // the request's; 5 and 6 may carry another value (what was stored).
    const struct { RequestFields request; const char* frame; RxVerdict verdict; } cases[] = {
        {Fields(1, 5, 0xAC, 0), "01 05 00 AC 00 00", RxVerdict::Answer},
        {Fields(1, 5, 0xAC, 0), "01 05 00 AD FF 00", RxVerdict::Misfit},
        {Fields(1, 15, 0x13, 10), "01 0F 00 13 00 0A", RxVerdict::Answer},
        {Fields(1, 15, 0x13, 10), "01 0F 00 13 00 09", RxVerdict::Misfit},
        {Fields(1, 16, 1, 2), "01 10 00 02 00 02", RxVerdict::Misfit},
        {Fields(1, 16, 1, 2), "01 90 02", RxVerdict::Answer},
    };
    for (const auto& c : cases) {
        RxContext x;
        x.open = true;
        x.request = c.request;
        const TDataByte rx = WithCrc(Hex(c.frame));
        const RxStep step = ScanReceived(rx.data(), rx.size(), x);
        EXPECT_EQ(int(step.verdict), int(c.verdict)) << c.frame;
        EXPECT_EQ(step.size, rx.size()) << c.frame;
    }
}
