#include "platform.h"

#include <windows.h>

#include <ctime>

namespace orn::records {

namespace {

std::string Utf8(const wchar_t* w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return "";
    std::string s(size_t(n - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
    return s;
}

} // namespace

std::string DataDirectory() {
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    std::string base = local && *local ? Utf8(local) : "";
    if (base.empty()) {
        const wchar_t* profile = _wgetenv(L"USERPROFILE");
        base = profile && *profile ? Utf8(profile) + "\\AppData\\Local" : ".";
    }
    return base + "\\orn10util";
}

std::string ConfigDirectory() { return DataDirectory(); }

TLocalTime LocalOf(int64_t utcMs) {
    const __time64_t s = __time64_t(utcMs >= 0 ? utcMs / 1000 : (utcMs - 999) / 1000);
    std::tm tm{};
    _localtime64_s(&tm, &s);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

} // namespace orn::records
