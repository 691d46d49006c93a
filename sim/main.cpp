// orn10sim: ORN10 instruments on a pseudo-terminal, for the utility to talk to.
#include "options.h"
#include "pty_server.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

using namespace orn::sim;

namespace {

PtyServer* g_server = nullptr;

extern "C" void OnSignal(int) {
    if (g_server) g_server->stop();
}

void InstallSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

const char* ParityName(orn::TComPortParity p) {
    return p == orn::ptNONE ? "none" : p == orn::ptODD ? "odd" : "even";
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), o, error)) {
        std::fprintf(stderr, "orn10sim: %s\nTry 'orn10sim --help'.\n", error.c_str());
        return 2;
    }
    if (o.help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }

    SimLine line(o.line, o.seed);
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    std::string names;
    for (const auto& wanted : o.instruments) {
        Instrument& inst = line.add(wanted.model, wanted.address);
        // The X-22 keeps the PC's local time, as one set up by hand would.
        inst.setDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                         local.tm_sec);
        inst.freezeDrift(o.freeze);
        if (o.random.any()) inst.setRandomFaults(o.random);
        auto f = o.faults.find(wanted.address);
        if (f != o.faults.end()) inst.faults() = f->second;
        names += std::string(names.empty() ? "" : ", ") + ModelName(wanted.model) + "@" + std::to_string(wanted.address);
    }
    for (const GasCommand& g : o.gas) ApplyGas(line, g);
    if (o.verbose)
        line.trace = [](int64_t us, const std::string& text) {
            std::fprintf(stderr, "[%10.3f ms] %s\n", double(us) / 1000.0, text.c_str());
        };

    PtyServer server(line);
    // Commands on the standard input (test gas) while it serves.
    server.setCommandInput(0, [](SimLine& l, const std::string& text) {
        const std::string reply = RunCommand(l, text);
        if (!reply.empty()) std::fprintf(stderr, "orn10sim: %s\n", reply.c_str());
    });
    if (!server.open(error) || (!o.linkPath.empty() && !server.link(o.linkPath, error, o.takeOver))) {
        std::fprintf(stderr, "orn10sim: %s\n", error.c_str());
        return 1;
    }
    g_server = &server;
    InstallSignals();

    std::printf("ORN10_COM%d=%s\n", o.comNumber, server.path().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "orn10sim: %s on %s (%s), %u bit/s, parity %s, turnaround %d ms%s; Ctrl+C ends\n",
                 names.c_str(), server.path().c_str(), server.devicePath().c_str(), o.line.baudRate,
                 ParityName(o.line.parity), o.line.turnaroundMs, o.line.echo ? ", requests echoed" : "");

    const int rc = server.run();
    g_server = nullptr;
    if (rc != 0) std::fprintf(stderr, "orn10sim: %s\n", server.error().c_str());
    server.unlink();
    return rc;
}
