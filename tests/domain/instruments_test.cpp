// Instrument tables: decoding of readings, the register image, range checks of
// writes and the conversion of typed values.
#include "instruments.h"
#include "line_list.h"
#include "line_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace orn;

namespace {

TRegImage Image(std::initializer_list<std::pair<int, uint16_t>> regs) {
    TRegImage img;
    for (auto [reg, v] : regs)
        img.Set(reg, v);
    return img;
}

} // namespace

TEST(Decoding, HundredthsAndGasWithBothSeparators) {
    struct Case { uint16_t v; const char* hundredths; const char* gas; };
    const Case cases[] = {
        {0, "0,00", "0,00"},        {7, "0,07", "0,07"},        {230, "2,30", "2,30"},
        {2150, "21,50", "21,50"},   {9998, "99,98", "99,98"},   {9999, "99,99", "270F"},
        {10000, "100,00", "2710"},  {10004, "100,00", "2714"},  {10005, "100,10", "2715"},
        {10054, "100,50", "2746"},  {10055, "100,60", "2747"},  {10095, "101,00", "276F"},
        {48059, "480,60", "BBBB"},  {65535, "655,40", "FFFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.v);
        EXPECT_EQ(HundredthsText(c.v, ","), c.hundredths);
        EXPECT_EQ(GasText(c.v, ","), c.gas);
        std::string point = c.hundredths, gasPoint = c.gas;
        for (std::string* s : {&point, &gasPoint})
            for (char& ch : *s)
                if (ch == ',')
                    ch = '.';
        EXPECT_EQ(HundredthsText(c.v, "."), point);
        EXPECT_EQ(GasText(c.v, "."), gasPoint);
    }
}

TEST(Decoding, HexDecimalDateTime) {
    EXPECT_EQ(HexText(1024), "0400");
    EXPECT_EQ(HexText(0), "0000");
    EXPECT_EQ(HexText(0xABCD), "ABCD");
    EXPECT_EQ(Decimal32Text(1, 0), "65536");
    EXPECT_EQ(Decimal32Text(0xFFFF, 0xFFFF), "-1");
    EXPECT_EQ(Decimal32Text(0x8000, 0), "-2147483648");
    EXPECT_EQ(Decimal32Text(0x7FFF, 0xFFFF), "2147483647");
    EXPECT_EQ(UnsignedText(65535), "65535");
    EXPECT_EQ(X22DateText(0x1403, 0x070C), "7/3/20");
    EXPECT_EQ(X22DateText(0x14F3, 0x070C), "7/3/20");   // only bits 0-3 are the month
    EXPECT_EQ(X22TimeText(0x070C, 0x1E2D), "12:30:45");
    EXPECT_EQ(X22TimeText(0xFFFF, 0xFFFF), "31:255:63");
}

TEST(Readings, RowsFollowEachModelsRegisters) {
    struct Case { int dev; int row; TRegImage img; const char* text; };
    const Case cases[] = {
        {dtMB1, 0, Image({{5, 0}, {6, 1}}), "65536"},
        {dtMB4, 0, Image({{5, 0xFFFF}, {6, 0xFFFF}}), "-1"},
        {dtMB2, 1, Image({{2, 9999}}), "270F"},
        {dtMB1, 3, Image({{1, 1024}}), "0400"},
        {dtMB3, 9, Image({{11, 0}, {12, 2}}), "131072"},
        {dtMB4, 10, Image({{13, 220}}), "2,20"},
        {dtX20, 0, Image({{1, 0}, {2, 1}}), "65536"},
        {dtX22, 0, Image({{1, 0xFFFF}, {2, 0xFFFF}}), "-1"},
        {dtX20, 1, Image({{5, 65535}}), "FFFF"},
        {dtX20, 3, Image({{3, 1024}}), "0400"},
        {dtX20, 4, Image({{7, 220}}), "2,20"},
        {dtX22, 4, Image({{8, 60}}), "60"},
        {dtX22, 7, Image({{9, 0x1403}, {10, 0x070C}}), "7/3/20"},
        {dtX22, 8, Image({{10, 0x070C}, {11, 0x1E2D}}), "12:30:45"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "model " << c.dev << " row " << c.row);
        EXPECT_EQ(ReadingText(c.dev, c.row, c.img, ","), std::optional<std::string>(c.text));
    }
}

TEST(Readings, UnusedRowsHaveNoLabelAndNoValue) {
    const int rowsUsed[DevTypeCount] = {5, 8, 10, 11, 6, 9};
    TRegImage full;
    full.Regs.fill(0x1234);
    for (int dev = 0; dev < DevTypeCount; ++dev)
        for (int row = 0; row < GridRowCount; ++row) {
            SCOPED_TRACE(testing::Message() << "model " << dev << " row " << row);
            const bool used = row < rowsUsed[dev];
            EXPECT_EQ(RowUsed(dev, row), used);
            EXPECT_EQ(std::strlen(RowLabels(dev, row)) > 0, used);
            EXPECT_EQ(ReadingText(dev, row, full, ",").has_value(), used);
        }
    EXPECT_FALSE(ReadingText(dtMB3, 10, full, ","));
    for (auto [dev, row] : {std::pair{-1, 0}, {6, 0}, {0, -1}, {0, 11}}) {
        EXPECT_STREQ(RowLabels(dev, row), "");
        EXPECT_FALSE(ReadingText(dev, row, full, ","));
    }
    EXPECT_STREQ(RowLabels(dtX22, 4), "Интервал опросов, с");
    EXPECT_STREQ(RowLabels(dtX20, 4), "Версия ПО");
}

TEST(Models, ReadBlocksAndWriteControls) {
    const int counts[DevTypeCount] = {6, 9, 12, 13, 7, 11};
    for (int dev = 0; dev < DevTypeCount; ++dev) {
        SCOPED_TRACE(dev);
        const TModelInfo& m = *ModelOf(dev);
        EXPECT_EQ(m.Group == TModelGroup::mgMB, IsMBModel(dev));
        EXPECT_EQ(m.RegOffset, 1);
        EXPECT_EQ(m.RegCount, counts[dev]);
        EXPECT_LT(m.RegOffset + m.RegCount - 1, RegImageSize);   // every read fits the image
        // An enabled control always has a register to write.
        EXPECT_TRUE(!m.EnLimit1 || m.RegLimit1);
        EXPECT_TRUE(!m.EnLimit2 || m.RegLimit2);
        EXPECT_TRUE(!m.EnMagnet || m.RegMagnet);
        EXPECT_TRUE(!m.EnCurrent || m.RegCurrent);
        EXPECT_TRUE(!m.EnGBCur || (m.RegFix && m.RegFixedOutput));
        EXPECT_EQ(m.RegService, RegServiceProtocol);
        // The calibration register is the gas row's register.
        TRegImage img;
        img.Set(m.RegCalb, CmdSetZero);
        EXPECT_EQ(ReadingText(dev, 1, img, ","), "BBBB");
    }
    EXPECT_EQ(ModelOf(-1), nullptr);
    EXPECT_EQ(ModelOf(DevTypeCount), nullptr);
    EXPECT_STREQ(Models[InitialDevType].ItemText, "ОРН10-X-X1 MB4");
    EXPECT_FALSE(Models[dtMB1].EnLimit1);
    EXPECT_FALSE(Models[dtX20].EnLimit2);
    EXPECT_TRUE(Models[dtX22].EnLimit2);
    EXPECT_EQ(Models[dtX22].RegLimit2, 7);
    EXPECT_FALSE(Models[dtMB2].EnGBCur);
    EXPECT_TRUE(Models[dtMB3].EnCurrent);
}

TEST(ErrorTexts, EveryCodeOfTheMaster) {
    EXPECT_STREQ(MBErrorText(1), "Ошибка 01 (неверный адрес регистра) ");
    EXPECT_STREQ(MBErrorText(7), "Нет связи");
    EXPECT_STREQ(MBErrorText(11), "Ошибка 11 (порт не инициирован)");
    EXPECT_STREQ(MBErrorText(12), "");
    EXPECT_STREQ(MBErrorText(-1), "");
}

TEST(RegImageStore, WordsLandAtOffsetAndNeverPastRegister13) {
    std::vector<uint8_t> block;
    for (int k = 1; k <= 13; ++k) {
        block.push_back(static_cast<uint8_t>(k));
        block.push_back(static_cast<uint8_t>(0x10 + k));
    }
    TRegImage img;
    EXPECT_EQ(img.Store(1, block), 13u);
    EXPECT_EQ(img[0], 0);
    for (int reg = 1; reg <= 13; ++reg)
        EXPECT_EQ(img[reg], (reg << 8) | (0x10 + reg)) << reg;

    // An over-long answer stops at register 13; the registers before stay.
    TRegImage longer = img;
    std::vector<uint8_t> tooMany(2 * 20, 0xEE);
    EXPECT_EQ(longer.Store(10, tooMany), 4u);
    EXPECT_EQ(longer[9], img[9]);
    EXPECT_EQ(longer[13], 0xEEEE);

    // The echo of the service protocol switch has no place in the image.
    TRegImage echo = img;
    EXPECT_EQ(echo.Store(RegServiceProtocol, std::vector<uint8_t>{0x6D, 0x2E}), 0u);
    EXPECT_EQ(echo.Regs, img.Regs);
    EXPECT_EQ(echo.Store(0xFFFF, std::vector<uint8_t>(8, 1)), 0u);
    EXPECT_EQ(echo.Regs, img.Regs);

    // A trailing odd byte is not a word; an empty answer stores nothing.
    TRegImage odd;
    EXPECT_EQ(odd.Store(2, std::vector<uint8_t>{0xBB, 0xBB, 0x12}), 1u);
    EXPECT_EQ(odd[2], 0xBBBB);
    EXPECT_EQ(odd[3], 0);
    EXPECT_EQ(odd.Store(2, std::vector<uint8_t>{0x12}), 0u);
    EXPECT_EQ(odd.Store(2, nullptr, 4), 0u);
    EXPECT_EQ(odd[2], 0xBBBB);

    EXPECT_FALSE(odd.Set(14, 1));
    EXPECT_EQ(odd[14], 0);
    EXPECT_EQ(odd[-1], 0);
}

TEST(RegImageStore, CurrentFixedIsBit10OfRegister1) {
    TRegImage img;
    EXPECT_FALSE(img.CurrentFixed());
    img.Set(1, 0x0400);
    EXPECT_TRUE(img.CurrentFixed());
    img.Set(1, 0xFBFF);
    EXPECT_FALSE(img.CurrentFixed());
}

TEST(RangeCheck, BoundsFromTheImage) {
    // Measuring range 100,00, threshold 1 20,00, threshold 2 50,00.
    const TRegImage mb = Image({{4, 10000}, {8, 2000}, {9, 5000}});
    const TRegImage x22 = Image({{6, 2000}, {7, 5000}});
    struct Case { int dev; int reg; uint16_t v; const TRegImage& img; bool ok; };
    const Case cases[] = {
        {dtMB2, 8, 5000, mb, true},  {dtMB2, 8, 5001, mb, false}, {dtMB2, 8, 0, mb, true},
        {dtMB4, 9, 1999, mb, false}, {dtMB4, 9, 2000, mb, true},  {dtMB4, 9, 10000, mb, true},
        {dtMB4, 9, 10001, mb, false},
        {dtMB3, 7, 0, mb, false},    {dtMB3, 7, 1, mb, true},     {dtMB3, 7, 10000, mb, true},
        {dtMB3, 7, 10001, mb, false},
        {dtMB3, 10, 0, mb, false},   {dtMB3, 10, 1, mb, true},    {dtMB3, 10, 5000, mb, true},
        {dtMB3, 10, 5001, mb, false},
        {dtX22, 6, 5000, x22, true}, {dtX22, 6, 5001, x22, false},
        {dtX22, 7, 1999, x22, false}, {dtX22, 7, 65535, x22, true},
        // Each group takes its bounds from its own registers.
        {dtX22, 6, 1, mb, false},    {dtMB4, 8, 5001, x22, false},
        // No check on the X-20, on other registers, or for an unknown model.
        {dtX20, 6, 65535, x22, true}, {dtX20, 7, 0, x22, true},
        {dtMB1, 2, 0xBBBB, mb, true}, {dtMB1, 1, 0xFFFF, mb, true}, {dtMB4, 99, 0x6D2E, mb, true},
        {dtX22, 5, 0xFFFF, x22, true}, {9, 8, 65535, mb, true},
        // A negative typed value arrives as its low 16 bits: -1 is 65436.
        {dtMB4, 8, static_cast<uint16_t>(-100), mb, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WriteValueAllowed(c.dev, c.reg, c.v, c.img), c.ok)
            << "model " << c.dev << " reg " << c.reg << " value " << c.v;
}

TEST(RangeCheck, LowerBoundAboveUpperRefusesEverything) {
    const TRegImage mb = Image({{4, 1000}, {8, 3000}});   // threshold 1 above the range
    const TRegImage x22 = Image({{6, 3000}, {7, 1000}});
    for (uint32_t v : {0u, 1000u, 2000u, 3000u, 65535u})
        EXPECT_FALSE(WriteValueAllowed(dtMB3, 9, static_cast<uint16_t>(v), mb)) << v;
    EXPECT_FALSE(WriteValueAllowed(dtX22, 6, 3000, x22));
    EXPECT_TRUE(WriteValueAllowed(dtX22, 7, 3000, x22));
    // Before any answer only 0 passes as threshold 1 on an MB model.
    EXPECT_TRUE(WriteValueAllowed(dtMB2, 8, 0, TRegImage{}));
    EXPECT_FALSE(WriteValueAllowed(dtMB2, 8, 1, TRegImage{}));
    EXPECT_FALSE(WriteValueAllowed(dtMB2, 7, 1, TRegImage{}));   // range 0: 1..0
}

// Copying thresholds: each write passes its range check against the image
// as the writes before it leave it, whichever way the thresholds move.
TEST(RangeCheck, CopiedThresholdsGoInAnOrderThatPassesTheChecks) {
    const TRegImage mb = Image({{4, 10000}, {8, 2000}, {9, 5000}});
    const TRegImage x22 = Image({{6, 2000}, {7, 5000}});
    struct Case { int dev; uint16_t t1, t2; const TRegImage& img; };
    const Case cases[] = {{dtMB4, 6000, 8000, mb}, {dtMB2, 500, 1000, mb}, {dtX22, 6000, 9000, x22},
                          {dtX22, 100, 200, x22}};
    for (const Case& c : cases) {
        TRegImage image = c.img;
        const auto writes = SettingWrites(c.dev, {c.t1, c.t2, 3000}, image);
        ASSERT_EQ(writes.size(), c.dev == dtX22 ? 2u : 3u);
        for (const TSettingWrite& w : writes) {
            EXPECT_TRUE(WriteValueAllowed(c.dev, w.Reg, w.Word, image)) << c.dev << " reg " << int(w.Reg);
            image.Set(w.Reg, w.Word);
        }
    }
    // What a model lacks is left out.
    EXPECT_EQ(SettingWrites(dtX20, {1000, 2000, 3000}, TRegImage{}).size(), 1u);
    EXPECT_TRUE(SettingWrites(dtMB1, {1000, 2000, 3000}, TRegImage{}).empty());
}

TEST(Readings, AlarmLevelAndStatusBits) {
    EXPECT_EQ(AlarmLevel(dtMB4, Image({{2, 1999}, {8, 2000}, {9, 5000}})), 0);
    EXPECT_EQ(AlarmLevel(dtMB4, Image({{2, 2000}, {8, 2000}, {9, 5000}})), 1);
    EXPECT_EQ(AlarmLevel(dtMB4, Image({{2, 5000}, {8, 2000}, {9, 5000}})), 2);
    EXPECT_EQ(AlarmLevel(dtMB4, Image({{2, 0xBBBB}, {8, 2000}, {9, 5000}})), 0);   // a command's echo
    EXPECT_EQ(AlarmLevel(dtX20, Image({{5, 9000}, {6, 2000}, {7, 100}})), 1);      // register 7: its version
    EXPECT_EQ(AlarmLevel(dtMB1, Image({{2, 9000}})), 0);
    EXPECT_EQ(StatusRegister(dtMB2), 1);
    EXPECT_EQ(StatusRegister(dtX22), 3);
    ASSERT_EQ(StatusBits(dtMB3).size(), 1u);
    EXPECT_EQ(StatusBits(dtMB3)[0].Mask, CurrentFixedMask);
    EXPECT_TRUE(StatusBits(dtX20).empty());
}

TEST(LineList, WrittenAndReadBackAndRefusedWithTheLine) {
    TLineList list;
    list.Port = "COM3";
    list.Entries = {{1, dtMB4, false, {19200, ptEVEN}}, {5, dtX22, true, {9600, ptNONE}}, {7, -1, false, {2400, ptODD}}};
    const std::string text = FormatLineList(list);
    EXPECT_EQ(text, "ORN10 line 1\nport COM3\n1 MB4 19200 E\n5 X-22 9600 N set\n7 ? 2400 O\n");
    TLineList back;
    std::string error;
    ASSERT_TRUE(ParseLineList("\xEF\xBB\xBF" + text + "# a note\r\n\n", back, error)) << error;
    EXPECT_EQ(FormatLineList(back), text);
    for (const char* bad : {"", "1 MB4 19200 E\n", "ORN10 line 1\n0 MB4 19200 E\n", "ORN10 line 1\n1 MB9 19200 E\n",
                            "ORN10 line 1\n1 MB4 19201 E\n", "ORN10 line 1\n1 MB4 19200 X\n",
                            "ORN10 line 1\n1 MB4 19200 E set more\n", "ORN10 line 1\n1 MB4 19200 E\n1 MB2 19200 E\n"}) {
        EXPECT_FALSE(ParseLineList(bad, back, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(FormatLineList(back), text);   // nothing taken from a file with an error
}

// A sweep tries the usual settings first and each once; its time is the
// silent line's at every setting, said before it starts.
TEST(LineScan, SweepOrderAndTime) {
    const std::vector<TLineSetting> all = SweepOrder();
    ASSERT_EQ(all.size(), 24u);
    const std::vector<TLineSetting> first = {{19200, ptEVEN}, {9600, ptEVEN}, {19200, ptNONE},
                                             {9600, ptNONE},  {19200, ptODD}, {9600, ptODD}};
    EXPECT_TRUE(std::equal(first.begin(), first.end(), all.begin()));
    EXPECT_EQ(all[6], (TLineSetting{115200, ptEVEN}));
    EXPECT_EQ(all.back(), (TLineSetting{1200, ptODD}));
    for (size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(std::count(all.begin(), all.end(), all[i]), 1) << SettingText(all[i]);
    EXPECT_EQ(SweepOrder({{2400, ptODD}, {9600, ptNONE}, {2400, ptODD}}),
              (std::vector<TLineSetting>{{9600, ptNONE}, {2400, ptODD}}));
    EXPECT_EQ(SettingText({9600, ptNONE}), "9600 8N1");
    // 247 addresses at 19200: each the request's wire time (4.6 ms) and 44 ms.
    TScanPlan plan;
    EXPECT_NEAR(PlanSilentMs(plan) / 1000, 247 * (4.58 + 44) / 1000, 0.3);
    plan.TimeoutMs = 400;
    EXPECT_NEAR(PlanSilentMs(plan) / 1000, 247 * 404.58 / 1000, 0.3);
    plan.From = 1, plan.To = 10, plan.TimeoutMs = 0, plan.Settings = all;
    double ms = 0;
    for (const auto& st : all) ms += 10 * (WireMs(st, RequestBytes) + DefaultProbeTimeoutMs(st));
    EXPECT_NEAR(PlanSilentMs(plan), ms, 1);
}

TEST(ValueConversion, ExactDecimalHundredths) {
    struct Case { const char* text; const char* sep; std::optional<int32_t> h; };
    const std::optional<int32_t> NaN;
    const Case cases[] = {
        {"2,3", ",", 230},   {"0,7", ",", 70},     {"1,239", ",", 123},  {"-0,5", ",", -50},
        {"2,30", ",", 230},  {"4,10", ",", 410},   {"-1", ",", -100},    {"700", ",", 70000},
        {"2.5", ".", 250},   {"-1,239", ",", -123}, {"-0,001", ",", 0},   {"0,009", ",", 0},
        {"+5", ",", 500},    {",5", ",", 50},      {"5,", ",", 500},     {"007,50", ",", 750},
        {"  12,5\t", ",", 1250}, {"480,59", ",", 48059}, {"655,35", ",", 65535},
        {"21474836,47", ",", 2147483647}, {"-21474836,48", ",", INT32_MIN},
        {"21474836,47999999999", ",", 2147483647},
        // No exponent: hexadecimal readings look like one.
        {"3E00", ",", NaN},  {"27E5", ",", NaN},   {"2E07", ",", NaN},   {"1,5e2", ",", NaN},
        {"25e-1", ",", NaN}, {"1E+2", ",", NaN},  {"0e0", ",", NaN},
        // Not a number.
        {"", ",", NaN},      {"   ", ",", NaN},    {"abc", ",", NaN},    {"270F", ",", NaN},
        {"BBBB", ",", NaN},  {"2.5", ",", NaN},    {"2,5", ".", NaN},    {",", ",", NaN},
        {"-", ",", NaN},     {"1e", ",", NaN},     {"1e+", ",", NaN},    {"1,2,3", ",", NaN},
        {"--1", ",", NaN},   {"1 000", ",", NaN},  {"e5", ",", NaN},     {"0x10", ",", NaN},
        // Hundredths beyond 32 bits.
        {"21474836,48", ",", NaN}, {"-21474836,49", ",", NaN}, {"99999999999", ",", NaN},
        {"1e30", ",", NaN},  {"1e999999999", ",", NaN}, {"1e99999999999999999999", ",", NaN},
        {"-1e30", ",", NaN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseHundredths(c.text, c.sep), c.h) << '"' << c.text << "\" sep " << c.sep;
    // 700 would reach the register as its low 16 bits (4464): no register value.
    EXPECT_FALSE(TypedValueWritable(dtX20, 6, *ParseHundredths("700", ",")));
    // Every gas reading shown in hexadecimal is no number, or (digits only,
    // from 2710 up) no register value.
    for (uint32_t v = 9999; v <= 0xFFFF; ++v) {
        const std::string shown = GasText(static_cast<uint16_t>(v), ",");
        const std::optional<int32_t> h = ParseHundredths(shown, ",");
        ASSERT_TRUE(!h || !TypedValueWritable(dtMB4, 2, *h)) << shown;
    }
    EXPECT_EQ(ZeroFourDecimals(","), "0,0000");
    EXPECT_EQ(ZeroFourDecimals("."), "0.0000");
}

TEST(ValueConversion, ShownValuesConvertBackToTheirRegister) {
    // Confirming a value as the table shows it writes back what was read;
    // from 100,00 up the table shows it rounded, and that is what comes back.
    for (uint32_t v = 0; v <= 65535; ++v) {
        const uint16_t r = static_cast<uint16_t>(v);
        for (const char* sep : {",", "."}) {
            const std::string shown = HundredthsText(r, sep);
            const std::optional<int32_t> back = ParseHundredths(shown, sep);
            ASSERT_TRUE(back) << shown;
            const int32_t d = *back - static_cast<int32_t>(v);
            const bool ok = v < 10000 ? d == 0
                                      : *back % 10 == 0 && d > -5 && d <= 5 &&
                                            (*back > 65535 || HundredthsText(static_cast<uint16_t>(*back), sep) == shown);
            if (!ok)
                FAIL() << v << " shown as " << shown;
        }
    }
}

TEST(ValueConversion, HugeTextIsRefusedWithoutHanging) {
    EXPECT_EQ(ParseHundredths("1" + std::string(100000, '0'), ","), std::nullopt);
    EXPECT_EQ(ParseHundredths("0," + std::string(100000, '0') + "1", ","), 0);
    EXPECT_EQ(ParseHundredths("1e" + std::string(100000, '9'), ","), std::nullopt);
}
