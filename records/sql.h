// One connection to a records database, SQLite or PostgreSQL, behind the
// few operations the records need.  Statements use "?" for parameters;
// values travel as text (or NULL) both ways, numbers with a point.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orn::records {

using TValue = std::optional<std::string>;
using TRow = std::vector<TValue>;

enum class TBackend { Local, Server };

class TSqlConnection {
public:
    virtual ~TSqlConnection() = default;
    virtual TBackend Backend() const = 0;

    // One statement with its parameters; the rows of a query go to `rows`
    // when given.  False with Error() set.
    virtual bool Exec(const std::string& sql, const std::vector<TValue>& params = {},
                      std::vector<TRow>* rows = nullptr) = 0;
    // Several statements without parameters (a migration's script).
    virtual bool Script(const std::string& sql) = 0;
    // A transaction.  `schema`: the one that may change the schema; only one
    // such runs at a time on a database, whoever else opens it.
    virtual bool Begin(bool schema = false) = 0;
    virtual bool Commit() = 0;
    virtual void Rollback() = 0;
    // What failed last, as the database said it.
    virtual const std::string& Error() const = 0;
};

// Opens (and creates, with its folder) the SQLite file at `path`: WAL
// journal, synchronous FULL, a busy timeout.  nullptr with `error` set.
std::unique_ptr<TSqlConnection> OpenSqlite(const std::string& path, std::string& error);

// Connects to a PostgreSQL server by a libpq connection string, giving up
// after `timeoutMs` (also for each statement later).  `stop`, when given
// and set, cuts a wait short.  nullptr with `error` set; also when the
// program was built without PostgreSQL.
std::unique_ptr<TSqlConnection> OpenPostgres(const std::string& conninfo, int timeoutMs, std::string& error,
                                             const std::atomic<bool>* stop = nullptr);
// Whether this build can talk to a PostgreSQL server at all.
bool PostgresBuilt();

} // namespace orn::records
