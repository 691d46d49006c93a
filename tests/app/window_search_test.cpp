// The bus search: one probe a second through addresses 1 to 247, the found
// addresses in the address box, the stop that waits for the probe in flight.
#include "window_fixture.h"

using namespace orn;
using namespace orn::test;
using sim::Model;

namespace {

class Search : public WindowTest {
protected:
    void ClickFind() { form->SBtFind->click(); }
    // Lets the search run until it ends on its own.
    void RunToEnd() {
        ASSERT_TRUE(clock.runUntil([&] { return !form->Finding; }, 250000, 100));
    }
    QStringList AddressItems() const {
        QStringList items;
        for (int i = 0; i < form->CBAddr->count(); ++i) items << form->CBAddr->itemText(i);
        return items;
    }
    // The controls a search disables and enables again.
    void ExpectLocked(bool locked) {
        for (QWidget* w : std::initializer_list<QWidget*>{form->SBtGo, form->GBPort, form->GBDev, form->SBtRead,
                                                          form->BtInit, form->BtZero, form->BtCalb, form->BoxAuto})
            EXPECT_EQ(w->isEnabled(), !locked) << w->objectName().toStdString();
        // The write controls keep their state.
        EXPECT_TRUE(form->SBtWrLimit1->isEnabled());
        EXPECT_TRUE(form->GBCur->isEnabled());
    }
};

} // namespace

TEST_F(Search, FullPassWithNobodyOnTheLine) {
    ClickFind();
    EXPECT_TRUE(form->Finding);
    EXPECT_EQ(form->SBtFind->text(), QString::fromUtf8("Стоп"));
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1"));
    ExpectLocked(true);
    EXPECT_EQ(form->CBAddr->count(), 0);
    EXPECT_EQ(form->CBAddr->currentText(), "");
    EXPECT_EQ(form->TimerAuto->interval(), 1000);
    clock.advance(600);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1")) << "a failure shows the address alone";
    EXPECT_EQ(Panel(2), "Err: 1");
    clock.advance(400);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№2"));

    clock.advance(245999);
    EXPECT_TRUE(form->Finding);
    clock.advance(1);
    EXPECT_FALSE(form->Finding) << "the step after 247 ends the search";
    ASSERT_EQ(com1->requests().size(), 247u);
    for (size_t i = 0; i < 247; ++i) {
        const auto& r = com1->requests()[i];
        EXPECT_EQ(r.bytes[0], i + 1);
        EXPECT_EQ(r.atUs, int64_t(i) * 1000000) << "one probe per second";
    }
    EXPECT_EQ(Head(sim::HexText(com1->requests()[0].bytes)), "01 03 00 01 00 0D");
    EXPECT_EQ(Panel(3), QString::fromUtf8("Найдено приборов: 0"));
    EXPECT_EQ(form->ErrCount, 0);
    EXPECT_EQ(Panel(2), "Err: 0") << "the count reset is shown";
    EXPECT_EQ(AddressItems(), QStringList{"1"});
    EXPECT_EQ(form->CBAddr->currentIndex(), 0);
    EXPECT_EQ(form->CBAddr->currentText(), "1");
    EXPECT_EQ(form->SBtFind->text(), QString::fromUtf8("Найти"));
    ExpectLocked(false);
    EXPECT_FALSE(form->BoxAuto->isChecked());
    clock.advance(10000);
    EXPECT_EQ(com1->requests().size(), 247u);
}

TEST_F(Search, FindsTheAnsweringAddressesInOrder) {
    Add(Model::MB4, 17).setReg(8, 1700);
    Add(Model::MB4, 5).setReg(8, 500);
    Add(Model::MB4, 9).faults().exception = 2;   // answers, but not validly
    ClickFind();
    clock.advance(4600);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№5: Ok"));
    EXPECT_EQ(form->CBAddr->currentText(), "5");
    EXPECT_EQ(Cell(5), Dec("5", "00")) << "the grid shows the instrument found";
    clock.advance(4000);
    EXPECT_EQ(Panel(3), QString::fromUtf8("№9"));
    RunToEnd();
    EXPECT_EQ(AddressItems(), QStringList({"5", "17"}));
    EXPECT_EQ(form->CBAddr->currentIndex(), 1);
    EXPECT_EQ(form->CBAddr->currentText(), "17");
    EXPECT_EQ(Panel(3), QString::fromUtf8("Найдено приборов: 2"));
    EXPECT_EQ(Panel(1), "Rx: 2");
    EXPECT_EQ(form->ErrCount, 0);

    ReadOnce();
    EXPECT_EQ(Head(LastSent()).substr(0, 5), "11 03");
    EXPECT_EQ(Panel(3), QString::fromUtf8("№17: Ok"));
    EXPECT_EQ(Cell(5), Dec("17", "00"));
}

