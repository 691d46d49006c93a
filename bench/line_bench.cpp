// The line window against orn10sim on pseudo-terminals, in real time, as the
// program runs it (the Qt event loop, the POSIX ports, the window's own
// master shared with its table).  Prints markdown:
//
// - the search of addresses 1 to 247 at 19200 bit/s with the default
//   timeout on a mixed line, by the window, by `orn10ctl scan` and by
//   `mbpoll -a 1:247` in the same run;
// - a sweep over the 8 speeds × 3 parities for one instrument at an
//   unknown address of 1 to 10, by the window and by `orn10ctl scan --sweep`;
// - the table's round-robin period with 10 and 32 instruments at 19200
//   bit/s, against the wire floor (the sum of each read's request and answer
//   on the wire) and that floor with the instruments' turnaround.
//
// With --shots DIR it saves the window's screenshots into DIR instead
// (line.png: a search done, a row above its threshold, a stale row, a copy
// of thresholds; line-sweep.png: a sweep running).  Run it under Xvfb.
//
//   line_bench --sim PATH --ctl PATH [--mbpoll PATH] [--rounds N] [--shots DIR]
#include "application.h"
#include "bench_process.h"
#include "line_window.h"
#include "posix_serial.h"
#include "qt_scheduler.h"
#include "service_tools.h"
#include "umain.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

constexpr int TurnaroundMs = 5;

using namespace bench;

