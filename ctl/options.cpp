#include "options.h"

#include "instruments.h"
#include "line_scan.h"
#include "net_link.h"
#include "records.h"
#include "texts.h"
#include "translate_noop.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace orn::ctl {

namespace {

bool ParseInt(const std::string& s, long lo, long hi, long& out) {
    if (s.empty() || s.size() > 10 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    out = std::stol(s);
    return out >= lo && out <= hi;
}

// Upper-case ASCII without dashes and blanks, for names typed loosely.
std::string Loose(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != '-' && c != ' ' && c != '_') out += char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

struct TCommandName {
    const char* name;
    TCommand command;
};

constexpr TCommandName CommandNames[] = {
    {"help", TCommand::Help},           {"read", TCommand::Read},     {"watch", TCommand::Watch},
    {"ports", TCommand::Ports},
    {"scan", TCommand::Scan},           {"write", TCommand::Write},   {"calibrate", TCommand::Calibrate},
    {"zero", TCommand::Zero},           {"reset", TCommand::Reset},   {"fix", TCommand::Fix},
    {"release", TCommand::Release},     {"service", TCommand::Service},   {"history", TCommand::History},
    {"export", TCommand::Export},
};

struct TValueName {
    const char* name;
    TValue value;
};

constexpr TValueName ValueNames[] = {
    {"threshold1", TValue::Threshold1},
    {"threshold2", TValue::Threshold2},
    {"magnet", TValue::Magnet},
    {"current", TValue::Current},
};

// The list of -a: "1", "1,3,5-9", each item with an optional ":MODEL".
bool ParseTargets(const std::string& text, std::vector<TTarget>& out, std::string& error) {
    out.clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        int devType = -1;
        const size_t colon = item.find(':');
        if (colon != std::string::npos) {
            devType = ParseModel(item.substr(colon + 1));
            if (devType < 0) {
                error = Arg(translate("orn10ctl", "неверная модель в '%1': нужно MB1, MB2, MB3, MB4, X-20 или X-22"),
                            {item});
                return false;
            }
            item = item.substr(0, colon);
        }
        const size_t dash = item.find('-');
        long from = 0, to = 0;
        if (!ParseInt(item.substr(0, dash), 1, 247, from) ||
            !ParseInt(dash == std::string::npos ? item : item.substr(dash + 1), 1, 247, to) || from > to) {
            error = Arg(translate("orn10ctl", "неверный адрес '%1': нужно N или A-B в пределах 1–247"), {item});
            return false;
        }
        for (long a = from; a <= to; ++a) out.push_back({int(a), devType});
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

// The settings of --sweep=LIST: speeds and parities, each kind all when
// none of it is listed.
bool ParseSweep(const std::string& text, std::vector<TLineSetting>& out, std::string& error) {
    std::vector<uint32_t> speeds;
    std::vector<TComPortParity> parities;
    size_t start = 0;
    while (!text.empty()) {
        const size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::string word = Loose(item);
        long speed = 0;
        if (word == "NONE" || word == "N") parities.push_back(ptNONE);
        else if (word == "ODD" || word == "O") parities.push_back(ptODD);
        else if (word == "EVEN" || word == "E") parities.push_back(ptEVEN);
        else if (ParseInt(item, 1, 4000000, speed) &&
                 std::find(std::begin(SweepSpeeds), std::end(SweepSpeeds), uint32_t(speed)) != std::end(SweepSpeeds))
            speeds.push_back(uint32_t(speed));
        else {
            error = Arg(translate("orn10ctl", "неверный элемент --sweep '%1': нужны скорости (от 1200 до 115200) "
                                              "и чётности (none, odd, even)"),
                        {item});
            return false;
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (speeds.empty()) speeds.assign(std::begin(SweepSpeeds), std::end(SweepSpeeds));
    if (parities.empty()) parities.assign(std::begin(SweepParities), std::end(SweepParities));
    std::vector<TLineSetting> chosen;
    for (uint32_t sp : speeds)
        for (TComPortParity p : parities) chosen.push_back({sp, p});
    out = SweepOrder(chosen);
    return true;
}

// The positional arguments of a command, checked and stored.
bool TakePositionals(const std::vector<std::string>& pos, TOptions& o, std::string& error) {
    auto count = [&](size_t lo, size_t hi) {
        if (pos.size() >= lo && pos.size() <= hi) return true;
        error = pos.size() < lo ? translate("orn10ctl", "не хватает аргумента")
                                : Arg(translate("orn10ctl", "лишний аргумент '%1'"), {pos[hi]});
        return false;
    };
    switch (o.command) {
    case TCommand::Write: {
        if (!count(2, 2)) return false;
        auto it = std::find_if(std::begin(ValueNames), std::end(ValueNames),
                               [&](const TValueName& v) { return pos[0] == v.name; });
        if (it == std::end(ValueNames)) {
            error = Arg(translate("orn10ctl", "неизвестное значение '%1': нужно threshold1, threshold2, magnet или "
                                              "current"),
                        {pos[0]});
            return false;
        }
        o.value = it->value;
        o.text = pos[1];
        return true;
    }
    case TCommand::Calibrate:
        if (!count(1, 1)) return false;
        o.text = pos[0];
        return true;
    case TCommand::Fix:
        if (!count(0, 1)) return false;
        if (pos.empty()) return true;
        if (pos[0] != "4" && pos[0] != "20") {
            error = Arg(translate("orn10ctl", "неверный ток '%1': нужно 4 или 20 (мА)"), {pos[0]});
            return false;
        }
        o.milliamps = pos[0] == "4" ? 4 : 20;
        return true;
    case TCommand::History:
    case TCommand::Export:
        if (!count(o.command == TCommand::History ? 1 : 0, 1)) return false;
        if (pos.empty()) return true;
        if (pos[0].empty() || pos[0].size() > 11 || pos[0].find_first_not_of("-0123456789") != std::string::npos ||
            pos[0].find('-', 1) != std::string::npos) {
            error = Arg(translate("orn10ctl", "неверный серийный номер '%1': нужны его цифры"), {pos[0]});
            return false;
        }
        o.serial = pos[0];
        return true;
    case TCommand::Scan: {
        if (!count(0, 1)) return false;
        if (pos.empty()) return true;
        const std::string& r = pos[0];
        const size_t dash = r.find_first_of("-:");
        const std::string first = r.substr(0, dash);
        const std::string last = dash == std::string::npos ? first : r.substr(dash + 1);
        long from = 0, to = 0;
        if (!ParseInt(first, 1, 247, from) || !ParseInt(last, 1, 247, to) || from > to) {
            error = Arg(translate("orn10ctl", "неверный диапазон адресов '%1': нужно A или A-B в пределах 1–247"), {r});
            return false;
        }
        o.scanFrom = int(from);
        o.scanTo = int(to);
        return true;
    }
    default:
        return count(0, 0);
    }
}

} // namespace

std::optional<TLanguage> ParseLanguage(const std::string& text) {
    const std::string l = Loose(text);
    if (l == "EN" || l == "ENGLISH") return TLanguage::English;
    if (l == "RU" || l == "RUSSIAN") return TLanguage::Russian;
    return std::nullopt;
}

std::optional<TLanguage> LanguageOption(const std::vector<std::string>& args) {
    std::optional<TLanguage> language;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--lang" && i + 1 < args.size()) language = ParseLanguage(args[++i]);
        else if (args[i].rfind("--lang=", 0) == 0) language = ParseLanguage(args[i].substr(7));
    }
    return language;
}

std::optional<int32_t> ParseShown(const std::string& text) {
    if (auto v = ParseHundredths(text, ",")) return v;
    return ParseHundredths(text, ".");
}

int ParseModel(const std::string& text) {
    for (int d = 0; d < DevTypeCount; ++d)
        if (Loose(text) == Loose(ModelShortName(d)) || Loose(text) == Loose(Models[size_t(d)].ItemText)) return d;
    return -1;
}

int DefaultTimeoutMs(const TOptions& o) {
    if (o.command != TCommand::Scan) return 500;
    return DefaultProbeTimeoutMs(o.line.Setting());
}

bool ParseArgs(const std::vector<std::string>& args, TOptions& o, std::string& error) {
    std::vector<std::string> pos;
    bool haveCommand = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        // A negative number is a value, not an option.
        const bool option = name.size() > 1 && name[0] == '-' && !(name[1] >= '0' && name[1] <= '9');
        if (!option) {
            if (haveCommand) {
                pos.push_back(name);
                continue;
            }
            auto it = std::find_if(std::begin(CommandNames), std::end(CommandNames),
                                   [&](const TCommandName& c) { return name == c.name; });
            if (it == std::end(CommandNames)) {
                error = Arg(translate("orn10ctl", "неизвестная команда '%1'"), {name});
                return false;
            }
            o.command = it->command;
            haveCommand = true;
            continue;
        }
        std::string value;
        bool hasValue = false;
        const size_t eq = name.find('=');
        if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        auto take = [&]() {
            if (hasValue) return true;
            if (i + 1 >= args.size()) {
                error = Arg(translate("orn10ctl", "параметру %1 нужно значение"), {name});
                return false;
            }
            value = args[++i];
            return true;
        };
        auto flag = [&]() {
            if (hasValue) error = Arg(translate("orn10ctl", "параметр %1 не принимает значения"), {name});
            return !hasValue;
        };
        // Refuses the value of this option: `what` (translated) is the
        // value's name in the genitive, `expected` what it may be.
        auto bad = [&](const char* what, const std::string& expected) {
            error = Arg(translate("orn10ctl", "неверное значение %1 '%2': нужно %3"),
                        {translate("orn10ctl", what), value, expected});
            return false;
        };
        auto takeInt = [&](long lo, long hi, const char* what, const std::string& expected, int& out) {
            long n = 0;
            if (!take()) return false;
            if (!ParseInt(value, lo, hi, n)) return bad(what, expected);
            out = int(n);
            return true;
        };
        if (name == "-h" || name == "--help") {
            if (!flag()) return false;
            o.command = TCommand::Help;
            return true;
        } else if (name == "--version") {
            if (!flag()) return false;
            o.command = TCommand::Version;
            return true;
        } else if (name == "-p" || name == "--port") {
            if (!take()) return false;
            if (value.empty())
                return bad(QT_TRANSLATE_NOOP("orn10ctl", "порта"),
                           translate("orn10ctl", "путь к устройству или COM<n>"));
            if (IsNetAddress(value) && !ParseNetAddress(value))
                return bad(QT_TRANSLATE_NOOP("orn10ctl", "сетевого адреса"),
                           translate("orn10ctl", "rtu+tcp://HOST:PORT, tcp://HOST[:PORT] или rfc2217://HOST:PORT"));
            o.line.port = value;
        } else if (name == "--net-timeout") {
            if (!takeInt(0, 60000, QT_TRANSLATE_NOOP("orn10ctl", "сетевого запаса"),
                         translate("orn10ctl", "миллисекунды от 0 до 60000"), o.line.netAllowanceMs))
                return false;
        } else if (name == "-s" || name == "--speed") {
            int speed = 0;
            const char* what = QT_TRANSLATE_NOOP("orn10ctl", "скорости");
            const std::string speeds = translate("orn10ctl", "1200, 2400, 4800, 9600, 19200, 38400, 57600 или 115200");
            if (!takeInt(1, 4000000, what, speeds, speed)) return false;
            if (std::find(std::begin(BaudRates), std::end(BaudRates), uint32_t(speed)) == std::end(BaudRates))
                return bad(what, speeds);
            o.line.speed = uint32_t(speed);
        } else if (name == "-P" || name == "--parity") {
            if (!take()) return false;
            const std::string p = Loose(value);
            if (p == "NONE" || p == "N") o.line.parity = ptNONE;
            else if (p == "ODD" || p == "O") o.line.parity = ptODD;
            else if (p == "EVEN" || p == "E") o.line.parity = ptEVEN;
            else return bad(QT_TRANSLATE_NOOP("orn10ctl", "чётности"), translate("orn10ctl", "none, odd или even"));
        } else if (name == "-a" || name == "--address") {
            if (!take()) return false;
            if (!ParseTargets(value, o.targets, error)) return false;
            o.address = o.targets.front().address;
            if (o.targets.front().devType >= 0) {
                o.devType = o.targets.front().devType;
                o.modelGiven = true;
            }
            o.addressGiven = true;
        } else if (name == "-m" || name == "--model") {
            if (!take()) return false;
            o.devType = ParseModel(value);
            if (o.devType < 0)
                return bad(QT_TRANSLATE_NOOP("orn10ctl", "модели"),
                           translate("orn10ctl", "MB1, MB2, MB3, MB4, X-20 или X-22"));
            o.modelGiven = true;
        } else if (name == "--technician" || name == "--site" || name == "--note") {
            if (!take()) return false;
            const char* what = name == "--technician" ? QT_TRANSLATE_NOOP("orn10ctl", "исполнителя")
                               : name == "--site"       ? QT_TRANSLATE_NOOP("orn10ctl", "объекта")
                                                        : QT_TRANSLATE_NOOP("orn10ctl", "примечания");
            if (value.find_first_of("\r\n") != std::string::npos)
                return bad(what, translate("orn10ctl", "одна строка текста"));
            (name == "--technician" ? o.technician : name == "--site" ? o.site : o.note) = value;
        } else if (name == "--from" || name == "--to") {
            if (!take()) return false;
            int y, m, d;
            if (value.size() != 10 || !records::ParseDate(value, y, m, d))
                return bad(QT_TRANSLATE_NOOP("orn10ctl", "даты"), "YYYY-MM-DD");
            (name == "--from" ? o.fromDate : o.toDate) = value;
        } else if (name == "-t" || name == "--timeout") {
            if (!takeInt(11, 60000, QT_TRANSLATE_NOOP("orn10ctl", "тайм-аута"),
                         translate("orn10ctl", "миллисекунды от 11 до 60000"), o.timeoutMs))
                return false;
        } else if (name == "-i" || name == "--interval") {
            if (!take()) return false;
            const auto h = ParseShown(value);
            if (!h || *h < 0 || *h > 8640000)
                return bad(QT_TRANSLATE_NOOP("orn10ctl", "интервала"), translate("orn10ctl", "секунды от 0 до 86400"));
            o.intervalMs = *h * 10;
        } else if (name == "-n" || name == "--count") {
            if (!takeInt(1, 1000000000, QT_TRANSLATE_NOOP("orn10ctl", "числа чтений"),
                         translate("orn10ctl", "число чтений от 1"), o.count))
                return false;
        } else if (name == "--json" || name == "--csv") {
            if (!flag()) return false;
            o.format = name == "--json" ? TFormat::Json : TFormat::Csv;
        } else if (name == "--sweep") {
            if (!ParseSweep(hasValue ? value : "", o.sweep, error)) return false;
        } else if (name == "-v" || name == "--verbose") {
            if (!flag()) return false;
            o.verbose = true;
        } else if (name == "--lang") {
            if (!take()) return false;
            if (!ParseLanguage(value)) return bad(QT_TRANSLATE_NOOP("orn10ctl", "языка"), "en, ru");
        } else {
            error = Arg(translate("orn10ctl", "неизвестный параметр '%1'"), {args[i]});
            return false;
        }
    }
    if (!haveCommand) {
        error = translate("orn10ctl", "не задана команда");
        return false;
    }
    if (o.targets.size() > 1 && o.command != TCommand::Watch) {
        error = translate("orn10ctl", "список адресов — только для watch");
        return false;
    }
    if (!o.sweep.empty() && o.command != TCommand::Scan) {
        error = translate("orn10ctl", "--sweep — только для scan");
        return false;
    }
    for (TTarget& t : o.targets)
        if (t.devType < 0) t.devType = o.devType;
    return TakePositionals(pos, o, error);
}

std::string VersionText() { return "orn10ctl " ORN10_VERSION "\n"; }

std::string UsageText() {
    std::string text = translate("orn10ctl", R"(Использование: orn10ctl [ПАРАМЕТР]... КОМАНДА [АРГУМЕНТ]...
Читает, настраивает и градуирует газоанализаторы ORN10 по последовательной линии
MODBUS RTU и находит их на ней: окно сервисной программы для скриптов и
командной строки.  Значения расшифровываются, подписываются и проверяются на
допустимость точно так же, как в окне.
)");
    text += translate("orn10ctl", R"(
Команды:
  ports                список последовательных портов этого компьютера, как их
                       показывает список портов окна, у каждого — что дать -p
  read                 прочитать прибор один раз и показать его показания
  watch                читать его каждые --interval секунд, по строке на чтение,
                       пока не прервут (Ctrl+C, SIGTERM) или до --count чтений;
                       неудачное чтение выводит свою ошибку, и чтение идёт
                       дальше; с несколькими адресами (-a 1,3,5-9) они
                       читаются по очереди, по строке каждый, круг за кругом
  scan [A[-B]]         найти приборы по адресам от A до B (по умолчанию 1-247)
                       и модель, на которую похож каждый; с --sweep — и на
                       других скоростях и чётностях
  write threshold1 V   задать порог 1                (MB2-MB4, X-20, X-22)
  write threshold2 V   задать порог 2                (MB2-MB4, X-22)
  write magnet V       задать газ магнитной градуировки  (MB2-MB4)
  write current V      указать значение токового выхода, мА (MB3, MB4)
  calibrate V          градуировать показания концентрации при V %
  zero                 установить ноль показаний концентрации
  reset                сбросить градуировку концентрации к заводской
  fix [4|20]           зафиксировать токовый выход (MB3, MB4) и, с 4 или 20,
                       выдать на нём 4 мА или 20 мА
  release              освободить зафиксированный токовый выход
  service              переключить прибор на служебный протокол (он перестанет
                       отвечать по MODBUS, пока его не перезапустят)
  history SERIAL       журнал обслуживания прибора с этим серийным номером:
                       когда ему градуировка, и каждая проверка, градуировка,
                       запись и команда, новые первыми
  export [SERIAL]      журнал обслуживания в CSV для таблицы (все приборы или
                       один), на стандартный вывод
  help                 показать эту справку

  V задаётся в единицах показаний, с точкой или запятой: 20.5 или 20,5.
  Каждая запись и команда сначала читает прибор, затем проверяет значение и
  состояние прибора, как окно, и с указанием причины отказывает в том, в чём
  отказало бы окно: порог 1 выше порога 2, порог 2 ниже порога 1 или выше
  диапазона измерений, газ магнитной градуировки 0 или выше диапазона, ток вне
  0.01 … 50.00 мА, значение, которое не является значением регистра (меньше 0
  или больше 655.35) или было бы кодом команды; градуировка, ноль и сброс при
  зафиксированном токовом выходе; значение, которого у модели нет.  Затем
  записывает регистр и показывает ответ прибора.

  Каждая запись и команда, которую прибор подтвердил (или которая осталась
  без ответа и, возможно, выполнена), вносится в журнал обслуживания, как и
  записи окна: в локальный файл ~/.local/share/orn10util/records.db
  ($XDG_DATA_HOME) и на сервер группы из ~/.config/orn10util/records.conf,
  если он задан (записи, которые не дошли до него, ждут в локальном файле).
)");
    text += translate("orn10ctl", R"(
Журнал:
      --technician ИМЯ кто выполнил (по умолчанию: имя пользователя)
      --site ТЕКСТ     объект или линия, произвольный текст
      --note ТЕКСТ     примечание
      --from ДАТА, --to ДАТА  history и export: только записи этих дней
                       (ГГГГ-ММ-ДД, местное время, обе включительно); -a и -m,
                       если заданы, отбирают по адресу и модели
)");
    text += translate("orn10ctl", R"(
Линия:
  -p, --port ПОРТ      последовательный порт: путь к устройству (/dev/ttyUSB0,
                       /dev/serial/by-id/...) или COM<n> (от 1 до 256) —
                       устройство из переменной окружения ORN10_COM<n>, иначе
                       COM<n> системы: /dev/ttyS<n-1> в Linux, COM<n> в Windows
                       (по умолчанию COM1).  Занимается монопольно.  Или линия за сетью:
                         rtu+tcp://УЗЕЛ:ПОРТ  сервер последовательных портов в
                                              режиме raw (TCP-сервер): кадры RTU
                                              как есть
                         tcp://УЗЕЛ[:ПОРТ]    шлюз MODBUS TCP (порт 502)
                         rfc2217://УЗЕЛ:ПОРТ  сервер портов с RFC 2217 (скорость
                                              и чётность порта задаются отсюда)
      --net-timeout МС время, добавляемое к каждому тайм-ауту ответа по сети
                       (по умолчанию 100): путь туда и обратно и куски, на
                       которые сервер портов или шлюз делит ответ
  -s, --speed БОД      1200, 2400, 4800, 9600, 19200 (по умолчанию), 38400,
                       57600 или 115200
  -P, --parity P       none, odd или even (по умолчанию even); 8 бит данных,
                       1 стоп-бит
  -a, --address N      адрес прибора, от 1 до 247 (по умолчанию 1); watch:
                       список адресов и диапазонов (1,3,5-9), у каждого своя
                       модель, если не модель -m (3:X-22, 5-9:MB2)
  -m, --model M        MB1, MB2, MB3, MB4 (по умолчанию), X-20 или X-22: какие
                       регистры читать и как их показывать
  -t, --timeout МС     время, за которое прибор должен начать ответ (по
                       умолчанию 500; scan: время передачи запроса + 40 мс);
                       время передачи самого ответа добавляется, когда он
                       начат, а по сети к обоим ещё --net-timeout
)");
    text += translate("orn10ctl", R"(
Watch:
  -i, --interval С     секунды от начала одного чтения до начала следующего (по
                       умолчанию 2; 0: без паузы); о порте, который отказал или
                       не открывается, сообщается один раз ("порт пропал", затем
                       "порт вернулся"), и он пробуется снова каждые С секунд,
                       но не чаще раза в 0,5 с
  -n, --count N        остановиться после N чтений (считается каждая попытка;
                       с несколькими адресами — N кругов)
)");
    text += translate("orn10ctl", R"(
Scan:
      --sweep[=СПИСОК] когда настройки линии неизвестны: поиск на каждой
                       скорости и чётности по очереди, сначала обычные (19200
                       и 9600 бит/с, even, none, odd), и для каждого прибора
                       настройки, на которых он ответил.  СПИСОК выбирает
                       скорости и чётности (--sweep=9600,19200,even,none);
                       то, чего в нём нет, пробуется всё: --sweep без списка
                       пробует все 8 скоростей с 3 чётностями.  Сначала
                       сообщается, сколько это займёт (если все адреса
                       молчат).  Найденный адрес на следующих настройках не
                       спрашивается.
)");
    text += translate("orn10ctl", R"(
Вывод:
      --json           JSON (один объект; watch: по объекту на строку)
      --csv            CSV со строкой заголовка
      --lang ЯЗЫК      en или ru: язык вывода для людей и сообщений (по
                       умолчанию язык локали: русский для русской, иначе
                       английский)
  -v, --verbose        показывать обмен по линии на стандартном выводе ошибок:
                       каждый отправленный запрос, принятые байты, удалённое
                       эхо, пропущенные байты, отброшенные чужие и запоздалые
                       кадры и каждый итог
  -h, --help           показать эту справку и выйти
      --version        показать версию и выйти

По умолчанию вывод для людей: подписи как в окне, выровненные, числа с
десятичным разделителем локали (LC_NUMERIC), тексты на английском или на
русском, когда язык локали русский (LC_ALL, LC_MESSAGES, LANG, LANGUAGE) или
задан --lang ru.  Ошибки прибора выводятся текстами окна ("Нет связи").
JSON и CSV всегда с точкой, и их ключи на любом языке одни и те же: показание
названо своим ключом (serial, gas, temperature, status, range, threshold1,
threshold2, magnet, current, working_time, software_version, poll_interval,
date, clock), а в JSON у него есть подпись (label), единица (unit), значение
(value: число; null у показания, которое окно выводит в шестнадцатеричном
виде, тогда у него есть register, и у даты и времени X-22) и текст (text),
как его показывает окно.
)");
    text += translate("orn10ctl", R"(
Scan: каждый адрес запрашивается только о регистре 13, последнем в блоке MB4.
Регистр или исключение 2 (нет такого регистра) говорят, что там есть прибор;
затем его спрашивают о последних регистрах блоков других моделей (сначала 11 у
X-22, затем делением пополам).  Прибор отказывает в регистре за своим последним
исключением 2, поэтому старший регистр, на который он отвечает, — это число
его регистров, и модель, блок чтения которой имеет такую длину, — та, на
которую он похож (MB1 6, X-20 7, MB2 9, X-22 11, MB3 12, MB4 13).  Это
догадка: читайте с моделью, которую она называет, или с той, которую знаете.
Устройство, которое молчит вместо отказа в отсутствующем регистре, не
находится.
)");
    text += translate("orn10ctl", R"(
Код завершения:
  0  всё запрошенное выполнено (scan: найден хотя бы один прибор)
  1  прибор ответил исключением или повреждённым ответом
  2  неверные аргументы
  3  порт не открывается или отказал во время работы (вынут адаптер);
     по сети: соединение не устанавливается или потеряно (отвергнуто, нет
     маршрута, имя не найдено, тайм-аут, закрыто другой стороной); причина
     выводится
  4  нет ответа вовремя (scan: ни одного прибора не найдено)
  5  в значении или команде отказано; ничего не отправлено
  6  журнал не записан (сама запись или команда выполнена; причина
     выводится) или, для history и export, не прочитан
  7  вывод не записан (диск полон, носитель пропал); причина выводится
  130  прервано до окончания команды (watch при прерывании заканчивается
       обычно: 0, если каждое чтение удалось, иначе код его последнего
       неудачного чтения)
  Читатель, который закрыл канал (orn10ctl watch | head -1), взял что хотел:
  команда заканчивается тихо, как watch при прерывании.
)");
    text += translate("orn10ctl", R"(
Примеры:
  orn10ctl -p /dev/ttyUSB0 -a 5 read
  orn10ctl -p COM2 -s 9600 -a 3 -m X-22 --json read
  orn10ctl -p /dev/ttyUSB0 -a 5 watch -i 1 --csv >> readings.csv
  orn10ctl -p /dev/ttyUSB0 scan -t 50
  orn10ctl -p /dev/ttyUSB0 scan 1-10 --sweep
  orn10ctl -p /dev/ttyUSB0 -a 1,3:X-22,5-9 watch -i 5 --csv >> line.csv
  orn10ctl -p /dev/ttyUSB0 -a 5 write threshold1 20,5
  orn10ctl -p tcp://192.168.1.20 -a 5 read
  orn10ctl -p rtu+tcp://192.168.1.21:4001 --net-timeout 300 scan
  orn10ctl -p /dev/ttyUSB0 -a 5 calibrate 2.5
  orn10ctl -p /dev/ttyUSB0 -a 5 fix 20 && orn10ctl -p /dev/ttyUSB0 -a 5 release
  orn10ctl --technician "Иванов" --site "Цех 3" -p /dev/ttyUSB0 -a 5 zero
  orn10ctl history 2630001
  orn10ctl export --from 2026-01-01 > records.csv
  for a in $(seq 1 40); do orn10ctl -p /dev/ttyUSB0 -a $a write threshold2 50
  done

С симулятором:
  orn10sim --link /tmp/orn10/com1 -i MB4@1 -i X-22@5 &
  ORN10_COM1=/tmp/orn10/com1 orn10ctl scan
  orn10sim --tcp 5020 --protocol mbtcp -i MB4@1 &
  orn10ctl -p tcp://127.0.0.1:5020 read
)");
    return text;
}

} // namespace orn::ctl
