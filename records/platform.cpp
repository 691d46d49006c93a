// The parts of platform.h that are the same everywhere.
#include "platform.h"

#include "records.h"

#include <chrono>
#include <ctime>
#include <cstdio>

namespace orn::records {

int64_t UtcOfLocal(const TLocalTime& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;   // as the OS knows it for that date
    return int64_t(std::mktime(&tm)) * 1000;
}

std::string DefaultDatabasePath() { return DataDirectory() + "/records.db"; }
std::string CertificateDirectory() { return DataDirectory() + "/certificates"; }

namespace {
std::string DateText(const TLocalTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
    return text;
}
} // namespace

std::string LocalDate(const std::string& utc) {
    const auto ms = UtcMs(utc);
    return ms ? DateText(LocalOf(*ms)) : utc;
}

std::string TodayLocal() {
    return DateText(LocalOf(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count()));
}

std::string UtcOfLocalDate(const std::string& date) {
    TLocalTime t{};
    if (!ParseDate(date, t.year, t.month, t.day)) return "";
    return UtcText(UtcOfLocal(t));
}

} // namespace orn::records
