#include "store.h"

namespace orn::records {

namespace {

constexpr int DeliveryBatch = 200;

const char* const ServiceColumns =
    "uuid, at_utc, model, serial, address, port, kind, action, reg, value_before, value_after, zero_before, "
    "zero_after, gas_before, gas_after, gas_concentration, cylinder_lot, cylinder_expiry, result, criteria, "
    "technician, site, notes, program, session_uuid";
constexpr int ServiceColumnCount = 25;

const char* const IntervalColumns = "uuid, at_utc, model, serial, months, technician";

template <class T> TValue Opt(const std::optional<T>& v) {
    if (!v) return std::nullopt;
    if constexpr (std::is_floating_point_v<T>) return NumberText(*v);
    else return std::to_string(*v);
}

std::vector<TValue> ServiceValues(const TServiceRecord& r) {
    return {r.uuid,        r.atUtc,         r.model,          Opt(r.serial),        std::to_string(r.address),
            r.port,        KindKey(r.kind), r.action,         Opt(r.reg),           Opt(r.valueBefore),
            Opt(r.valueAfter), Opt(r.zeroBefore), Opt(r.zeroAfter), Opt(r.gasBefore), Opt(r.gasAfter),
            Opt(r.gasConcentration), r.cylinderLot, r.cylinderExpiry, ResultKey(r.result), r.criteria,
            r.technician,  r.site,          r.notes,          r.program,            r.sessionUuid};
}

std::string Text(const TValue& v) { return v.value_or(""); }
std::optional<int64_t> Integer(const TValue& v) { return v ? ParseInteger(*v) : std::nullopt; }
std::optional<int> Int(const TValue& v) {
    const auto i = Integer(v);
    return i ? std::optional<int>(int(*i)) : std::nullopt;
}
std::optional<double> Real(const TValue& v) { return v ? ParseNumber(*v) : std::nullopt; }

// A row of ServiceColumns, from column `at` on.
TServiceRecord ServiceOf(const TRow& row, size_t at = 0) {
    auto c = [&](size_t i) -> const TValue& { return row[at + i]; };
    TServiceRecord r;
    r.uuid = Text(c(0));
    r.atUtc = Text(c(1));
    r.model = Text(c(2));
    r.serial = Integer(c(3));
    r.address = Int(c(4)).value_or(0);
    r.port = Text(c(5));
    r.kind = KindFromKey(Text(c(6))).value_or(TKind::Command);
    r.action = Text(c(7));
    r.reg = Int(c(8));
    r.valueBefore = Int(c(9));
    r.valueAfter = Int(c(10));
    r.zeroBefore = Real(c(11));
    r.zeroAfter = Real(c(12));
    r.gasBefore = Real(c(13));
    r.gasAfter = Real(c(14));
    r.gasConcentration = Real(c(15));
    r.cylinderLot = Text(c(16));
    r.cylinderExpiry = Text(c(17));
    r.result = ResultFromKey(Text(c(18))).value_or(TResult::Done);
    r.criteria = Text(c(19));
    r.technician = Text(c(20));
    r.site = Text(c(21));
    r.notes = Text(c(22));
    r.program = Text(c(23));
    r.sessionUuid = Text(c(24));
    return r;
}

TIntervalRecord IntervalOf(const TRow& row, size_t at = 0) {
    TIntervalRecord r;
    r.uuid = Text(row[at]);
    r.atUtc = Text(row[at + 1]);
    r.model = Text(row[at + 2]);
    r.serial = Integer(row[at + 3]).value_or(0);
    r.months = Int(row[at + 4]).value_or(DefaultIntervalMonths);
    r.technician = Text(row[at + 5]);
    return r;
}

// The WHERE conditions of a query on services `s`, with their parameters.
std::string Conditions(const TQuery& q, std::vector<TValue>& params, bool instrumentToo) {
    std::string where;
    auto add = [&](const std::string& cond, const std::string& value) {
        where += " AND " + cond;
        params.push_back(value);
    };
    if (!q.serial.empty()) {
        if (q.exactSerial) add("s.serial = ?", q.serial);
        else add("CAST(s.serial AS TEXT) LIKE ?", q.serial + "%");
    }
    if (instrumentToo && !q.model.empty()) add("s.model = ?", q.model);
    if (q.address) add("s.address = ?", std::to_string(*q.address));
    if (!q.fromUtc.empty()) add("s.at_utc >= ?", q.fromUtc);
    if (!q.toUtc.empty()) add("s.at_utc < ?", q.toUtc);
    return where;
}

bool Digits(const std::string& s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

} // namespace

bool TRecordStore::Instrument(const std::string& model, int64_t serial, const std::string& atUtc) {
    return db_->Exec("INSERT INTO instruments (model, serial, first_seen_utc) VALUES (?, ?, ?) "
                     "ON CONFLICT (model, serial) DO NOTHING",
                     {model, std::to_string(serial), atUtc});
}

bool TRecordStore::AppendOne(const TServiceRecord& r) {
    if (r.serial && !Instrument(r.model, *r.serial, r.atUtc)) return false;
    std::string marks;
    for (int i = 0; i < ServiceColumnCount; ++i) marks += i ? ", ?" : "?";
    std::vector<TRow> inserted;
    if (!db_->Exec(std::string("INSERT INTO services (") + ServiceColumns + ") VALUES (" + marks +
                       ") ON CONFLICT (uuid) DO NOTHING RETURNING uuid",
                   ServiceValues(r), &inserted))
        return false;
    if (inserted.empty() || db_->Backend() != TBackend::Local) return true;
    return db_->Exec("INSERT INTO outbox (uuid, what) VALUES (?, 'service')", {r.uuid});
}

bool TRecordStore::AppendIntervalOne(const TIntervalRecord& r) {
    if (!Instrument(r.model, r.serial, r.atUtc)) return false;
    std::vector<TRow> inserted;
    if (!db_->Exec(std::string("INSERT INTO intervals (") + IntervalColumns +
                       ") VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (uuid) DO NOTHING RETURNING uuid",
                   {r.uuid, r.atUtc, r.model, std::to_string(r.serial), std::to_string(r.months), r.technician},
                   &inserted))
        return false;
    if (inserted.empty() || db_->Backend() != TBackend::Local) return true;
    return db_->Exec("INSERT INTO outbox (uuid, what) VALUES (?, 'interval')", {r.uuid});
}

bool TRecordStore::Append(const TServiceRecord& r) {
    if (!db_->Begin()) return false;
    if (AppendOne(r) && db_->Commit()) return true;
    db_->Rollback();
    return false;
}

bool TRecordStore::Append(const std::vector<TServiceRecord>& batch) {
    if (!db_->Begin()) return false;
    bool ok = true;
    for (size_t i = 0; ok && i < batch.size(); ++i) ok = AppendOne(batch[i]);
    if (ok && db_->Commit()) return true;
    db_->Rollback();
    return false;
}

bool TRecordStore::AppendInterval(const TIntervalRecord& r) {
    if (!db_->Begin()) return false;
    if (AppendIntervalOne(r) && db_->Commit()) return true;
    db_->Rollback();
    return false;
}

bool TRecordStore::Services(const TQuery& q, std::vector<TServiceRecord>& out) {
    out.clear();
    if (!Digits(q.serial)) return true;   // no serial number has other characters
    std::vector<TValue> params;
    const std::string where = Conditions(q, params, true);
    params.push_back(std::to_string(q.limit));
    std::vector<TRow> rows;
    if (!db_->Exec(std::string("SELECT ") + ServiceColumns + " FROM services s WHERE 1 = 1" + where +
                       " ORDER BY s.at_utc DESC, s.uuid LIMIT ?",
                   params, &rows))
        return false;
    out.reserve(rows.size());
    for (const TRow& row : rows) out.push_back(ServiceOf(row));
    return true;
}

bool TRecordStore::Service(const std::string& uuid, std::optional<TServiceRecord>& out) {
    std::vector<TRow> rows;
    if (!db_->Exec(std::string("SELECT ") + ServiceColumns + " FROM services WHERE uuid = ?", {uuid}, &rows))
        return false;
    out.reset();
    if (!rows.empty()) out = ServiceOf(rows[0]);
    return true;
}

bool TRecordStore::Overview(const TQuery& q, std::vector<TInstrumentDue>& out) {
    out.clear();
    if (!Digits(q.serial)) return true;
    // The instrument's own filters go on the instrument; those of its
    // services (address, time) ask for at least one service that matches.
    std::vector<TValue> params;
    std::string where;
    if (!q.serial.empty()) {
        where += q.exactSerial ? " AND i.serial = ?" : " AND CAST(i.serial AS TEXT) LIKE ?";
        params.push_back(q.exactSerial ? q.serial : q.serial + "%");
    }
    if (!q.model.empty()) {
        where += " AND i.model = ?";
        params.push_back(q.model);
    }
    if (q.address || !q.fromUtc.empty() || !q.toUtc.empty()) {
        TQuery rest;
        rest.address = q.address;
        rest.fromUtc = q.fromUtc;
        rest.toUtc = q.toUtc;
        where += " AND EXISTS (SELECT 1 FROM services s WHERE s.serial = i.serial AND s.model = i.model" +
                 Conditions(rest, params, false) + ")";
    }
    const std::string same = "s.serial = i.serial AND s.model = i.model";
    std::vector<TRow> rows;
    if (!db_->Exec("SELECT i.model, i.serial, "
                   "(SELECT MAX(s.at_utc) FROM services s WHERE " + same + "), "
                   "(SELECT MAX(s.at_utc) FROM services s WHERE " + same +
                       " AND s.kind IN ('span', 'zero_span') AND s.result = 'pass'), "
                   "(SELECT v.months FROM intervals v WHERE v.serial = i.serial AND v.model = i.model "
                   "ORDER BY v.at_utc DESC, v.uuid LIMIT 1), "
                   "(SELECT MAX(v.at_utc) FROM intervals v WHERE v.serial = i.serial AND v.model = i.model), "
                   "(SELECT s.address FROM services s WHERE " + same + " ORDER BY s.at_utc DESC LIMIT 1), "
                   "(SELECT s.site FROM services s WHERE " + same +
                       " AND s.site <> '' ORDER BY s.at_utc DESC LIMIT 1) "
                   "FROM instruments i WHERE 1 = 1" + where + " ORDER BY i.serial, i.model",
                   params, &rows))
        return false;
    for (const TRow& row : rows) {
        TInstrumentDue d;
        d.model = Text(row[0]);
        d.serial = Integer(row[1]).value_or(0);
        d.lastServiceUtc = Text(row[2]);
        d.lastCalibrationUtc = Text(row[3]);
        d.months = Int(row[4]).value_or(DefaultIntervalMonths);
        d.monthsSetUtc = Text(row[5]);
        d.lastAddress = Int(row[6]).value_or(0);
        d.lastSite = Text(row[7]);
        out.push_back(std::move(d));
    }
    return true;
}

bool TRecordStore::Count(int64_t& services) {
    std::vector<TRow> rows;
    if (!db_->Exec("SELECT COUNT(*) FROM services", {}, &rows)) return false;
    services = rows.empty() ? 0 : Integer(rows[0][0]).value_or(0);
    return true;
}

bool TRecordStore::Outbox(int limit, std::vector<TOutboxItem>& out) {
    out.clear();
    std::vector<TRow> rows;
    if (!db_->Exec(std::string("SELECT o.seq, o.what, ") + ServiceColumns +
                       " FROM outbox o JOIN services USING (uuid) WHERE o.what = 'service' "
                       "UNION ALL SELECT o.seq, o.what, " + IntervalColumns +
                       ", NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
                       "NULL, NULL, NULL, NULL FROM outbox o JOIN intervals USING (uuid) WHERE o.what = 'interval' "
                       "ORDER BY 1 LIMIT ?",
                   {std::to_string(limit)}, &rows))
        return false;
    for (const TRow& row : rows) {
        TOutboxItem item;
        item.seq = Integer(row[0]).value_or(0);
        item.isInterval = Text(row[1]) == "interval";
        if (item.isInterval) item.interval = IntervalOf(row, 2);
        else item.service = ServiceOf(row, 2);
        out.push_back(std::move(item));
    }
    return true;
}

bool TRecordStore::OutboxCount(int64_t& n) {
    std::vector<TRow> rows;
    if (!db_->Exec("SELECT COUNT(*) FROM outbox", {}, &rows)) return false;
    n = rows.empty() ? 0 : Integer(rows[0][0]).value_or(0);
    return true;
}

bool TRecordStore::DropOutbox(int64_t upToSeq) {
    return db_->Exec("DELETE FROM outbox WHERE seq <= ?", {std::to_string(upToSeq)});
}

std::unique_ptr<TRecordStore> OpenStore(std::unique_ptr<TSqlConnection> db, const std::string& program,
                                        std::string& error, int& newer) {
    newer = 0;
    if (!db) return nullptr;
    auto store = std::make_unique<TRecordStore>(std::move(db));
    const TSchemaStatus s = store->Prepare(program);
    if (s.outcome == TSchemaOutcome::Ok) return store;
    if (s.outcome == TSchemaOutcome::Newer) {
        newer = s.found;
        error = "the records were made by a later program (schema version " + std::to_string(s.found) +
                ", this program knows up to " + std::to_string(s.known) + ")";
    } else {
        error = "the schema cannot be prepared: " + s.error;
    }
    return nullptr;
}

bool Deliver(TRecordStore& local, TRecordStore& server, int& delivered, std::string& error,
             const std::atomic<bool>* stop) {
    delivered = 0;
    for (;;) {
        if (stop && stop->load()) return true;
        std::vector<TOutboxItem> batch;
        if (!local.Outbox(DeliveryBatch, batch)) {
            error = local.Error();
            return false;
        }
        if (batch.empty()) return true;
        TSqlConnection& db = server.Db();
        bool ok = db.Begin();
        for (size_t i = 0; ok && i < batch.size(); ++i)
            ok = batch[i].isInterval ? server.AppendIntervalOne(batch[i].interval) : server.AppendOne(batch[i].service);
        if (!ok || !db.Commit()) {
            error = db.Error();
            db.Rollback();
            return false;
        }
        // Committed there: gone from here.  Should this fail, the batch goes
        // again and the server skips what it has.
        if (!local.DropOutbox(batch.back().seq)) {
            error = local.Error();
            return false;
        }
        delivered += int(batch.size());
    }
}

} // namespace orn::records
