// orn10sim: ORN10 instruments on a pseudo-terminal or over TCP, for the
// utility to talk to.
#include "options.h"
#include "serve.h"
#include "tcp_server.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

using namespace orn::sim;

namespace {

TcpServer* g_tcpServer = nullptr;

extern "C" void OnTcpSignal(int) {
    if (g_tcpServer) g_tcpServer->stop();
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
    const std::tm local = *std::localtime(&t);   // before any thread: not shared
    std::string names;
    for (const auto& wanted : o.instruments) {
        Instrument& inst = line.add(wanted.model, wanted.address);
        if (wanted.speed) line.setOwnSettings(wanted.address, wanted.speed, wanted.parity);
        // The X-22 keeps the PC's local time, as one set up by hand would.
        inst.setDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                         local.tm_sec);
        inst.freezeDrift(o.freeze);
        if (o.random.any()) inst.setRandomFaults(o.random);
        auto f = o.faults.find(wanted.address);
        if (f != o.faults.end()) inst.faults() = f->second;
        names += std::string(names.empty() ? "" : ", ") + ModelName(wanted.model) + "@" + std::to_string(wanted.address);
        if (wanted.speed) names += ":" + std::to_string(wanted.speed);
    }
    for (const GasCommand& g : o.gas) ApplyGas(line, g);
    if (o.verbose)
        line.trace = [](int64_t us, const std::string& text) {
            std::fprintf(stderr, "[%10.3f ms] %s\n", double(us) / 1000.0, text.c_str());
        };

    if (o.tcp) {
        TcpServer server(line, o.tcpProtocol, o.netFaults);
        if (!server.listen(o.tcpHost, o.tcpPort, error)) {
            std::fprintf(stderr, "orn10sim: %s\n", error.c_str());
            return 1;
        }
        g_tcpServer = &server;
        for (int sig : {SIGINT, SIGTERM}) std::signal(sig, OnTcpSignal);
        std::printf("%s\n", server.url().c_str());
        std::fflush(stdout);
        std::fprintf(stderr, "orn10sim: %s on %s, %u bit/s, parity %s, turnaround %d ms; Ctrl+C ends\n",
                     names.c_str(), server.url().c_str(), o.line.baudRate, ParityName(o.line.parity),
                     o.line.turnaroundMs);
        const int rc = server.run();
        g_tcpServer = nullptr;
        return rc;
    }

    return ServePty(line, o, names);
}
