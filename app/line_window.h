// "Линия": the whole line at a glance.
//
// The search of the line (line_scan.h) on the main window's port, with its
// address range, answer timeout and, when the settings are not known, a
// sweep over speeds and parities; a table of every instrument found or
// added by hand, read round-robin through the window's own master
// (master_share.h: one transaction at a time with the window's); a double
// click hands an instrument over to the main window; thresholds and the
// magnetic calibration gas of one instrument written to others under the
// window's checks, each read back; the list of a line saved to a small
// file; every read of the table recorded in the readings log when asked.
#pragma once

#include "instruments.h"
#include "line_list.h"
#include "line_scan.h"
#include "master_share.h"

#include <QStringList>
#include <QWidget>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace orn {

class TRecordsLink;
class TRecordsTools;
class TServiceTools;

class TLineWindow : public QWidget {
    Q_OBJECT

public:
    // Columns of the table.
    enum Column {
        ColAddress, ColModel, ColSetting, ColSerial, ColGas, ColLimit1, ColLimit2, ColStatus, ColCurrent, ColAge,
        ColError, ColCopy, ColumnCount
    };

    // One instrument of the line.
    struct TRow {
        int Id = 0;                  // stays with the row while others come and go
        TLineEntry Entry;
        bool Read = false;           // Image holds a reading of it
        TRegImage Image;             // its registers as last read
        uint32_t ReadMs = 0;         // when (the scheduler's clock)
        int Code = 0;                // how the last read ended; 0: answered
        QString Copy;                // what the last copy of settings did to it
    };

    // `tools` (the readings log) and `records` (the service records) may be
    // null; all outlive the window.
    TLineWindow(TMForm& form, TMasterShare& share, Scheduler& scheduler, TServiceTools* tools,
                TRecordsLink* records);
    ~TLineWindow() override;

    // ---- Controls.
    QSpinBox* SpFrom;
    QSpinBox* SpTo;
    QSpinBox* SpTimeout;             // 0: "авто"
    QCheckBox* BoxSweep;
    std::array<QCheckBox*, 8> BoxSpeeds;     // SweepSpeeds
    std::array<QCheckBox*, 3> BoxParities;   // SweepParities
    QLabel* LabelEstimate;
    QPushButton* BtScan;
    QProgressBar* Progress;
    QLabel* LabelProgress;
    QTableWidget* Table;
    QCheckBox* BoxPoll;
    QComboBox* CBPeriod;
    QCheckBox* BoxLog;
    QSpinBox* SpAddress;
    QComboBox* CBModel;
    QPushButton* BtAdd;
    QPushButton* BtRemove;
    QPushButton* BtCopy;
    QPushButton* BtOpen;
    QPushButton* BtSave;
    QLabel* LabelState;

    // ---- What it holds.
    const std::vector<TRow>& Rows() const { return rows_; }
    // The port the table belongs to (the window's when it was filled).
    const std::string& Port() const { return port_; }
    bool Scanning() const { return scan_ != nullptr; }
    const TLineScan* Scan() const { return scan_.get(); }
    bool Copying() const { return !copies_.empty(); }

    // ---- What the user does (the controls call these; so do tests).
    // The plan the controls set.
    TScanPlan Plan() const;
    void StartScan();
    // Stops after the request in flight.
    void StopScan();
    // Adds an instrument (or, when its address and settings are listed,
    // sets its model); the index of its row.
    int AddRow(int address, int devType, const TLineSetting& setting, bool modelSet);
    void RemoveRow(int row);
    void SetModel(int row, int devType);
    // Selects the row's address, model, speed and parity in the main
    // window and reads it there.
    void HandOver(int row);
    // Writes the chosen values (by TSettingValue) of `source`, as last read,
    // to each of `targets`; false (nothing started) when the source has not
    // been read or has none of them.
    bool CopySettings(int source, const std::vector<int>& targets, const std::array<bool, SettingValueCount>& which);
    bool SaveList(const QString& path, QString& error) const;
    bool LoadList(const QString& path, QString& error);
    void Clear();

