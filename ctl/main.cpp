// orn10ctl: the ORN10 instruments from a shell.
#include "commands.h"
#include "options.h"
#include "output.h"
#include "posix_serial.h"

#include <clocale>
#include <csignal>
#include <cstdio>
#include <string>
#include <sys/prctl.h>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnSignal(int) { g_stop = 1; }

// Without SA_RESTART, so that a wait is cut short; the loops look at the flag.
void InstallSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
}

// The decimal separator of the user's regional settings (LC_NUMERIC).  The
// program itself goes on in the C locale, so that JSON and CSV keep points.
std::string LocaleSeparator() {
    std::string sep = ".";
    if (std::setlocale(LC_NUMERIC, "")) {
        const std::lconv* lc = std::localeconv();
        if (lc && lc->decimal_point && *lc->decimal_point) sep = lc->decimal_point;
        std::setlocale(LC_NUMERIC, "C");
    }
    return sep;
}

} // namespace

int main(int argc, char** argv) {
    using namespace orn::ctl;
    // A reader that closes the pipe is told by EPIPE, not killed by a signal.
    std::signal(SIGPIPE, SIG_IGN);
    TOptions options;
    std::string error;
    if (!ParseArgs(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "orn10ctl: %s\nTry 'orn10ctl --help'.\n", error.c_str());
        return exUsage;
    }
    TOutput out(options.format, stdout, stderr, LocaleSeparator());
    int status = exOk;
    if (options.command == TCommand::Help || options.command == TCommand::Version) {
        out.Text(options.command == TCommand::Help ? UsageText() : VersionText());
        status = out.Finish(exOk);
    } else {
        InstallSignals();
        // Waits end when they are due, not up to 50 us later: a transaction
        // is timed to the wire.
        prctl(PR_SET_TIMERSLACK, 1UL);
        orn::PosixSerialBackend backend;
        status = Run(options, out, backend, &g_stop);
    }
    return CloseOutput(stdout, stderr, status);
}
