// The main window's service tools: the traffic view, the readings log and
// the trend.  They are reached from the window's "Сервис" menu button, from
// a context menu on the window (a right click anywhere on it, the status bar
// included) and by shortcuts: Ctrl+T the traffic view, Ctrl+G the trend,
// Ctrl+L start or stop recording.  While the readings are recorded the
// window shows it beside "Переключить".
//
// Attached from outside the window, which stays as it is: the master's
// answer event is chained after the window's own handler (so the table and
// the register image are up to date when a read is logged), and the
// master's line hook is set only while the traffic view records, so that
// nothing is formatted or kept while nobody looks.
#pragma once

#include "port_watch.h"
#include "readings_log.h"
#include "umain.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace orn {

class TTrafficLog;
class TTrafficView;
class TTrendView;

class TServiceTools : public QObject {
    Q_OBJECT

public:
    // `form` and `scheduler` outlive the tools.
    TServiceTools(TMForm& form, Scheduler& scheduler);
    ~TServiceTools() override;

    QAction* ActTraffic;
    QAction* ActTrend;
    QAction* ActLog;
    QAction* ActLine;

    // The traffic view, made when first asked for.
    TTrafficView* Traffic();
    TTrendView* Trend() const { return trend_; }
    // The readings log and its state (TReadingsLog::Status()).
    const TReadingsLog& Log() const { return log_; }
    TReadingsLog& Log() { return log_; }

    void ShowTraffic();
    void ShowTrend();
    // Starts recording into a file the user picks, or stops recording.
    void ToggleLog();
    // Appends to `path`, emptied first with `replace` (the user confirmed
    // replacing it).  False (and the message shown) when the file cannot be
    // written.
    bool StartLog(const QString& path, bool replace = false);
    // Stops once the rows still waiting are on the medium, waiting at most
    // LogFlushMs for them (the message says how many were lost if the time
    // ran out).  Also done when the program quits.
    void StopLog();
    // What "Линия…" opens; the line tools set it (unset: the entry is disabled).
    void SetLineTool(std::function<void()> open);
    // One read of an instrument into the readings log, while it records
    // (the window's own reads come here, and the line table's).
    void LogReading(const std::string& port, int address, int devType, const TRegImage& image);
    int LogFlushMs = TReadingsLog::FlushMs;

    // Asks for the file to record into (empty: cancelled); a file that
    // exists has been confirmed for replacing.  Tests replace it.
    std::function<QString()> AskLogFile;
    // Shows a message without holding anything up (no nested event loop;
    // at quit, when nothing else is left, it waits to be seen).  Tests
    // replace it.
    std::function<void(const QString& text)> ShowMessage;

signals:
    // The readings log's state changed: a row, a stall, a stop or a failure.
    void LogStateChanged();

private:
    // One entry of the tools' menus; a null `open` is a separator.
    QAction* AddTool(const QString& text, const char* keys, std::function<void()> open);
    void AfterAnswer();
    // The writer reported a row or a failure.
    void LogChanged();
    void SetListening(bool on);
    // One event of the master for the traffic view, with the port's watch.
    void Listen(TTrafficLog& log, const LineEvent& e);
    void UpdateLogState();
    void AddTo(QWidget* window);

    TMForm& form_;
    Scheduler& scheduler_;
    TModbusM::TNotifyEvent windowAnswer_;   // the window's own answer handler
    QList<QAction*> tools_;                 // the service tools' entries, in order
    QMenu* menu_;                           // of the window's menu buttons
    TTrafficView* traffic_ = nullptr;       // windows of the main window, which deletes them
    TTrendView* trend_ = nullptr;
    std::function<void()> openLine_;
    TReadingsLog log_{[this] { return scheduler_.nowMs(); }};
    std::unique_ptr<Timer> stallCheck_;   // looks for a stall while rows wait
    bool failureShown_ = false;           // the recording's failure has been told
    bool quitting_ = false;
    TPortWatch watch_{scheduler_};        // while the traffic view listens
};

} // namespace orn
