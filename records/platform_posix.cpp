#include "platform.h"

#include <cstdlib>
#include <ctime>
#include <pwd.h>
#include <unistd.h>

namespace orn::records {

namespace {

// $VAR when it is an absolute path (as the XDG rules want), else
// $HOME/fallback.
std::string XdgDirectory(const char* var, const char* fallback) {
    const char* own = std::getenv(var);
    if (own && own[0] == '/') return std::string(own) + "/orn10util";
    const char* home = std::getenv("HOME");
    std::string base = home && *home ? home : "";
    if (base.empty()) {
        const passwd* pw = getpwuid(getuid());
        base = pw && pw->pw_dir ? pw->pw_dir : "/tmp";
    }
    return base + "/" + fallback + "/orn10util";
}

} // namespace

std::string DataDirectory() { return XdgDirectory("XDG_DATA_HOME", ".local/share"); }
std::string ConfigDirectory() { return XdgDirectory("XDG_CONFIG_HOME", ".config"); }

TLocalTime LocalOf(int64_t utcMs) {
    const time_t s = time_t(utcMs >= 0 ? utcMs / 1000 : (utcMs - 999) / 1000);
    std::tm tm{};
    localtime_r(&s, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

} // namespace orn::records
