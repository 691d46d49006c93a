#include "records_tools.h"

#include "calibration_dialog.h"
#include "config.h"
#include "history_view.h"

#include <QAction>

namespace orn {

TRecordsTools::TRecordsTools(TMForm& form, Scheduler& scheduler, const std::string& databasePath)
    : form_(form), scheduler_(scheduler) {
    records::TRecordsConfig config;
    std::string error;
    records::LoadConfig(config, error);   // unreadable: no team server, the local file as always
    tap_ = std::make_unique<TFormTap>(form_);
    link_ = std::make_unique<TRecordsLink>(form_, *tap_, databasePath, config.server);

    auto action = [this](const QString& text, const char* keys) {
        auto* a = new QAction(text, this);
        a->setShortcut(QKeySequence(QString::fromLatin1(keys)));
        a->setShortcutContext(Qt::WindowShortcut);
        return a;
    };
    ActCalibration = action(tr("Калибровка…"), "Ctrl+K");
    ActHistory = action(tr("Журнал обслуживания…"), "Ctrl+J");
    connect(ActCalibration, &QAction::triggered, this, [this] { ShowCalibration(); });
    connect(ActHistory, &QAction::triggered, this, [this] { ShowHistory(); });
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    form_.addAction(separator);
    form_.addAction(ActCalibration);
    form_.addAction(ActHistory);
    form_.setContextMenuPolicy(Qt::ActionsContextMenu);
}

TRecordsTools::~TRecordsTools() {
    // The windows go before the link and the tap they use.
    delete calibration_;
    delete history_;
}

TCalibrationDialog* TRecordsTools::Calibration() {
    if (!calibration_) {
        calibration_ = new TCalibrationDialog(form_, *tap_, *link_, scheduler_);
        calibration_->addAction(ActHistory);
    }
    return calibration_;
}

THistoryView* TRecordsTools::History() {
    if (!history_) {
        history_ = new THistoryView(*link_, form_.DecimalSeparator, &form_);
        history_->addAction(ActCalibration);
    }
    return history_;
}

void TRecordsTools::ShowCalibration() {
    TCalibrationDialog* d = Calibration();
    d->show();
    d->raise();
    d->activateWindow();
}

void TRecordsTools::ShowHistory() {
    THistoryView* h = History();
    h->show();
    h->raise();
    h->activateWindow();
}

} // namespace orn
