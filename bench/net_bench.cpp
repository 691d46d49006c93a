// Lines behind the network against the same line on a pseudo-terminal, on
// the loopback: reads through each transport, a scan behind ser2net with
// the default timeout beside mbpoll's, and the time to read again after the
// simulator's listener restarts.
//
// - Reads: orn10ctl's line layer (the code the program runs) in this
//   process, 200 reads of the MB4's 13 registers at 19200 bit/s (turnaround
//   5 ms, even parity): on orn10sim's pseudo-terminal; through ser2net in
//   front of it, raw and with RFC 2217; through orn10sim's own listener, as
//   a raw device server and as a MODBUS TCP gateway.  Besides the latency,
//   how many pieces the answer came in and the longest gap between two.
// - Scans: `orn10ctl scan` (1-247, default timeout) behind ser2net and
//   behind the gateway, MB4 at 1 and X-22 at 100; mbpoll with the same wait
//   per address on the pseudo-terminal itself and through the gateway.
// - Reconnection: a read every 10 ms while orn10sim's gateway is stopped and
//   started again on the same port; the time from its start to the first
//   good read.
//
//   net_bench --sim PATH --ctl PATH [--mbpoll PATH] [--reads N] [--restarts N] [--no-scan]
//
// Prints markdown on standard output and progress on standard error.
#include "bench_process.h"
#include "line.h"
#include "net_link.h"
#include "net_peers.h"
#include "options.h"
#include "posix_serial.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
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
using namespace orn;
using namespace orn::ctl;
using namespace bench;

// orn10sim for the benchmark's life: on a pseudo-terminal, or with `tcp`
// ("rtu", "mbtcp") on a listener at `port` (0: a free one).
std::vector<std::string> SimArgs(const std::string& program, const std::vector<std::string>& instruments,
                                 const char* tcp = nullptr, uint16_t port = 0) {
    std::vector<std::string> args = {program, "-t", "5", "--freeze"};
    for (const auto& i : instruments) args.insert(args.end(), {"-i", i});
    if (tcp) args.insert(args.end(), {"--tcp", std::to_string(port), "--protocol", tcp});
    return args;
}

constexpr int Block = 13;
constexpr int TimeoutMs = 500;

double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

struct Figures {
    std::vector<double> ms;
    int ok = 0;
    int maxPieces = 0;
    double maxGapMs = 0;
};

Figures Reads(const std::string& port, int n) {
    Figures f;
    RealtimeScheduler scheduler;
    PosixSerialBackend serial;
    NetBackend net(scheduler);
    LinkBackend links(serial, net);
    TCtlLine line(scheduler, links, TLineSettings{port, 19200, ptEVEN, DefaultNetAllowanceMs});
    // A device server that was just looked at may still be letting go of
    // its port: the first read is a warm-up, tried for a while.
    const Clock::time_point ready = Clock::now();
    while (!((line.IsOpen() || line.Open()) && line.Read(1, 1, Block, TimeoutMs) == 0) && MsSince(ready) < 3000) {
        line.Close();
        line.Pause(50);
    }
    int pieces = 0;
    Clock::time_point lastPiece;
    line.SetListener([&](const LineEvent& e) {
        if (e.kind != LineEventKind::Received) return;
        if (pieces++ > 0) f.maxGapMs = std::max(f.maxGapMs, MsSince(lastPiece));
        lastPiece = Clock::now();
    });
    for (int i = 0; i < n; ++i) {
        pieces = 0;
        const Clock::time_point start = Clock::now();
        if ((line.IsOpen() || line.Open()) && line.Read(1, 1, Block, TimeoutMs) == 0) {
            f.ms.push_back(MsSince(start));
            ++f.ok;
        } else {
            line.Close();   // a failed connection is made again by the next read
        }
        f.maxPieces = std::max(f.maxPieces, pieces);
    }
    return f;
}

struct Options {
    std::string sim, ctl, mbpoll = "/usr/bin/mbpoll";
    int reads = 200;
    int restarts = 5;
    bool scan = true;
};

// Runs a scan program; its time, and the found addresses it printed.
struct ScanRun {
    double s = 0;
    std::string found;
};

