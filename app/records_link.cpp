#include "records_link.h"

#include "platform.h"
#include "report.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>

namespace orn {

using namespace records;

namespace {

QSettings Settings() { return QSettings(QStringLiteral("orn10util"), QStringLiteral("orn10util")); }

} // namespace

QString FromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), int(s.size())); }

bool WriteWholeFile(const QString& path, const std::string& data, QString& error) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data.data(), qint64(data.size())) == qint64(data.size()) &&
        file.commit())
        return true;
    error = QCoreApplication::translate("orn::TRecordsLink", "Не могу записать %1: %2").arg(path, file.errorString());
    return false;
}

std::string TRecordsLink::Program() { return std::string("orn10util ") + ORN10_VERSION; }

TRecordsLink::TRecordsLink(TMForm& form, TFormTap& tap, const std::string& databasePath, const std::string& server)
    : form_(form) {
    TRecorderOptions o;
    o.localPath = databasePath.empty() ? DefaultDatabasePath() : databasePath;
    o.server = server;
    o.program = Program();
    recorder_ = std::make_unique<TRecorder>(o);
    recorder_->SetOnChange([this] { Later([this] { OnState(); }); });
    connect(&tap, &TFormTap::Ended, this, &TRecordsLink::OnTransaction);
    form_.installEventFilter(this);

    ShowAlert = [this](const QString& text) {
        if (!alert_) {
            alert_ = new QMessageBox(QMessageBox::Warning, tr("Журнал обслуживания"), text, QMessageBox::NoButton,
                                     &form_);
            alert_->setAttribute(Qt::WA_DeleteOnClose);
            alert_->setWindowModality(Qt::NonModal);
            auto* retry = alert_->addButton(tr("Повторить"), QMessageBox::ActionRole);
            auto* save = alert_->addButton(tr("Сохранить в файл…"), QMessageBox::ActionRole);
            alert_->addButton(tr("Скрыть"), QMessageBox::RejectRole);
            // The action buttons act without closing the message.
            retry->disconnect();
            save->disconnect();
            connect(retry, &QPushButton::clicked, this, [this] { recorder_->RetryNow(); });
            connect(save, &QPushButton::clicked, this, [this] {
                const QString path = AskSaveFile ? AskSaveFile() : QString();
                QString error;
                if (!path.isEmpty() && !SaveUnwritten(path, error))
                    QMessageBox::warning(alert_, tr("Журнал обслуживания"), error);
            });
        }
        alert_->setText(text);
        alert_->show();
    };
    AskSaveFile = [this] {
        const QString name = QStringLiteral("orn10-records-%1.csv")
                                 .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
        return QFileDialog::getSaveFileName(&form_, tr("Сохранить несохранённые записи"), name,
                                            tr("Таблица CSV (*.csv);;Все файлы (*)"));
    };
    AskOnClose = [this](const QString& text) {
        QMessageBox box(QMessageBox::Warning, tr("Журнал обслуживания"), text, QMessageBox::NoButton, &form_);
        auto* save = box.addButton(tr("Сохранить в файл…"), QMessageBox::AcceptRole);
        auto* discard = box.addButton(tr("Закрыть без них"), QMessageBox::DestructiveRole);
        box.addButton(tr("Не закрывать"), QMessageBox::RejectRole);
        box.exec();
        if (box.clickedButton() == save) return TCloseChoice::Save;
        return box.clickedButton() == discard ? TCloseChoice::Discard : TCloseChoice::Stay;
    };
}

TRecordsLink::~TRecordsLink() {
    form_.removeEventFilter(this);
    // The threads stop first: nothing of them reaches a half-destroyed link.
    recorder_.reset();
}

void TRecordsLink::Later(std::function<void()> f) {
    QPointer<TRecordsLink> self(this);
    QMetaObject::invokeMethod(
        this, [self, f = std::move(f)] {
            if (self) f();
        },
        Qt::QueuedConnection);
}

void TRecordsLink::Submit(TServiceRecord record) {
    if (record.program.empty()) record.program = Program();
    recorder_->Submit(std::move(record));
}

void TRecordsLink::SubmitInterval(TIntervalRecord record) { recorder_->SubmitInterval(std::move(record)); }

void TRecordsLink::Query(const TQuery& q, std::function<void(THistory)> done) {
    recorder_->Query(q, [this, done = std::move(done)](THistory h) {
        Later([done, h = std::move(h)] { done(h); });
    });
}

void TRecordsLink::TestServer(const std::string& server, std::function<void(QString)> done) {
    recorder_->TestServer(server, [this, done = std::move(done)](std::string error) {
        Later([done, error] { done(FromUtf8(error)); });
    });
}

void TRecordsLink::SetServer(const std::string& server) { recorder_->SetServer(server); }

QString TRecordsLink::Technician() const { return Settings().value(QStringLiteral("records/technician")).toString(); }

void TRecordsLink::SetTechnician(const QString& name) {
    Settings().setValue(QStringLiteral("records/technician"), name);
}

