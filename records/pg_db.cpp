// The records on a PostgreSQL server, through libpq's asynchronous calls:
// every wait (connecting, each statement) has a deadline and looks at the
// stop flag every 100 ms, so a server that is gone, unreachable or stuck
// ends in an error, never in a hang.
#include "socket_wait.h"
#include "sql.h"

#include <libpq-fe.h>

#include <chrono>

namespace orn::records {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int SliceMs = 100;

// "?" placeholders become "$1", "$2", ... outside quoted text.
std::string Numbered(const std::string& sql) {
    std::string out;
    int n = 0;
    char quote = 0;
    for (char c : sql) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '?') {
            out += '$' + std::to_string(++n);
            continue;
        }
        out += c;
    }
    return out;
}

std::string Trimmed(const char* message) {
    std::string s = message ? message : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

class TPostgres : public TSqlConnection {
public:
    TPostgres(PGconn* conn, int timeoutMs, const std::atomic<bool>* stop)
        : conn_(conn), timeoutMs_(timeoutMs), stop_(stop) {}
    ~TPostgres() override {
        if (conn_) PQfinish(conn_);
    }

    TBackend Backend() const override { return TBackend::Server; }

    bool Exec(const std::string& sql, const std::vector<TValue>& params, std::vector<TRow>* rows) override {
        if (!Usable()) return false;
        std::vector<const char*> values;
        for (const TValue& v : params) values.push_back(v ? v->c_str() : nullptr);
        const std::string text = Numbered(sql);
        if (!PQsendQueryParams(conn_, text.c_str(), int(values.size()), nullptr, values.data(), nullptr, nullptr, 0))
            return Fail(PQerrorMessage(conn_));
        return Collect(rows);
    }

    bool Script(const std::string& sql) override {
        if (!Usable()) return false;
        if (!PQsendQuery(conn_, sql.c_str())) return Fail(PQerrorMessage(conn_));
        return Collect(nullptr);
    }

    bool Begin(bool schema) override {
        // One schema change at a time on the server, whichever laptop
        // starts it: a lock that the transaction's end releases.
        return Script("BEGIN") && (!schema || Script("SELECT pg_advisory_xact_lock(7243501)"));
    }
    bool Commit() override { return Script("COMMIT"); }
    void Rollback() override {
        if (conn_ && PQtransactionStatus(conn_) != PQTRANS_IDLE) Script("ROLLBACK");
    }
    const std::string& Error() const override { return error_; }

    // Waits for the socket until the deadline; false with the reason.
    bool Wait(bool forWrite, Clock::time_point deadline) {
        for (;;) {
            if (stop_ && stop_->load()) return Fail("cancelled");
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return Fail("the server did not answer within " + std::to_string((timeoutMs_ + 999) / 1000) + " s");
            const int r = WaitSocket(PQsocket(conn_), forWrite, int(std::min<long long>(left, SliceMs)));
            if (r > 0) return true;
            if (r < 0) return Fail("the connection failed while waiting for the server");
        }
    }

private:
    bool Usable() {
        if (conn_ && PQstatus(conn_) == CONNECTION_OK) return true;
        return Fail(error_.empty() ? "the connection to the server is lost" : error_);
    }

    // Sends what is queued and takes every result of the statement(s).
    bool Collect(std::vector<TRow>* rows) {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs_);
        int flushed;
        while ((flushed = PQflush(conn_)) == 1)
            if (!Wait(true, deadline)) return Abandon();
        if (flushed < 0) return Fail(PQerrorMessage(conn_));
        std::string failure;
        for (;;) {
            while (PQisBusy(conn_)) {
                if (!Wait(false, deadline)) return Abandon();
                if (!PQconsumeInput(conn_)) return Fail(PQerrorMessage(conn_));
            }
            PGresult* res = PQgetResult(conn_);
            if (!res) break;
            const ExecStatusType status = PQresultStatus(res);
            if (status == PGRES_TUPLES_OK && rows) {
                const int n = PQntuples(res), m = PQnfields(res);
                for (int r = 0; r < n; ++r) {
                    TRow row;
                    row.reserve(size_t(m));
                    for (int c = 0; c < m; ++c)
                        row.emplace_back(PQgetisnull(res, r, c) ? TValue() : TValue(PQgetvalue(res, r, c)));
                    rows->push_back(std::move(row));
                }
            } else if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK && failure.empty()) {
                failure = Trimmed(PQresultErrorMessage(res));
                if (failure.empty()) failure = PQresStatus(status);
            }
            PQclear(res);
        }
        return failure.empty() || Fail(failure);
    }

    // A statement that got no answer in time leaves the connection in an
    // unknown state: it is closed, and the server rolls back what it held.
    bool Abandon() {
        PQfinish(conn_);
        conn_ = nullptr;
        return false;
    }

    bool Fail(const std::string& why) {
        error_ = Trimmed(why.c_str());
        return false;
    }

    PGconn* conn_;
    int timeoutMs_;
    const std::atomic<bool>* stop_;
    std::string error_;
};

} // namespace

bool PostgresBuilt() { return true; }

std::unique_ptr<TSqlConnection> OpenPostgres(const std::string& conninfo, int timeoutMs, std::string& error,
                                             const std::atomic<bool>* stop) {
    // The user's string first; the program's name and the encoding after it.
    const char* keys[] = {"dbname", "application_name", "client_encoding", nullptr};
    const char* values[] = {conninfo.c_str(), "orn10util", "UTF8", nullptr};
    PGconn* conn = PQconnectStartParams(keys, values, 1);
    if (!conn) {
        error = "out of memory";
        return nullptr;
    }
    auto pg = std::make_unique<TPostgres>(conn, timeoutMs, stop);
    if (PQstatus(conn) == CONNECTION_BAD) {
        error = Trimmed(PQerrorMessage(conn));
        return nullptr;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (PostgresPollingStatusType s = PGRES_POLLING_WRITING; s != PGRES_POLLING_OK;) {
        if (s == PGRES_POLLING_FAILED) {
            error = Trimmed(PQerrorMessage(conn));
            return nullptr;
        }
        if (!pg->Wait(s == PGRES_POLLING_WRITING, deadline)) {
            error = pg->Error();
            return nullptr;
        }
        s = PQconnectPoll(conn);
    }
    // The server's notices ("relation ... already exists, skipping") are
    // nobody's business; libpq would print them on standard error.
    PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
    if (PQsetnonblocking(conn, 1) != 0) {
        error = Trimmed(PQerrorMessage(conn));
        return nullptr;
    }
    return pg;
}

} // namespace orn::records
