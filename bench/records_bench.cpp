// The service records and the guided calibration, measured; prints
// markdown.
//
// - Time from applying test gas to "stable" with the default criteria
//   (±0,20 %об for 30 s, a read every 2 s) on the simulator's first-order
//   rise, for its default time constant and noise and a few others: the
//   session's own stability rule on the simulated instrument's readings, on
//   a virtual clock, over 20 seeds of the noise.
// - The time to append one record (one transaction, as the window's writer
//   does): SQLite with synchronous FULL (as the program) and NORMAL (for
//   comparison) in a file on this machine's disk, and PostgreSQL on a
//   private server on this machine (Unix socket, fsync on).
// - History queries on 100,000 records of 1,000 instruments: the
//   instruments with their due dates, the newest 1,000 services, one
//   instrument's services, a serial-number prefix, one month.
//
//   records_bench [--writes N] [--records N] [--no-server]
#include "../tests/records/pg_server.h"
#include "calibration_session.h"
#include "instrument.h"
#include "store.h"
#include "virtual_scheduler.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace orn;
using namespace orn::records;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

// Seconds from applying `percent` of gas to the first reading at which the
// session calls the reading stable; and that reading.
std::pair<double, double> TimeToStable(double percent, double tau, double noise, uint32_t seed) {
    VirtualScheduler clock;
    TSessionSetup setup;
    setup.kind = TSessionKind::Span;
    setup.gas = percent;
    TCalibrationSession session(clock, setup, [](uint16_t) { return 0; }, nullptr);
    sim::Instrument inst(sim::Model::MB4, 1, 0, seed);
    inst.freezeDrift();
    inst.setReg(2, 0);   // zeroed in clean air
    inst.applyGas(percent, tau, noise);
    const uint8_t read[] = {3, 0, 2, 0, 1};
    for (int64_t ms = 0; ms <= 600000; ms += 2000) {
        clock.advance(ms - int64_t(clock.nowMs()));
        inst.setTime(ms * 1000);
        const std::vector<uint8_t> answer = inst.serve(read, sizeof read);
        const double gas = (answer[2] << 8 | answer[3]) / 100.0;
        session.Reading(gas, 1);
        if (session.CanSpan()) return {ms / 1000.0, gas};
    }
    return {-1, 0};
}

TServiceRecord Record(int i) {
    TServiceRecord r = NewRecord();
    // Spread over two years, 1,000 instruments of 100 records each.
    r.atUtc = UtcText(*UtcMs("2025-01-01T00:00:00.000Z") + int64_t(i) * 631000);
    r.model = i % 2 ? "MB4" : "X-22";
    r.serial = 2600000 + i % 1000;
    r.address = 1 + i % 32;
    r.port = "COM1";
    r.kind = i % 10 == 0 ? TKind::ZeroSpan : i % 3 ? TKind::Bump : TKind::Write;
    r.result = i % 10 == 0 ? (i % 40 ? TResult::Pass : TResult::Fail) : TResult::Done;
    r.action = r.kind == TKind::ZeroSpan ? "zero+span" : r.kind == TKind::Write ? "threshold1" : "";
    r.zeroBefore = 0.31;
    r.zeroAfter = 0.0;
    r.gasBefore = 23.9;
    r.gasAfter = 25.01;
    r.gasConcentration = 25;
    r.cylinderLot = "17/3";
    r.cylinderExpiry = "2027-05-31";
    r.technician = "Иванов И. И.";
    r.site = "Цех 3";
    r.program = "records_bench";
    return r;
}

void Writes(const char* name, TRecordStore& store, int n) {
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
        const TServiceRecord r = Record(i);
        const Clock::time_point a = Clock::now();
        if (!store.Append(r)) {
            std::printf("| %s | failed: %s | | |\n", name, store.Error().c_str());
            return;
        }
        ms.push_back(Ms(a, Clock::now()));
    }
    double sum = 0;
    for (double v : ms) sum += v;
    std::printf("| %s | %.2f | %.2f | %.2f | %.2f |\n", name, Percentile(ms, 0.5), Percentile(ms, 0.95),
                sum / double(ms.size()), Percentile(ms, 1.0));
}

