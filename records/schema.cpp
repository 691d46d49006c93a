#include "schema.h"

#include "records.h"

namespace orn::records {

namespace {

// Version 1: instruments, their services, calibration intervals; records
// are never changed or deleted once written.  Times are UTC text in ISO 8601
// (they sort as times); readings are %об.  The local file also keeps the
// outbox: the records not yet delivered to a team server, in order.
const char* const V1Common = R"(
CREATE TABLE instruments (
  model TEXT NOT NULL,
  serial BIGINT NOT NULL,
  first_seen_utc TEXT NOT NULL,
  PRIMARY KEY (model, serial)
);
CREATE TABLE services (
  uuid TEXT PRIMARY KEY,
  at_utc TEXT NOT NULL,
  model TEXT NOT NULL,
  serial BIGINT,
  address INTEGER NOT NULL,
  port TEXT NOT NULL,
  kind TEXT NOT NULL,
  action TEXT NOT NULL,
  reg INTEGER,
  value_before INTEGER,
  value_after INTEGER,
  zero_before DOUBLE PRECISION,
  zero_after DOUBLE PRECISION,
  gas_before DOUBLE PRECISION,
  gas_after DOUBLE PRECISION,
  gas_concentration DOUBLE PRECISION,
  cylinder_lot TEXT NOT NULL,
  cylinder_expiry TEXT NOT NULL,
  result TEXT NOT NULL,
  criteria TEXT NOT NULL,
  technician TEXT NOT NULL,
  site TEXT NOT NULL,
  notes TEXT NOT NULL,
  program TEXT NOT NULL,
  session_uuid TEXT NOT NULL,
  FOREIGN KEY (model, serial) REFERENCES instruments (model, serial)
);
CREATE INDEX services_instrument ON services (serial, model, at_utc);
CREATE INDEX services_time ON services (at_utc);
CREATE TABLE intervals (
  uuid TEXT PRIMARY KEY,
  at_utc TEXT NOT NULL,
  model TEXT NOT NULL,
  serial BIGINT NOT NULL,
  months INTEGER NOT NULL,
  technician TEXT NOT NULL,
  FOREIGN KEY (model, serial) REFERENCES instruments (model, serial)
);
CREATE INDEX intervals_instrument ON intervals (serial, model, at_utc);
)";

const char* const V1Local = R"(
CREATE TRIGGER services_final_update BEFORE UPDATE ON services
  BEGIN SELECT RAISE(ABORT, 'service records are never changed or deleted'); END;
CREATE TRIGGER services_final_delete BEFORE DELETE ON services
  BEGIN SELECT RAISE(ABORT, 'service records are never changed or deleted'); END;
CREATE TRIGGER intervals_final_update BEFORE UPDATE ON intervals
  BEGIN SELECT RAISE(ABORT, 'service records are never changed or deleted'); END;
CREATE TRIGGER intervals_final_delete BEFORE DELETE ON intervals
  BEGIN SELECT RAISE(ABORT, 'service records are never changed or deleted'); END;
CREATE TABLE outbox (
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  uuid TEXT NOT NULL,
  what TEXT NOT NULL
);
)";

const char* const V1Server = R"(
CREATE FUNCTION orn10_records_are_final() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  RAISE EXCEPTION 'service records are never changed or deleted';
END $$;
CREATE TRIGGER services_final BEFORE UPDATE OR DELETE ON services
  FOR EACH ROW EXECUTE FUNCTION orn10_records_are_final();
CREATE TRIGGER intervals_final BEFORE UPDATE OR DELETE ON intervals
  FOR EACH ROW EXECUTE FUNCTION orn10_records_are_final();
)";

} // namespace

const std::vector<TMigration>& Migrations() {
    static const std::vector<TMigration> steps = {
        {1, V1Common, V1Local, V1Server},
    };
    return steps;
}

int LatestSchema() { return Migrations().back().version; }

TSchemaStatus Migrate(TSqlConnection& db, const std::string& program, const std::vector<TMigration>& steps) {
    TSchemaStatus s;
    s.known = steps.empty() ? 0 : steps.back().version;
    auto fail = [&] {
        s.outcome = TSchemaOutcome::Failed;
        s.error = db.Error();
        db.Rollback();
        return s;
    };
    if (!db.Begin(true)) return fail();
    std::vector<TRow> rows;
    if (!db.Script("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER PRIMARY KEY, "
                   "applied_utc TEXT NOT NULL, program TEXT NOT NULL)") ||
        !db.Exec("SELECT MAX(version) FROM schema_version", {}, &rows))
        return fail();
    s.found = rows.empty() || !rows[0][0] ? 0 : int(ParseInteger(*rows[0][0]).value_or(0));
    if (s.found > s.known) {
        db.Rollback();
        s.outcome = TSchemaOutcome::Newer;
        return s;
    }
    for (const TMigration& m : steps) {
        if (m.version <= s.found) continue;
        const char* own = db.Backend() == TBackend::Local ? m.local : m.server;
        if (!db.Script(m.common) || (own && *own && !db.Script(own)) ||
            !db.Exec("INSERT INTO schema_version (version, applied_utc, program) VALUES (?, ?, ?)",
                     {std::to_string(m.version), NowUtc(), program}))
            return fail();
    }
    if (!db.Commit()) return fail();
    return s;
}

} // namespace orn::records
