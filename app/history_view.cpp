#include "history_view.h"

#include "certificate.h"
#include "config.h"
#include "platform.h"
#include "report.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace orn {

using namespace records;

namespace {

QString Rec(const char* text) { return QCoreApplication::translate(TextContext, text); }

QString Date(const std::string& date) { return FromUtf8(ShownDate(date)); }
QString Time(const std::string& utc) { return FromUtf8(ShownTime(utc)); }

QTableWidget* Table(QWidget* parent, const QStringList& header) {
    auto* t = new QTableWidget(0, header.size(), parent);
    t->setHorizontalHeaderLabels(header);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->horizontalHeader()->setStretchLastSection(true);
    t->setWordWrap(false);
    return t;
}

void Cell(QTableWidget* t, int row, int column, const QString& text, const QColor& color = QColor()) {
    auto* item = new QTableWidgetItem(text);
    if (color.isValid()) item->setForeground(color);
    t->setItem(row, column, item);
}

} // namespace

THistoryView::THistoryView(TRecordsLink& link, const std::string& sep, QWidget* parent)
    : QWidget(parent, Qt::Window), link_(link), sep_(sep) {
    setObjectName(QStringLiteral("HistoryView"));
    setWindowTitle(tr("Журнал обслуживания"));
    resize(1000, 640);

    Serial = new QLineEdit(this);
    Serial->setPlaceholderText(tr("все"));
    Address = new QLineEdit(this);
    Address->setPlaceholderText(tr("все"));
    Address->setMaximumWidth(60);
    ByDate = new QCheckBox(tr("с"), this);
    From = new QDateEdit(QDate::currentDate().addMonths(-12), this);
    To = new QDateEdit(QDate::currentDate(), this);
    for (QDateEdit* d : {From, To}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        d->setEnabled(false);
    }
    BtRefresh = new QPushButton(tr("Показать"), this);
    BtRefresh->setDefault(true);
    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(tr("Сер. номер:"), this));
    filters->addWidget(Serial);
    filters->addWidget(new QLabel(tr("Адрес:"), this));
    filters->addWidget(Address);
    filters->addSpacing(12);
    filters->addWidget(ByDate);
    filters->addWidget(From);
    filters->addWidget(new QLabel(tr("по"), this));
    filters->addWidget(To);
    filters->addStretch(1);
    filters->addWidget(BtRefresh);

    Instruments = Table(this, {tr("Модель"), tr("Сер. номер"), tr("Адрес"), tr("Объект, линия"),
                               tr("Последняя градуировка"), tr("Интервал, мес."), tr("Следующая"), tr("Состояние")});
    Services = Table(this, {tr("Дата и время"), tr("Адрес"), tr("Вид работ"), tr("Отправлено"), tr("Ноль до → после"),
                            tr("Газ до → после"), tr("ПГС"), tr("Результат"), tr("Исполнитель"), tr("Объект, линия")});
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(Instruments);
    split->addWidget(Services);
    split->setStretchFactor(1, 2);

    BtInterval = new QPushButton(tr("Интервал…"), this);
    BtCertificate = new QPushButton(tr("Протокол…"), this);
    BtExport = new QPushButton(tr("Работы в CSV…"), this);
    BtExportDue = new QPushButton(tr("Приборы и сроки в CSV…"), this);
    BtSettings = new QPushButton(tr("Сервер…"), this);
    BtSettings->setToolTip(tr("Общий журнал группы на сервере PostgreSQL"));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {BtInterval, BtCertificate, BtExport, BtExportDue}) buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(BtSettings);
    Status = new QLabel(this);
    Status->setWordWrap(true);

    auto* v = new QVBoxLayout(this);
    v->addLayout(filters);
    v->addWidget(split, 1);
    v->addLayout(buttons);
    v->addWidget(Status);

    connect(ByDate, &QCheckBox::toggled, this, [this](bool on) {
        From->setEnabled(on);
        To->setEnabled(on);
    });
    connect(BtRefresh, &QPushButton::clicked, this, [this] { Refresh(); });
    connect(Serial, &QLineEdit::returnPressed, this, [this] { Refresh(); });
    connect(Address, &QLineEdit::returnPressed, this, [this] { Refresh(); });
    connect(Instruments, &QTableWidget::itemSelectionChanged, this, [this] { FillServices(); });
    connect(BtInterval, &QPushButton::clicked, this, [this] { SetInterval(); });
    connect(BtCertificate, &QPushButton::clicked, this, [this] { MakeCertificate(); });
    connect(BtExport, &QPushButton::clicked, this, [this] {
        const QString path = AskExportFile(QStringLiteral("orn10-работы.csv"));
        QString error;
        if (!path.isEmpty() && !Export(path, false, error)) ShowMessage(error);
    });
    connect(BtExportDue, &QPushButton::clicked, this, [this] {
        const QString path = AskExportFile(QStringLiteral("orn10-приборы.csv"));
        QString error;
        if (!path.isEmpty() && !Export(path, true, error)) ShowMessage(error);
    });
    connect(BtSettings, &QPushButton::clicked, this, [this] { EditSettings(); });
    connect(&link_, &TRecordsLink::StateChanged, this, [this] {
        if (refreshWhenWritten_ && link_.State().unwritten == 0) {
            refreshWhenWritten_ = false;
            Refresh();
        } else if (!loading_) {
            Status->setText(link_.StateText());
        }
    });

    AskExportFile = [this](const QString& suggested) {
        QString path = QFileDialog::getSaveFileName(this, tr("Сохранить как CSV"), suggested,
                                                    tr("Таблица CSV (*.csv);;Все файлы (*)"));
        if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
        return path;
    };
    AskMonths = [this](int current, bool& ok) {
        return QInputDialog::getInt(this, tr("Интервал градуировки"), tr("Интервал между градуировками, месяцев:"),
                                    current, 1, 120, 1, &ok);
    };
    ShowMessage = [this](const QString& text) { QMessageBox::warning(this, tr("Журнал обслуживания"), text); };
    OpenFile = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
}

