// orn10ctl beside mbpoll on one simulated line: the latency of one read,
// the time of a scan of addresses 1 to 247, and the rate of a watch with no
// pause, against what the wire allows.
//
// Each part starts orn10sim on a pseudo-terminal (answers paced at the line
// speed, turnaround 5 ms, even parity) and runs both masters on it in turn,
// with the same answer timeout and the same block of 13 registers:
// - orn10ctl's line layer in this process (the code the program runs) and
//   libmodbus in this process (mbpoll's engine), one read after another;
// - the programs themselves, one read per run (`orn10ctl read`, `mbpoll -1`);
// - `orn10ctl scan` and `mbpoll -a 1:247` with two instruments on the line;
// - `orn10ctl watch -i 0` at 115200 bit/s.
//
//   ctl_bench --sim PATH --ctl PATH [--mbpoll PATH] [--reads N]
//             [--scan-runs N] [--watch-reads N]
//
// Prints markdown on standard output and progress on standard error.
#include "bench_process.h"
#include "line.h"
#include "posix_serial.h"

#include <modbus.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace bench;

using Clock = std::chrono::steady_clock;
using orn::ctl::TCtlLine;
using orn::ctl::TLineSettings;

constexpr int TurnaroundMs = 5;
constexpr int Block = 13;
constexpr int TimeoutMs = 500;       // both masters, for the reads
constexpr int ScanTimeoutMs = 50;
constexpr int ScanAddress2 = 100;    // the second instrument of the scan

double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// Request and answer of the read, at 11 bits per character, plus the turnaround.
double FloorMs(uint32_t speed) {
    return orn::WireMs({uint32_t(speed), orn::ptEVEN}, orn::RequestBytes + orn::ReadAnswerBytes(Block)) +
           TurnaroundMs;
}

// orn10sim on a pseudo-terminal at `speed`, turnaround 5 ms, even parity.
std::vector<std::string> SimArgs(const std::string& program, uint32_t speed, const std::vector<std::string>& instruments) {
    std::vector<std::string> args = {program, "-s", std::to_string(speed), "-t", std::to_string(TurnaroundMs), "--freeze"};
    for (const auto& i : instruments) args.insert(args.end(), {"-i", i});
    return args;
}

std::string Fmt(const char* format, double a, double b = 0) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

struct Options {
    std::string sim, ctl, mbpoll = "/usr/bin/mbpoll";
    int reads = 200;
    int scanRuns = 3;
    int watchReads = 1000;
};

std::vector<std::string> MbpollArgs(const Options& o, uint32_t speed, const std::string& address, int count,
                                    double timeoutS, const std::string& path) {
    char t[16];
    std::snprintf(t, sizeof t, "%.2f", timeoutS);
    return {o.mbpoll, "-m", "rtu", "-b", std::to_string(speed), "-P", "even", "-a", address, "-0", "-r", "1", "-c",
            std::to_string(count), "-o", t, "-1", path};
}

struct Figures {
    std::vector<double> ms;
    int failed = 0;
    std::string text() const {
        std::string s = Fmt("%.2f / %.2f", Percentile(ms, 50), Percentile(ms, 95));
        if (failed) s += " (" + std::to_string(failed) + " failed)";
        return s;
    }
};

// ---------------------------------------------------------------- reads

Figures CtlReads(const std::string& path, uint32_t speed, int n) {
    Figures f;
    orn::RealtimeScheduler scheduler;
    orn::PosixSerialBackend backend;
    TCtlLine line(scheduler, backend, TLineSettings{path, speed, orn::ptEVEN});
    if (!line.Open()) return {{}, n};
    for (int i = 0; i < n; ++i) {
        const Clock::time_point start = Clock::now();
        const int code = line.Read(1, 1, Block, TimeoutMs);
        if (code == 0) f.ms.push_back(MsSince(start));
        else ++f.failed;
    }
    return f;
}

Figures LibmodbusReads(const std::string& path, uint32_t speed, int n) {
    Figures f;
    modbus_t* ctx = modbus_new_rtu(path.c_str(), int(speed), 'E', 8, 1);
    if (!ctx) return {{}, n};
    modbus_set_slave(ctx, 1);
    modbus_set_response_timeout(ctx, 0, TimeoutMs * 1000);
    if (modbus_connect(ctx) != 0) {
        modbus_free(ctx);
        return {{}, n};
    }
    uint16_t regs[Block];
    for (int i = 0; i < n; ++i) {
        const Clock::time_point start = Clock::now();
        if (modbus_read_registers(ctx, 1, Block, regs) == Block) f.ms.push_back(MsSince(start));
        else ++f.failed;
    }
    modbus_close(ctx);
    modbus_free(ctx);
    return f;
}

Figures ProgramRuns(const std::vector<std::string>& args, int n) {
    Figures f;
    for (int i = 0; i < n; ++i) {
        const Clock::time_point start = Clock::now();
        if (RunProgram(args) == 0) f.ms.push_back(MsSince(start));
        else ++f.failed;
    }
    return f;
}