    // ---- Seams: files and questions, answered by tests.
    std::function<QString()> AskSaveFile;
    std::function<QString()> AskOpenFile;
    // The copy the user confirms: the values chosen, or nullopt to cancel.
    std::function<std::optional<std::array<bool, SettingValueCount>>(const QString& text,
                                                                     const std::array<bool, SettingValueCount>& offered)>
        AskCopy;
    std::function<void(const QString& text)> ShowMessage;

    // The texts of a row's cells, as the table shows them.
    QString CellText(int row, int column) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct TCopyJob {
        int RowId;
        int SourceAddress;
        std::array<std::optional<uint16_t>, SettingValueCount> Wanted;
        enum { ReadBefore, Writing, ReadBack } Phase = ReadBefore;
        int DevType = -1;
        TRegImage Before;            // as read before the writes
        TRegImage Image;             // as the writes leave it
        std::vector<TSettingWrite> Writes;
        size_t Next = 0;
        std::vector<TSettingWrite> Written;   // confirmed by the instrument
        QStringList Notes;
    };

    void BuildLayout();
    void UpdateEstimate();
    void UpdateControls();
    void ShowRow(int row);
    void ShowAges();
    void ShowState(const QString& text);
    int RowOfId(int id) const;
    int TimeoutFor(const TLineSetting& s) const;
    bool PortMatches() const;

    // The share's turn: the scan, a copy or the round-robin sends one request.
    void OnFree();
    void SendProbe();
    void ScanOutcome(const TMasterShare::TResult& r);
    void EndScan();
    bool ReadNextRow();
    void RowRead(int id, const TMasterShare::TResult& r);
    void CopyStep();
    void CopyOutcome(const TMasterShare::TResult& r);
    void FinishCopy();
    // The service record of a write of a copy (the image as it was before it).
    void Record(const TCopyJob& job, const TSettingWrite& w, const TRegImage& before, int code);
    QString ValueName(int value) const;
    QString ValueText(int value, uint16_t word) const;
    // A request of `id`'s row; false when it could not go (the port).
    bool SendFor(const TMasterShare::TRequest& q, TMasterShare::TDone done);

    TMForm& form_;
    TMasterShare& share_;
    Scheduler& scheduler_;
    TServiceTools* tools_;
    TRecordsLink* records_;
    std::string sep_;
    std::vector<TRow> rows_;
    int nextId_ = 1;
    std::string port_;
    std::unique_ptr<TLineScan> scan_;
    bool stopping_ = false;
    std::deque<TCopyJob> copies_;
    int copied_ = 0;                 // rows of the present copy done
    int copyTotal_ = 0;
    size_t next_ = 0;                // the row the round-robin reads next
    uint32_t cycleStartMs_ = 0;
    std::unique_ptr<Timer> ageTimer_;   // every second: ages, and a look for work
    std::unique_ptr<Timer> cycleTimer_; // the next round's start
    bool busy_ = false;              // a request of ours is open
    bool closed_ = false;            // the user closed the window: no round-robin
    QString portProblem_;            // why the port could not be used, last
};

// The line window beside the main window, reached from the service tools
// ("Линия…", Ctrl+B), and the share of the window's master it sends through.
// Made after every other listener of the master (the service tools, the
// records): the share must be the first to hear of an outcome.
class TLineTools : public QObject {
    Q_OBJECT

public:
    // All outlive the tools; `records` may be null.
    TLineTools(TMForm& form, Scheduler& scheduler, TServiceTools& tools, TRecordsTools* records);
    ~TLineTools() override;

    TMasterShare& Share() { return share_; }
    // Made when first asked for.
    TLineWindow* Window();
    void Show();

private:
    TMForm& form_;
    Scheduler& scheduler_;
    TServiceTools& tools_;
    TRecordsTools* records_;
    TMasterShare share_;
    TLineWindow* window_ = nullptr;   // a window of the main window
};

} // namespace orn