void Queries(const char* name, TRecordStore& store, int records) {
    std::vector<TServiceRecord> batch;
    const Clock::time_point a = Clock::now();
    for (int i = 0; i < records; ++i) {
        batch.push_back(Record(i));
        if (batch.size() == 5000 || i + 1 == records) {
            if (!store.Append(batch)) {
                std::printf("%s: loading failed: %s\n", name, store.Error().c_str());
                return;
            }
            batch.clear();
        }
    }
    const double load = Ms(a, Clock::now());
    struct Q {
        const char* what;
        TQuery q;
        bool overview;
    };
    TQuery one, prefix, month;
    one.serial = "2600417";
    one.exactSerial = true;
    prefix.serial = "260041";
    month.fromUtc = "2025-06-01T00:00:00.000Z";
    month.toUtc = "2025-07-01T00:00:00.000Z";
    const Q queries[] = {
        {"instruments with due dates (all 1,000)", TQuery{}, true},
        {"newest 1,000 services", TQuery{}, false},
        {"one instrument's services (exact serial)", one, false},
        {"services of serials beginning 260041", prefix, false},
        {"services of one month", month, false},
    };
    std::printf("\n%s, %d records (loaded in %.1f s, 5,000 a transaction):\n\n", name, records, load / 1000);
    std::printf("| query | rows | median ms | max ms |\n|---|---:|---:|---:|\n");
    for (const Q& q : queries) {
        std::vector<double> ms;
        size_t rows = 0;
        for (int run = 0; run < 5; ++run) {
            std::vector<TInstrumentDue> due;
            std::vector<TServiceRecord> services;
            const Clock::time_point t = Clock::now();
            const bool ok = q.overview ? store.Overview(q.q, due) : store.Services(q.q, services);
            ms.push_back(Ms(t, Clock::now()));
            rows = q.overview ? due.size() : services.size();
            if (!ok) std::printf("failed: %s\n", store.Error().c_str());
        }
        std::printf("| %s | %zu | %.1f | %.1f |\n", q.what, rows, Percentile(ms, 0.5), Percentile(ms, 1.0));
    }
}

} // namespace

int main(int argc, char** argv) {
    int writes = 300, records = 100000;
    bool server = true;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--writes") && i + 1 < argc) writes = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--records") && i + 1 < argc) records = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--no-server")) server = false;
        else {
            std::fprintf(stderr, "usage: %s [--writes N] [--records N] [--no-server]\n", argv[0]);
            return 2;
        }
    }
    std::printf("## Service records\n\n### From test gas to \"stable\"\n\n");
    std::printf("The session's rule with the default criteria (every reading of the last 30 s within ±0,20 %%об of "
                "the latest), a read every 2 s, the simulator's first-order rise from 0 to 25 %%об; 20 seeds of "
                "the noise each.\n\n");
    std::printf("| time constant s | noise %%об (sd) | stable after s, median | min | max | reading then, median "
                "%%об |\n|---:|---:|---:|---:|---:|---:|\n");
    for (auto [tau, noise] : {std::pair{15.0, 0.03}, {5.0, 0.03}, {30.0, 0.03}, {15.0, 0.08}}) {
        std::vector<double> s, v;
        for (uint32_t seed = 1; seed <= 20; ++seed) {
            const auto [t, gas] = TimeToStable(25, tau, noise, seed);
            s.push_back(t);
            v.push_back(gas);
        }
        std::printf("| %.0f%s | %.2f%s | %.0f | %.0f | %.0f | %.2f |\n", tau, tau == 15 ? " (default)" : "", noise,
                    noise == 0.03 ? " (default)" : "", Percentile(s, 0.5), Percentile(s, 0), Percentile(s, 1),
                    Percentile(v, 0.5));
    }

    char dir[] = "/tmp/orn10-records-bench-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    const std::string base = dir;
    std::printf("\n### Appending one record (one transaction)\n\n%d records each; SQLite in %s on this machine's "
                "disk.\n\n| database | median ms | p95 ms | mean ms | max ms |\n|---|---:|---:|---:|---:|\n",
                writes, base.c_str());
    std::string error;
    {
        TRecordStore full(OpenSqlite(base + "/full.db", error));
        full.Prepare("records_bench");
        Writes("SQLite, WAL, synchronous FULL (the program)", full, writes);
        TRecordStore normal(OpenSqlite(base + "/normal.db", error));
        normal.Prepare("records_bench");
        normal.Db().Script("PRAGMA synchronous=NORMAL");
        Writes("SQLite, WAL, synchronous NORMAL", normal, writes);
    }
    std::unique_ptr<orn::test::TPgServer> pg;
    std::unique_ptr<TRecordStore> pgStore;
    if (server) {
        pg = std::make_unique<orn::test::TPgServer>();
        if (!pg->Create(error, true)) {
            std::printf("| PostgreSQL | not measured: %s | | | |\n", error.c_str());
        } else {
            pgStore = std::make_unique<TRecordStore>(OpenPostgres(pg->Conninfo(), 60000, error));
            pgStore->Prepare("records_bench");
            Writes("PostgreSQL 15, local socket, fsync on", *pgStore, writes);
            pgStore->Db().Script("TRUNCATE services, intervals, instruments CASCADE");
        }
    }

    std::printf("\n### History queries\n");
    {
        TRecordStore store(OpenSqlite(base + "/history.db", error));
        store.Prepare("records_bench");
        Queries("SQLite", store, records);
    }
    if (pgStore) {
        // The table was emptied of the write test's records (triggers keep
        // rows from being deleted one by one; TRUNCATE is the owner's).
        Queries("PostgreSQL", *pgStore, records);
    }
    pgStore.reset();
    pg.reset();
    if (std::system(("rm -rf " + base).c_str()) != 0) return 1;
    return 0;
}
