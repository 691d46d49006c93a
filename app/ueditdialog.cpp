#include "ueditdialog.h"

#include "frame.h"
#include "instruments.h"
#include "umain.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <optional>

namespace orn {

namespace {
constexpr int Border = 5;
constexpr int ClientWidth = 122;
// The edit, and the buttons 36 pixels below its top.
constexpr int EditHeight = 27;
constexpr int ButtonsBelowEdit = 36;
constexpr int ButtonHeight = 25;
} // namespace

TDlgForm::TDlgForm(TMForm* mainForm)
    : QDialog(mainForm, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      mainForm_(mainForm) {
    setObjectName(QStringLiteral("DlgForm"));
    setModal(false);
    setWindowTitle(QString::fromUtf8("Задать новое значение"));
    setFixedSize(ClientWidth + 2 * Border, ButtonsBelowEdit + ButtonHeight + 2 * Border);
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
    // The texts around the edit in the main window's font, which fits them
    // into the dialog's width.
    auto note = [&](const char* name) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        label->setWordWrap(true);
        label->setFont(mainForm->font());
        // (On the button-face background a label would take the button's text colour.)
        label->setForegroundRole(QPalette::WindowText);
        return label;
    };
    LabelName = note("LabelName");
    LabelRange = note("LabelRange");
    setTabOrder(OKBtn, CancelBtn);
    setTabOrder(CancelBtn, MEdit);
    Arrange();

    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
    // A refusal stands for the text it refused.
    connect(MEdit, &QLineEdit::textEdited, this, [this] {
        if (refused_) ShowRange();
    });
}

void TDlgForm::Arrange() {
    auto height = [](const QLabel* label) { return label->text().isEmpty() ? 0 : label->heightForWidth(ClientWidth); };
    const int nameHeight = height(LabelName);
    const int edit = nameHeight ? nameHeight + 3 : 0;
    const int noteHeight = height(LabelRange);
    const int note = edit + EditHeight + 2;
    const int buttons = std::max(edit + ButtonsBelowEdit, note + noteHeight + 4);
    LabelName->setGeometry(Border, Border, ClientWidth, nameHeight);
    MEdit->setGeometry(Border + 1, Border + edit, 121, EditHeight);
    LabelRange->setGeometry(Border, Border + note, ClientWidth, noteHeight);
    OKBtn->setGeometry(Border + 0, Border + buttons, 58, ButtonHeight);
    CancelBtn->setGeometry(Border + 64, Border + buttons, 58, ButtonHeight);
    setFixedSize(ClientWidth + 2 * Border, buttons + ButtonHeight + 2 * Border);
}

void TDlgForm::Open(const QString& text, const QString& caption, int tag) {
    MEdit->setText(text);
    setWindowTitle(caption);
    LabelName->setText(caption);
    Tag = tag;
    ShowRange();
    MEdit->selectAll();
    MEdit->setFocus(Qt::OtherFocusReason);
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
    // Typing replaces the value; Enter still confirms it as shown (OKBtn is
    // the default button).
    MEdit->selectAll();
    MEdit->setFocus(Qt::OtherFocusReason);
}

void TDlgForm::OKBtnClick() {
    const std::string sep = mainForm_->DecimalSeparator;
    const uint8_t reg = uint8_t(Tag & 0xFF);
    const auto hundredths = ParseHundredths(MEdit->text().toStdString(), sep);
    if (!hundredths) {
        Refuse(tr("не число"));
        return;
    }
    // A concentration is never a command code (zero, factory reset), and a
    // number that would wrap around 16 bits is no register value.
    if (!TypedValueWritable(mainForm_->DevType, reg, *hundredths)) {
        const bool code = *hundredths == CmdSetZero || *hundredths == CmdResetCalibration;
        Refuse(code ? tr("%1 — код команды, а не концентрация")
                          .arg(QString::fromStdString(ExactHundredths(*hundredths, sep)))
                    : RangeText());
        return;
    }
    const int result = mainForm_->WriteRegister(0, reg, *hundredths);
    if (result == 1) {
        Refuse(RangeText());
        return;
    }
    // Not sent for want of a reading (the main window asks for one): the
    // value stays for another try.
    if (result == 4) {
        ShowRange();
        return;
    }
    hide();
}

QString TDlgForm::RangeText() const {
    const std::optional<TValueRange> range = mainForm_->AllowedRange(uint8_t(Tag & 0xFF));
    if (!range) return tr("допустимые значения известны после чтения прибора");
    const std::string& sep = mainForm_->DecimalSeparator;
    // The bounds stay together on one line.
    auto exact = [&](uint16_t v) { return QString::fromStdString(ExactHundredths(v, sep)); };
    const QString bounds = exact(range->Low) + QString::fromUtf8("\u00A0…\u00A0") + exact(range->High);
    if (range->Low > range->High) return tr("сейчас допустимых значений нет (%1)").arg(bounds);
    return tr("допустимо %1").arg(bounds);
}

void TDlgForm::UpdateRange() {
    if (isVisible() && !refused_) ShowRange();
}

void TDlgForm::Refuse(const QString& reason) {
    ShowNote(reason, true);
    MEdit->selectAll();
    MEdit->setFocus(Qt::OtherFocusReason);
}

void TDlgForm::ShowNote(const QString& text, bool refusal) {
    refused_ = refusal;
    LabelRange->setText(text);
    QPalette palette = LabelRange->palette();
    palette.setColor(QPalette::WindowText, refusal ? QColor(176, 0, 0) : this->palette().color(QPalette::WindowText));
    LabelRange->setPalette(palette);
    Arrange();
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
