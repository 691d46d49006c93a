// The window's service records: every write and command the window sends
// that changes an instrument is recorded (with its value before and after),
// and the guided calibration's sessions with it.  The records go through
// the records library's worker threads, so the window never waits on a
// database; what they report comes back on the window's thread.
//
// A record that cannot be written stays in memory: a message (not modal)
// says why, the writer tries again, and the records can be saved to a file;
// closing the window with such records asks first.
#pragma once

#include "form_tap.h"
#include "recorder.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QMessageBox;

namespace orn {

class TRecordsLink : public QObject {
    Q_OBJECT

public:
    // `databasePath` empty: the user's (records::DefaultDatabasePath());
    // `server` is the team server's connection string (empty: none).
    TRecordsLink(TMForm& form, TFormTap& tap, const std::string& databasePath, const std::string& server);
    ~TRecordsLink() override;

    records::TRecorder& Recorder() { return *recorder_; }
    records::TRecorderState State() const { return recorder_->State(); }
    static std::string Program();

    // A record made by the window (its UUID and time are set already).
    void Submit(records::TServiceRecord record);
    void SubmitInterval(records::TIntervalRecord record);
    // The history, answered on the window's thread (twice with a team
    // server: the local records first).
    void Query(const records::TQuery& q, std::function<void(records::THistory)> done);
    // Tries a team server's connection string; the answer on the window's thread.
    void TestServer(const std::string& server, std::function<void(QString error)> done);
    void SetServer(const std::string& server);

    // Who works, remembered between runs; writes sent outside a session carry it.
    QString Technician() const;
    void SetTechnician(const QString& name);

    // While a guided session runs its writes belong to it.
    void SetSession(const std::string& uuid, const QString& technician, const QString& site);
    void EndSession();

    // Writes the records not yet in the database into a CSV file; false
    // with `error`.
    bool SaveUnwritten(const QString& path, QString& error) const;

    // The words for the state of the records (the file, the team server).
    QString StateText() const;

    // Seams for tests: the message about records not written (not modal),
    // the file to save them to, the question on closing with some unwritten.
    std::function<void(const QString& text)> ShowAlert;
    std::function<QString()> AskSaveFile;
    enum class TCloseChoice { Save, Discard, Stay };
    std::function<TCloseChoice(const QString& text)> AskOnClose;

signals:
    void StateChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnTransaction(const TTransaction& t);
    void OnState();
    QString UnwrittenText(const records::TRecorderState& s) const;
    // Runs `f` on the window's thread, if the link still lives.
    void Later(std::function<void()> f);

    TMForm& form_;
    std::unique_ptr<records::TRecorder> recorder_;
    std::string sessionUuid_;
    QString sessionTechnician_;
    QString sessionSite_;
    bool alerted_ = false;   // the message about the current failure is out
    QPointer<QMessageBox> alert_;
};

// A local path or error text of the records library, for people.
QString FromUtf8(const std::string& s);

// Writes `data` into the file at `path` whole or not at all; false with `error`.
bool WriteWholeFile(const QString& path, const std::string& data, QString& error);

} // namespace orn
