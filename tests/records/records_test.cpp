// The service records on SQLite and on a real PostgreSQL server: the
// schema and its versions, records as written and read back, due dates and
// filters, a writer killed in the middle of a write, and a team server that
// goes away and comes back while records are made.
#include "pg_server.h"
#include "recorder.h"
#include "report.h"
#include "schema.h"
#include "store.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace orn::records;
using orn::test::TPgServer;

namespace {

// A folder of the test's own, removed with what is in it however the test ends.
struct TTempDir {
    std::string path;
    TTempDir() {
        char dir[] = "/tmp/orn10-records-XXXXXX";
        path = mkdtemp(dir) ? dir : "";
    }
    ~TTempDir() {
        if (!path.empty() && std::system(("rm -rf " + path).c_str()) != 0) ADD_FAILURE() << path;
    }
    operator const std::string&() const { return path; }
    std::string operator+(const char* name) const { return path + name; }
};

// A record with every field set; `i` makes it unique.
TServiceRecord Sample(int i, const std::string& at = "2026-03-01T08:15:30.250Z") {
    TServiceRecord r;
    char uuid[40];
    std::snprintf(uuid, sizeof uuid, "00000000-0000-4000-8000-%012d", i);
    r.uuid = uuid;
    r.atUtc = at;
    r.model = "MB4";
    r.serial = 2630001 + i % 3;
    r.address = 1 + i % 5;
    r.port = "COM1";
    r.kind = TKind::ZeroSpan;
    r.action = "zero+span";
    r.reg = 2;
    r.valueBefore = 150;
    r.valueAfter = 2500;
    r.zeroBefore = 0.5;
    r.zeroAfter = 0.01;
    r.gasBefore = 22.57;
    r.gasAfter = 25.02;
    r.gasConcentration = 25;
    r.cylinderLot = "Партия 17/3";
    r.cylinderExpiry = "2027-05-31";
    r.result = TResult::Pass;
    r.criteria = "±0,20 %об за 30 с";
    r.technician = "Иванов И. И.";
    r.site = "Цех 3; линия \"Б\"";
    r.notes = "record " + std::to_string(i);
    r.program = "orn10util 2.2.0";
    return r;
}

void ExpectSame(const TServiceRecord& a, const TServiceRecord& b) {
    EXPECT_EQ(a.uuid, b.uuid);
    EXPECT_EQ(a.atUtc, b.atUtc);
    EXPECT_EQ(a.model, b.model);
    EXPECT_EQ(a.serial, b.serial);
    EXPECT_EQ(a.address, b.address);
    EXPECT_EQ(a.port, b.port);
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.action, b.action);
    EXPECT_EQ(a.reg, b.reg);
    EXPECT_EQ(a.valueBefore, b.valueBefore);
    EXPECT_EQ(a.valueAfter, b.valueAfter);
    EXPECT_EQ(a.zeroBefore, b.zeroBefore);
    EXPECT_EQ(a.zeroAfter, b.zeroAfter);
    EXPECT_EQ(a.gasBefore, b.gasBefore);
    EXPECT_EQ(a.gasAfter, b.gasAfter);
    EXPECT_EQ(a.gasConcentration, b.gasConcentration);
    EXPECT_EQ(a.cylinderLot, b.cylinderLot);
    EXPECT_EQ(a.cylinderExpiry, b.cylinderExpiry);
    EXPECT_EQ(a.result, b.result);
    EXPECT_EQ(a.criteria, b.criteria);
    EXPECT_EQ(a.technician, b.technician);
    EXPECT_EQ(a.site, b.site);
    EXPECT_EQ(a.notes, b.notes);
    EXPECT_EQ(a.program, b.program);
    EXPECT_EQ(a.sessionUuid, b.sessionUuid);
}

int64_t Count(TSqlConnection& db, const std::string& table) {
    std::vector<TRow> rows;
    EXPECT_TRUE(db.Exec("SELECT COUNT(*) FROM " + table, {}, &rows)) << db.Error();
    return rows.empty() ? -1 : *ParseInteger(*rows[0][0]);
}

