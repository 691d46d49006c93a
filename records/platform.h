// Where the records live on this machine, and local time: the few things
// each OS answers its own way (platform_posix.cpp, platform_win.cpp).
#pragma once

#include <cstdint>
#include <string>

namespace orn::records {

// The program's data folder: $XDG_DATA_HOME/orn10util (else
// ~/.local/share/orn10util) on Linux, %LOCALAPPDATA%\orn10util on Windows.
std::string DataDirectory();
// Its settings folder: $XDG_CONFIG_HOME/orn10util (else ~/.config/orn10util)
// on Linux, the data folder on Windows.
std::string ConfigDirectory();

// The local file of records, and the folder for certificates beside it.
std::string DefaultDatabasePath();
std::string CertificateDirectory();

// Broken-down local time of a moment (milliseconds since 1970 UTC), and the
// moment of a local time (its offset as the OS knows it for that date).
struct TLocalTime {
    int year, month, day, hour, minute, second;
};
TLocalTime LocalOf(int64_t utcMs);
int64_t UtcOfLocal(const TLocalTime& t);

// The local date of a UTC record time: "2026-03-01".  A text that is no
// time is given back as it is.
std::string LocalDate(const std::string& utc);
// Today's local date, "2026-03-01".
std::string TodayLocal();
// The UTC time at which a local date ("YYYY-MM-DD") begins; empty for no date.
std::string UtcOfLocalDate(const std::string& date);

} // namespace orn::records
