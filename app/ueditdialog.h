// TDlgForm: the small non-modal window in which a new value is typed.
//
// The main window's commands open it on a row of the readings table; OK
// converts the typed number to hundredths and hands it to the main window's
// WriteRegister, with the register kept in the dialog's Tag.
#pragma once

#include <QDialog>

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
    int Tag = 0;   // the register the value is for

    // What an opener does: text, caption and register, then show and raise.
    // An open dialog is retargeted where it stands.
    void Open(const QString& text, const QString& caption, int tag);

    void OKBtnClick();
    void CancelBtnClick();
    void FormShow();
    // A typed point or comma becomes the regional decimal separator, so that
    // a fraction can be typed whichever it is; returns the text to insert.
    QString MEditKeyPress(QChar key) const;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TMForm* mainForm_;
};

} // namespace orn
