// The records' schema and its versions.  Each step brings a database from
// the version before it to its own; a database records the versions
// applied in its table schema_version.  The same steps serve the local file
// and a team server; a few statements are written for one of them only.
#pragma once

#include "sql.h"

#include <string>
#include <vector>

namespace orn::records {

struct TMigration {
    int version;
    const char* common;   // for both
    const char* local;    // SQLite only (may be empty)
    const char* server;   // PostgreSQL only (may be empty)
};

// The steps this program knows, oldest first.
const std::vector<TMigration>& Migrations();
// The version the program works with: that of its last step.
int LatestSchema();

enum class TSchemaOutcome {
    Ok,
    Newer,    // the database is of a later program: refused, nothing changed
    Failed,   // a statement failed: nothing changed (the error says which)
};

struct TSchemaStatus {
    TSchemaOutcome outcome = TSchemaOutcome::Ok;
    int found = 0;       // the version the database had
    int known = 0;       // the latest this program knows
    std::string error;
};

// Brings the database to the last of `steps`, all in one transaction: a
// step that fails leaves the database as it was.  `program` is written
// beside each version applied.
TSchemaStatus Migrate(TSqlConnection& db, const std::string& program,
                      const std::vector<TMigration>& steps = Migrations());

} // namespace orn::records