void THistoryView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
}

void THistoryView::Refresh() {
    TQuery q;
    q.serial = Serial->text().trimmed().toStdString();
    bool ok = false;
    const int address = Address->text().trimmed().toInt(&ok);
    if (ok) q.address = address;
    if (ByDate->isChecked()) {
        q.fromUtc = UtcOfLocalDate(From->date().toString(Qt::ISODate).toStdString());
        q.toUtc = UtcOfLocalDate(To->date().addDays(1).toString(Qt::ISODate).toStdString());
    }
    loading_ = true;
    Status->setText(tr("Читаю журнал…"));
    const int generation = ++generation_;
    link_.Query(q, [this, generation](const THistory& h) {
        if (generation != generation_) return;
        loading_ = !h.final;
        Fill(h);
    });
}

void THistoryView::Fill(const THistory& h) {
    // Keep the instrument chosen, if it is still there.
    std::optional<std::pair<std::string, int64_t>> chosen;
    if (const TInstrumentDue* d = SelectedInstrument()) chosen = {d->model, d->serial};
    history_ = h;
    const QSignalBlocker quiet(Instruments);
    Instruments->setRowCount(int(h.instruments.size()));
    const std::string today = TodayLocal();
    int select = -1;
    for (int i = 0; i < int(h.instruments.size()); ++i) {
        const TInstrumentDue& d = h.instruments[size_t(i)];
        const bool overdue = Overdue(d, today);
        const QColor color = overdue ? QColor(190, 0, 0) : QColor();
        const std::string due = DueOf(d);
        Cell(Instruments, i, 0, FromUtf8(d.model), color);
        Cell(Instruments, i, 1, QString::number(d.serial), color);
        Cell(Instruments, i, 2, d.lastAddress ? QString::number(d.lastAddress) : QString(), color);
        Cell(Instruments, i, 3, FromUtf8(d.lastSite), color);
        Cell(Instruments, i, 4, d.lastCalibrationUtc.empty() ? tr("нет") : Date(LocalDate(d.lastCalibrationUtc)),
             color);
        Cell(Instruments, i, 5, QString::number(d.months), color);
        Cell(Instruments, i, 6, due.empty() ? tr("—") : Date(due), color);
        Cell(Instruments, i, 7,
             overdue ? tr("ПРОСРОЧЕНА") : due.empty() ? tr("градуировок нет") : tr("в срок"), color);
        if (overdue)
            for (int c = 0; c < Instruments->columnCount(); ++c)
                Instruments->item(i, c)->setBackground(QColor(255, 228, 228));
        if (chosen && chosen->first == d.model && chosen->second == d.serial) select = i;
    }
    Instruments->resizeColumnsToContents();
    if (select >= 0) Instruments->selectRow(select);
    else Instruments->clearSelection();
    FillServices();

    QString status = link_.StateText();
    if (!h.error.empty()) status = tr("Журнал не читается: %1").arg(FromUtf8(h.error));
    else if (!h.final) status += tr(" — читаю общий журнал на сервере…");
    else if (!h.serverError.empty())
        status += tr(" — общий журнал на сервере недоступен (%1): показаны записи этого компьютера")
                      .arg(FromUtf8(h.serverError));
    else if (h.fromServer) status += tr(" — показан общий журнал сервера");
    Status->setText(status);
}