TEST_F(Search, StopWaitsForTheProbeInFlightAndCountsItsAnswer) {
    Add(Model::MB4, 2).faults().turnaroundMs = 300;
    ClickFind();
    clock.advance(1010);   // the probe of 2 is on its way
    ASSERT_EQ(com1->requests().size(), 2u);
    ASSERT_TRUE(form->Waiting);
    ClickFind();
    EXPECT_FALSE(form->Finding);
    EXPECT_FALSE(form->Waiting);
    EXPECT_GT(clock.nowUs(), 1300000) << "the answer was waited for";
    EXPECT_LT(clock.nowUs(), 2000000) << "and no more";
    EXPECT_EQ(AddressItems(), QStringList{"2"});
    EXPECT_EQ(Panel(3), QString::fromUtf8("Найдено приборов: 1"));
    EXPECT_EQ(form->SBtFind->text(), QString::fromUtf8("Найти"));
    ExpectLocked(false);
    clock.advance(10000);
    EXPECT_EQ(com1->requests().size(), 2u) << "no probe after the stop";

    // A silent probe is waited for up to its timeout.
    ClickFind();
    EXPECT_EQ(form->CBAddr->count(), 0) << "a new search starts with an empty list";
    clock.advance(10);
    ClickFind();
    EXPECT_FALSE(form->Finding);
    EXPECT_EQ(Panel(3), QString::fromUtf8("Найдено приборов: 0"));
    EXPECT_EQ(AddressItems(), QStringList{"1"});
    EXPECT_EQ(com1->requests().size(), 3u);
}

TEST_F(Search, AutoModeIsSwitchedOffAndStaysOff) {
    Add(Model::MB4, 1);
    SetAuto(true);
    clock.advance(2600);   // one automatic reading done
    ASSERT_EQ(com1->requests().size(), 1u);
    ClickFind();
    EXPECT_FALSE(form->BoxAuto->isChecked());
    EXPECT_FALSE(form->BoxAuto->isEnabled());
    RunToEnd();
    EXPECT_FALSE(form->BoxAuto->isChecked());
    EXPECT_TRUE(form->BoxAuto->isEnabled());
    EXPECT_TRUE(form->SBtRead->isEnabled());
    EXPECT_EQ(AddressItems(), QStringList{"1"});
    EXPECT_EQ(form->FoundCount, 1);
    const size_t sent = com1->requests().size();
    EXPECT_EQ(sent, 1u + 247u);
    clock.advance(10000);
    EXPECT_EQ(com1->requests().size(), sent) << "no automatic reading after the search";
}

TEST_F(Search, StartDuringAnAutomaticReadingProbesAddressOne) {
    // The automatic reading of address 5 is still open when the search starts.
    Add(Model::MB4, 5);
    TypeAddress("5");
    SetAuto(true);
    clock.advance(2010);
    ASSERT_TRUE(form->MB->Busy());
    ClickFind();
    ASSERT_TRUE(form->Finding);
    RunToEnd();
    EXPECT_EQ(AddressItems(), QStringList{"5"}) << "found once, by its own probe";
    EXPECT_EQ(form->FoundCount, 1);
    std::vector<int> probed;
    for (const auto& r : com1->requests()) probed.push_back(r.bytes[0]);
    ASSERT_EQ(probed.size(), 248u);
    EXPECT_EQ(probed[0], 5) << "the automatic reading";
    EXPECT_EQ(probed[1], 1) << "then the search from address 1";
}

TEST_F(Search, ReReadPendingAtTheStartIsNotCountedAsFound) {
    Add(Model::MB4, 1);
    ReadOnce();
    form->BtZero->click();   // would read again 2 s after its answer
    clock.advance(600);
    ClickFind();
    RunToEnd();
    EXPECT_EQ(AddressItems(), QStringList{"1"});
    EXPECT_EQ(form->FoundCount, 1);
    EXPECT_EQ(com1->requests().size(), 2u + 247u) << "the probes only";
    EXPECT_EQ(form->CBAddr->currentText(), "1");
}

TEST_F(Search, RefusedRequestDuringTheSearchLeavesTheProbeAlone) {
    Add(Model::MB4, 1).faults().turnaroundMs = 200;
    ClickFind();
    clock.advance(10);
    ASSERT_TRUE(form->MB->Connected());
    EXPECT_EQ(form->ReadRegisters(7, 1, 13), 0);   // refused by the busy master
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1"));
    EXPECT_EQ(form->ErrCount, 1);
    EXPECT_TRUE(form->MB->Connected()) << "the probe's port stays open";
    EXPECT_TRUE(form->Waiting);
    clock.advance(600);
    EXPECT_EQ(form->FoundCount, 1);
    EXPECT_EQ(form->CBAddr->currentText(), "1");
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));
    EXPECT_EQ(com1->requests().size(), 1u);
}

TEST_F(Search, DoesNotStartWhenThePortCannotBeOpened) {
    com1->refuseOpen = true;
    ClickFind();
    EXPECT_EQ(portErrorBoxes, 1);
    EXPECT_FALSE(form->Finding);
    EXPECT_EQ(form->SBtFind->text(), QString::fromUtf8("Найти"));
    ExpectLocked(false);
    EXPECT_EQ(AddressItems(), QStringList{"1"});
    clock.advance(5000);
    EXPECT_EQ(com1->openAttempts(), 1);
    EXPECT_EQ(portErrorBoxes, 1);
}