// One server for the whole process, started by the first test that needs
// it and stopped at the end; each test gets a database of its own.
class ServerEnvironment : public ::testing::Environment {
public:
    static TPgServer* Get() {
        if (!server_ && !TPgServer::BinDir().empty()) {
            server_ = std::make_unique<TPgServer>();
            std::string error;
            if (!server_->Create(error)) {
                ADD_FAILURE() << error;
                server_.reset();
            }
        }
        return server_.get();
    }
    void TearDown() override { server_.reset(); }

private:
    static inline std::unique_ptr<TPgServer> server_;
};
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);
int g_databases = 0;

// A new database on the server; empty when there is no server.
std::string NewServerDatabase() {
    TPgServer* server = ServerEnvironment::Get();
    std::string error;
    auto admin = server ? OpenPostgres(server->Conninfo(), 30000, error) : nullptr;
    const std::string name = "records" + std::to_string(++g_databases);
    if (!admin || !admin->Script("CREATE DATABASE " + name)) return "";
    return "host=" + server->Dir() + " user=orn10 dbname=" + name;
}

// ---------------------------------------------------------------- both backends

class Backends : public ::testing::TestWithParam<TBackend> {
protected:
    TTempDir dir;
    std::unique_ptr<TRecordStore> store;

    void SetUp() override {
        std::string error;
        if (GetParam() == TBackend::Local) {
            store = std::make_unique<TRecordStore>(OpenSqlite(dir + "/records.db", error));
        } else {
            const std::string conninfo = NewServerDatabase();
            if (conninfo.empty()) GTEST_SKIP() << "no PostgreSQL server installed";
            store = std::make_unique<TRecordStore>(OpenPostgres(conninfo, 30000, error));
        }
        ASSERT_EQ(store->Prepare("test").outcome, TSchemaOutcome::Ok) << store->Error();
    }
    void TearDown() override { store.reset(); }
};

INSTANTIATE_TEST_SUITE_P(, Backends, ::testing::Values(TBackend::Local, TBackend::Server),
                         [](const auto& info) { return info.param == TBackend::Local ? "SQLite" : "PostgreSQL"; });

TEST_P(Backends, RecordsReadBackAsWrittenAndAreNeverChanged) {
    TServiceRecord full = Sample(1);
    full.sessionUuid = NewUuid();
    TServiceRecord sparse = NewRecord();   // no instrument known, no readings
    sparse.model = "X-20";
    sparse.action = "service";
    ASSERT_TRUE(store->Append(full)) << store->Error();
    ASSERT_TRUE(store->Append(sparse)) << store->Error();
    // The same record again (a delivery repeated) changes nothing.
    ASSERT_TRUE(store->Append(full)) << store->Error();
    std::optional<TServiceRecord> back;
    ASSERT_TRUE(store->Service(full.uuid, back));
    ASSERT_TRUE(back);
    ExpectSame(*back, full);
    ASSERT_TRUE(store->Service(sparse.uuid, back));
    ASSERT_TRUE(back);
    ExpectSame(*back, sparse);
    EXPECT_EQ(Count(store->Db(), "services"), 2);
    if (GetParam() == TBackend::Local) {
        EXPECT_EQ(Count(store->Db(), "outbox"), 2);
    }
    // Written once: the database itself refuses changes.
    EXPECT_FALSE(store->Db().Exec("UPDATE services SET result = 'fail'"));
    EXPECT_FALSE(store->Db().Exec("DELETE FROM services"));
    EXPECT_EQ(Count(store->Db(), "services"), 2);
    std::vector<TRow> version;
    ASSERT_TRUE(store->Db().Exec("SELECT MAX(version) FROM schema_version", {}, &version));
    EXPECT_EQ(*version[0][0], std::to_string(LatestSchema()));
}