void TRecordsLink::SetSession(const std::string& uuid, const QString& technician, const QString& site) {
    sessionUuid_ = uuid;
    sessionTechnician_ = technician;
    sessionSite_ = site;
}

void TRecordsLink::EndSession() {
    sessionUuid_.clear();
    sessionTechnician_.clear();
    sessionSite_.clear();
}

// ---------------------------------------------------------------- the window's writes

void TRecordsLink::OnTransaction(const TTransaction& t) {
    // A write that the instrument confirmed, or that went out and got no
    // valid answer (it may have been carried out); one it refused with an
    // exception changed nothing.
    if (t.function != 6 || t.finding) return;
    if (t.code != 0 && t.code != mbTimeout && t.code != mbCommError) return;
    TServiceRecord r = NewRecord();
    r.model = ModelShortName(t.devType);
    if (t.imageFromSlave) r.serial = SerialNumberOf(t.devType, t.before);
    r.address = t.slave;
    r.port = t.port;
    r.action = WriteAction(t.devType, t.offset, t.value, t.before);
    const TModelInfo* m = ModelOf(t.devType);
    const bool value = m && (t.offset == m->RegLimit1 || t.offset == m->RegLimit2 || t.offset == m->RegMagnet ||
                             t.offset == m->RegCurrent);
    r.kind = value ? TKind::Write : TKind::Command;
    r.reg = t.offset;
    if (t.offset < RegImageSize && t.imageFromSlave) r.valueBefore = t.before[t.offset];
    r.valueAfter = t.value;
    r.result = t.code == 0 ? TResult::Done : TResult::Unconfirmed;
    if (t.code != 0) r.notes = MBErrorText(t.code);
    r.technician = (sessionUuid_.empty() ? Technician() : sessionTechnician_).toStdString();
    r.site = sessionSite_.toStdString();
    r.sessionUuid = sessionUuid_;
    Submit(std::move(r));
}

// ---------------------------------------------------------------- state

QString TRecordsLink::UnwrittenText(const TRecorderState& s) const {
    QString text = tr("Записи обслуживания не сохраняются в журнал: %1.\nФайл: %2\nЗаписей в памяти: %3.")
                       .arg(FromUtf8(s.localError), FromUtf8(recorder_->Options().localPath))
                       .arg(s.unwritten);
    if (s.localNewer)
        text += tr("\nЖурнал ведёт более новая версия программы (схема %1): обновите программу на этом компьютере.")
                    .arg(s.localNewer);
    return text + tr("\nПрограмма повторяет попытки сама; записи можно сохранить в файл.");
}

void TRecordsLink::OnState() {
    const TRecorderState s = State();
    if (s.unwritten > 0 && !s.localError.empty()) {
        if (!alerted_ && ShowAlert) ShowAlert(UnwrittenText(s));
        alerted_ = true;
    } else if (alerted_ && s.unwritten == 0) {
        alerted_ = false;
        if (alert_) alert_->close();
    }
    emit StateChanged();
}

QString TRecordsLink::StateText() const {
    const TRecorderState s = State();
    QString text = tr("Журнал: %1").arg(FromUtf8(recorder_->Options().localPath));
    if (s.unwritten > 0 && !s.localError.empty())
        text += tr(" — не записано: %1 (%2)").arg(s.unwritten).arg(FromUtf8(s.localError));
    if (!s.serverSet) return text;
    if (s.serverNewer)
        return text +
               tr("; сервер ведёт более новая версия программы (схема %1): записи ждут здесь").arg(s.serverNewer);
    if (!s.serverReachable && !s.serverError.empty())
        return text + tr("; сервер недоступен (%1), ждут отправки: %2").arg(FromUtf8(s.serverError)).arg(s.waiting);
    return text + tr("; сервер: %1").arg(s.waiting > 0 ? tr("ждут отправки: %1").arg(s.waiting) : tr("всё отправлено"));
}

bool TRecordsLink::SaveUnwritten(const QString& path, QString& error) const {
    return WriteWholeFile(path, ServicesCsv(recorder_->Unwritten(), form_.DecimalSeparator), error);
}

bool TRecordsLink::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &form_ || event->type() != QEvent::Close) return QObject::eventFilter(watched, event);
    // Records on their way are written when the program ends; those that
    // cannot be written are asked about.
    const TRecorderState s = State();
    if (s.unwritten == 0 || s.localError.empty() || !AskOnClose) return false;
    const QString text = UnwrittenText(s) + tr("\n\nПри закрытии программы они будут потеряны. Сохранить их в файл?");
    for (;;) {
        switch (AskOnClose(text)) {
        case TCloseChoice::Discard: return false;
        case TCloseChoice::Stay: event->ignore(); return true;
        case TCloseChoice::Save: {
            const QString path = AskSaveFile ? AskSaveFile() : QString();
            QString error;
            if (!path.isEmpty() && SaveUnwritten(path, error)) return false;
            if (!error.isEmpty() && ShowAlert) ShowAlert(error);
            break;   // asked again
        }
        }
    }
}

} // namespace orn
