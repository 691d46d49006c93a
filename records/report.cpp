#include "report.h"

#include "platform.h"

#include <cmath>
#include <cstdio>

// Marks the names for the window's translation tools; the library itself
// has no Qt and uses the Russian text as it stands.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, text) text
#endif

namespace orn::records {

namespace {

struct TActionName {
    const char* key;
    const char* name;
};

constexpr TActionName ActionNames[] = {
    {"zero", QT_TRANSLATE_NOOP("orn::records", "ноль")},
    {"span", QT_TRANSLATE_NOOP("orn::records", "градуировка")},
    {"calibrate", QT_TRANSLATE_NOOP("orn::records", "градуировка")},
    {"reset", QT_TRANSLATE_NOOP("orn::records", "сброс градуировки")},
    {"threshold1", QT_TRANSLATE_NOOP("orn::records", "порог 1")},
    {"threshold2", QT_TRANSLATE_NOOP("orn::records", "порог 2")},
    {"magnet", QT_TRANSLATE_NOOP("orn::records", "газ магнитной градуировки")},
    {"current", QT_TRANSLATE_NOOP("orn::records", "значение тока")},
    {"fix", QT_TRANSLATE_NOOP("orn::records", "фиксация тока")},
    {"release", QT_TRANSLATE_NOOP("orn::records", "отмена фиксации тока")},
    {"output4", QT_TRANSLATE_NOOP("orn::records", "ток 4 мА")},
    {"output20", QT_TRANSLATE_NOOP("orn::records", "ток 20 мА")},
    {"service", QT_TRANSLATE_NOOP("orn::records", "служебный протокол")},
    {"register", QT_TRANSLATE_NOOP("orn::records", "запись регистра")},
};

// A field quoted when it holds the separator, a quote, a line break or a
// comma (so that an importer splitting at commas still keeps "21,50" whole).
std::string Field(const std::string& text) {
    if (text.find_first_of(";\",\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

} // namespace

std::string ShownTime(const std::string& utc) {
    const auto ms = UtcMs(utc);
    if (!ms) return utc;
    const TLocalTime t = LocalOf(*ms);
    char text[64];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute,
                  t.second);
    return text;
}

std::string ShownDate(const std::string& date) {
    int y, m, d;
    if (!ParseDate(date, y, m, d)) return date;
    char text[64];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", d, m, y);
    return text;
}

namespace {

template <class T> std::string Opt(const std::optional<T>& v, const std::string& sep) {
    if (!v) return "";
    if constexpr (std::is_floating_point_v<T>) return Concentration(*v, sep);
    else return std::to_string(*v);
}

} // namespace

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string out;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) out += ';';
        out += Field(fields[i]);
    }
    return out + "\r\n";
}

const char* KindName(TKind kind) {
    switch (kind) {
    case TKind::Bump: return QT_TRANSLATE_NOOP("orn::records", "Проверка газом");
    case TKind::Zero: return QT_TRANSLATE_NOOP("orn::records", "Установка нуля");
    case TKind::Span: return QT_TRANSLATE_NOOP("orn::records", "Градуировка");
    case TKind::ZeroSpan: return QT_TRANSLATE_NOOP("orn::records", "Ноль и градуировка");
    case TKind::Write: return QT_TRANSLATE_NOOP("orn::records", "Запись значения");
    case TKind::Command: return QT_TRANSLATE_NOOP("orn::records", "Команда");
    }
    return "";
}

const char* ResultName(TResult result) {
    switch (result) {
    case TResult::Pass: return QT_TRANSLATE_NOOP("orn::records", "Пройдена");
    case TResult::Fail: return QT_TRANSLATE_NOOP("orn::records", "Не пройдена");
    case TResult::Done: return QT_TRANSLATE_NOOP("orn::records", "Выполнено");
    case TResult::Unconfirmed: return QT_TRANSLATE_NOOP("orn::records", "Без подтверждения");
    case TResult::Cancelled: return QT_TRANSLATE_NOOP("orn::records", "Прервана");
    }
    return "";
}

