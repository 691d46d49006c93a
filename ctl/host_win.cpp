#include "host.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <io.h>
#include <timeapi.h>

namespace orn::ctl {

namespace {

volatile std::sig_atomic_t* g_flag = nullptr;

// Runs on a thread of its own; the loops see the flag within 10 ms.  TRUE
// keeps the default handler (which ends the process at once) away.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        if (g_flag) *g_flag = 1;
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void InstallStopHandlers(volatile std::sig_atomic_t* flag) {
    g_flag = flag;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

// For the life of the process; Windows restores the period when it ends.
void TightenTimers() { timeBeginPeriod(1); }

// The program's texts are UTF-8.  The code page belongs to the console, not
// to the program: the one the console had is given back at exit.
void PrepareConsole() {
    static UINT before = 0;
    before = GetConsoleOutputCP();
    if (before == 0 || before == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
    std::atexit([] { SetConsoleOutputCP(before); });
}

void IgnoreBrokenPipe() {}

int OutputErrno() {
    switch (GetLastError()) {
    case ERROR_NO_DATA:
    case ERROR_BROKEN_PIPE:
    case ERROR_PIPE_NOT_CONNECTED: return EPIPE;
    default: return errno;
    }
}

bool IsTerminal(std::FILE* f) { return _isatty(_fileno(f)) != 0; }

std::tm LocalTime(std::time_t t) {
    std::tm local{};
    localtime_s(&local, &t);
    return local;
}

// The C runtime's %z gives the zone's name here, not its offset.  The local
// time read as UTC is ahead of the true instant by the offset.
std::string UtcOffset(const std::tm& local) {
    std::tm asUtc = local;
    std::tm asLocal = local;
    const long minutes = long(std::difftime(_mkgmtime(&asUtc), std::mktime(&asLocal)) / 60);
    const long m = minutes < 0 ? -minutes : minutes;
    char zone[8];
    std::snprintf(zone, sizeof zone, "%c%02ld%02ld", minutes < 0 ? '-' : '+', m / 60 % 100, m % 60);
    return zone;
}

TLanguage SystemLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"}) {
        const char* v = std::getenv(name);
        if (v && *v) return LanguageOfEnvironment();
    }
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_RUSSIAN ? TLanguage::Russian : TLanguage::English;
}

void UseSystemMessages() {}

} // namespace orn::ctl
