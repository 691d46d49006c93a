// Fault soak: the window in auto mode against an instrument whose answers are
// dropped, corrupted, split, delayed and garbled at random, in virtual time.
//
// Every build runs 30 virtual minutes (a fraction of a second, also under
// the sanitizers); ORN10_SOAK_MINUTES sets another length, and from an hour
// on the run also watches the process's resident memory:
//   ORN10_SOAK_MINUTES=600 build/tests/soak/soak_window_test --gtest_filter='Soak*'
#include "window_fixture.h"

#include <QElapsedTimer>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <string>

using namespace orn;
using namespace orn::test;
using sim::Model;

namespace {

constexpr int DefaultMinutes = 30;
constexpr int64_t AutoPeriodMs = 2000;
constexpr int64_t StepMs = 100;

int SoakMinutes() {
    const char* text = std::getenv("ORN10_SOAK_MINUTES");
    if (!text || !*text) return DefaultMinutes;
    const int minutes = std::atoi(text);
    return minutes < 1 ? DefaultMinutes : std::min(minutes, 24 * 60);
}

// Resident set size of this process in KiB; 0 where /proc is missing.
long VmRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool UnderAsan = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool UnderAsan = true;
#else
constexpr bool UnderAsan = false;
#endif
#else
constexpr bool UnderAsan = false;
#endif

// The fault mix of each virtual minute, in turn:
//  0: answers late but inside the 500 ms answer timeout, short pauses;
//  1: answers after the timeout (they reach a closed port), pauses that
//     outlast it (the tail comes after the transaction has ended);
//  2: answers so late that they meet the next request on the line.
sim::RandomFaults FaultsOfMinute(int minute) {
    sim::RandomFaults rf;
    rf.drop = 0.06;
    rf.corrupt = 0.06;
    rf.split = 0.06;
    rf.delay = 0.06;
    rf.garble = 0.06;
    const int phase = minute % 3;
    rf.delayMs = std::array<int, 3>{300, 700, 1990}[size_t(phase)];
    rf.splitGapMs = std::array<int, 3>{50, 600, 150}[size_t(phase)];
    rf.seed = uint32_t(1000 + minute);
    return rf;
}
// Only in phase 2 can an answer that belongs to an earlier request still be
// taken for the present one (MODBUS RTU answers carry no request number), and
// for the first requests after it.
bool LateAnswersPossible(int minute) { return minute % 3 == 2; }

class Soak : public WindowTest {
protected:
    // Registers of the MB4 that change on their own; the rest only change
    // when the test changes them.
    static bool WorkTimeRegister(int reg) { return reg == 11 || reg == 12; }
    // The gas reading moves with every read, and the current output with it.
    static constexpr int LiveRegisters[] = {2, 10};
    static constexpr int Registers = 13;

    sim::Instrument* inst = nullptr;
    // Every value each register has held.
    std::array<std::set<uint16_t>, Registers + 1> history;
    int minute = 0;
    int64_t strictFromMs = 0;   // no late answer of an earlier phase from here on
    int answers = 0;
    int errors = 0;
    std::map<int, int> errorCodes;
    uint32_t lastWorkShown = 0;
    int lateAnswersTaken = 0;
    int fixedShown = 0;   // answers with the current output fixed
    int mismatches = 0;   // failures reported by the checks, kept small in the log

    void Remember() {
        for (int r = 1; r <= Registers; ++r) history[size_t(r)].insert(inst->reg(r));
    }
    void RememberLive() {
        for (int r : LiveRegisters) history[size_t(r)].insert(inst->reg(r));
    }