std::string ActionName(const std::string& action) {
    std::string out;
    size_t start = 0;
    while (start <= action.size() && !action.empty()) {
        size_t plus = action.find('+', start);
        if (plus == std::string::npos) plus = action.size();
        const std::string key = action.substr(start, plus - start);
        std::string name = key;
        for (const TActionName& a : ActionNames)
            if (key == a.key) name = a.name;
        out += (out.empty() ? "" : " + ") + name;
        start = plus + 1;
    }
    return out;
}

std::string ValueText(const std::string& action, int value, bool written, const std::string& sep) {
    const bool status = action == "fix" || action == "release";
    const bool code = written && (action == "zero" || action == "reset" || action == "service");
    if (status || code) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%04X", unsigned(value) & 0xFFFF);
        return text;
    }
    if (action == "register") return std::to_string(value);
    return Concentration(value / 100.0, sep);
}

std::string Concentration(double v, const std::string& sep) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", std::round(v * 100) / 100);
    std::string s = text;
    const size_t point = s.find('.');
    if (point != std::string::npos) s.replace(point, 1, sep);
    return s;
}

std::string ServicesCsv(const std::vector<TServiceRecord>& services, const std::string& sep) {
    std::string out = "\xEF\xBB\xBF";
    out += CsvLine({"Дата и время", "Модель", "Сер. номер", "Адрес", "Порт", "Вид работ", "Что отправлено", "Регистр",
                    "Было", "Стало", "Ноль до, %об", "Ноль после, %об", "Газ до, %об", "Газ после, %об",
                    "ПГС, %об", "Партия баллона", "Баллон годен до", "Результат", "Критерии", "Исполнитель",
                    "Объект, линия", "Примечание", "Программа", "Запись"});
    for (const TServiceRecord& r : services)
        out += CsvLine({ShownTime(r.atUtc), r.model, Opt(r.serial, sep), std::to_string(r.address), r.port,
                        KindName(r.kind), ActionName(r.action), Opt(r.reg, sep),
                        r.valueBefore ? ValueText(r.action, *r.valueBefore, false, sep) : "",
                        r.valueAfter ? ValueText(r.action, *r.valueAfter, true, sep) : "", Opt(r.zeroBefore, sep),
                        Opt(r.zeroAfter, sep), Opt(r.gasBefore, sep), Opt(r.gasAfter, sep),
                        Opt(r.gasConcentration, sep), r.cylinderLot, ShownDate(r.cylinderExpiry),
                        ResultName(r.result), r.criteria, r.technician, r.site, r.notes, r.program, r.uuid});
    return out;
}

std::string DueOf(const TInstrumentDue& d) {
    return d.lastCalibrationUtc.empty() ? "" : DueDate(LocalDate(d.lastCalibrationUtc), d.months);
}

bool Overdue(const TInstrumentDue& d, const std::string& today) {
    const std::string due = DueOf(d);
    return !due.empty() && due < today;
}

std::string InstrumentsCsv(const std::vector<TInstrumentDue>& instruments, const std::string& today) {
    std::string out = "\xEF\xBB\xBF";
    out += CsvLine({"Модель", "Сер. номер", "Последний адрес", "Объект, линия", "Последняя запись",
                    "Последняя градуировка", "Интервал, мес.", "Следующая градуировка", "Просрочена"});
    for (const TInstrumentDue& d : instruments)
        out += CsvLine({d.model, std::to_string(d.serial), d.lastAddress ? std::to_string(d.lastAddress) : "",
                        d.lastSite, ShownTime(d.lastServiceUtc), ShownTime(d.lastCalibrationUtc),
                        std::to_string(d.months), ShownDate(DueOf(d)), Overdue(d, today) ? "да" : ""});
    return out;
}

} // namespace orn::records
