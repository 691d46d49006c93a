// The records for a program that must never wait on a database (the
// window): records are handed over and written on worker threads.
//
// - The writer thread appends each record to the local file, in order.  A
//   record that cannot be written (disk full, the file gone, a newer
//   schema) stays in memory, the state says why, and the writer tries again
//   after a pause that grows from retryMs to maxRetryMs; Unwritten() gives
//   the records so that the user can save them elsewhere.
// - The sender thread, when a team server is set, delivers the local
//   outbox to it in order (see Deliver), connecting with a timeout; while
//   the server is unreachable the records wait in the outbox and go when it
//   is back.
// - The reader thread answers history queries: the local file, and the
//   team server merged with it when one is set and reachable.
//
// Callbacks run on the worker threads.
#pragma once

#include "records.h"
#include "store.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orn::records {

struct TRecorderOptions {
    std::string localPath;     // the SQLite file
    std::string server;        // a libpq connection string; empty: none
    std::string program;       // "orn10util 2.2.0", written with the schema
    int timeoutMs = 5000;      // connecting to the server, and each statement there
    int retryMs = 2000;        // the first pause after a failure
    int maxRetryMs = 60000;    // the longest
};

struct TRecorderState {
    // The local file.
    std::string localError;     // why the last write failed; empty after a success
    int localNewer = 0;         // the file's schema version when a later program made it
    int unwritten = 0;          // records in memory, not yet in the file
    int64_t written = 0;        // records written by this recorder
    // The team server.
    bool serverSet = false;
    bool serverReachable = false;   // the last attempt got through
    std::string serverError;
    int serverNewer = 0;        // the server's schema version when a later program made it
    int64_t waiting = 0;        // records in the outbox not yet delivered
    int64_t delivered = 0;      // records delivered by this recorder
};

struct THistory {
    std::vector<TInstrumentDue> instruments;
    std::vector<TServiceRecord> services;
    std::string error;         // the local file could not be read
    bool fromServer = false;   // the team server's records are in it
    std::string serverError;   // why they are not, with a server set
    bool final = true;         // false: the local records, the server's to follow
};

// Merges a second history (the server's) into `into`: records by UUID,
// instruments by model and serial number, the newest facts winning.
void MergeHistory(THistory& into, const THistory& other, int limit);

class TRecorder {
public:
    explicit TRecorder(TRecorderOptions options);
    // Stops the threads: the records still queued are written first (one
    // more try each; those that cannot be are lost: ask Unwritten() before),
    // a delivery in progress is cut short.
    ~TRecorder();
    TRecorder(const TRecorder&) = delete;
    TRecorder& operator=(const TRecorder&) = delete;

    void Submit(TServiceRecord record);
    void SubmitInterval(TIntervalRecord record);
    // Another team server (empty: none), from now on.
    void SetServer(const std::string& server);
    // Tries failed writes and the delivery again at once.
    void RetryNow();

    TRecorderState State() const;
    std::vector<TServiceRecord> Unwritten() const;
    const TRecorderOptions& Options() const { return options_; }

    // Called (on a worker thread) after each change of State().
    void SetOnChange(std::function<void()> onChange);

    // The history for `q`, answered on the reader thread: with a team
    // server set, first the local file's (not final) and then the merged one.
    void Query(const TQuery& q, std::function<void(THistory)> done);
    // Tries a connection string on the reader thread: the empty text when
    // the server answers and its schema is usable, else why not.
    void TestServer(const std::string& server, std::function<void(std::string error)> done);

    // Waits until `done` holds for the state (true), or timeoutMs has passed.
    bool WaitUntil(const std::function<bool(const TRecorderState&)>& done, int timeoutMs);
    // Until every record submitted so far is in the local file.
    bool WaitWritten(int timeoutMs) {
        return WaitUntil([](const TRecorderState& s) { return s.unwritten == 0; }, timeoutMs);
    }
    // Until every record is in the file and delivered to the server set.
    bool WaitDelivered(int timeoutMs);

private:
    struct TItem {
        bool isInterval = false;
        TServiceRecord service;
        TIntervalRecord interval;
    };

    void WriterLoop();
    void SenderLoop();
    void ReaderLoop();
    void Changed();
    void Post(std::function<void()> job);
    std::unique_ptr<TRecordStore> OpenLocal(std::string& error, int& newer);
    std::unique_ptr<TRecordStore> OpenServer(const std::string& server, std::string& error, int& newer);
    int Backoff(int failures) const;

    const TRecorderOptions options_;
    std::atomic<bool> stop_{false};

    mutable std::mutex mutex_;
    std::condition_variable writerWake_;
    std::condition_variable senderWake_;
    std::condition_variable readerWake_;
    std::condition_variable progress_;   // for the Wait* calls
    std::deque<TItem> queue_;            // the writer's; the front is being written
    std::deque<std::function<void()>> jobs_;   // the reader's
    TRecorderState state_;
    std::string server_;
    bool serverChanged_ = false;
    bool retry_ = false;
    bool sendNow_ = true;   // deliver at once (at start: what an earlier run left)
    std::function<void()> onChange_;

    // The reader's connections, used on its thread only.
    std::unique_ptr<TRecordStore> readerLocal_;
    std::unique_ptr<TRecordStore> readerServer_;
    std::string readerServerString_;

    std::thread writer_;
    std::thread sender_;
    std::thread reader_;
};

} // namespace orn::records
