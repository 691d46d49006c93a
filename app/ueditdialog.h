// TDlgForm: the small non-modal window in which a new value is typed.
//
// The main window's commands open it on a row of the readings table; OK
// converts the typed number to hundredths and hands it to the main window's
// WriteRegister, with the register kept in the dialog's Tag.
//
// It opens with the caret in the edit and the text selected, so typing
// replaces the value and Enter confirms what is shown.  Above the edit it
// names the value in full (the caption is cut at the dialog's width); below
// it, the values the register accepts now, or why a value was refused.  A
// refused value stays in the edit, selected, for correction.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace orn {

class TMForm;

class TDlgForm : public QDialog {
    Q_OBJECT

public:
    explicit TDlgForm(TMForm* mainForm);

    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QLineEdit* MEdit;
    QLabel* LabelName;    // the value's name in full
    QLabel* LabelRange;   // the values allowed, or why the typed one was refused
    int Tag = 0;          // the register the value is for

    // What an opener does: text, caption and register, then show and raise.
    // An open dialog is retargeted where it stands.
    void Open(const QString& text, const QString& caption, int tag);

    void OKBtnClick();
    void CancelBtnClick();
    void FormShow();
    // A typed point or comma becomes the regional decimal separator, so that
    // a fraction can be typed whichever it is; returns the text to insert.
    QString MEditKeyPress(QChar key) const;
    // Shows the values the register accepts as the main window now knows
    // them (a reading has come); a refusal on display stays until the text
    // is edited.
    void UpdateRange();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows why the typed value is not written and selects it for correction.
    void Refuse(const QString& reason);
    void ShowNote(const QString& text, bool refusal);
    void ShowRange() { ShowNote(RangeText(), false); }
    QString RangeText() const;
    // Places the controls under the name, the note under the edit, and sizes
    // the window to them.
    void Arrange();

    TMForm* mainForm_;
    bool refused_ = false;   // LabelRange shows a refusal
};

} // namespace orn