// orn10sim on a pseudo-terminal, turnaround 5 ms, with `extra` arguments.
std::vector<std::string> SimArgs(const std::string& program, const std::vector<std::string>& extra) {
    std::vector<std::string> args = {program, "-t", std::to_string(TurnaroundMs), "--freeze"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

void RunFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

template <class Pred> bool RunUntil(Pred pred, int maxMs) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > maxMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// The window, its service tools and its line window, on the simulator's port.
struct Program {
    orn::QtScheduler scheduler;
    orn::PosixSerialBackend backend;
    orn::TMForm form{scheduler, backend};
    orn::TServiceTools tools{form, scheduler};
    orn::TLineTools line{form, scheduler, tools, nullptr};
    orn::TLineWindow& window = *line.Window();
    Program() { window.ShowMessage = [](const QString& t) { std::printf("message: %s\n", t.toUtf8().constData()); }; }
};

// The window's search on `path`; seconds and the addresses found.
std::pair<double, std::vector<int>> WindowScan(Program& p, int from, int to, bool sweep) {
    p.window.SpFrom->setValue(from);
    p.window.SpTo->setValue(to);
    p.window.BoxSweep->setChecked(sweep);
    p.window.Clear();
    const Clock::time_point start = Clock::now();
    p.window.StartScan();
    RunUntil([&] { return !p.window.Scanning(); }, 3600 * 1000);
    const double s = MsSince(start) / 1000.0;
    std::vector<int> found;
    for (const auto& r : p.window.Rows())
        if (r.Code == 0) found.push_back(r.Entry.Address);
    return {s, found};
}

struct Options {
    std::string sim, ctl, mbpoll = "/usr/bin/mbpoll", shots;
    int rounds = 20;
};

int Shots(const Options& o) {
    // A mixed line; gas above the MB2's threshold 1; nobody at 9.
    Simulator sim(SimArgs(o.sim, {"-i", "MB4@1", "-i", "MB2@3", "-i", "X-22@5", "-i", "MB3@6", "-i", "X-20@12", "-i",
                          "MB4@17", "--gas", "3:27,tau=1,noise=0", "--gas", "17:61,tau=1,noise=0"}));
    if (sim.path().empty()) return 1;
    setenv("ORN10_COM1", sim.path().c_str(), 1);
    Program p;
    p.form.move(20, 20);
    p.form.show();
    p.window.move(20, 360);
    p.window.show();
    p.window.SpTo->setValue(20);
    p.window.StartScan();
    RunUntil([&] { return !p.window.Scanning(); }, 60000);
    p.window.AddRow(9, orn::dtMB4, orn::TLineSetting{}, true);
    // Threshold 1 of the MB4 at 1 to the MB3 and the X-20, and to the stale row.
    RunFor(3000);
    int source = -1;
    std::vector<int> targets;
    for (size_t i = 0; i < p.window.Rows().size(); ++i) {
        const int a = p.window.Rows()[i].Entry.Address;
        if (a == 1) source = int(i);
        if (a == 6 || a == 12 || a == 5) targets.push_back(int(i));
    }
    p.window.CopySettings(source, targets, {true, true, false});
    RunUntil([&] { return !p.window.Copying(); }, 30000);
    RunFor(4000);
    p.window.Table->resizeColumnsToContents();
    p.window.Table->selectRow(source);
    RunFor(300);
    bool ok = p.window.grab().save(QString::fromStdString(o.shots + "/line.png"));
    // A sweep on its way.
    p.window.Clear();
    p.window.SpTo->setValue(30);
    p.window.BoxSweep->setChecked(true);
    p.window.StartScan();
    RunFor(2500);
    ok = p.window.grab().save(QString::fromStdString(o.shots + "/line-sweep.png")) && ok;
    p.window.StopScan();
    RunUntil([&] { return !p.window.Scanning(); }, 5000);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i], v = argv[i + 1];
        if (k == "--sim") o.sim = v;
        else if (k == "--ctl") o.ctl = v;
        else if (k == "--mbpoll") o.mbpoll = v;
        else if (k == "--rounds") o.rounds = std::atoi(v.c_str());
        else if (k == "--shots") o.shots = v;
    }
    if (o.sim.empty() || (o.ctl.empty() && o.shots.empty())) {
        std::fprintf(stderr, "usage: line_bench --sim PATH --ctl PATH [--mbpoll PATH] [--rounds N] [--shots DIR]\n");
        return 2;
    }
    orn::TApplication app(argc, argv);
    if (!o.shots.empty()) return Shots(o);
    const std::string tmp = "/tmp/line_bench." + std::to_string(getpid());
    char t[16];

    // ---- The search of 1 to 247, the issue's line.
    {
        std::fprintf(stderr, "== search\n");
        Simulator sim(SimArgs(o.sim, {"-i", "MB4@1", "-i", "MB2@3", "-i", "X-22@5", "-i", "X-20@120", "-i", "MB4@200",
                              "-f", "200:slow=300"}));
        if (sim.path().empty()) return 1;
        setenv("ORN10_COM1", sim.path().c_str(), 1);
        const int timeout = orn::DefaultProbeTimeoutMs(orn::TLineSetting{});
        std::printf("## The line window\n\n### Search of addresses 1 to 247 at 19200 bit/s, default timeout "
                    "(%d ms to the answer's start)\n\nThe line: MB4 at 1, MB2 at 3, X-22 at 5, X-20 at 120, and an "
                    "MB4 at 200 that answers after 300 ms.\n\n| master | how | time (s) | found |\n|---|---|---:|---|\n",
                    timeout);
        Program p;
        const auto [ws, wf] = WindowScan(p, 1, 247, false);
        std::printf("| the line window | \"Найти приборы\", addresses 1 to 247, \"авто\" | %.2f | %s |\n", ws,
                    List(wf).c_str());
        std::fflush(stdout);
        Clock::time_point start = Clock::now();
        RunProgram({o.ctl, "-p", sim.path(), "--json", "scan", "1-247"}, tmp.c_str());
        std::printf("| orn10ctl | `orn10ctl scan 1-247` | %.2f | %s |\n", MsSince(start) / 1000.0,
                    List(CtlFound(ReadFile(tmp))).c_str());
        std::snprintf(t, sizeof t, "%.3f", timeout / 1000.0);
        start = Clock::now();
        RunProgram({o.mbpoll, "-m", "rtu", "-b", "19200", "-P", "even", "-a", "1:247", "-0", "-r", "1", "-c", "1",
                    "-o", t, "-1", sim.path()},
                   tmp.c_str());
        std::printf("| mbpoll | `mbpoll -a 1:247 -r 1 -c 1 -o %s -1` | %.2f | %s |\n", t, MsSince(start) / 1000.0,
                    List(MbpollFound(ReadFile(tmp))).c_str());
        // With time for the slow one.
        p.window.SpTimeout->setValue(400);
        const auto [ws2, wf2] = WindowScan(p, 1, 247, false);
        std::printf("| the line window | the same, \"Ожидание ответа\" 400 ms | %.2f | %s |\n", ws2, List(wf2).c_str());
        std::fflush(stdout);
    }

    // ---- A sweep for one instrument somewhere in 1 to 10.
    {
        std::fprintf(stderr, "== sweep\n");
        Simulator sim(SimArgs(o.sim, {"-i", "MB4@7:2400:even"}));
        if (sim.path().empty()) return 1;
        setenv("ORN10_COM1", sim.path().c_str(), 1);
        orn::TScanPlan plan;
        plan.To = 10;
        plan.Settings = orn::SweepOrder();
        std::printf("\n### Sweep over 8 speeds × 3 parities, addresses 1 to 10, default timeouts\n\nOne MB4 at "
                    "address 7, set to 2400 bit/s (the pseudo-terminal carries no parity: it answers at any parity "
                    "of its speed). The plan's time with every address silent: %.1f s.\n\n"
                    "| master | how | time (s) | found |\n|---|---|---:|---|\n",
                    orn::PlanSilentMs(plan) / 1000.0);
        Program p;
        const auto [ws, wf] = WindowScan(p, 1, 10, true);
        std::string at;
        for (const auto& r : p.window.Rows()) at = orn::SettingText(r.Entry.Setting);
        std::printf("| the line window | \"Перебрать скорости и чётности\", all | %.2f | %s at %s |\n", ws,
                    List(wf).c_str(), at.c_str());
        const Clock::time_point start = Clock::now();
        RunProgram({o.ctl, "-p", sim.path(), "--json", "scan", "1-10", "--sweep"}, tmp.c_str());
        std::printf("| orn10ctl | `orn10ctl scan 1-10 --sweep` | %.2f | %s |\n", MsSince(start) / 1000.0,
                    List(CtlFound(ReadFile(tmp))).c_str());
        std::fflush(stdout);
    }

    // ---- The table's round.
    std::printf("\n### The table's round-robin at 19200 bit/s, \"непрерывно\", %d rounds\n\n"
                "| instruments | round, median (ms) | wire floor (ms) | floor with %d ms turnaround each (ms) | share of "
                "the wire |\n|---:|---:|---:|---:|---:|\n",
                o.rounds, TurnaroundMs);
    for (int count : {10, 32}) {
        std::fprintf(stderr, "== table of %d\n", count);
        const char* models[] = {"MB4", "MB2", "X-22", "MB3", "X-20", "MB1"};
        std::vector<std::string> args;
        for (int a = 1; a <= count; ++a) args.insert(args.end(), {"-i", std::string(models[a % 6]) + "@" + std::to_string(a)});
        Simulator sim(SimArgs(o.sim, args));
        if (sim.path().empty()) return 1;
        setenv("ORN10_COM1", sim.path().c_str(), 1);
        Program p;
        p.window.BoxPoll->setChecked(false);
        double floor = 0;
        for (int a = 1; a <= count; ++a) {
            int d = 0;
            for (int m = 0; m < orn::DevTypeCount; ++m)
                if (orn::ModelShortName(m) == models[a % 6]) d = m;
            p.window.AddRow(a, d, orn::TLineSetting{}, true);
            floor += orn::WireMs(orn::TLineSetting{}, orn::RequestBytes + orn::ReadAnswerBytes(orn::Models[size_t(d)].RegCount));
        }
        // Rounds are timed by the reads of the last row.
        std::vector<double> rounds;
        uint32_t last = 0;
        int failed = 0;
        p.window.BoxPoll->setChecked(true);
        RunUntil(
            [&] {
                const auto& r = p.window.Rows().back();
                if (r.Read && r.ReadMs != last) {
                    if (last) rounds.push_back(double(r.ReadMs - last));
                    last = r.ReadMs;
                }
                return int(rounds.size()) >= o.rounds;
            },
            120000);
        for (const auto& r : p.window.Rows()) failed += r.Code != 0;
        std::sort(rounds.begin(), rounds.end());
        const double median = rounds.empty() ? 0 : rounds[rounds.size() / 2];
        std::printf("| %d | %.1f | %.1f | %.1f | %.0f %% |%s\n", count, median, floor, floor + count * TurnaroundMs,
                    median > 0 ? 100.0 * floor / median : 0.0, failed ? " (rows failing at the end)" : "");
        std::fflush(stdout);
    }
    std::remove(tmp.c_str());
    std::printf("\n");
    return 0;
}
