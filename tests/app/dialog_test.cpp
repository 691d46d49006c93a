// The value entry dialog: its window, opening and retargeting, the keys,
// the conversion of typed text to hundredths and what each write result
// does to it.
#include "window_fixture.h"

using namespace orn;
using namespace orn::test;
using sim::Model;

namespace {

class Dialog : public WindowTest {
protected:
    // The value bytes of the last write: "04 E2".
    std::string LastValue() const {
        const std::string s = LastSent();
        return s.size() >= 17 ? s.substr(12, 5) : "";
    }
    // Types `text` into the edit key by key, as the keyboard does.
    void Type(const QString& text) {
        for (QChar c : text) Press(dlg->MEdit, c.isDigit() ? Qt::Key_0 + c.digitValue() : Qt::Key_unknown, c);
    }
    // The note under the edit, its spaces as typed ones.
    QString Note() const { return dlg->LabelRange->text().replace(QChar(0xA0), QLatin1Char(' ')); }
    // The typed text stays, selected, and the note says why it was refused.
    void ExpectRefused(const QString& text, const QString& reason) {
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(dlg->MEdit->text(), text);
        EXPECT_EQ(dlg->MEdit->selectedText(), text);
        EXPECT_EQ(Note(), reason) << text.toStdString();
    }
    // Opens the dialog on threshold 1 of an X-20, a register without a range check.
    void OpenOnX20Threshold() {
        if (!line.find(1)) Add(Model::X20, 1);
        ChooseModel(dtX20);
        form->SBtWrLimit1->click();
        ASSERT_TRUE(dlg->isVisible());
        ASSERT_EQ(dlg->Tag, 6);
    }
};

} // namespace

TEST_F(Dialog, WindowAndControls) {
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->isModal());
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("Задать новое значение"));
    const Qt::WindowFlags flags = dlg->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint) << "only the hints given are shown";
    for (Qt::WindowType button : {Qt::WindowSystemMenuHint, Qt::WindowCloseButtonHint, Qt::WindowMinimizeButtonHint,
                                  Qt::WindowMaximizeButtonHint, Qt::WindowContextHelpButtonHint})
        EXPECT_FALSE(flags & button) << std::hex << button;
    EXPECT_EQ(dlg->size(), QSize(132, 71));
    EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize()) << "not resizable";
    EXPECT_EQ(dlg->OKBtn->text(), QString::fromUtf8("Задать"));
    EXPECT_EQ(dlg->OKBtn->geometry(), QRect(5, 41, 58, 25));
    EXPECT_TRUE(dlg->OKBtn->isDefault());
    EXPECT_EQ(dlg->CancelBtn->text(), QString::fromUtf8("Отмена"));
    EXPECT_EQ(dlg->CancelBtn->geometry(), QRect(69, 41, 58, 25));
    EXPECT_EQ(dlg->MEdit->geometry(), QRect(6, 5, 121, 27));
    EXPECT_EQ(dlg->MEdit->text(), "MEdit");
    EXPECT_EQ(dlg->MEdit->font().pixelSize(), 16);
    EXPECT_TRUE(dlg->MEdit->font().families().contains("Cambria"));
    EXPECT_EQ(dlg->OKBtn->nextInFocusChain(), dlg->CancelBtn);
    EXPECT_EQ(dlg->CancelBtn->nextInFocusChain(), dlg->MEdit);
}

TEST_F(Dialog, CentredOverTheMainWindowEachTimeItAppears) {
    form->move(200, 150);
    ShowActive();
    Add(Model::MB4, 1);
    ReadOnce();
    auto centred = [&] {
        const QRect main = form->frameGeometry();
        const QRect self = dlg->frameGeometry();
        return QPoint(main.left() + main.width() / 2 - self.width() / 2,
                      main.top() + main.height() / 2 - self.height() / 2);
    };
    form->SBtWrLimit1->click();
    ASSERT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->frameGeometry().topLeft(), centred());
    EXPECT_EQ(dlg->focusWidget(), dlg->MEdit);

    // Moved by the user, it stays where it is when retargeted.
    dlg->move(10, 20);
    form->SBtWrLimit2->click();
    EXPECT_EQ(dlg->pos(), QPoint(10, 20));
    dlg->CancelBtn->click();
    EXPECT_FALSE(dlg->isVisible());

    form->move(400, 300);
    form->SBtWrMagnet->click();
    EXPECT_EQ(dlg->frameGeometry().topLeft(), centred());
    EXPECT_EQ(dlg->focusWidget(), dlg->MEdit);
}