void THistoryView::FillServices() {
    const TInstrumentDue* d = SelectedInstrument();
    shown_.clear();
    for (const TServiceRecord& r : history_.services)
        if (!d || (r.model == d->model && r.serial == d->serial)) shown_.push_back(&r);
    Services->setRowCount(int(shown_.size()));
    auto pct = [&](const std::optional<double>& v) { return v ? FromUtf8(Concentration(*v, sep_)) : QString(); };
    auto pair = [&](const std::optional<double>& a, const std::optional<double>& b) {
        return b ? pct(a) + QStringLiteral(" → ") + pct(b) : pct(a);
    };
    for (int i = 0; i < int(shown_.size()); ++i) {
        const TServiceRecord& r = *shown_[size_t(i)];
        QString sent = FromUtf8(ActionName(r.action));
        if (!IsSession(r.kind) && r.valueAfter && r.action != "zero" && r.action != "reset" && r.action != "service")
            sent += QLatin1Char(' ') + FromUtf8(ValueText(r.action, *r.valueAfter, true, sep_));
        const QColor color = r.result == TResult::Fail ? QColor(190, 0, 0) : QColor();
        Cell(Services, i, 0, Time(r.atUtc));
        Cell(Services, i, 1, QString::number(r.address));
        Cell(Services, i, 2, Rec(KindName(r.kind)));
        Cell(Services, i, 3, sent);
        Cell(Services, i, 4, pair(r.zeroBefore, r.zeroAfter));
        Cell(Services, i, 5, pair(r.gasBefore, r.gasAfter));
        Cell(Services, i, 6, pct(r.gasConcentration));
        Cell(Services, i, 7, Rec(ResultName(r.result)), color);
        Cell(Services, i, 8, FromUtf8(r.technician));
        Cell(Services, i, 9, FromUtf8(r.site));
    }
    Services->resizeColumnsToContents();
    BtInterval->setEnabled(d != nullptr);
}

const TInstrumentDue* THistoryView::SelectedInstrument() const {
    const auto rows = Instruments->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.front().row() >= int(history_.instruments.size())) return nullptr;
    return &history_.instruments[size_t(rows.front().row())];
}

const TServiceRecord* THistoryView::SelectedService() const {
    const auto rows = Services->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.front().row() >= int(shown_.size())) return nullptr;
    return shown_[size_t(rows.front().row())];
}

void THistoryView::SetInterval() {
    const TInstrumentDue* d = SelectedInstrument();
    if (!d) return;
    bool ok = false;
    const int months = AskMonths(d->months, ok);
    if (!ok || months == d->months) return;
    TIntervalRecord r;
    r.uuid = NewUuid();
    r.atUtc = NowUtc();
    r.model = d->model;
    r.serial = d->serial;
    r.months = months;
    r.technician = link_.Technician().toStdString();
    link_.SubmitInterval(r);
    refreshWhenWritten_ = true;   // shown once it is in the file
}

void THistoryView::MakeCertificate() {
    const TServiceRecord* r = SelectedService();
    if (!r || !IsSession(r->kind)) {
        ShowMessage(tr("Выберите в списке работ проверку или калибровку: протокол составляется по ним."));
        return;
    }
    const QString path = CertificatePath(*r);
    QString error;
    if (!WriteCertificate(path, *r, FromUtf8(sep_), error)) ShowMessage(error);
    else OpenFile(path);
}

bool THistoryView::Export(const QString& path, bool dueList, QString& error) const {
    std::vector<TServiceRecord> services;
    for (const TServiceRecord* r : shown_) services.push_back(*r);
    const std::string csv =
        dueList ? InstrumentsCsv(history_.instruments, TodayLocal()) : ServicesCsv(services, sep_);
    return WriteWholeFile(path, csv, error);
}

void THistoryView::EditSettings() {
    TRecordsConfig config;
    std::string error;
    LoadConfig(config, error);
    QDialog dialog(this);
    dialog.setWindowTitle(tr("Общий журнал на сервере"));
    auto* server = new QLineEdit(FromUtf8(config.server), &dialog);
    server->setPlaceholderText(tr("host=сервер dbname=orn10 user=инженер password=…"));
    server->setMinimumWidth(460);
    auto* result = new QLabel(&dialog);
    result->setWordWrap(true);
    auto* test = new QPushButton(tr("Проверить"), &dialog);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, &dialog);
    auto* form = new QFormLayout(&dialog);
    form->addRow(new QLabel(tr("Записи всегда сохраняются в файле этого компьютера:\n%1\n"
                               "С сервером PostgreSQL их получает и общий журнал группы; пока сервер недоступен, "
                               "они ждут здесь и уходят, когда он вернётся. Пусто — только этот компьютер.")
                                .arg(FromUtf8(link_.Recorder().Options().localPath)),
                            &dialog));
    form->addRow(tr("Строка подключения:"), server);
    form->addRow(test, result);
    form->addRow(box);
    if (!PostgresBuilt()) {
        server->setEnabled(false);
        test->setEnabled(false);
        result->setText(tr("Эта сборка программы не работает с PostgreSQL."));
    }
    connect(test, &QPushButton::clicked, &dialog, [&, server, result] {
        result->setText(tr("Проверяю…"));
        QPointer<QLabel> label(result);
        link_.TestServer(server->text().trimmed().toStdString(), [label](const QString& e) {
            if (label) label->setText(e.isEmpty() ? tr("Сервер отвечает, журнал на нём готов.") : e);
        });
    });
    connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted) return;
    config.server = server->text().trimmed().toStdString();
    if (!SaveConfig(config, error)) {
        ShowMessage(FromUtf8(error));
        return;
    }
    link_.SetServer(config.server);
    Refresh();
}

} // namespace orn
