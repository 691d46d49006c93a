// orn10sim on a pseudo-terminal.
#include "pty_server.h"
#include "serve.h"

#include <csignal>
#include <cstdio>

namespace orn::sim {

namespace {

PtyServer* g_server = nullptr;

extern "C" void OnPtySignal(int) {
    if (g_server) g_server->stop();
}

void InstallSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnPtySignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

} // namespace

int ServePty(SimLine& line, const Options& o, const std::string& names) {
    std::string error;
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

} // namespace orn::sim