ScanRun OrnScan(const Options& o, const std::string& port, const char* allowance = nullptr) {
    const std::string out = "/tmp/orn10-net-bench-scan.json";
    std::vector<std::string> args{o.ctl, "-p", port, "--json", "scan"};
    if (allowance) args.insert(args.begin() + 1, {"--net-timeout", allowance});
    const Clock::time_point start = Clock::now();
    Wait(Spawn(args, -1, out.c_str()));
    ScanRun r{MsSince(start) / 1000, ""};
    const std::string json = ReadFile(out);
    for (size_t at = 0; (at = json.find("\"address\":", at)) != std::string::npos; at += 10) {
        if (json.compare(at + 10, 4, "null") == 0) continue;
        r.found += (r.found.empty() ? "" : ", ") + std::to_string(std::atoi(json.c_str() + at + 10));
    }
    std::remove(out.c_str());
    return r;
}

ScanRun MbpollScan(const Options& o, std::vector<std::string> target, double timeoutS) {
    const std::string out = "/tmp/orn10-net-bench-mbpoll.txt";
    char t[16];
    std::snprintf(t, sizeof t, "%.3f", timeoutS);
    std::vector<std::string> args{o.mbpoll, "-a", "1:247", "-0", "-r", "1", "-c", "1", "-o", t, "-1"};
    args.insert(args.end(), target.begin(), target.end());
    const Clock::time_point start = Clock::now();
    Wait(Spawn(args, -1, out.c_str()));
    ScanRun r{MsSince(start) / 1000, ""};
    // "-- Polling slave N..." then "[1]: value" when it answered.
    const std::string text = ReadFile(out);
    for (size_t at = 0; (at = text.find("-- Polling slave ", at)) != std::string::npos; ++at) {
        const size_t next = text.find("-- Polling", at + 1);
        if (text.substr(at, next - at).find("[1]:") != std::string::npos)
            r.found += (r.found.empty() ? "" : ", ") + std::to_string(std::atoi(text.c_str() + at + 17));
    }
    std::remove(out.c_str());
    return r;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc || (i < argc && std::strcmp(argv[i], "--no-scan") == 0); ++i) {
        const std::string k = argv[i];
        if (k == "--no-scan") {
            o.scan = false;
            continue;
        }
        const std::string v = argv[++i];
        if (k == "--sim") o.sim = v;
        else if (k == "--ctl") o.ctl = v;
        else if (k == "--mbpoll") o.mbpoll = v;
        else if (k == "--reads") o.reads = std::atoi(v.c_str());
        else if (k == "--restarts") o.restarts = std::atoi(v.c_str());
    }
    if (o.sim.empty() || o.ctl.empty() || o.reads < 1) {
        std::fprintf(stderr, "usage: net_bench --sim PATH --ctl PATH [--mbpoll PATH] [--reads N] [--restarts N] "
                             "[--no-scan]\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("## Lines behind the network\n\n");
    std::printf("orn10ctl's line layer, %d reads of 13 registers of an MB4 at 19200 bit/s (turnaround 5 ms), "
                "answer timeout %d ms + the network allowance of %d ms, on the loopback:\n\n",
                o.reads, TimeoutMs, int(DefaultNetAllowanceMs));
    std::printf("| path | reads \"Ok\" | latency median / p95 / max (ms) | pieces of an answer, at most | longest gap "
                "between pieces (ms) |\n|---|---:|---:|---:|---:|\n");
    const std::vector<std::string> mb4{"MB4@1"};
    auto row = [&](const char* what, const std::string& port) {
        std::fprintf(stderr, "== reads: %s (%s)\n", what, port.c_str());
        const Figures f = Reads(port, o.reads);
        std::printf("| %s | %d/%d | %.2f / %.2f / %.2f | %d | %.2f |\n", what, f.ok, o.reads, Percentile(f.ms, 50),
                    Percentile(f.ms, 95), Percentile(f.ms, 100), f.maxPieces, f.maxGapMs);
        std::fflush(stdout);
    };
    {
        Simulator sim(SimArgs(o.sim, mb4));
        row("pseudo-terminal (`/dev/pts/N`)", sim.path());
    }
    for (const bool rfc : {false, true}) {
        Simulator sim(SimArgs(o.sim, mb4));
        test::Ser2net ser2net(sim.path(), sim.path());
        if (!ser2net.ok()) {
            std::printf("| ser2net | did not start | | | |\n");
            continue;
        }
        const std::string port = rfc ? "rfc2217://127.0.0.1:" + std::to_string(ser2net.rfcPort)
                                     : "rtu+tcp://127.0.0.1:" + std::to_string(ser2net.rawPort);
        row(rfc ? "ser2net, RFC 2217 (`rfc2217://`)" : "ser2net, raw (`rtu+tcp://`)", port);
    }
    for (const char* protocol : {"rtu", "mbtcp"}) {
        Simulator sim(SimArgs(o.sim, mb4, protocol));
        row(protocol[0] == 'r' ? "orn10sim --tcp, raw (`rtu+tcp://`)" : "orn10sim --tcp, gateway (`tcp://`)",
            sim.path());
    }

    if (o.scan) {
        TOptions scanOptions;
        scanOptions.command = TCommand::Scan;
        const int wait = DefaultTimeoutMs(scanOptions) + DefaultNetAllowanceMs;
        std::printf("\nScan of 1-247 with the default timeout (the request's wire time + 40 ms, + %d ms over the "
                    "network: %d ms per address), an MB4 at 1 and an X-22 at 100; mbpoll waits as long:\n\n",
                    int(DefaultNetAllowanceMs), wait);
        std::printf("| scan | time (s) | found |\n|---|---:|---|\n");
        const std::vector<std::string> two{"MB4@1", "X-22@100"};
        {
            Simulator sim(SimArgs(o.sim, two));
            test::Ser2net ser2net(sim.path(), sim.path());
            std::fprintf(stderr, "== scans behind ser2net\n");
            const std::string port = "rtu+tcp://127.0.0.1:" + std::to_string(ser2net.rawPort);
            const ScanRun c = OrnScan(o, port);
            std::printf("| `orn10ctl -p rtu+tcp://… scan` behind ser2net | %.2f | %s |\n", c.s, c.found.c_str());
            const ScanRun none = OrnScan(o, port, "0");
            std::printf("| the same without the allowance (`--net-timeout 0`: 44 ms per address) | %.2f | %s |\n",
                        none.s, none.found.empty() ? "none" : none.found.c_str());
            const ScanRun m = MbpollScan(o, {"-m", "rtu", "-b", "19200", "-P", "even", sim.path()}, wait / 1000.0);
            std::printf("| `mbpoll -m rtu` on the pseudo-terminal itself | %.2f | %s |\n", m.s, m.found.c_str());
        }
        {
            Simulator sim(SimArgs(o.sim, two, "mbtcp"));
            std::fprintf(stderr, "== scans through the gateway\n");
            const ScanRun c = OrnScan(o, sim.path());
            std::printf("| `orn10ctl -p tcp://… scan` through orn10sim's gateway | %.2f | %s |\n", c.s,
                        c.found.c_str());
            const std::string port = sim.path().substr(sim.path().rfind(':') + 1);
            const ScanRun m = MbpollScan(o, {"-m", "tcp", "-p", port, "127.0.0.1"}, wait / 1000.0);
            std::printf("| `mbpoll -m tcp` through the same gateway | %.2f | %s |\n", m.s, m.found.c_str());
        }
    }

    // Reconnection: a read every 10 ms while the gateway goes and comes back.
    std::fprintf(stderr, "== reconnection\n");
    const uint16_t port = test::FreePort();
    std::vector<double> backMs, listenMs;
    {
        auto sim = std::make_unique<Simulator>(SimArgs(o.sim, mb4, "mbtcp", port));
        const std::string url = sim->path();
        RealtimeScheduler scheduler;
        PosixSerialBackend serial;
        NetBackend net(scheduler);
        LinkBackend links(serial, net);
        TCtlLine line(scheduler, links, TLineSettings{url, 19200, ptEVEN, DefaultNetAllowanceMs});
        for (int r = 0; r < o.restarts; ++r) {
            line.Open();
            line.Read(1, 1, Block, TimeoutMs);
            sim.reset();
            Clock::time_point started;
            // Reads fail while it is gone; it comes back after 300 ms.
            bool up = false;
            const Clock::time_point gone = Clock::now();
            while (MsSince(gone) < 10000) {
                if (!up && MsSince(gone) >= 300) {
                    started = Clock::now();
                    sim = std::make_unique<Simulator>(SimArgs(o.sim, mb4, "mbtcp", port));
                    listenMs.push_back(MsSince(started));
                    up = true;
                }
                if ((line.IsOpen() || line.Open()) && line.Read(1, 1, Block, TimeoutMs) == 0 && up) {
                    backMs.push_back(MsSince(started));
                    break;
                }
                line.Close();
                line.Pause(10);
            }
        }
    }
    std::printf("\nReconnection, %d restarts of orn10sim's gateway on its port, a read every 10 ms meanwhile: "
                "from the restart to the first good read %.1f ms median (%.1f at most); the simulator itself "
                "takes %.1f ms of it to start listening.\n\n",
                o.restarts, Percentile(backMs, 50), Percentile(backMs, 100), Percentile(listenMs, 50));
    return 0;
}
