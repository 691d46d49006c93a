// The traffic view: what went over the line, one line per request, as the
// master reports it through its line events, with the port it went over.
// Received bytes carry the time they arrived when the port was watched
// (TPortWatch), else that of the poll that read them; bytes that came after
// the request ended, which the master never saw, and a port that could not
// be opened are shown on the request's line, or a line of their own.
//
// TTrafficLog keeps the last transactions in a ring of fixed size (slots
// are reused, so its memory stays bounded however long it runs) and shows
// them as a table model; the bytes are kept raw and turned into text only
// when a row is painted, copied or saved.  TTrafficView is the window: the
// table, pause, clear, copy and save.
#pragma once

#include "line_events.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;

namespace orn {

// One request and what came of it.
struct TTrafficRecord {
    // One event of the transaction after its start; its bytes follow those of
    // the steps before it in `bytes`.
    struct Step {
        LineEventKind kind;
        uint8_t code;      // Outcome steps: the error code
        uint16_t size;     // bytes kept for this step
        uint32_t dtMs;     // since the first event of the transaction
    };
    int64_t wallMs = 0;    // local time of the first event, ms since the epoch
    uint32_t startMs = 0;  // the master's clock at the first event
    uint8_t slave = 0;
    uint8_t function = 0;
    int16_t outcome = Open;
    bool truncated = false;   // more happened than a record keeps
    uint16_t port = 0;        // TTrafficLog's port number
    uint16_t openError = 0;   // OpenFailed: why (errno; 0 unknown)
    uint32_t endMs = 0;       // since startMs, when it ended; steps after it came late
    std::vector<Step> steps;
    std::vector<uint8_t> bytes;

    static constexpr int16_t Open = -1;       // still waiting for its end
    static constexpr int16_t Unfinished = -2; // ended without an outcome (bytes outside a request)
    static constexpr int16_t OpenFailed = -3; // the port could not be opened: nothing was sent
};

class TTrafficLog : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int DefaultCapacity = 5000;   // transactions kept
    static constexpr size_t MaxBytes = 1024;       // bytes kept per transaction
    static constexpr size_t MaxSteps = 64;         // events kept per transaction

    enum Column { ColTime, ColPort, ColRequest, ColAnswer, ColOutcome, ColumnCount };

    explicit TTrafficLog(int capacity = DefaultCapacity, QObject* parent = nullptr);

    // Takes one event of the master (its OnLine hook).
    void Feed(const LineEvent& e);
    // The port the next requests go over ("COM1", a device path).
    void SetPort(const QString& port);
    // Bytes read after the last request ended (at `ms` on the master's
    // clock), shown as late on its line.
    void AddLate(const uint8_t* data, size_t size, uint32_t ms);
    // The port could not be opened (`error`: errno, 0 unknown): a line.
    void AddOpenFailure(int error);
    void Clear();

    int Capacity() const { return int(ring_.size()); }
    int Count() const { return int(count_); }
    const TTrafficRecord& Record(int row) const { return ring_[Slot(row)]; }
    // Bytes held by the log (the ring and every slot's storage).
    size_t MemoryBytes() const;
    // The local time of a new record; tests replace it.
    std::function<int64_t()> WallClock;

    // The texts of one row, and the row as one line of text (copy, save).
    QString Text(int row, int column) const;
    QString Line(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    size_t Slot(int row) const { return (head_ + size_t(row)) % ring_.size(); }
    TTrafficRecord& Begin(const LineEvent& e);
    TTrafficRecord* OpenRecord();
    void AddStep(TTrafficRecord& r, const LineEvent& e);
    void Changed(const TTrafficRecord& r);

    std::vector<TTrafficRecord> ring_;
    size_t head_ = 0;              // slot of row 0
    size_t count_ = 0;
    uint64_t firstSerial_ = 0;     // serial number of row 0
    uint64_t openSerial_ = 0;      // serial + 1 of the open record, 0 when none
    uint64_t endedSerial_ = 0;     // serial + 1 of the request that ended last, 0 when none
    uint32_t lateMs_ = 0;          // when the last late bytes came
    QStringList ports_;            // the ports named so far; records keep their index
    uint16_t port_ = 0;            // of the next records
    QFont fixedFont_;              // of the time and the bytes
};

class TTrafficView : public QWidget {
    Q_OBJECT

public:
    explicit TTrafficView(QWidget* parent = nullptr, int capacity = TTrafficLog::DefaultCapacity);

    TTrafficLog* Log() const { return log_; }
    QTableView* Table() const { return table_; }
    QPushButton* BtPause;
    QPushButton* BtClear;
    QPushButton* BtCopy;
    QPushButton* BtSave;

    // Shown and not paused: the master's events are wanted.
    bool Listening() const { return isVisible() && !paused_; }
    // Told whenever Listening() changes.
    std::function<void(bool listening)> OnListening;
    // Asks for the file to save to (empty: cancelled).  Tests replace it.
    std::function<QString()> AskSaveFile;

    void SetPaused(bool paused);
    // The selected rows as text lines, onto the clipboard.
    void CopySelected();
    // Every row kept, as text lines; false when the file cannot be written.
    bool SaveTo(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Save();
    void UpdateState();

    TTrafficLog* log_;
    QTableView* table_;
    QLabel* state_;
    bool paused_ = false;
    bool listening_ = false;
    bool follow_ = true;   // keep the newest row in sight
};

} // namespace orn