    // After each "Ok": the grid shows what the instrument held, and the
    // image is exactly what it answered.
    void CheckAnswer() {
        const TRegImage& image = form->RegImage;
        // The read that was just served moved the live registers.
        RememberLive();
        const bool strict = !LateAnswersPossible(minute) && clock.nowMs() >= strictFromMs;
        TRegImage expected = image;
        // The gas reading moves with every read: an answer that shows another
        // value than the instrument holds now belongs to an earlier request.
        if (image[LiveRegisters[0]] != inst->reg(LiveRegisters[0])) ++lateAnswersTaken;
        for (int r = 1; r <= Registers; ++r) {
            if (WorkTimeRegister(r)) continue;
            const uint16_t now = inst->reg(r);
            if (strict) expected.Set(r, now);
            if ((strict ? image[r] != now : !history[size_t(r)].count(image[r])) && ++mismatches <= 5)
                ADD_FAILURE() << "register " << r << " shows " << image[r] << ", the instrument holds " << now
                              << " (minute " << minute << ", answer " << answers << ")";
        }
        // Working time counts on in the instrument: what is shown lies
        // between the last value shown and the instrument's count now.
        const uint32_t shown = uint32_t(image[12]) << 16 | image[11];
        const uint32_t now = uint32_t(inst->reg(12)) << 16 | inst->reg(11);
        if ((shown < lastWorkShown || shown > now) && ++mismatches <= 5)
            ADD_FAILURE() << "working time " << shown << " after " << lastWorkShown << ", instrument " << now;
        lastWorkShown = shown;

        for (int row = 0; row < GridRowCount; ++row) {
            const auto text = ReadingText(dtMB4, row, expected, form->DecimalSeparator);
            ASSERT_TRUE(text) << row;
            if (Cell(row) != QString::fromStdString(*text) && ++mismatches <= 5)
                ADD_FAILURE() << "row " << row << ": " << Cell(row).toStdString() << " instead of " << *text;
        }
        EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));
        EXPECT_EQ(form->BoxFix->isChecked(), image.CurrentFixed());
        fixedShown += image.CurrentFixed();
    }

    // A person at the instrument changes its settings now and then; the
    // window is idle then.
    void ChangeInstrument(int step) {
        switch (step % 4) {
        case 0: inst->setReg(8, uint16_t(1000 + step % 1000)); break;
        case 1: inst->setReg(9, uint16_t(5000 + step % 2000)); break;
        case 2: inst->setReg(1, uint16_t((step / 4 % 2 ? CurrentFixedMask : 0) | (step & 0x0F))); break;
        case 3:
            inst->setReg(7, uint16_t(3000 + step % 500));
            inst->setReg(3, uint16_t(2000 + step % 300));
            break;
        }
        Remember();
    }
};