TEST_F(Dialog, OpensReadyForTypingWithTheNameAndTheRange) {
    Add(Model::MB4, 1);
    ShowActive();
    ReadOnce();
    form->SBtWrMagnet->click();
    EXPECT_EQ(dlg->LabelName->text(), QString::fromUtf8("Газ магн. град-ки, %об")) << "in full, beside the cut caption";
    EXPECT_EQ(Note(), QString::fromUtf8("допустимо 0,01 … 100,00"));
    // A reading while it is open brings the range up to date.
    line.at(1).setReg(4, 5000);
    ReadOnce();
    EXPECT_EQ(Note(), QString::fromUtf8("допустимо 0,01 … 50,00"));
    EXPECT_EQ(dlg->width(), 132) << "the width stays";
    EXPECT_TRUE(dlg->OKBtn->isDefault());
    // Typing replaces the value shown; Enter writes what was typed.
    Type("25");
    EXPECT_EQ(dlg->MEdit->text(), "25");
    Press(dlg->MEdit, Qt::Key_Return);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(Head(LastSent()), "01 06 00 07 09 C4");
}

TEST_F(Dialog, EnterRightAfterOpeningWritesTheShownValue) {
    Add(Model::MB4, 1);
    ShowActive();
    ReadOnce();
    form->SBtWrLimit2->click();
    ASSERT_EQ(dlg->MEdit->text(), Dec("50", "00"));
    Press(dlg->focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(Head(LastSent()), "01 06 00 09 13 88") << "50,00 back as 5000";
    clock.advance(600);

    // Enter in the edit confirms as well; Esc cancels without sending.
    form->SBtWrLimit1->click();
    dlg->MEdit->setFocus();
    dlg->MEdit->setText(Dec("4", "10"));
    Press(dlg->MEdit, Qt::Key_Enter);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(Head(LastSent()), "01 06 00 08 01 9A");
    clock.advance(600);
    form->SBtWrLimit1->click();
    dlg->MEdit->setText("7");
    Press(dlg->MEdit, Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    clock.advance(1000);
    EXPECT_EQ(com1->requests().size(), 3u);
}

TEST_F(Dialog, TypedValuesBecomeHundredthsExactly) {
    OpenOnX20Threshold();
    struct Case {
        const char* whole;
        const char* fraction;   // nullptr: no separator
        const char* value;      // the register value written, high byte first
    } cases[] = {
        {"2", "3", "00 E6"},       // 230
        {"2", "30", "00 E6"},      // the table's own text comes back unchanged
        {"1", "239", "00 7B"},     // 123: further digits are dropped
        {"0", "7", "00 46"},       // 70
        {" +5 ", nullptr, "01 F4"},
        {"655", "35", "FF FF"},    // the largest register value
        {"480", "59", "BB BB"},    // a threshold, not a command
    };
    for (const Case& c : cases) {
        const QString text = c.fraction ? Dec(c.whole, c.fraction) : QString::fromLatin1(c.whole);
        SCOPED_TRACE(text.toStdString());
        form->SBtWrLimit1->click();
        dlg->MEdit->setText(text);
        dlg->OKBtn->click();
        EXPECT_FALSE(dlg->isVisible());
        EXPECT_EQ(LastValue(), c.value);
        clock.advance(600);
    }
}

TEST_F(Dialog, TextThatIsNoNumberOrTooLargeIsRefused) {
    OpenOnX20Threshold();
    const QString otherSeparator = Sep() == "," ? "." : ",";
    const QString noNumber = QString::fromUtf8("не число");
    const QString registerRange = QString::fromUtf8("допустимо ") + Dec("0", "00") + QString::fromUtf8(" … ") +
                                  Dec("655", "35");
    const QString texts[] = {"", "abc", "BBBB", "1e30", "99999999999", "-99999999999", "21474836,48",
                             "2" + otherSeparator + "5",
                             // Hexadecimal readings that look like exponents; no register values.
                             "3E00", "27E5", "2E07", "-1", Dec("-0", "01"), Dec("655", "36"), "700"};
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        dlg->MEdit->setText(text);
        dlg->OKBtn->click();
        const bool number = ParseHundredths(text.toStdString(), Sep().toStdString()).has_value();
        ExpectRefused(text, number ? registerRange : noNumber);
    }
    // A concentration is never a command code: set zero, factory reset.
    form->BtCalb->click();
    for (const QString& text : {Dec("480", "59"), Dec("655", "35")}) {
        dlg->MEdit->setText(text);
        dlg->OKBtn->click();
        ExpectRefused(text, text + QString::fromUtf8(" — код команды, а не концентрация"));
    }
    // Editing the text puts the range back.
    Type("1");
    EXPECT_EQ(Note(), QString::fromUtf8("допустимо ") + Dec("0", "00") + QString::fromUtf8(" … ") + Dec("655", "34"));
    for (const QString& text : {Dec("655", "34")}) {
        dlg->MEdit->setText(text);
        dlg->OKBtn->click();
    }
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(Sent(), std::vector<std::string>{"01 06 00 05 FF FE 59 BB"});
}

TEST_F(Dialog, TypedPointOrCommaBecomesTheRegionalSeparator) {
    OpenOnX20Threshold();
    for (const char* typed : {"2.5", "2,5"}) {
        SCOPED_TRACE(typed);
        form->SBtWrLimit1->click();
        dlg->MEdit->clear();
        Type(QString::fromLatin1(typed));
        EXPECT_EQ(dlg->MEdit->text(), Dec("2", "5"));
        dlg->OKBtn->click();
        EXPECT_FALSE(dlg->isVisible());
        EXPECT_EQ(LastValue(), "00 FA");
        clock.advance(600);
    }
}

TEST_F(Dialog, ThresholdOneFrameUnderTheLocale) {
    Add(Model::MB4, 1);
    ReadOnce();
    com1->clearLog();
    form->SBtWrLimit1->click();
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("Порог №1, %об"));
    EXPECT_EQ(dlg->MEdit->text(), Dec("20", "00"));
    // The other separator, pasted, is no number.
    const QString pasted = Sep() == "," ? "12.50" : "12,50";
    dlg->MEdit->setText(pasted);
    dlg->OKBtn->click();
    ExpectRefused(pasted, QString::fromUtf8("не число"));
    EXPECT_TRUE(com1->written().empty());
    dlg->MEdit->setText(Dec("12", "50"));
    dlg->OKBtn->click();
    EXPECT_EQ(LastSent(), "01 06 00 08 04 E2 8A 81");
    clock.advance(600);
    EXPECT_EQ(Cell(5), Dec("12", "50"));
}