TEST_P(Backends, DueDatesAndFilters) {
    // Serial 2630001: calibrated (passed) in March 2026, a failed one later,
    // a bump test last; its interval set to 12 months, then to 3.
    // Serial 2630002: only a failed calibration.  2630003: passed at address 9.
    auto add = [&](int i, int serialOffset, TKind kind, TResult result, const char* at, int address) {
        TServiceRecord r = Sample(i, at);
        r.serial = 2630001 + serialOffset;
        r.kind = kind;
        r.result = result;
        r.address = address;
        ASSERT_TRUE(store->Append(r)) << store->Error();
    };
    add(1, 0, TKind::Span, TResult::Pass, "2026-03-10T09:00:00.000Z", 1);
    add(2, 0, TKind::ZeroSpan, TResult::Fail, "2026-04-10T09:00:00.000Z", 1);
    add(3, 0, TKind::Bump, TResult::Pass, "2026-05-10T09:00:00.000Z", 2);
    add(4, 1, TKind::Span, TResult::Fail, "2026-03-11T09:00:00.000Z", 1);
    add(5, 2, TKind::ZeroSpan, TResult::Pass, "2026-08-31T09:00:00.000Z", 9);
    for (auto [months, at] : {std::pair{12, "2026-03-10T10:00:00.000Z"}, {3, "2026-03-12T10:00:00.000Z"}}) {
        TIntervalRecord v{NewUuid(), at, "MB4", 2630001, months, "Иванов"};
        ASSERT_TRUE(store->AppendInterval(v)) << store->Error();
    }
    std::vector<TInstrumentDue> due;
    ASSERT_TRUE(store->Overview(TQuery{}, due)) << store->Error();
    ASSERT_EQ(due.size(), 3u);
    EXPECT_EQ(due[0].serial, 2630001);
    EXPECT_EQ(due[0].lastCalibrationUtc, "2026-03-10T09:00:00.000Z");
    EXPECT_EQ(due[0].lastServiceUtc, "2026-05-10T09:00:00.000Z");
    EXPECT_EQ(due[0].months, 3);
    EXPECT_EQ(due[0].lastAddress, 2);
    EXPECT_EQ(DueOf(due[0]).substr(0, 7), "2026-06");
    EXPECT_TRUE(Overdue(due[0], "2026-07-01"));
    EXPECT_FALSE(Overdue(due[0], "2026-06-01"));
    EXPECT_EQ(due[1].lastCalibrationUtc, "");   // never passed: no due date, not overdue
    EXPECT_EQ(DueOf(due[1]), "");
    EXPECT_FALSE(Overdue(due[1], "2099-01-01"));
    EXPECT_EQ(due[2].months, DefaultIntervalMonths);
    EXPECT_EQ(DueOf(due[2]).substr(0, 7), "2027-02");   // 31 August + 6 months: the end of February

    struct Case {
        TQuery q;
        size_t instruments, services;
    };
    TQuery bySerial, exact, byAddress, byDate, none;
    bySerial.serial = "263000";
    exact.serial = "2630003";
    exact.exactSerial = true;
    byAddress.address = 9;
    byDate.fromUtc = "2026-04-01T00:00:00.000Z";
    byDate.toUtc = "2026-06-01T00:00:00.000Z";
    none.serial = "26x";
    for (const Case& c : {Case{bySerial, 3, 5}, Case{exact, 1, 1}, Case{byAddress, 1, 1}, Case{byDate, 1, 2},
                          Case{none, 0, 0}}) {
        std::vector<TServiceRecord> services;
        ASSERT_TRUE(store->Overview(c.q, due)) << store->Error();
        ASSERT_TRUE(store->Services(c.q, services)) << store->Error();
        EXPECT_EQ(due.size(), c.instruments) << c.q.serial << " " << c.q.fromUtc;
        EXPECT_EQ(services.size(), c.services) << c.q.serial << " " << c.q.fromUtc;
        for (size_t i = 1; i < services.size(); ++i) EXPECT_GE(services[i - 1].atUtc, services[i].atUtc);
    }
}

// ---------------------------------------------------------------- schema versions

