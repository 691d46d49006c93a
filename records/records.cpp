#include "records.h"

#include "civil_date.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>

namespace orn::records {

namespace {

struct TKey {
    const char* key;
    int value;
};

constexpr TKey KindKeys[] = {
    {"bump", int(TKind::Bump)},         {"zero", int(TKind::Zero)},   {"span", int(TKind::Span)},
    {"zero_span", int(TKind::ZeroSpan)}, {"write", int(TKind::Write)}, {"command", int(TKind::Command)},
};
constexpr TKey ResultKeys[] = {
    {"pass", int(TResult::Pass)},
    {"fail", int(TResult::Fail)},
    {"done", int(TResult::Done)},
    {"unconfirmed", int(TResult::Unconfirmed)},
    {"cancelled", int(TResult::Cancelled)},
};

template <size_t N> const char* KeyOf(const TKey (&keys)[N], int value) {
    for (const TKey& k : keys)
        if (k.value == value) return k.key;
    return "";
}
template <size_t N> std::optional<int> ValueOf(const TKey (&keys)[N], const std::string& key) {
    for (const TKey& k : keys)
        if (key == k.key) return k.value;
    return std::nullopt;
}

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

uint64_t SplitMix(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace

const char* KindKey(TKind kind) { return KeyOf(KindKeys, int(kind)); }
const char* ResultKey(TResult result) { return KeyOf(ResultKeys, int(result)); }

std::optional<TKind> KindFromKey(const std::string& key) {
    const auto v = ValueOf(KindKeys, key);
    return v ? std::optional<TKind>(TKind(*v)) : std::nullopt;
}

std::optional<TResult> ResultFromKey(const std::string& key) {
    const auto v = ValueOf(ResultKeys, key);
    return v ? std::optional<TResult>(TResult(*v)) : std::nullopt;
}

std::string NewUuid() {
    // The generator is seeded once from the system's entropy and the clock
    // (some platforms' random_device is deterministic), then shared.
    static std::mutex mutex;
    static uint64_t state = [] {
        std::random_device rd;
        const uint64_t t = uint64_t(std::chrono::system_clock::now().time_since_epoch().count());
        const uint64_t s = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
        return (uint64_t(rd()) << 32 | rd()) ^ t ^ (s << 17) ^ uint64_t(reinterpret_cast<uintptr_t>(&rd));
    }();
    uint64_t hi, lo;
    {
        std::lock_guard<std::mutex> lock(mutex);
        hi = SplitMix(state);
        lo = SplitMix(state);
    }
    hi = (hi & ~0xF000ull) | 0x4000ull;                     // version 4
    lo = (lo & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;   // variant 10
    char text[37];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%012llx", unsigned(hi >> 32), unsigned(hi >> 16 & 0xFFFF),
                  unsigned(hi & 0xFFFF), unsigned(lo >> 48), static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFull));
    return text;
}

std::string NowUtc() {
    return UtcText(std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count());
}

std::string UtcText(int64_t ms) {
    const int64_t days = (ms >= 0 ? ms : ms - 86399999) / 86400000;
    const int64_t rest = ms - days * 86400000;
    int y, m, d;
    CivilFromDays(days, y, m, d);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", y, m, d, int(rest / 3600000),
                  int(rest / 60000 % 60), int(rest / 1000 % 60), int(rest % 1000));
    return text;
}

std::optional<int64_t> UtcMs(const std::string& utc) {
    int y, mo, d;
    if (!ParseDate(utc, y, mo, d)) return std::nullopt;
    int h = 0, mi = 0, sec = 0, ms = 0;
    if (utc.size() > 10) {
        if (std::sscanf(utc.c_str() + 11, "%2d:%2d:%2d", &h, &mi, &sec) != 3) return std::nullopt;
        if (utc.size() > 20 && utc[19] == '.') ms = std::atoi(utc.c_str() + 20);
    }
    return (DaysFromCivil(y, unsigned(mo), unsigned(d)) * 86400 + h * 3600 + mi * 60 + sec) * 1000 + ms;
}

TServiceRecord NewRecord() {
    TServiceRecord r;
    r.uuid = NewUuid();
    r.atUtc = NowUtc();
    return r;
}

bool ParseDate(const std::string& text, int& year, int& month, int& day) {
    if (text.size() < 10 || text[4] != '-' || text[7] != '-') return false;
    auto number = [&](size_t at, size_t n, int& out) {
        const char* end = text.data() + at + n;
        const auto r = std::from_chars(text.data() + at, end, out);
        return r.ec == std::errc() && r.ptr == end;
    };
    if (!number(0, 4, year) || !number(5, 2, month) || !number(8, 2, day)) return false;
    if (text.size() > 10 && text[10] != 'T' && text[10] != ' ') return false;
    return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

std::string AddMonths(const std::string& date, int months) {
    int y, m, d;
    if (!ParseDate(date, y, m, d)) return "";
    const int64_t total = int64_t(y) * 12 + (m - 1) + months;
    y = int(total / 12);
    m = int(total % 12) + 1;
    d = std::min(d, DaysInMonth(y, m));
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
    return text;
}

std::string AddDays(const std::string& date, int days) {
    int y, m, d;
    if (!ParseDate(date, y, m, d)) return "";
    CivilFromDays(DaysFromCivil(y, unsigned(m), unsigned(d)) + days, y, m, d);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
    return text;
}

std::string NumberText(double v) {
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, v);
    return std::string(text, r.ptr);
}

std::optional<double> ParseNumber(const std::string& text) {
    double v = 0;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, v);
    if (r.ec != std::errc() || r.ptr != end || text.empty()) return std::nullopt;
    return v;
}

std::optional<int64_t> ParseInteger(const std::string& text) {
    int64_t v = 0;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, v);
    if (r.ec != std::errc() || r.ptr != end || text.empty()) return std::nullopt;
    return v;
}

} // namespace orn::records
