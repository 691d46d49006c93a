// The records on SQLite: one file, WAL journal, synchronous FULL.
//
// synchronous FULL with WAL syncs the journal at every commit, so a record
// the program has reported as written survives a power cut as well as a
// crash; NORMAL would keep the file consistent but could lose the last
// commits on a power cut.  Records are a few a minute at most, and a commit
// costs a few milliseconds more on a laptop's disk: the certainty is worth it.
#include "sql.h"

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

namespace orn::records {

namespace {

constexpr int BusyTimeoutMs = 5000;

class TSqlite : public TSqlConnection {
public:
    explicit TSqlite(sqlite3* db) : db_(db) {}
    ~TSqlite() override {
        if (inTransaction_) Rollback();
        sqlite3_close_v2(db_);
    }

    TBackend Backend() const override { return TBackend::Local; }

    bool Exec(const std::string& sql, const std::vector<TValue>& params, std::vector<TRow>* rows) override {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &stmt, nullptr) != SQLITE_OK) return Fail();
        for (size_t i = 0; i < params.size(); ++i) {
            const int rc = params[i] ? sqlite3_bind_text(stmt, int(i + 1), params[i]->data(), int(params[i]->size()),
                                                         SQLITE_TRANSIENT)
                                     : sqlite3_bind_null(stmt, int(i + 1));
            if (rc != SQLITE_OK) {
                sqlite3_finalize(stmt);
                return Fail();
            }
        }
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            if (!rows) continue;
            TRow row;
            const int n = sqlite3_column_count(stmt);
            row.reserve(size_t(n));
            for (int c = 0; c < n; ++c) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                if (text) row.emplace_back(std::string(text, size_t(sqlite3_column_bytes(stmt, c))));
                else row.emplace_back(std::nullopt);
            }
            rows->push_back(std::move(row));
        }
        sqlite3_finalize(stmt);
        return rc == SQLITE_DONE || Fail();
    }

    bool Script(const std::string& sql) override {
        return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK || Fail();
    }

    bool Begin(bool schema) override {
        // IMMEDIATE takes the write lock at once, so two programs that both
        // find an old schema migrate one after the other.
        if (!Script(schema ? "BEGIN IMMEDIATE" : "BEGIN")) return false;
        inTransaction_ = true;
        return true;
    }
    bool Commit() override {
        if (!Script("COMMIT")) {
            Rollback();
            return false;
        }
        inTransaction_ = false;
        return true;
    }
    void Rollback() override {
        // A failed statement may have ended the transaction already.
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        inTransaction_ = false;
    }
    const std::string& Error() const override { return error_; }
    // The last statement found the file locked.
    bool Busy() const { return (sqlite3_errcode(db_) & 0xFF) == SQLITE_BUSY; }

private:
    bool Fail() {
        error_ = sqlite3_errmsg(db_);
        return false;
    }

    sqlite3* db_;
    std::string error_;
    bool inTransaction_ = false;
};

} // namespace

std::unique_ptr<TSqlConnection> OpenSqlite(const std::string& path, std::string& error) {
    std::error_code ec;
    const std::filesystem::path file = std::filesystem::u8path(path);
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) {
        error = "cannot create " + file.parent_path().u8string() + ": " + ec.message();
        return nullptr;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        error = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    auto conn = std::make_unique<TSqlite>(db);
    std::vector<TRow> mode;
    // WAL: a reader (the history) never waits for the writer, nor the writer
    // for it.  The mode is kept in the file; asking again costs nothing.
    // While another connection sets it up on a new file (the program's own
    // writer and sender start together), the switch finds the file locked
    // at once, without the busy handler's wait: it is asked again until the
    // same time is up.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(BusyTimeoutMs);
    bool walAsked;
    while (!(walAsked = conn->Exec("PRAGMA journal_mode=WAL", {}, &mode)) && conn->Busy() &&
           std::chrono::steady_clock::now() < until) {
        mode.clear();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!walAsked || !conn->Script("PRAGMA synchronous=FULL") || !conn->Script("PRAGMA foreign_keys=ON")) {
        error = conn->Error();
        return nullptr;
    }
    if (mode.empty() || !mode[0][0] || *mode[0][0] != "wal") {
        error = "the file cannot use a write-ahead log (journal mode " +
                (mode.empty() || !mode[0][0] ? std::string("?") : *mode[0][0]) + ")";
        return nullptr;
    }
    return conn;
}

} // namespace orn::records