TEST(Schema, StepsInOneTransactionNewerRefused) {
    const TTempDir dir;
    const std::string path = dir + "/records.db";
    std::string error;
    // A database of version 1 with a record in it ...
    std::vector<TMigration> steps = {Migrations().front()};
    {
        TRecordStore store(OpenSqlite(path, error));
        ASSERT_EQ(Migrate(store.Db(), "v1", steps).outcome, TSchemaOutcome::Ok);
        ASSERT_TRUE(store.Append(Sample(1)));
    }
    // ... a step that fails half-way leaves it exactly as it was ...
    steps.push_back({2, "ALTER TABLE services ADD COLUMN witness TEXT NOT NULL DEFAULT ''; SELECT no_such_function()",
                     "", ""});
    {
        auto db = OpenSqlite(path, error);
        const TSchemaStatus s = Migrate(*db, "v2", steps);
        EXPECT_EQ(s.outcome, TSchemaOutcome::Failed);
        EXPECT_NE(s.error.find("no_such_function"), std::string::npos) << s.error;
        EXPECT_FALSE(db->Exec("SELECT witness FROM services"));
    }
    // ... a good one is applied once, the record kept ...
    steps.back().common = "ALTER TABLE services ADD COLUMN witness TEXT NOT NULL DEFAULT ''";
    for (int run = 0; run < 2; ++run) {
        auto db = OpenSqlite(path, error);
        const TSchemaStatus s = Migrate(*db, "v2", steps);
        EXPECT_EQ(s.outcome, TSchemaOutcome::Ok) << s.error;
        EXPECT_EQ(s.found, run == 0 ? 1 : 2);
        std::vector<TRow> rows;
        ASSERT_TRUE(db->Exec("SELECT notes, witness FROM services", {}, &rows));
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(*rows[0][0], "record 1");
        EXPECT_EQ(Count(*db, "schema_version"), 2);
    }
    // ... and this program, which knows version 1 only, refuses the file
    // without touching it.
    int newer = 0;
    EXPECT_FALSE(OpenStore(OpenSqlite(path, error), "v1", error, newer));
    EXPECT_EQ(newer, 2);
    EXPECT_NE(error.find("later program (schema version 2, this program knows up to 1)"), std::string::npos) << error;
    TRecordStore still(OpenSqlite(path, error));
    std::vector<TServiceRecord> services;
    EXPECT_TRUE(still.Services(TQuery{}, services));
    EXPECT_EQ(services.size(), 1u);
}

// The window's writer and sender, orn10ctl beside them: a new file opened by
// several at the same moment is opened by each (none told "database is
// locked" while another switches it to its write-ahead log).
TEST(Schema, NewFileOpenedByManyAtOnce) {
    const TTempDir dir;
    for (int round = 0; round < 30; ++round) {
        const std::string path = dir + "/records" + std::to_string(round) + ".db";
        std::vector<std::string> errors(6);
        std::vector<std::thread> openers;
        for (auto& error : errors)
            openers.emplace_back([&path, &error] {
                int newer = 0;
                if (OpenStore(OpenSqlite(path, error), "v", error, newer)) error.clear();
                else if (error.empty()) error = "failed without a reason";
            });
        for (auto& t : openers) t.join();
        for (const auto& error : errors) ASSERT_EQ(error, "") << "round " << round;
    }
}

TEST(Recorder, RecordsOnTheirWayAreWrittenWhenItStops) {
    const TTempDir dir;
    TRecorderOptions o;
    o.localPath = dir + "/records.db";
    {
        TRecorder recorder(o);
        for (int i = 0; i < 20; ++i) recorder.Submit(Sample(i));
    }
    std::string error;
    TRecordStore store(OpenSqlite(o.localPath, error));
    std::vector<TServiceRecord> services;
    ASSERT_TRUE(store.Services(TQuery{}, services)) << store.Error();
    EXPECT_EQ(services.size(), 20u);
}

// ---------------------------------------------------------------- a crash mid-write

