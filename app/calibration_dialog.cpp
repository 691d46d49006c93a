#include "calibration_dialog.h"

#include "certificate.h"
#include "report.h"
#include "trend_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace orn {

using namespace records;

namespace {

constexpr int ReadEveryMs = 2000;
// After a command's answer the window reads the instrument once, 2 s later:
// the dialog's own reads keep clear of it.
constexpr int QuietAfterCommandMs = 3000;
// A port that cannot be opened is tried again after this (the window says why each time).
constexpr int PortRetryMs = 10000;
// The dialog's own code for the window having another instrument selected
// than the session's.
constexpr int OtherInstrument = 100;

QSettings Settings() { return QSettings(QStringLiteral("orn10util"), QStringLiteral("orn10util")); }

bool Due(uint32_t now, uint32_t at) { return int32_t(now - at) >= 0; }

} // namespace

TCalibrationDialog::TCalibrationDialog(TMForm& form, TFormTap& tap, TRecordsLink& link, Scheduler& scheduler)
    : QDialog(&form, Qt::Window), form_(form), link_(link), scheduler_(scheduler) {
    setObjectName(QStringLiteral("CalibrationDialog"));
    setWindowTitle(tr("Калибровка"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    Instrument = new QLabel(this);
    QFont bold = Instrument->font();
    bold.setBold(true);
    Instrument->setFont(bold);
    layout->addWidget(Instrument);
    pages_ = new QStackedWidget(this);
    auto* setup = new QWidget(pages_);
    auto* running = new QWidget(pages_);
    BuildSetup(setup);
    BuildSession(running);
    pages_->addWidget(setup);
    pages_->addWidget(running);
    layout->addWidget(pages_, 1);
    Footer = new QLabel(this);
    Footer->setWordWrap(true);
    Footer->setStyleSheet(QStringLiteral("color: #555"));
    layout->addWidget(Footer);
    resize(820, 640);

    tick_ = scheduler_.createTimer([this] { Tick(); });
    tick_->setInterval(500);
    connect(&tap, &TFormTap::Ended, this, &TCalibrationDialog::OnTransaction);
    connect(&link_, &TRecordsLink::StateChanged, this, [this] { Footer->setText(link_.StateText()); });
    OpenFile = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
}

TCalibrationDialog::~TCalibrationDialog() {
    // Closing the program mid-session is a cancel: what was sent is recorded.
    if (session_) session_->Cancel();
    link_.EndSession();
}

void TCalibrationDialog::BuildSetup(QWidget* page) {
    auto* form = new QFormLayout;
    Kind = new QComboBox(page);
    Kind->addItems({tr("Проверка газом (bump test)"), tr("Установка нуля"), tr("Градуировка"),
                    tr("Ноль и градуировка")});
    Gas = new QLineEdit(page);
    Lot = new QLineEdit(page);
    Expiry = new QDateEdit(page);
    Expiry->setCalendarPopup(true);
    Expiry->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    Technician = new QComboBox(page);
    Technician->setEditable(true);
    Technician->setInsertPolicy(QComboBox::NoInsert);
    Site = new QLineEdit(page);
    Notes = new QLineEdit(page);
    form->addRow(tr("Вид работ:"), Kind);
    form->addRow(tr("ПГС, %об:"), Gas);
    form->addRow(tr("Партия баллона:"), Lot);
    form->addRow(tr("Баллон годен до:"), Expiry);
    form->addRow(tr("Исполнитель:"), Technician);
    form->addRow(tr("Объект, линия:"), Site);
    form->addRow(tr("Примечание:"), Notes);

    auto* criteria = new QGroupBox(tr("Критерии"), page);
    auto* grid = new QFormLayout(criteria);
    Tolerance = new QDoubleSpinBox(criteria);
    Tolerance->setRange(0.01, 10);
    Tolerance->setSingleStep(0.05);
    Tolerance->setDecimals(2);
    Tolerance->setSuffix(tr(" %об"));
    StableSeconds = new QSpinBox(criteria);
    StableSeconds->setRange(4, 600);
    StableSeconds->setSuffix(tr(" с"));
    BumpShare = new QSpinBox(criteria);
    BumpShare->setRange(1, 100);
    BumpShare->setSuffix(tr(" % ПГС"));
    BumpSeconds = new QSpinBox(criteria);
    BumpSeconds->setRange(5, 600);
    BumpSeconds->setSuffix(tr(" с"));
    auto row = [&](QWidget* a, const QString& between, QWidget* b) {
        auto* h = new QHBoxLayout;
        h->addWidget(a);
        h->addWidget(new QLabel(between, criteria));
        h->addWidget(b);
        h->addStretch(1);
        return h;
    };
    grid->addRow(tr("Стабильно: в пределах ±"), row(Tolerance, tr("в течение"), StableSeconds));
    grid->addRow(tr("Проверка газом: не менее"), row(BumpShare, tr("за"), BumpSeconds));
    grid->addRow(new QLabel(tr("После настройки показание должно быть в пределах того же допуска от нуля и от ПГС."),
                            criteria));

    SetupError = new QLabel(page);
    SetupError->setWordWrap(true);
    SetupError->setStyleSheet(QStringLiteral("color: #b00000"));
    auto* note = new QLabel(tr("Отмена в любой момент оставляет прибор как есть, кроме уже отправленных команд "
                               "(ноль, градуировка): они остаются в приборе и записываются в журнал."),
                            page);
    note->setWordWrap(true);
    BtStart = new QPushButton(tr("Начать"), page);
    BtStart->setDefault(true);
    auto* close = new QPushButton(tr("Закрыть"), page);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BtStart);
    buttons->addWidget(close);
    auto* v = new QVBoxLayout(page);
    v->addLayout(form);
    v->addWidget(criteria);
    v->addWidget(note);
    v->addWidget(SetupError);
    v->addStretch(1);
    v->addLayout(buttons);
    connect(BtStart, &QPushButton::clicked, this, [this] { Start(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(Kind, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int k) {
        const bool gas = k != int(TSessionKind::Zero);
        Gas->setEnabled(gas);
        BumpShare->setEnabled(k == int(TSessionKind::Bump));
        BumpSeconds->setEnabled(k == int(TSessionKind::Bump));
    });

    // What was used last time.
    QSettings s = Settings();
    Kind->setCurrentIndex(s.value(QStringLiteral("calibration/kind"), int(TSessionKind::ZeroSpan)).toInt());
    Gas->setText(s.value(QStringLiteral("calibration/gas")).toString());
    Lot->setText(s.value(QStringLiteral("calibration/lot")).toString());
    Expiry->setDate(s.value(QStringLiteral("calibration/expiry"), QDate::currentDate().addYears(1)).toDate());
    Technician->addItems(s.value(QStringLiteral("records/technicians")).toStringList());
    Technician->setEditText(link_.Technician());
    Site->setText(s.value(QStringLiteral("calibration/site")).toString());
    const TSessionCriteria defaults;
    Tolerance->setValue(s.value(QStringLiteral("calibration/tolerance"), defaults.tolerance).toDouble());
    StableSeconds->setValue(s.value(QStringLiteral("calibration/stable"), defaults.stableSeconds).toInt());
    BumpShare->setValue(s.value(QStringLiteral("calibration/bumpShare"), defaults.bumpShare).toInt());
    BumpSeconds->setValue(s.value(QStringLiteral("calibration/bumpSeconds"), defaults.bumpSeconds).toInt());
}

void TCalibrationDialog::BuildSession(QWidget* page) {
    StepText = new QLabel(page);
    StepText->setWordWrap(true);
    QFont big = StepText->font();
    big.setPointSizeF(big.pointSizeF() * 1.2);
    StepText->setFont(big);
    Reading = new QLabel(page);
    QFont huge = Reading->font();
    huge.setPointSizeF(huge.pointSizeF() * 2.2);
    huge.setBold(true);
    Reading->setFont(huge);
    Stability = new QLabel(page);
    Stability->setFont(big);
    Results = new QLabel(page);
    Results->setWordWrap(true);
    Plot = new TTrendPlot(page);
    BtGasApplied = new QPushButton(tr("Газ подан"), page);
    BtZero = new QPushButton(tr("Установить ноль"), page);
    BtSpan = new QPushButton(tr("Градуировать"), page);
    BtCancel = new QPushButton(tr("Отменить"), page);
    BtCertificate = new QPushButton(tr("Протокол…"), page);
    BtNew = new QPushButton(tr("Новая сессия"), page);
    auto* top = new QHBoxLayout;
    top->addWidget(Reading);
    top->addSpacing(20);
    top->addWidget(Stability, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {BtGasApplied, BtZero, BtSpan}) buttons->addWidget(b);
    buttons->addStretch(1);
    for (QPushButton* b : {BtCertificate, BtNew, BtCancel}) buttons->addWidget(b);
    auto* v = new QVBoxLayout(page);
    v->addWidget(StepText);
    v->addLayout(top);
    v->addWidget(Plot, 1);
    v->addWidget(Results);
    v->addLayout(buttons);
    connect(BtGasApplied, &QPushButton::clicked, this, [this] {
        if (session_) session_->GasApplied();
    });
    connect(BtZero, &QPushButton::clicked, this, [this] {
        want_ = TWant::Zero;
        Tick();
    });
    connect(BtSpan, &QPushButton::clicked, this, [this] {
        want_ = TWant::Span;
        Tick();
    });
    connect(BtCancel, &QPushButton::clicked, this, [this] { Cancel(); });
    connect(BtCertificate, &QPushButton::clicked, this, [this] { MakeCertificate(); });
    connect(BtNew, &QPushButton::clicked, this, [this] {
        session_.reset();
        pages_->setCurrentIndex(0);
    });
}

QString TCalibrationDialog::Number(double v) const {
    return FromUtf8(Concentration(v, form_.DecimalSeparator));
}

uint8_t TCalibrationDialog::SelectedSlave() const {
    bool ok = false;
    const int a = form_.CBAddr->currentText().toInt(&ok, 10);
    return ok && a >= 1 && a <= 247 ? uint8_t(a) : 0;
}

void TCalibrationDialog::showEvent(QShowEvent* event) {
    if (!session_) {
        const uint8_t slave = SelectedSlave();
        Instrument->setText(tr("Прибор: %1, адрес %2, %3")
                                .arg(FromUtf8(ModelOf(form_.DevType)->ItemText),
                                     slave ? QString::number(slave) : tr("не задан"),
                                     FromUtf8(form_.MB->PortName())));
    }
    Footer->setText(link_.StateText());
    QDialog::showEvent(event);
}

bool TCalibrationDialog::Start() {
    auto refuse = [this](const QString& why) {
        SetupError->setText(why);
        return false;
    };
    TSessionSetup s;
    s.kind = TSessionKind(Kind->currentIndex());
    s.devType = form_.DevType;
    s.slave = SelectedSlave();
    s.port = form_.MB->PortName();
    if (!s.slave) return refuse(tr("В главном окне не задан адрес прибора (1–247)."));
    const bool gas = s.kind != TSessionKind::Zero;
    const std::string typed = Gas->text().toStdString();
    std::optional<int32_t> h = ParseHundredths(typed, ",");
    if (!h) h = ParseHundredths(typed, ".");
    if (gas && (!h || *h <= 0 || !TypedValueWritable(s.devType, ModelOf(s.devType)->RegCalb, *h)))
        return refuse(tr("Концентрация ПГС должна быть числом от 0,01 до 655,34 %об."));
    if (gas) s.gas = *h / 100.0;
    if (gas && Lot->text().trimmed().isEmpty()) return refuse(tr("Укажите партию баллона с ПГС."));
    if ((gas || !Lot->text().trimmed().isEmpty()) && Expiry->date() < QDate::currentDate())
        return refuse(tr("Баллон просрочен: годен до %1. Возьмите баллон с действующим сроком годности.")
                          .arg(Expiry->date().toString(QStringLiteral("dd.MM.yyyy"))));
    const QString who = Technician->currentText().trimmed();
    if (who.isEmpty()) return refuse(tr("Укажите исполнителя."));
    SetupError->clear();
    if (!Lot->text().trimmed().isEmpty()) {
        s.cylinderLot = Lot->text().trimmed().toStdString();
        s.cylinderExpiry = Expiry->date().toString(Qt::ISODate).toStdString();
    }
    s.technician = who.toStdString();
    s.site = Site->text().trimmed().toStdString();
    s.notes = Notes->text().trimmed().toStdString();
    s.program = TRecordsLink::Program();
    s.criteria = {Tolerance->value(), StableSeconds->value(), BumpShare->value(), BumpSeconds->value()};

    // Remembered for next time.
    QSettings st = Settings();
    st.setValue(QStringLiteral("calibration/kind"), Kind->currentIndex());
    st.setValue(QStringLiteral("calibration/gas"), Gas->text());
    st.setValue(QStringLiteral("calibration/lot"), Lot->text());
    st.setValue(QStringLiteral("calibration/expiry"), Expiry->date());
    st.setValue(QStringLiteral("calibration/site"), Site->text());
    st.setValue(QStringLiteral("calibration/tolerance"), Tolerance->value());
    st.setValue(QStringLiteral("calibration/stable"), StableSeconds->value());
    st.setValue(QStringLiteral("calibration/bumpShare"), BumpShare->value());
    st.setValue(QStringLiteral("calibration/bumpSeconds"), BumpSeconds->value());
    QStringList names = st.value(QStringLiteral("records/technicians")).toStringList();
    names.removeAll(who);
    names.prepend(who);
    while (names.size() > 10) names.removeLast();
    st.setValue(QStringLiteral("records/technicians"), names);
    link_.SetTechnician(who);
    Technician->clear();
    Technician->addItems(names);
    Technician->setEditText(who);

    session_ = std::make_unique<TCalibrationSession>(
        scheduler_, s,
        // (Sent only from Tick, while the window has the session's instrument selected.)
        [this](uint16_t value) { return form_.CalibrationCommand(value); },
        [this](const TServiceRecord& r) {
            link_.Submit(r);
            link_.EndSession();
        });
    session_->Changed = [this] { UpdateView(); };
    link_.SetSession(session_->Record().uuid, who, Site->text().trimmed());
    Plot->Clear();
    Plot->devType = s.devType;
    want_ = TWant::None;
    awaitingCommand_ = false;
    waitsForInstrument_ = false;
    notice_.clear();
    lastReadMs_ = scheduler_.nowMs() - ReadEveryMs;
    lastEchoMs_ = scheduler_.nowMs() - QuietAfterCommandMs;
    pages_->setCurrentIndex(1);
    tick_->setEnabled(true);
    UpdateView();
    Tick();
    return true;
}

void TCalibrationDialog::Tick() {
    if (!session_ || session_->Step() == TStep::Done || session_->Step() == TStep::Cancelled) {
        tick_->setEnabled(false);
        return;
    }
    const TSessionSetup& s = session_->Setup();
    const uint32_t now = scheduler_.nowMs();
    // Another instrument selected in the window: the session waits for its own.
    const bool other = SelectedSlave() != s.slave || form_.DevType != s.devType;
    if (other != waitsForInstrument_) {
        waitsForInstrument_ = other;
        UpdateView();
    }
    if (other) return;
    const bool lineFree = !form_.MasterBusy() && !form_.Finding && !awaitingCommand_;
    // A command the user asked for goes as soon as the line is free.
    if (want_ != TWant::None && lineFree) {
        const int r = want_ == TWant::Zero ? session_->SendZero() : session_->SendSpan();
        want_ = TWant::None;
        notice_ = r > 0 ? RefusalText(r) : QString();
        awaitingCommand_ = r == 0;
        UpdateView();
        return;
    }
    // Reads of its own while the window's auto mode is off.
    if (lineFree && want_ == TWant::None && !form_.BoxAuto->isChecked() && Due(now, lastReadMs_ + ReadEveryMs) &&
        Due(now, lastEchoMs_ + QuietAfterCommandMs)) {
        lastReadMs_ = now;
        const TModelInfo& m = *ModelOf(s.devType);
        if (form_.ReadRegisters(s.slave, m.RegOffset, m.RegCount) == 3) lastReadMs_ = now + PortRetryMs;
    }
    if (session_->Step() == TStep::BumpRunning) UpdateView();
}

void TCalibrationDialog::OnTransaction(const TTransaction& t) {
    if (!session_) return;
    const TSessionSetup& s = session_->Setup();
    if (t.slave != s.slave || t.devType != s.devType || t.finding) return;
    const TModelInfo& m = *ModelOf(s.devType);
    if (t.function == 3 && t.code == 0 && t.offset == m.RegOffset && t.quantity == m.RegCount) {
        lastReadMs_ = scheduler_.nowMs();
        Plot->Add(lastReadMs_, s.devType, form_.RegImage, form_.DecimalSeparator);
        session_->Reading(GasConcentrationOf(s.devType, form_.RegImage), SerialNumberOf(s.devType, form_.RegImage));
    } else if (t.function == 6 && t.offset == m.RegCalb && awaitingCommand_) {
        awaitingCommand_ = false;
        lastEchoMs_ = scheduler_.nowMs();
        notice_ = t.code ? RefusalText(t.code) : QString();
        session_->CommandEnded(t.code);
    }
}

QString TCalibrationDialog::RefusalText(int code) const {
    switch (code) {
    case 1: return tr("Команда не отправлена: значение не подходит для записи.");
    case 2: return tr("Команда не отправлена: в главном окне неверный адрес.");
    case 3: return tr("Команда не отправлена: порт не открывается.");
    case 4: return tr("Команда не отправлена: сначала считайте показания прибора.");
    case 5:
        return tr("Команда не отправлена: окно не разрешает градуировку (ток зафиксирован или прибор не прочитан).");
    case OtherInstrument:
        return tr("В главном окне выбран другой прибор: сессия ждёт, пока снова не будут выбраны адрес %1 и модель %2.")
            .arg(session_->Setup().slave)
            .arg(FromUtf8(ModelOf(session_->Setup().devType)->ItemText));
    case mbTimeout:
    case mbCommError:
        return tr("Прибор не подтвердил команду (%1): возможно, он её выполнил. Дождитесь стабильных показаний; "
                  "команду можно повторить.")
            .arg(FromUtf8(MBErrorText(code)));
    default: return tr("Прибор отказал: %1.").arg(FromUtf8(MBErrorText(code)));
    }
}

void TCalibrationDialog::UpdateView() {
    if (!session_) return;
    const TCalibrationSession& x = *session_;
    const TSessionSetup& s = x.Setup();
    const TSessionCriteria& c = s.criteria;
    const TStep step = x.Step();
    const TServiceRecord& r = x.Record();
    Instrument->setText(tr("Прибор: %1, адрес %2, %3 — сер. номер %4")
                            .arg(FromUtf8(ModelOf(s.devType)->ItemText))
                            .arg(s.slave)
                            .arg(FromUtf8(s.port), r.serial ? QString::number(*r.serial) : tr("ещё не прочитан")));
    const QString gas = Number(s.gas);
    QString text;
    switch (step) {
    case TStep::CleanAir: text = tr("Прибор на чистом воздухе: берём показание до подачи газа…"); break;
    case TStep::ApplyGas: text = tr("Подайте ПГС %1 %об и нажмите «Газ подан».").arg(gas); break;
    case TStep::BumpRunning:
        text = tr("Газ подан. Нужно не менее %1 %об (%2 % ПГС) за %3 с; осталось %4 с.")
                   .arg(Number(s.gas * c.bumpShare / 100))
                   .arg(c.bumpShare)
                   .arg(c.bumpSeconds)
                   .arg((x.BumpLeftMs() + 999) / 1000);
        break;
    case TStep::ZeroGas:
        text = tr("Подайте нулевой газ (чистый воздух) и дождитесь стабильных показаний; затем «Установить ноль».");
        break;
    case TStep::ZeroSent: text = tr("Команда установки нуля отправлена…"); break;
    case TStep::ZeroSettling: text = tr("Ноль установлен. Ждём стабильных показаний после него…"); break;
    case TStep::SpanGas:
        text = tr("Подайте ПГС %1 %об и дождитесь стабильных показаний; затем «Градуировать».").arg(gas);
        break;
    case TStep::SpanSent: text = tr("Команда градуировки отправлена…"); break;
    case TStep::SpanSettling: text = tr("Градуировка выполнена. Ждём стабильных показаний после неё…"); break;
    case TStep::Done:
        text = tr("Готово: %1. Запись внесена в журнал. Уберите газ с прибора.")
                   .arg(FromUtf8(ResultName(r.result)).toLower());
        break;
    case TStep::Cancelled:
        text = x.SentText().empty()
                   ? tr("Сессия отменена. В прибор ничего не отправлено, прибор не изменён.")
                   : tr("Сессия отменена. Отправленное (%1) осталось в приборе и записано в журнал; больше ничего "
                        "не отправлено.")
                         .arg(FromUtf8(x.SentText()));
        break;
    }
    if (step != TStep::Done && step != TStep::Cancelled) {
        if (waitsForInstrument_) text += QLatin1Char('\n') + RefusalText(OtherInstrument);
        else if (!notice_.isEmpty()) text += QLatin1Char('\n') + notice_;
    }
    StepText->setText(text);

    const std::optional<double> latest = x.Latest();
    Reading->setText(latest ? tr("%1 %об").arg(Number(*latest)) : tr("— %об"));
    const bool watching = step == TStep::ZeroGas || step == TStep::ZeroSettling || step == TStep::SpanGas ||
                          step == TStep::SpanSettling;
    if (watching && x.Stable()) {
        Stability->setText(tr("● Стабильно (±%1 %об, %2 с)").arg(Number(c.tolerance)).arg(c.stableSeconds));
        Stability->setStyleSheet(QStringLiteral("color: #1a7f2a"));
    } else if (watching) {
        Stability->setText(
            tr("○ Ждём стабильности: %1 с из %2").arg(x.StableMs() / 1000).arg(c.stableSeconds));
        Stability->setStyleSheet(QStringLiteral("color: #c06000"));
    } else {
        Stability->clear();
    }

    auto pct = [&](const std::optional<double>& v) { return v ? Number(*v) : QStringLiteral("—"); };
    QString results;
    if (s.kind == TSessionKind::Bump) {
        results = tr("Чистый воздух: %1 %об; наибольшее с газом: %2 %об.").arg(pct(r.zeroBefore), pct(r.gasBefore));
    } else {
        if (s.kind != TSessionKind::Span)
            results += tr("Ноль: до %1 → после %2 %об.  ").arg(pct(r.zeroBefore), pct(r.zeroAfter));
        if (s.kind != TSessionKind::Zero)
            results += tr("ПГС %1: до %2 → после %3 %об.").arg(gas, pct(r.gasBefore), pct(r.gasAfter));
    }
    if (step == TStep::Done) results += tr("  Результат: %1.").arg(FromUtf8(ResultName(r.result)));
    Results->setText(results);

    TTrendFocus focus;
    focus.target = x.Target();
    focus.tolerance = c.tolerance;
    focus.windowMs = uint32_t(c.stableSeconds) * 1000;
    if (s.kind == TSessionKind::Bump) focus.passLine = s.gas * c.bumpShare / 100;
    else if (watching) focus.stableMs = uint32_t(x.StableMs());
    Plot->focus = focus;
    Plot->update();

    const bool over = step == TStep::Done || step == TStep::Cancelled;
    BtGasApplied->setVisible(!over && s.kind == TSessionKind::Bump);
    BtGasApplied->setEnabled(step == TStep::ApplyGas);
    BtZero->setVisible(!over && (s.kind == TSessionKind::Zero || s.kind == TSessionKind::ZeroSpan));
    BtZero->setEnabled(x.CanZero() && want_ == TWant::None && !waitsForInstrument_);
    BtSpan->setVisible(!over && (s.kind == TSessionKind::Span || s.kind == TSessionKind::ZeroSpan));
    BtSpan->setEnabled(x.CanSpan() && want_ == TWant::None && !waitsForInstrument_);
    BtCancel->setVisible(!over);
    BtCertificate->setVisible(over && (step == TStep::Done || !r.action.empty()));
    BtNew->setVisible(over);
}

void TCalibrationDialog::Cancel() {
    if (!session_) return;
    want_ = TWant::None;
    session_->Cancel();
    link_.EndSession();
}

void TCalibrationDialog::reject() {
    if (session_) {
        const TStep step = session_->Step();
        if (step != TStep::Done && step != TStep::Cancelled) Cancel();
    }
    QDialog::reject();
}

QString TCalibrationDialog::MakeCertificate() {
    if (!session_) return QString();
    const TServiceRecord& r = session_->Record();
    const QString path = CertificatePath(r);
    QString error;
    if (!WriteCertificate(path, r, QString::fromStdString(form_.DecimalSeparator), error)) {
        QMessageBox::warning(this, tr("Протокол калибровки"), error);
        return QString();
    }
    if (OpenFile) OpenFile(path);
    return path;
}

} // namespace orn
