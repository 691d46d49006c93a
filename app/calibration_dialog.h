// "Калибровка": the guided check and calibration of the instrument selected
// in the main window, beside it (the window's buttons stay as they are).
//
// First the setup: the kind of work, the test gas and its cylinder (an
// expired one is refused), the technician (remembered), the site, the
// criteria.  Then the session: the live reading on a trend zoomed on the
// target with its band, whether the reading is stable, and the one action
// the step offers.  The dialog reads the instrument through the window's
// own master (every 2 s while the window's auto mode is off; with it on,
// the window's reads serve) and sends zero and span through the window's
// guarded calibration write.  Readings before and after are taken as the
// session goes; the result is recorded, and the certificate made on request.
#pragma once

#include "calibration_session.h"
#include "form_tap.h"
#include "records_link.h"

#include <QDialog>

#include <functional>
#include <memory>

class QComboBox;
class QDateEdit;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;

namespace orn {

class TTrendPlot;

class TCalibrationDialog : public QDialog {
    Q_OBJECT

public:
    TCalibrationDialog(TMForm& form, TFormTap& tap, TRecordsLink& link, Scheduler& scheduler);
    ~TCalibrationDialog() override;

    // ---- The setup.
    QComboBox* Kind;
    QLineEdit* Gas;
    QLineEdit* Lot;
    QDateEdit* Expiry;
    QComboBox* Technician;
    QLineEdit* Site;
    QLineEdit* Notes;
    QDoubleSpinBox* Tolerance;
    QSpinBox* StableSeconds;
    QSpinBox* BumpShare;
    QSpinBox* BumpSeconds;
    QLabel* SetupError;
    QPushButton* BtStart;

    // ---- The session.
    QLabel* Instrument;
    QLabel* StepText;
    QLabel* Reading;
    QLabel* Stability;
    QLabel* Results;
    QLabel* Footer;
    TTrendPlot* Plot;
    QPushButton* BtGasApplied;
    QPushButton* BtZero;
    QPushButton* BtSpan;
    QPushButton* BtCancel;
    QPushButton* BtCertificate;
    QPushButton* BtNew;

    // Checks the setup and begins; false (SetupError says why) when it is wrong.
    bool Start();
    TCalibrationSession* Session() const { return session_.get(); }
    // The certificate of the finished session: made and opened.
    QString MakeCertificate();

    // Opens a made certificate (the system's viewer; tests replace it).
    std::function<void(const QString& path)> OpenFile;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void BuildSetup(QWidget* page);
    void BuildSession(QWidget* page);
    void Tick();
    void OnTransaction(const TTransaction& t);
    void UpdateView();
    void Cancel();
    QString Number(double v) const;
    QString RefusalText(int code) const;
    // The instrument the window has selected now: slave 0 when its address is none.
    uint8_t SelectedSlave() const;

    TMForm& form_;
    TRecordsLink& link_;
    Scheduler& scheduler_;
    QStackedWidget* pages_;
    std::unique_ptr<TCalibrationSession> session_;
    std::unique_ptr<Timer> tick_;
    uint32_t lastReadMs_ = 0;     // the last answer of the instrument, or read asked
    uint32_t lastEchoMs_ = 0;
    bool readSent_ = false;
    bool awaitingCommand_ = false;
    bool waitsForInstrument_ = false;   // the window has another instrument selected
    enum class TWant { None, Zero, Span } want_ = TWant::None;
    QString notice_;              // why the last command did not go
};

} // namespace orn
