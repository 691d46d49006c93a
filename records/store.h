// The records in one database: appending them, the history of an
// instrument, when each instrument is due, and (in the local file) the
// outbox of records that a team server has not received yet.
#pragma once

#include "records.h"
#include "schema.h"
#include "sql.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace orn::records {

// Which records a history shows.  Empty fields do not filter.
struct TQuery {
    std::string serial;      // digits: serial numbers that begin with them (all of it with exactSerial)
    bool exactSerial = false;
    std::string model;       // short model name
    std::optional<int> address;
    std::string fromUtc;     // services at or after
    std::string toUtc;       // services before
    int limit = 1000;        // services at most, the newest
};

// An instrument and when its next calibration is due.
struct TInstrumentDue {
    std::string model;
    int64_t serial = 0;
    std::string lastServiceUtc;       // any record
    std::string lastCalibrationUtc;   // the last span or zero + span that passed; empty: none
    int months = DefaultIntervalMonths;
    std::string monthsSetUtc;         // when the interval was set; empty: the default
    int lastAddress = 0;
    std::string lastSite;
};

// One record waiting in the outbox.
struct TOutboxItem {
    int64_t seq = 0;
    bool isInterval = false;
    TServiceRecord service;
    TIntervalRecord interval;
};

class TRecordStore {
public:
    explicit TRecordStore(std::unique_ptr<TSqlConnection> db) : db_(std::move(db)) {}

    // Migrates the schema (see Migrate); the store is usable when Ok.
    TSchemaStatus Prepare(const std::string& program) { return Migrate(*db_, program); }

    // Appends a record (and its instrument, when first seen) in one
    // transaction; in the local file also its place in the outbox.  A record
    // whose UUID is there already is left as it is: appending is idempotent.
    bool Append(const TServiceRecord& r);
    bool AppendInterval(const TIntervalRecord& r);
    // Many records in one transaction (an import): all or none.
    bool Append(const std::vector<TServiceRecord>& batch);

    // Services, newest first; and the instruments with their due dates.
    bool Services(const TQuery& q, std::vector<TServiceRecord>& out);
    bool Service(const std::string& uuid, std::optional<TServiceRecord>& out);
    bool Overview(const TQuery& q, std::vector<TInstrumentDue>& out);
    bool Count(int64_t& services);

    // The outbox of the local file, oldest first.
    bool Outbox(int limit, std::vector<TOutboxItem>& out);
    bool OutboxCount(int64_t& n);
    bool DropOutbox(int64_t upToSeq);

    const std::string& Error() const { return db_->Error(); }
    TSqlConnection& Db() { return *db_; }

private:
    bool AppendOne(const TServiceRecord& r);
    bool AppendIntervalOne(const TIntervalRecord& r);
    bool Instrument(const std::string& model, int64_t serial, const std::string& atUtc);

    friend bool Deliver(TRecordStore&, TRecordStore&, int&, std::string&, const std::atomic<bool>*);
    std::unique_ptr<TSqlConnection> db_;
};

// A store on `db` with its schema brought up to date; nullptr with `error`
// (and `newer`, the database's version, when a later program made it).
// A null `db` gives nullptr, `error` as it stands.
std::unique_ptr<TRecordStore> OpenStore(std::unique_ptr<TSqlConnection> db, const std::string& program,
                                        std::string& error, int& newer);

// Sends the outbox of `local` to `server`, oldest first, a batch per server
// transaction, and drops what the server has committed.  A record the
// server has already (a batch whose commit was sent but not confirmed) is
// skipped there by its UUID, so each arrives exactly once.  `delivered`
// counts the records sent; false with `error` when it stopped early.
bool Deliver(TRecordStore& local, TRecordStore& server, int& delivered, std::string& error,
             const std::atomic<bool>* stop = nullptr);

// The due date ("YYYY-MM-DD") of a calibration on `date` (local date,
// "YYYY-MM-DD") with an interval of `months`.
inline std::string DueDate(const std::string& date, int months) { return AddMonths(date, months); }

} // namespace orn::records
