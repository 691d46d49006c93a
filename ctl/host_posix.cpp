#include "host.h"

#include <cerrno>
#include <clocale>
#include <sys/prctl.h>
#include <unistd.h>

namespace orn::ctl {

namespace {

volatile std::sig_atomic_t* g_flag = nullptr;

extern "C" void OnSignal(int) {
    if (g_flag) *g_flag = 1;
}

} // namespace

void InstallStopHandlers(volatile std::sig_atomic_t* flag) {
    g_flag = flag;
    // Without SA_RESTART, so that a wait is cut short; the loops look at the flag.
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
}

void TightenTimers() { prctl(PR_SET_TIMERSLACK, 1UL); }

void PrepareConsole() {}

void IgnoreBrokenPipe() { std::signal(SIGPIPE, SIG_IGN); }

int OutputErrno() { return errno; }

bool IsTerminal(std::FILE* f) { return isatty(fileno(f)) == 1; }

std::tm LocalTime(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

std::string UtcOffset(const std::tm& local) {
    char zone[8];
    std::strftime(zone, sizeof zone, "%z", &local);
    return zone;
}

TLanguage SystemLanguage() { return LanguageOfEnvironment(); }

void UseSystemMessages() { std::setlocale(LC_MESSAGES, ""); }

} // namespace orn::ctl
