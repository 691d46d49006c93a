// The guided calibration and the service records, beside the window: two
// more items in its context menu and its "Сервис" menu (after the service
// tools'), with
// shortcuts: Ctrl+K "Калибровка…", Ctrl+J "Журнал обслуживания…".  The
// window's writes are recorded from the start.
#pragma once

#include "form_tap.h"
#include "records_link.h"

#include <QObject>

#include <memory>

class QAction;

namespace orn {

class TCalibrationDialog;
class THistoryView;

class TRecordsTools : public QObject {
    Q_OBJECT

public:
    // `databasePath` empty: the user's records; the team server is the one
    // set in the records' settings file.
    TRecordsTools(TMForm& form, Scheduler& scheduler, const std::string& databasePath = {});
    ~TRecordsTools() override;

    QAction* ActCalibration;
    QAction* ActHistory;

    TFormTap& Tap() { return *tap_; }
    TRecordsLink& Link() { return *link_; }
    // Made when first asked for.
    TCalibrationDialog* Calibration();
    THistoryView* History();
    void ShowCalibration();
    void ShowHistory();

private:
    TMForm& form_;
    Scheduler& scheduler_;
    std::unique_ptr<TFormTap> tap_;
    std::unique_ptr<TRecordsLink> link_;
    TCalibrationDialog* calibration_ = nullptr;   // windows of the main window, which deletes them
    THistoryView* history_ = nullptr;
};

} // namespace orn