TEST_F(Soak, AutoModeAgainstRandomFaultsEndsEveryRequestOnce) {
    const int minutes = SoakMinutes();
    inst = &Add(Model::MB4, 1);
    line.freezeDrift(false);   // the gas reading moves with every read
    inst->setRandomFaults(FaultsOfMinute(0));
    Remember();

    TModbusM& mb = *form->MB;
    // Every end of a transaction goes through the window's handlers; the
    // checks run right after each one.
    mb.OnResponseReady = [&](TModbusM* sender) {
        EXPECT_TRUE(form->Waiting) << "an answer without an open request";
        form->MBResponseReady(sender);
        ++answers;
        EXPECT_EQ(form->RxCount + form->ErrCount, form->TxCount);
        CheckAnswer();
    };
    mb.OnError = [&](TModbusM* sender, const std::string& text) {
        const int code = mb.ErrorCode();
        EXPECT_TRUE(form->Waiting) << "an error without an open request, code " << code;
        ++errorCodes[code];
        form->MBError(sender, text);
        ++errors;
        EXPECT_EQ(form->RxCount + form->ErrCount, form->TxCount);
        EXPECT_EQ(Panel(3), QString::fromUtf8("№1: ") + QString::fromUtf8(MBErrorText(code)));
    };

    QElapsedTimer wall;
    wall.start();
    long rssAfterWarmUp = 0;
    size_t maxRx = 0;
    int changes = 0;
    size_t requestsOnLine = 0;

    SetAuto(true);
    const int64_t totalMs = int64_t(minutes) * 60000;
    for (int64_t t = StepMs; t <= totalMs; t += StepMs) {
        clock.advance(StepMs);
        maxRx = std::max(maxRx, mb.RxBuffer().size());
        ASSERT_LE(mb.RxBuffer().size(), MaxRtuFrame) << "at " << t << " ms";
        RememberLive();

        if (t % AutoPeriodMs == AutoPeriodMs / 2) {
            // Half way between two reads the last request has ended: port
            // closed, no poll, no answer timeout, only the auto timer runs.
            ASSERT_FALSE(form->Waiting) << "at " << t << " ms";
            ASSERT_FALSE(mb.Busy()) << "at " << t << " ms";
            ASSERT_FALSE(com1->isOpen()) << "at " << t << " ms";
            ASSERT_EQ(clock.runningTimers(), 1) << "at " << t << " ms";
            ASSERT_EQ(form->TxCount, int(t / AutoPeriodMs));
            // The port's log of requests would grow with the run: count and drop it.
            requestsOnLine += com1->requests().size();
            com1->clearLog();
            if (t % 20000 == 11000) ChangeInstrument(changes++);
        }
        if (t % 60000 == 0) {
            if (LateAnswersPossible(minute)) strictFromMs = t + 2 * AutoPeriodMs;
            minute = int(t / 60000);
            inst->setRandomFaults(FaultsOfMinute(minute));
            if (minute == std::max(1, minutes / 3)) rssAfterWarmUp = VmRssKb();
        }
        if (HasFatalFailure()) return;
    }

    // Stop and let the last request finish.
    SetAuto(false);
    clock.advance(3 * AutoPeriodMs);
    const double wallSeconds = double(wall.elapsed()) / 1000;

    EXPECT_FALSE(mb.Busy());
    EXPECT_FALSE(form->Waiting);
    EXPECT_FALSE(com1->isOpen());
    EXPECT_EQ(clock.runningTimers(), 0) << "nothing runs once auto mode is off";
    EXPECT_EQ(form->TxCount, int(totalMs / AutoPeriodMs)) << "one request every 2 s, none lost";
    EXPECT_EQ(size_t(form->TxCount), requestsOnLine + com1->requests().size());
    EXPECT_EQ(form->TxCount, form->RxCount + form->ErrCount);
    EXPECT_EQ(form->RxCount, answers);
    EXPECT_EQ(form->ErrCount, errors);
    EXPECT_EQ(Panel(0), "Tx: " + QString::number(form->TxCount));
    EXPECT_EQ(Panel(1), "Rx: " + QString::number(form->RxCount));
    EXPECT_EQ(Panel(2), "Err: " + QString::number(form->ErrCount));
    // Only what a faulty line gives: no answer, or a damaged one; never a
    // refusal (no transaction outlived the 2 s period) or an exception.
    for (const auto& [code, count] : errorCodes)
        EXPECT_TRUE(code == mbTimeout || code == mbCommError) << "error code " << code << " x" << count;
    // The faults did happen, and most reads still got through.
    EXPECT_GT(errors, form->TxCount / 20);
    EXPECT_GT(answers, form->TxCount / 2);
    EXPECT_GT(fixedShown, 0) << "the fix of the current output came and went";
    EXPECT_LT(fixedShown, answers);
    static_assert(sizeof(TRegImage) == RegImageSize * sizeof(uint16_t), "the image is a fixed block");

    std::string codes;
    for (const auto& [code, count] : errorCodes) codes += " " + std::to_string(code) + ":" + std::to_string(count);
    std::printf("soak: %d virtual minutes, %d requests, %d answers, %d errors (codes%s), "
                "%d of the answers taken were late ones of an earlier request, largest receive buffer %zu, "
                "line: %d frames %d answers %d unheard; %.3f s wall\n",
                minutes, form->TxCount, answers, errors, codes.c_str(), lateAnswersTaken, maxRx, line.stats().frames,
                line.stats().answers, line.stats().unheard, wallSeconds);
    RecordProperty("requests", form->TxCount);
    RecordProperty("answers", answers);
    RecordProperty("errors", errors);

    // Memory stays flat over the long form.  Loose, and not under
    // AddressSanitizer, whose quarantine holds freed memory on purpose.
    if (minutes >= 60 && !UnderAsan && rssAfterWarmUp > 0) {
        const long rssEnd = VmRssKb();
        std::printf("soak: VmRSS %ld KiB after warm-up, %ld KiB at the end\n", rssAfterWarmUp, rssEnd);
        EXPECT_LE(rssEnd - rssAfterWarmUp, 4096) << "resident memory grew during the soak";
    }
}

} // namespace
