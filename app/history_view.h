// "Журнал обслуживания": the instruments with their next calibration due
// (from the last calibration that passed and the instrument's interval,
// 6 months unless set; overdue ones marked), and the services of the
// instrument chosen, filtered by serial number, address and date; the
// certificate of a session, the interval of an instrument, CSV for the
// customer, and the team server's setting.
#pragma once

#include "records_link.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace orn {

class THistoryView : public QWidget {
    Q_OBJECT

public:
    THistoryView(TRecordsLink& link, const std::string& sep, QWidget* parent);

    QLineEdit* Serial;
    QLineEdit* Address;
    QCheckBox* ByDate;
    QDateEdit* From;
    QDateEdit* To;
    QPushButton* BtRefresh;
    QTableWidget* Instruments;
    QTableWidget* Services;
    QPushButton* BtInterval;
    QPushButton* BtCertificate;
    QPushButton* BtExport;
    QPushButton* BtExportDue;
    QPushButton* BtSettings;
    QLabel* Status;

    // Asks the records again with the filters; the tables fill when they come.
    void Refresh();
    const records::THistory& History() const { return history_; }
    bool Loading() const { return loading_; }

    // Seams for tests: the file to export to, the months of an interval, a message.
    std::function<QString(const QString& suggested)> AskExportFile;
    std::function<int(int current, bool& ok)> AskMonths;
    std::function<void(const QString& text)> ShowMessage;
    std::function<void(const QString& path)> OpenFile;
    // Writes the services shown (or the instruments and their due dates) as CSV.
    bool Export(const QString& path, bool dueList, QString& error) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Fill(const records::THistory& h);
    void FillServices();
    const records::TInstrumentDue* SelectedInstrument() const;
    const records::TServiceRecord* SelectedService() const;
    void SetInterval();
    void MakeCertificate();
    void EditSettings();

    TRecordsLink& link_;
    std::string sep_;
    records::THistory history_;
    std::vector<const records::TServiceRecord*> shown_;   // the rows of Services
    bool loading_ = false;
    bool refreshWhenWritten_ = false;
    int generation_ = 0;   // answers to an older Refresh are dropped
};

} // namespace orn