TEST_F(Dialog, ValuesOutOfRangeKeepItOpen) {
    Add(Model::MB4, 1);
    ReadOnce();
    com1->clearLog();
    form->SBtWrMagnet->click();
    EXPECT_EQ(dlg->Tag, 7);
    dlg->MEdit->setText("0");
    dlg->OKBtn->click();
    ExpectRefused("0", QString::fromUtf8("допустимо ") + Dec("0", "01") + QString::fromUtf8(" … ") + Dec("100", "00"));
    // Enter again does not write anything else: the refused text stays.
    Press(dlg->MEdit, Qt::Key_Return);
    ExpectRefused("0", Note());
    EXPECT_TRUE(com1->written().empty());
    dlg->MEdit->setText(Dec("0", "01"));
    dlg->OKBtn->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(Head(LastSent()), "01 06 00 07 00 01");
    clock.advance(600);

    form->SBtWrCurrent->click();
    EXPECT_EQ(dlg->Tag, 10);
    // 800 is 80000 hundredths, 14464 in 16 bits: out of range.
    for (const QString& text : {QString("0"), Dec("50", "01"), QString("-1"), QString("800")}) {
        dlg->MEdit->setText(text);
        dlg->OKBtn->click();
        ExpectRefused(text,
                      QString::fromUtf8("допустимо ") + Dec("0", "01") + QString::fromUtf8(" … ") + Dec("50", "00"));
    }
    dlg->MEdit->setText(Dec("50", "00"));
    dlg->OKBtn->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(Head(LastSent()), "01 06 00 0A 13 88");
    EXPECT_EQ(com1->requests().size(), 2u);
}

TEST_F(Dialog, SecondOpenerRetargetsTheOpenDialog) {
    Add(Model::MB4, 1);
    ReadOnce();
    form->SBtWrLimit1->click();
    dlg->MEdit->setText("1");
    dlg->showMinimized();   // by the user
    form->SBtWrLimit2->click();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(dlg->isMinimized()) << "brought to the front";
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("Порог №2, %об"));
    EXPECT_EQ(dlg->MEdit->text(), Dec("50", "00"));
    EXPECT_EQ(dlg->Tag, 9);
    dlg->MEdit->setText("30");
    dlg->OKBtn->click();
    EXPECT_EQ(Head(LastSent()), "01 06 00 09 0B B8");
}

TEST_F(Dialog, ClosesOnEveryResultButARangeFailure) {
    Add(Model::MB4, 1);
    ReadOnce();
    // Bad address: closed, the box marked.
    form->SBtWrLimit1->click();
    TypeAddress("abc");
    dlg->OKBtn->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(AddressMarkedRed());
    clock.advance(200);
    // Port that cannot be opened: closed after the box.
    com1->refuseOpen = true;
    form->SBtWrLimit1->click();
    dlg->OKBtn->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(portErrorBoxes, 1);
    com1->refuseOpen = false;
    // A transaction open: closed, nothing sent.
    ClickRead();
    form->SBtWrLimit1->click();
    dlg->OKBtn->click();
    EXPECT_FALSE(dlg->isVisible());
    clock.advance(600);
    EXPECT_EQ(com1->requests().size(), 2u) << "the two reads only";
}
