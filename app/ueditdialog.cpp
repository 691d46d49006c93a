#include "ueditdialog.h"

#include "frame.h"
#include "instruments.h"
#include "umain.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace orn {

namespace {
constexpr int Border = 5;
}

TDlgForm::TDlgForm(TMForm* mainForm)
    : QDialog(mainForm, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      mainForm_(mainForm) {
    setObjectName(QStringLiteral("DlgForm"));
    setModal(false);
    setWindowTitle(QString::fromUtf8("Задать новое значение"));
    setFixedSize(122 + 2 * Border, 61 + 2 * Border);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);

    OKBtn = new QPushButton(QString::fromUtf8("Задать"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(Border + 0, Border + 36, 58, 25);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QString::fromUtf8("Отмена"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(Border + 64, Border + 36, 58, 25);
    CancelBtn->setAutoDefault(false);
    MEdit = new QLineEdit(QStringLiteral("MEdit"), this);
    MEdit->setObjectName(QStringLiteral("MEdit"));
    MEdit->setGeometry(Border + 1, Border + 0, 121, 27);
    QFont editFont(QStringLiteral("Cambria"));
    editFont.setStyleHint(QFont::Serif);
    editFont.setPixelSize(16);
    MEdit->setFont(editFont);
    MEdit->installEventFilter(this);
    setTabOrder(OKBtn, CancelBtn);
    setTabOrder(CancelBtn, MEdit);

    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
}

void TDlgForm::Open(const QString& text, const QString& caption, int tag) {
    MEdit->setText(text);
    setWindowTitle(caption);
    Tag = tag;
    // To the front also from a minimised state, where raising alone leaves it.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TDlgForm::FormShow() {
    // Centred over the main window, top first, on outer rectangles.
    const QRect main = mainForm_->frameGeometry();
    const QRect self = frameGeometry();
    const int top = main.top() + main.height() / 2 - self.height() / 2;
    const int left = main.left() + main.width() / 2 - self.width() / 2;
    move(left, top);
}

void TDlgForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Before the window is mapped, so that the window manager frames it so.
    AskForCaptionOnly(*this);
    FormShow();
    // Shown for the first time, it has no frame yet: centred again by its
    // frame once the window manager has added it.
    if (frameGeometry() == geometry()) WhenOnScreen(*this, [this] { FormShow(); });
    OKBtn->setFocus(Qt::OtherFocusReason);
}

void TDlgForm::OKBtnClick() {
    const std::string sep = mainForm_->DecimalSeparator;
    const uint8_t reg = uint8_t(Tag & 0xFF);
    const auto hundredths = ParseHundredths(MEdit->text().toStdString(), sep);
    // A number that is no register value (it would wrap around 16 bits) or
    // a concentration that is a command code is refused like no number.
    const int result = hundredths && TypedValueWritable(mainForm_->DevType, reg, *hundredths)
                           ? mainForm_->WriteRegister(0, reg, *hundredths)
                           : 1;
    if (result == 1) {
        MEdit->setText(QString::fromStdString(ZeroFourDecimals(sep)));
        return;
    }
    // Not sent for want of a reading: the value stays for another try.
    if (result == 4) return;
    hide();
}

void TDlgForm::CancelBtnClick() { hide(); }

void TDlgForm::reject() { CancelBtnClick(); }

QString TDlgForm::MEditKeyPress(QChar key) const {
    if (key == QLatin1Char('.') || key == QLatin1Char(','))
        return QString::fromStdString(mainForm_->DecimalSeparator);
    return key;
}

bool TDlgForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == MEdit && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->text().size() == 1) {
            const QString replaced = MEditKeyPress(key->text().at(0));
            if (replaced != key->text()) {
                MEdit->insert(replaced);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace orn
