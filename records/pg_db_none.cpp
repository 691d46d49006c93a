// A build without PostgreSQL's client library: the records stay in the
// local file, and a team server is refused with the reason.
#include "sql.h"

namespace orn::records {

bool PostgresBuilt() { return false; }

std::unique_ptr<TSqlConnection> OpenPostgres(const std::string&, int, std::string& error, const std::atomic<bool>*) {
    error = "this build of the program has no PostgreSQL client";
    return nullptr;
}

} // namespace orn::records
