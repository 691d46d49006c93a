#include "service_tools.h"

#include "frames.h"
#include "traffic_view.h"
#include "trend_view.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

namespace orn {

namespace {
QString Utf8(const char* s) { return QString::fromUtf8(s); }
} // namespace

TServiceTools::TServiceTools(TMForm& form, Scheduler& scheduler) : form_(form), scheduler_(scheduler) {
    // The tools, in the order of their menus: a new tool is one more entry here.
    ActTraffic = AddTool(tr("Обмен по линии…"), "Ctrl+T", [this] { ShowTraffic(); });
    ActTrend = AddTool(tr("График концентрации…"), "Ctrl+G", [this] { ShowTrend(); });
    ActLine = AddTool(tr("Линия…"), "Ctrl+B", [this] {
        if (openLine_) openLine_();
    });
    ActLine->setEnabled(false);   // until the line tools are there
    AddTool(QString(), nullptr, nullptr);
    ActLog = AddTool(tr("Записывать показания в файл…"), "Ctrl+L", [this] { ToggleLog(); });
    ActLog->setCheckable(true);

    // The window's menu button offers what its context menu does: every
    // tool beside the window adds its entries to the window's actions.
    menu_ = new QMenu(&form_);
    connect(menu_, &QMenu::aboutToShow, this, [this] {
        menu_->clear();
        menu_->addActions(form_.actions());
    });
    form_.BtService->setMenu(menu_);
    form_.BtService->show();
    form_.BtRecording->setMenu(menu_);
    trend_ = new TTrendView(&form_);
    connect(trend_->BtClear, &QPushButton::clicked, this, [this] { UpdateLogState(); });
    AddTo(&form_);
    AddTo(trend_);
    form_.setContextMenuPolicy(Qt::ActionsContextMenu);

    AskLogFile = [this] {
        const QString name = QStringLiteral("orn10-readings-%1.csv")
                                 .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
        QFileDialog dialog(&form_, Utf8("Записывать показания в файл"), QString(),
                           Utf8("Таблица CSV (*.csv);;Все файлы (*)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // ".csv" is added by the dialog, so that it asks before replacing the
        // file of that name; Qt's own dialog does, on every desktop.
        dialog.setDefaultSuffix(QStringLiteral("csv"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.selectFile(name);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    ShowMessage = [this](const QString& text) {
        auto* box = new QMessageBox(QMessageBox::Warning, Utf8("Запись показаний"), text, QMessageBox::Ok, &form_);
        box->setAttribute(Qt::WA_DeleteOnClose);
        // At quit the event loop is ending: the box is seen before it does.
        if (quitting_) {
            box->exec();
            return;
        }
        box->setWindowModality(Qt::NonModal);
        box->show();
    };
    // The writer tells of each row and of a failure from its own thread.
    log_.OnChange = [this] { QMetaObject::invokeMethod(this, [this] { LogChanged(); }, Qt::QueuedConnection); };
    stallCheck_ = scheduler_.createTimer([this] { UpdateLogState(); });
    stallCheck_->setInterval(int(TReadingsLog::StallMs));
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            quitting_ = true;
            StopLog();
        });

    // After the window's own handler: the image and the table are up to date then.
    windowAnswer_ = form_.MB->OnResponseReady;
    form_.MB->OnResponseReady = [this](TModbusM* sender) {
        if (windowAnswer_) windowAnswer_(sender);
        AfterAnswer();
    };
    UpdateLogState();
}

TServiceTools::~TServiceTools() {
    // The writer tells nothing more once stopping begins.
    log_.Stop(LogFlushMs);
    // The windows belong to the main window and may outlive the tools.
    if (traffic_) traffic_->OnListening = nullptr;
    SetListening(false);
    if (form_.MB) form_.MB->OnResponseReady = windowAnswer_;
}

QAction* TServiceTools::AddTool(const QString& text, const char* keys, std::function<void()> open) {
    auto* a = new QAction(text, this);
    if (open) {
        a->setShortcut(QKeySequence(QString::fromLatin1(keys)));
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, std::move(open));
    } else {
        a->setSeparator(true);
    }
    tools_ << a;
    return a;
}

void TServiceTools::AddTo(QWidget* window) { window->addActions(tools_); }

TTrafficView* TServiceTools::Traffic() {
    if (!traffic_) {
        traffic_ = new TTrafficView(&form_);
        traffic_->OnListening = [this](bool on) { SetListening(on); };
        AddTo(traffic_);
    }
    return traffic_;
}

void TServiceTools::SetListening(bool on) {
    if (!form_.MB) return;
    watch_.Stop();
    if (on && traffic_) {
        TTrafficLog* log = traffic_->Log();
        form_.MB->OnLine = [this, log](const LineEvent& e) { Listen(*log, e); };
        // The port is the master's again before it opens it.
        form_.OnPortOpening = [this] { watch_.Stop(); };
        form_.OnPortOpenFailed = [this, log](int error) {
            log->SetPort(form_.PortLabel());
            log->AddOpenFailure(error);
        };
        watch_.OnLate = [log](const uint8_t* data, size_t size, uint32_t ms) { log->AddLate(data, size, ms); };
    } else {
        form_.MB->OnLine = nullptr;
        form_.OnPortOpening = nullptr;
        form_.OnPortOpenFailed = nullptr;
    }
}

void TServiceTools::Listen(TTrafficLog& log, const LineEvent& e) {
    // How long after a request's end what arrives is still shown on its
    // line: less than the time to the next automatic reading.
    constexpr int LateWatchMs = 1500;
    LineEvent event = e;
    switch (e.kind) {
    case LineEventKind::Sent:
        log.SetPort(form_.PortLabel());
        watch_.Watch(form_.MB->ComHandle());
        break;
    case LineEventKind::Received:
        if (const std::optional<uint32_t> arrived = watch_.Arrival()) event.ms = *arrived;
        break;
    case LineEventKind::Outcome:
        if (e.code != mbMasterBusy && e.code != mbMoreTime && e.code != mbPortNotOpen) watch_.Linger(LateWatchMs);
        break;
    default:
        break;
    }
    log.Feed(event);
}

void TServiceTools::ShowTraffic() {
    TTrafficView* view = Traffic();
    view->show();
    view->raise();
    view->activateWindow();
}

void TServiceTools::ShowTrend() {
    trend_->show();
    trend_->raise();
    trend_->activateWindow();
}

// ---------------------------------------------------------------- readings

void TServiceTools::AfterAnswer() {
    const TModbusM& mb = *form_.MB;
    // Readings are what the user reads: bus-search probes are left out (they
    // ask every address with a model that may not be the one answering).
    if (mb.FunctionCode != 3 || form_.Finding) return;
    // A read of another model's block (the model was changed while it was
    // on its way) is not what the table now shows.
    const TModelInfo* model = ModelOf(form_.DevType);
    if (!model || mb.Offset != model->RegOffset || mb.Quantity != model->RegCount) return;
    const std::string port = mb.PortName();
    trend_->AddReading(scheduler_.nowMs(),
                       Utf8("№%1 %2, %3").arg(mb.SlaveId).arg(Utf8(model->ItemText), QString::fromStdString(port)),
                       form_.DevType, form_.RegImage, form_.DecimalSeparator);
    LogReading(port, mb.SlaveId, form_.DevType, form_.RegImage);
}

void TServiceTools::SetLineTool(std::function<void()> open) {
    openLine_ = std::move(open);
    ActLine->setEnabled(bool(openLine_));
}

void TServiceTools::LogReading(const std::string& port, int address, int devType, const TRegImage& image) {
    if (!log_.Recording()) return;
    const std::string when =
        QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")).toStdString();
    if (!log_.Append(ReadingsCsvRow(when, port, address, devType, image, form_.DecimalSeparator))) {
        LogChanged();
        return;
    }
    stallCheck_->setEnabled(true);
    UpdateLogState();
}

void TServiceTools::LogChanged() {
    const TReadingsLog::TStatus status = log_.Status();
    if (!status.error.empty() && !failureShown_) {
        failureShown_ = true;
        log_.Stop(0);   // the writer has ended
        UpdateLogState();
        // Not modal: this may come inside the master's answer event, and
        // the reads go on whatever became of the file.
        ShowMessage(tr("Запись показаний остановлена: %1.\nФайл: %2\nЗаписано строк: %3, не записано: %4.\n"
                       "Чтение прибора продолжается.")
                        .arg(QString::fromStdString(status.error), QString::fromStdString(status.path))
                        .arg(status.rows)
                        .arg(status.lost));
        return;
    }
    UpdateLogState();
}

void TServiceTools::ToggleLog() {
    if (log_.Recording()) {
        StopLog();
        return;
    }
    UpdateLogState();   // the action stays unchecked until recording starts
    const QString path = AskLogFile ? AskLogFile() : QString();
    // The dialog asked before it chose a file that exists.
    if (!path.isEmpty()) StartLog(path, true);
}

bool TServiceTools::StartLog(const QString& path, bool replace) {
    failureShown_ = false;
    const bool started = log_.Start(path.toStdString(), replace);
    UpdateLogState();
    if (!started)
        ShowMessage(
            Utf8("Не могу записывать показания в файл %1: %2.").arg(path, QString::fromStdString(log_.Error())));
    return started;
}

void TServiceTools::StopLog() {
    const int lost = log_.Stop(LogFlushMs);
    LogChanged();   // a failure meanwhile is told
    if (lost)
        ShowMessage(tr("Запись показаний остановлена, но носитель не ответил за %1 с.\nФайл: %2\n"
                       "Записано строк: %3, не записано: %4.")
                        .arg((LogFlushMs + 999) / 1000)
                        .arg(QString::fromStdString(log_.Path()))
                        .arg(log_.Rows())
                        .arg(lost));
}

void TServiceTools::UpdateLogState() {
    const TReadingsLog::TStatus status = log_.Status();
    const bool on = status.recording;
    const QString file = QString::fromStdString(status.path);
    ActLog->setChecked(on);
    ActLog->setText(on ? tr("Остановить запись показаний (%1)").arg(QFileInfo(file).fileName())
                       : tr("Записывать показания в файл…"));
    QString note = Utf8("Показания в файл не записываются (Ctrl+L — начать запись).");
    if (on && status.stalled)
        note = tr("Запись показаний в %1 — строк: %2; запись задерживается, в очереди строк: %3 "
                  "(Ctrl+L — остановить).")
                   .arg(file)
                   .arg(status.rows)
                   .arg(status.pending);
    else if (on)
        note = Utf8("Запись показаний в %1 — строк: %2 (Ctrl+L — остановить).").arg(file).arg(status.rows);
    else if (!status.error.empty())
        note = Utf8("Запись в %1 остановлена: %2; записано строк: %3.")
                   .arg(file, QString::fromStdString(status.error))
                   .arg(status.rows);
    trend_->SetNote(note);
    // In the main window while recording, and after a failure stopped it.
    QToolButton* shown = form_.BtRecording;
    shown->setVisible(on || !status.error.empty());
    shown->setText(on ? tr("● Запись: %1").arg(status.rows) : tr("Запись прервана"));
    shown->setToolTip(note);
    if (status.pending == 0) stallCheck_->setEnabled(false);
    emit LogStateChanged();
}

} // namespace orn
