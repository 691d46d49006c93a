// orn10ctl: the ORN10 instruments from a shell.
#include "commands.h"
#include "options.h"
#include "output.h"
#include "host.h"
#include "system_serial.h"

#include <clocale>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

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
    IgnoreBrokenPipe();
    const std::vector<std::string> args(argv + 1, argv + argc);
    // One language for the run, the arguments' errors included.
    SetLanguage(LanguageOption(args).value_or(SystemLanguage()));
    if (Language() == TLanguage::Russian) UseSystemMessages();
    TOptions options;
    std::string error;
    if (!ParseArgs(args, options, error)) {
        std::fprintf(stderr, "orn10ctl: %s\n%s\n", error.c_str(), translate("orn10ctl", "Справка: orn10ctl --help."));
        return exUsage;
    }
    PrepareConsole();
    TOutput out(options.format, stdout, stderr, LocaleSeparator());
    int status = exOk;
    if (options.command == TCommand::Help || options.command == TCommand::Version) {
        out.Text(options.command == TCommand::Help ? UsageText() : VersionText());
        status = out.Finish(exOk);
    } else {
        InstallStopHandlers(&g_stop);
        // A transaction is timed to the wire.
        TightenTimers();
        const std::unique_ptr<orn::SerialBackend> backend = orn::MakeSystemSerialBackend();
        status = Run(options, out, *backend, &g_stop);
    }
    return CloseOutput(stdout, stderr, status);
}