TEST(Crash, WriterKilledMidWriteLeavesWholeRecords) {
    const TTempDir dir;
    const std::string path = dir + "/records.db";
    std::string error;
    {
        TRecordStore store(OpenSqlite(path, error));
        ASSERT_EQ(store.Prepare("test").outcome, TSchemaOutcome::Ok);
    }
    std::mt19937 random(std::random_device{}());
    int acknowledged = 0;
    for (int round = 0; round < 5; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Writes records as fast as it can, telling the parent of each
            // commit, until it is killed.
            close(fds[0]);
            TRecordStore store(OpenSqlite(path, error));
            for (int i = round * 100000;; ++i) {
                if (!store.Append(Sample(i))) _exit(3);
                if (write(fds[1], &i, sizeof i) != sizeof i) _exit(4);
            }
        }
        close(fds[1]);
        // Killed after a random number of commits: the next write is under way.
        const int commits = 5 + int(random() % 40);
        int got = 0, last = 0;
        pollfd p{fds[0], POLLIN, 0};
        while (got < commits && poll(&p, 1, 60000) == 1 && read(fds[0], &last, sizeof last) == sizeof last) ++got;
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        while (read(fds[0], &last, sizeof last) == sizeof last) ++got;
        close(fds[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;
        acknowledged += got;

        auto db = OpenSqlite(path, error);
        ASSERT_TRUE(db) << error;
        std::vector<TRow> check;
        ASSERT_TRUE(db->Exec("PRAGMA integrity_check", {}, &check));
        ASSERT_EQ(*check[0][0], "ok");
        TRecordStore store(std::move(db));
        TQuery all;
        all.limit = 1000000;
        std::vector<TServiceRecord> services;
        ASSERT_TRUE(store.Services(all, services));
        // Every commit the writer saw is there, and each record is whole.
        EXPECT_GE(int(services.size()), acknowledged);
        for (const TServiceRecord& r : services) {
            const int i = std::stoi(r.notes.substr(7));
            TServiceRecord expected = Sample(i);
            ExpectSame(r, expected);
        }
        // With its instrument and its outbox entry, written in the same transaction.
        std::vector<TRow> orphans;
        ASSERT_TRUE(store.Db().Exec("SELECT COUNT(*) FROM services s WHERE NOT EXISTS (SELECT 1 FROM outbox o "
                                    "WHERE o.uuid = s.uuid) OR NOT EXISTS (SELECT 1 FROM instruments i WHERE "
                                    "i.serial = s.serial AND i.model = s.model)",
                                    {}, &orphans));
        EXPECT_EQ(*orphans[0][0], "0");
    }
}

// ---------------------------------------------------------------- a team server

class Team : public ::testing::Test {
protected:
    TTempDir dir;
    std::string conninfo;

    void SetUp() override {
        conninfo = NewServerDatabase();
        if (conninfo.empty()) GTEST_SKIP() << "no PostgreSQL server installed";
    }

    std::unique_ptr<TRecordStore> Server() {
        std::string error;
        int newer = 0;
        return OpenStore(OpenPostgres(conninfo, 30000, error), "test", error, newer);
    }
    TRecorderOptions Options() {
        TRecorderOptions o;
        o.localPath = dir + "/records.db";
        o.server = conninfo;
        o.program = "test";
        o.retryMs = 50;
        o.maxRetryMs = 200;
        return o;
    }
};

TEST_F(Team, QueuedWhileTheServerIsDownDeliveredOnceInOrderWhenBack) {
    TRecorder recorder(Options());
    recorder.Submit(Sample(1));
    ASSERT_TRUE(recorder.WaitDelivered(60000)) << recorder.State().serverError;

    ServerEnvironment::Get()->Stop();
    for (int i = 2; i <= 6; ++i) recorder.Submit(Sample(i));
    // Written here at once, whatever the server does.
    ASSERT_TRUE(recorder.WaitWritten(60000)) << recorder.State().localError;
    EXPECT_TRUE(recorder.WaitUntil(
        [](const TRecorderState& s) { return !s.serverReachable && !s.serverError.empty() && s.waiting == 5; },
        60000))
        << recorder.State().waiting;

    std::string error;
    ASSERT_TRUE(ServerEnvironment::Get()->Start(error)) << error;
    recorder.RetryNow();
    ASSERT_TRUE(recorder.WaitDelivered(60000)) << recorder.State().serverError;
    EXPECT_EQ(recorder.State().delivered, 6);
    auto server = Server();
    ASSERT_TRUE(server);
    std::vector<TRow> rows;
    // Arrived in the order they were made (a fresh append-only table keeps
    // the order of its inserts).
    ASSERT_TRUE(server->Db().Exec("SELECT notes FROM services ORDER BY ctid", {}, &rows));
    ASSERT_EQ(rows.size(), 6u);
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(*rows[i][0], "record " + std::to_string(i + 1));

    // A batch whose commit the server made but never confirmed goes again:
    // the server keeps one of each.
    int newer = 0;
    auto local = OpenStore(OpenSqlite(Options().localPath, error), "test", error, newer);
    ASSERT_TRUE(local);
    ASSERT_TRUE(local->Db().Exec("INSERT INTO outbox (uuid, what) SELECT uuid, 'service' FROM services"));
    int delivered = 0;
    ASSERT_TRUE(Deliver(*local, *server, delivered, error)) << error;
    EXPECT_EQ(delivered, 6);
    EXPECT_EQ(Count(server->Db(), "services"), 6);
    EXPECT_EQ(Count(local->Db(), "outbox"), 0);
}

TEST_F(Team, HistoryMergesTheTeamsRecordsWithTheLocalOnes) {
    // Another laptop calibrated serial 2630001 later than this one did.
    TServiceRecord theirs = Sample(9, "2026-09-01T08:00:00.000Z");
    theirs.technician = "Петров";
    {
        auto server = Server();
        ASSERT_TRUE(server && server->Append(theirs));
    }
    TRecorderOptions o = Options();
    o.server.clear();
    TRecorder recorder(o);
    recorder.Submit(Sample(1));   // serial 2630002
    recorder.Submit(Sample(3));   // serial 2630001, March
    ASSERT_TRUE(recorder.WaitWritten(60000));
    recorder.SetServer(conninfo);
    ASSERT_TRUE(recorder.WaitDelivered(60000)) << recorder.State().serverError;

    std::mutex m;
    std::condition_variable cv;
    std::vector<THistory> answers;
    recorder.Query(TQuery{}, [&](THistory h) {
        std::lock_guard<std::mutex> lock(m);
        answers.push_back(std::move(h));
        cv.notify_all();
    });
    std::unique_lock<std::mutex> lock(m);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(60), [&] { return answers.size() == 2; }));
    EXPECT_FALSE(answers[0].final);
    EXPECT_EQ(answers[0].services.size(), 2u);
    const THistory& h = answers[1];
    EXPECT_TRUE(h.final && h.fromServer) << h.serverError;
    ASSERT_EQ(h.services.size(), 3u);
    EXPECT_EQ(h.services[0].technician, "Петров");
    ASSERT_EQ(h.instruments.size(), 2u);
    EXPECT_EQ(h.instruments[0].serial, 2630001);
    EXPECT_EQ(h.instruments[0].lastCalibrationUtc, theirs.atUtc);
}

TEST_F(Team, AServerThatNeverAnswersEndsInTheTimeout) {
    // A port that takes connections and says nothing: without a deadline
    // libpq would wait for it forever.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(listener, 8), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len), 0);
    const std::string mute = "host=127.0.0.1 port=" + std::to_string(ntohs(a.sin_port)) + " user=x dbname=y";

    std::string error;
    EXPECT_FALSE(OpenPostgres(mute, 300, error));
    EXPECT_NE(error.find("did not answer"), std::string::npos) << error;

    // The records are written here all the same, and wait for the server.
    TRecorderOptions o = Options();
    o.server = mute;
    o.timeoutMs = 300;
    TRecorder recorder(o);
    recorder.Submit(Sample(1));
    ASSERT_TRUE(recorder.WaitWritten(60000));
    EXPECT_TRUE(recorder.WaitUntil([](const TRecorderState& s) { return !s.serverError.empty(); }, 60000));
    const TRecorderState state = recorder.State();
    EXPECT_NE(state.serverError.find("did not answer"), std::string::npos) << state.serverError;
    EXPECT_EQ(state.waiting, 1);
    close(listener);
}

} // namespace