// ---------------------------------------------------------------- scan

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i], v = argv[i + 1];
        if (k == "--sim") o.sim = v;
        else if (k == "--ctl") o.ctl = v;
        else if (k == "--mbpoll") o.mbpoll = v;
        else if (k == "--reads") o.reads = std::atoi(v.c_str());
        else if (k == "--scan-runs") o.scanRuns = std::atoi(v.c_str());
        else if (k == "--watch-reads") o.watchReads = std::atoi(v.c_str());
    }
    if (o.sim.empty() || o.ctl.empty() || o.reads < 1 || o.scanRuns < 1 || o.watchReads < 1) {
        std::fprintf(stderr, "usage: ctl_bench --sim PATH --ctl PATH [--mbpoll PATH] [--reads N] [--scan-runs N] "
                             "[--watch-reads N]\n");
        return 2;
    }
    const std::string tmp = "/tmp/ctl_bench." + std::to_string(getpid());
    prctl(PR_SET_TIMERSLACK, 1UL);   // as orn10ctl itself

    std::printf("## orn10ctl beside mbpoll\n\n");
    std::printf("orn10sim on a pseudo-terminal (answers paced at the line speed, turnaround %d ms, even parity); "
                "both masters with the same answer timeout and the same read of %d registers. The wire floor is "
                "the request and the answer at 11 bits per character plus the turnaround.\n\n",
                TurnaroundMs, Block);

    // ---- One read, %d times per speed.
    std::printf("### One read of %d registers, median / p95 over %d (ms), timeout %d ms\n\n", Block, o.reads,
                TimeoutMs);
    std::printf("| bit/s | wire floor | orn10ctl, per read | libmodbus (mbpoll's engine), per read | "
                "`orn10ctl read`, whole run | `mbpoll -1`, whole run |\n|---:|---:|---:|---:|---:|---:|\n");
    for (uint32_t speed : {9600u, 19200u, 115200u}) {
        std::fprintf(stderr, "== reads at %u bit/s\n", speed);
        Simulator sim(SimArgs(o.sim, speed, {"MB4@1"}));
        if (sim.path().empty()) {
            std::fprintf(stderr, "orn10sim did not start\n");
            return 1;
        }
        const Figures ctl = CtlReads(sim.path(), speed, o.reads);
        const Figures lib = LibmodbusReads(sim.path(), speed, o.reads);
        const Figures ctlRun = ProgramRuns(
            {o.ctl, "-p", sim.path(), "-s", std::to_string(speed), "-t", std::to_string(TimeoutMs), "read"}, o.reads);
        const Figures mbRun = ProgramRuns(MbpollArgs(o, speed, "1", Block, TimeoutMs / 1000.0, sim.path()), o.reads);
        std::printf("| %u | %.2f | %s | %s | %s | %s |\n", speed, FloorMs(speed), ctl.text().c_str(),
                    lib.text().c_str(), ctlRun.text().c_str(), mbRun.text().c_str());
        std::fflush(stdout);
    }

    // ---- Scan of 1-247 with two instruments.
    std::printf("\n### Scan of addresses 1 to 247, two instruments (MB4 at 1, X-22 at %d), 19200 bit/s, timeout "
                "%d ms, median of %d runs\n\n",
                ScanAddress2, ScanTimeoutMs, o.scanRuns);
    std::printf("| master | command | time (s) | found |\n|---|---|---:|---|\n");
    {
        std::fprintf(stderr, "== scans\n");
        Simulator sim(SimArgs(o.sim, 19200, {"MB4@1", "X-22@" + std::to_string(ScanAddress2)}));
        if (sim.path().empty()) return 1;
        const std::vector<std::string> ctlArgs = {o.ctl, "-p", sim.path(), "-t", std::to_string(ScanTimeoutMs),
                                                  "--json", "scan", "1-247"};
        const std::vector<std::string> mbArgs = MbpollArgs(o, 19200, "1:247", 1, ScanTimeoutMs / 1000.0, sim.path());
        std::vector<double> ctlS, mbS;
        std::string ctlFound, mbFound;
        for (int r = 0; r < o.scanRuns; ++r) {
            Clock::time_point start = Clock::now();
            RunProgram(ctlArgs, tmp.c_str());
            ctlS.push_back(MsSince(start) / 1000.0);
            ctlFound = List(CtlFound(ReadFile(tmp.c_str())));
            start = Clock::now();
            RunProgram(mbArgs, tmp.c_str());
            mbS.push_back(MsSince(start) / 1000.0);
            mbFound = List(MbpollFound(ReadFile(tmp.c_str())));
        }
        std::printf("| orn10ctl | `orn10ctl -t %d scan 1-247` (with the model guess) | %.2f | %s |\n", ScanTimeoutMs,
                    Percentile(ctlS, 50), ctlFound.c_str());
        std::printf("| mbpoll | `mbpoll -a 1:247 -0 -r 1 -c 1 -o %.2f -1` | %.2f | %s |\n", ScanTimeoutMs / 1000.0,
                    Percentile(mbS, 50), mbFound.c_str());
    }

    // ---- Watch with no pause at 115200.
    std::printf("\n### `orn10ctl watch -i 0` at 115200 bit/s, %d reads of %d registers\n\n", o.watchReads, Block);
    {
        std::fprintf(stderr, "== watch\n");
        Simulator sim(SimArgs(o.sim, 115200, {"MB4@1"}));
        if (sim.path().empty()) return 1;
        const Clock::time_point start = Clock::now();
        RunProgram({o.ctl, "-p", sim.path(), "-s", "115200", "--csv", "watch", "-i", "0", "-n",
                    std::to_string(o.watchReads)},
                   tmp.c_str());
        const double seconds = MsSince(start) / 1000.0;
        const std::string out = ReadFile(tmp.c_str());
        int ok = 0;
        for (size_t at = 0; (at = out.find(",Ok,", at)) != std::string::npos; ++at) ++ok;
        const double rate = o.watchReads / seconds, wire = 1000.0 / FloorMs(115200);
        std::printf("| reads \"Ok\" | time (s) | reads/s | wire-bound reads/s (1 / %.2f ms) | share |\n"
                    "|---:|---:|---:|---:|---:|\n| %d/%d | %.2f | %.1f | %.1f | %.1f %% |\n",
                    FloorMs(115200), ok, o.watchReads, seconds, rate, wire, 100.0 * rate / wire);
    }
    std::remove(tmp.c_str());
    std::printf("\n");
    return 0;
}
