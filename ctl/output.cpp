#include "output.h"

#include "host.h"
#include "texts.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstring>
#include <ctime>

namespace orn::ctl {

namespace {

// Characters on screen of a UTF-8 text (every one of ours is one column wide).
size_t Width(const std::string& s) {
    return size_t(std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string Pad(const std::string& s, size_t width) {
    const size_t w = Width(s);
    return w >= width ? s : s + std::string(width - w, ' ');
}

std::string JsonText(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(static_cast<unsigned char>(c)));
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string CsvText(const std::string& s) {
    if (s.find_first_of(",\"\n\r") == std::string::npos) return s;
    std::string out = "\"";
    for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string Number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

// The rows a model shows, in order.
std::vector<int> UsedRows(int devType) {
    std::vector<int> rows;
    for (int r = 0; r < GridRowCount; ++r)
        if (RowUsed(devType, r)) rows.push_back(r);
    return rows;
}

// The text of the reading named `key`, empty when the model has none.
std::string ReadingOf(const TReadOut& r, const std::string& key, const std::string& sep) {
    for (int row : UsedRows(r.devType))
        if (key == RowKey(r.devType, row)) return ReadingText(r.devType, row, r.image, sep).value_or("");
    return "";
}

// The label of the reading named `key`, as the window shows it.
std::string LabelOf(const std::string& key) {
    for (int d = 0; d < DevTypeCount; ++d)
        for (int row : UsedRows(d))
            if (key == RowKey(d, row)) return translate(TextContext, RowLabels(d, row));
    return key;
}

// "1 min 05 s", "12 s".
std::string Duration(double ms) {
    const long s = long(std::ceil(ms / 1000.0));
    const std::string seconds = s % 60 < 10 && s >= 60 ? "0" + std::to_string(s % 60) : std::to_string(s % 60);
    return s >= 60 ? Arg(translate("orn10ctl", "%1 мин %2 с"), {std::to_string(s / 60), seconds})
                   : Arg(translate("orn10ctl", "%1 с"), {std::to_string(s)});
}

std::string ModelText(int devType) {
    const TModelInfo* m = ModelOf(devType);
    return m ? translate(TextContext, m->ItemText) : "?";
}

// A row's label as the window shows it ("Порог №1, %об"), and without the
// unit it names after its last comma ("Порог №1").
std::string Label(int devType, int row) { return translate(TextContext, RowLabels(devType, row)); }
std::string Unit(int devType, int row) { return *RowUnit(devType, row) ? translate(TextContext, RowUnit(devType, row)) : ""; }
std::string Name(int devType, int row) {
    std::string label = Label(devType, row);
    const size_t comma = label.rfind(", ");
    if (*RowUnit(devType, row) && comma != std::string::npos) label.resize(comma);
    return label;
}

// The fields of one reading in JSON: its label and unit, its value as a
// number in that unit (null when it is none: a reading the window shows in
// hexadecimal, which then has its register's value, and the X-22's date
// and time) and the text the window shows.
std::string ReadingFields(int devType, int row, const TRegImage& image) {
    const std::string text = ReadingText(devType, row, image, ".").value_or("");
    std::string j = "\"label\":" + JsonText(Name(devType, row)) + ",\"unit\":" + JsonText(Unit(devType, row)) +
                    ",\"value\":";
    switch (ReadingKind(devType, row, image)) {
    case TReadingKind::Number: j += text; break;
    case TReadingKind::Hex: j += "null,\"register\":" + std::to_string(std::stoul(text, nullptr, 16)); break;
    case TReadingKind::Text: j += "null"; break;
    }
    return j + ",\"text\":" + JsonText(text);
}

// The model of a line: its short name for scripts, and its name in full.
std::string ModelJson(int devType) {
    return ",\"model\":" + JsonText(ModelShortName(devType)) + ",\"model_name\":" + JsonText(ModelText(devType));
}

std::string Address(int address) { return Arg(translate("orn10ctl", "№%1"), {std::to_string(address)}); }

std::string OutputFailure(int err) {
    return Arg(translate("orn10ctl", "не могу записать вывод: %1"), {std::strerror(err)});
}

const char* KindName(LineEventKind k) {
    switch (k) {
    case LineEventKind::Sent: return translate("orn10ctl", "отправлено");
    case LineEventKind::Received: return translate("orn10ctl", "принято");
    case LineEventKind::EchoRemoved: return translate("orn10ctl", "эхо удалено");
    case LineEventKind::Skipped: return translate("orn10ctl", "пропущено");
    case LineEventKind::Foreign: return translate("orn10ctl", "чужой кадр");
    case LineEventKind::Late: return translate("orn10ctl", "запоздалый");
    case LineEventKind::Outcome: return translate("orn10ctl", "итог");
    }
    return "?";
}

} // namespace

std::string TimeNow(TFormat format) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const std::tm local = LocalTime(t);
    char buf[64];
    if (format == TFormat::Human) {
        std::strftime(buf, sizeof buf, "%H:%M:%S", &local);
        return buf;
    }
    const int ms = int(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    const std::string z = UtcOffset(local);   // +0300
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &local);
    char frac[8];
    std::snprintf(frac, sizeof frac, ".%03d", ms);
    return buf + std::string(frac) + (z.size() == 5 ? z.substr(0, 3) + ":" + z.substr(3) : z);
}

std::string OutcomeText(int code) {
    if (code == 0) return "Ok";
    if (code == Interrupted) return translate("orn10ctl", "прервано");
    return translate(TextContext, MBErrorText(code));
}

TOutput::TOutput(TFormat format, std::FILE* out, std::FILE* err, std::string sep)
    : format_(format), out_(out), err_(err), sep_(format == TFormat::Human ? sep : "."), localeSep_(std::move(sep)) {}

void TOutput::Ports(const PortList& list) {
    // What -p takes for each: COM<n>, or the device's path.
    auto portOf = [](const PortItem& item) { return item.number ? item.shortText : item.path; };
    size_t width = 0;
    for (const PortItem& item : list.items) width = std::max(width, Width(portOf(item)));
    if (format_ == TFormat::Json) std::fputs("{\"ports\":[", out_);
    if (format_ == TFormat::Csv) std::fputs("port,name,description\n", out_);
    bool first = true;
    for (const PortItem& item : list.items) {
        const std::string port = portOf(item);
        switch (format_) {
        case TFormat::Human:
            std::fprintf(out_, "%s%s  %s\n", port.c_str(), std::string(width - Width(port), ' ').c_str(),
                         item.text.c_str());
            break;
        case TFormat::Json:
            std::fprintf(out_, "%s{\"port\":%s,\"name\":%s,\"description\":%s}", first ? "" : ",",
                         JsonText(port).c_str(), JsonText(item.shortText).c_str(), JsonText(item.text).c_str());
            break;
        case TFormat::Csv:
            std::fprintf(out_, "%s,%s,%s\n", CsvText(port).c_str(), CsvText(item.shortText).c_str(),
                         CsvText(item.text).c_str());
            break;
        }
        first = false;
    }
    if (format_ == TFormat::Json) std::fputs("]}\n", out_);
    Flush();
}

// The errno of the write that failed, whether the print before or the flush
// made it.
void TOutput::Flush() {
    if ((std::fflush(out_) != 0 || std::ferror(out_)) && !outError_) {
        const int err = OutputErrno();
        outError_ = err ? err : EIO;
    }
}

int TOutput::Finish(int status) {
    Flush();
    if (!outError_ || outError_ == EPIPE) return status;
    Error(OutputFailure(outError_));
    return exOutput;
}

int CloseOutput(std::FILE* out, std::FILE* err, int status) {
    errno = 0;
    if (std::fclose(out) == 0 || status == exOutput) return status;
    const int failure = OutputErrno();
    if (failure == EPIPE) return status;
    std::fprintf(err, "orn10ctl: %s\n", OutputFailure(failure ? failure : EIO).c_str());
    return exOutput;
}

void TOutput::Text(const std::string& text) {
    std::fputs(text.c_str(), out_);
    Flush();
}

void TOutput::Error(const std::string& text) {
    std::fprintf(err_, "orn10ctl: %s\n", text.c_str());
    std::fflush(err_);
}

std::string TOutput::Json(const std::string& port, const TReadOut& r) const {
    std::string j = "{\"time\":" + JsonText(r.time) + ",\"port\":" + JsonText(port) +
                    ",\"address\":" + std::to_string(r.address) + ModelJson(r.devType) +
                    ",\"ok\":" + (r.code == 0 ? "true" : "false") + ",\"ms\":" + Number(r.ms);
    if (r.code != 0) return j + ",\"code\":" + std::to_string(r.code) + ",\"error\":" + JsonText(OutcomeText(r.code)) + "}";
    j += ",\"readings\":{";
    bool first = true;
    for (int row : UsedRows(r.devType)) {
        j += std::string(first ? "" : ",") + JsonText(RowKey(r.devType, row)) + ":{" +
             ReadingFields(r.devType, row, r.image) + "}";
        first = false;
    }
    const TModelInfo& m = *ModelOf(r.devType);
    j += "},\"registers\":{\"first\":" + std::to_string(m.RegOffset) + ",\"values\":[";
    for (int k = 0; k < m.RegCount; ++k) j += (k ? "," : "") + std::to_string(r.image[m.RegOffset + k]);
    return j + "]}}";
}

void TOutput::ReadingCsvHeader() {
    std::string h = "time,address,model,outcome,ms";
    for (const std::string& c : columns_) h += "," + c;
    std::fprintf(out_, "%s\n", h.c_str());
}

void TOutput::WatchModels(const std::vector<int>& devTypes) {
    columns_.clear();
    for (int d : devTypes)
        for (int row : UsedRows(d))
            if (std::find(columns_.begin(), columns_.end(), RowKey(d, row)) == columns_.end())
                columns_.push_back(RowKey(d, row));
}

void TOutput::Reading(const std::string& port, const TReadOut& r) {
    if (format_ == TFormat::Human) {
        if (r.code != 0) {
            Error(Address(r.address) + ": " + OutcomeText(r.code));
            return;
        }
        std::fprintf(out_, "%s %s: Ok\n", Address(r.address).c_str(), ModelText(r.devType).c_str());
        size_t width = 0;
        for (int row : UsedRows(r.devType)) width = std::max(width, Width(Label(r.devType, row)));
        for (int row : UsedRows(r.devType))
            std::fprintf(out_, "%s  %s\n", Pad(Label(r.devType, row), width).c_str(),
                         ReadingText(r.devType, row, r.image, sep_).value_or("").c_str());
        Flush();
        return;
    }
    WatchLine(port, r);
}

void TOutput::WatchLine(const std::string& port, const TReadOut& r) {
    if (columns_.empty()) WatchModels({r.devType});
    switch (format_) {
    case TFormat::Json: std::fprintf(out_, "%s\n", Json(port, r).c_str()); break;
    case TFormat::Csv: {
        if (!headerDone_) ReadingCsvHeader();
        std::string line = CsvText(r.time) + "," + std::to_string(r.address) + "," + ModelShortName(r.devType) +
                           "," + CsvText(OutcomeText(r.code)) + "," + Number(r.ms);
        for (const std::string& c : columns_) line += "," + (r.code == 0 ? CsvText(ReadingOf(r, c, sep_)) : "");
        std::fprintf(out_, "%s\n", line.c_str());
        break;
    }
    case TFormat::Human: {
        // Each value under its label; a column is at least 6 wide (655,35).
        auto widthOf = [&](const std::string& c) { return std::max<size_t>(Width(LabelOf(c)), 6); };
        const std::string number = translate("orn10ctl", "№");
        const size_t numberWidth = std::max<size_t>(Width(number), 4);
        if (!headerDone_) {
            std::string h = Pad(translate("orn10ctl", "Время"), 8) + "  " + Pad(number, numberWidth);
            for (const std::string& c : columns_) h += "  " + Pad(LabelOf(c), widthOf(c));
            std::fprintf(out_, "%s\n", h.c_str());
        }
        std::string line = Pad(r.time, 8) + "  " + Pad(std::to_string(r.address), numberWidth);
        if (r.code != 0) {
            line += "  " + OutcomeText(r.code);
        } else {
            for (const std::string& c : columns_) line += "  " + Pad(ReadingOf(r, c, sep_), widthOf(c));
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        std::fprintf(out_, "%s\n", line.c_str());
        break;
    }
    }
    headerDone_ = true;
    Flush();
}

void TOutput::Write(const std::string& port, const TWriteOut& w) {
    const bool ok = w.refused.empty() && w.readCode == 0 &&
                    std::all_of(w.steps.begin(), w.steps.end(), [](const TWriteStep& s) { return s.code == 0; });
    const std::string refused = Arg(translate("orn10ctl", "отказано: %1"), {w.refused});
    switch (format_) {
    case TFormat::Human: {
        if (w.readCode != 0) {
            Error(Address(w.address) + ": " + OutcomeText(w.readCode) + " " +
                  translate("orn10ctl", "(чтение перед записью)"));
            break;
        }
        for (const TWriteStep& s : w.steps) {
            if (s.code != 0) {
                Error(Address(w.address) + ": " + OutcomeText(s.code) + " " +
                      Arg(translate("orn10ctl", "(регистр %1)"), {std::to_string(s.reg)}));
                continue;
            }
            if (s.reg == RegServiceProtocol) {
                std::fprintf(out_, "%s: %s\n", Address(w.address).c_str(),
                             translate("orn10ctl", "Переключен на служебный протокол"));
                continue;
            }
            std::fprintf(out_, "%s: Ok\n", Address(w.address).c_str());
            if (s.row >= 0)
                std::fprintf(out_, "%s  %s\n", Label(w.devType, s.row).c_str(),
                             ReadingText(w.devType, s.row, s.image, sep_).value_or("").c_str());
        }
        if (!w.note.empty()) std::fprintf(out_, "%s: %s\n", Address(w.address).c_str(), w.note.c_str());
        if (!w.refused.empty()) Error(refused);
        break;
    }
    case TFormat::Json: {
        std::string j = "{\"time\":" + JsonText(w.time) + ",\"port\":" + JsonText(port) +
                        ",\"address\":" + std::to_string(w.address) + ModelJson(w.devType) +
                        ",\"command\":" + JsonText(w.command) + ",\"ok\":" + (ok ? "true" : "false");
        if (w.readCode != 0)
            j += ",\"code\":" + std::to_string(w.readCode) + ",\"error\":" + JsonText(OutcomeText(w.readCode));
        j += ",\"writes\":[";
        for (size_t k = 0; k < w.steps.size(); ++k) {
            const TWriteStep& s = w.steps[k];
            j += std::string(k ? "," : "") + "{\"register\":" + std::to_string(s.reg) +
                 ",\"value\":" + std::to_string(s.value) + ",\"ok\":" + (s.code == 0 ? "true" : "false");
            if (s.code != 0) j += ",\"code\":" + std::to_string(s.code) + ",\"error\":" + JsonText(OutcomeText(s.code));
            if (s.code == 0 && s.row >= 0)
                j += ",\"reading\":{\"key\":" + JsonText(RowKey(w.devType, s.row)) + "," +
                     ReadingFields(w.devType, s.row, s.image) + "}";
            j += "}";
        }
        j += "]";
        if (!w.refused.empty()) j += ",\"refused\":" + JsonText(w.refused);
        if (!w.note.empty()) j += ",\"note\":" + JsonText(w.note);
        std::fprintf(out_, "%s}\n", j.c_str());
        break;
    }
    case TFormat::Csv: {
        std::fprintf(out_, "time,address,model,command,register,value,outcome,reading,label,unit,text\n");
        const std::string head = CsvText(w.time) + "," + std::to_string(w.address) + "," +
                                 ModelShortName(w.devType) + "," + CsvText(w.command) + ",";
        // A line without a register: what the command came to.
        auto only = [&](const std::string& outcome) {
            std::fprintf(out_, "%s,,%s,,,,\n", head.c_str(), CsvText(outcome).c_str());
        };
        if (w.readCode != 0) only(OutcomeText(w.readCode));
        for (const TWriteStep& s : w.steps) {
            std::string reading = ",,,";
            if (s.code == 0 && s.row >= 0)
                reading = std::string(RowKey(w.devType, s.row)) + "," + CsvText(Name(w.devType, s.row)) + "," +
                          CsvText(Unit(w.devType, s.row)) + "," +
                          CsvText(ReadingText(w.devType, s.row, s.image, sep_).value_or(""));
            std::fprintf(out_, "%s%d,%u,%s,%s\n", head.c_str(), s.reg, unsigned(s.value),
                         CsvText(OutcomeText(s.code)).c_str(), reading.c_str());
        }
        if (!w.refused.empty()) only(refused);
        if (!w.note.empty()) only(w.note);
        break;
    }
    }
    Flush();
}

void TOutput::ScanStart(const TScanPlan& plan) {
    if (format_ != TFormat::Human) return;
    Error(Arg(translate("orn10ctl", "пробую настроек линии: %1, адресов: %2; около %3"),
              {std::to_string(plan.Settings.size()), std::to_string(plan.To - plan.From + 1),
               Duration(PlanSilentMs(plan))}));
}

void TOutput::ScanProgress(int address, const std::string& setting) {
    if (format_ != TFormat::Human || !IsTerminal(err_)) return;
    std::fprintf(err_, "\r%s %s   ", setting.c_str(), Address(address).c_str());
    std::fflush(err_);
    progress_ = true;
}

void TOutput::ScanHit(const TScanHit& hit, bool sweep) {
    if (progress_) {
        std::fprintf(err_, "\r                    \r");
        progress_ = false;
    }
    if (format_ == TFormat::Human) {
        const std::string address = translate("orn10ctl", "Адрес");
        const int width = int(std::max<size_t>(Width(address), 5));
        if (!headerDone_) {
            std::string h = Pad(address, size_t(width)) + "  ";
            if (sweep) h += Pad(translate("orn10ctl", "Связь"), 10) + "  ";
            std::fprintf(out_, "%s%s\n", h.c_str(), translate("orn10ctl", "Прибор"));
        }
        std::string model = hit.DevType >= 0 ? ModelText(hit.DevType) : "?";
        if (hit.Code != 0) model += "  " + OutcomeText(hit.Code);
        else if (hit.DevType < 0 && hit.Registers > 0)
            model += "  " + Arg(translate("orn10ctl", "(регистров: %1)"), {std::to_string(hit.Registers)});
        if (sweep) model = Pad(SettingText(hit.Setting), 10) + "  " + model;
        std::fprintf(out_, "%*d  %s\n", width, hit.Address, model.c_str());
    } else if (format_ == TFormat::Csv) {
        if (!headerDone_)
            std::fprintf(out_, sweep ? "address,model,registers,outcome,speed,parity\n" : "address,model,registers,outcome\n");
        std::string line = std::to_string(hit.Address) + "," + (hit.DevType >= 0 ? ModelShortName(hit.DevType) : "") +
                           "," + (hit.Registers ? std::to_string(hit.Registers) : "") + "," +
                           CsvText(OutcomeText(hit.Code));
        if (sweep)
            line += "," + std::to_string(hit.Setting.Speed) + "," + std::string(1, ParityLetter(hit.Setting.Parity));
        std::fprintf(out_, "%s\n", line.c_str());
    } else {
        return;   // JSON comes whole at the end
    }
    headerDone_ = true;
    Flush();
}

void TOutput::ScanEnd(const std::string& port, const TScanPlan& plan, double seconds,
                      const std::vector<TScanHit>& hits, bool interrupted) {
    if (progress_) std::fprintf(err_, "\r                    \r");
    progress_ = false;
    const int found = int(std::count_if(hits.begin(), hits.end(), [](const TScanHit& h) { return h.Code == 0; }));
    const bool sweep = plan.Settings.size() > 1;
    auto setting = [&](const TScanHit& h) {
        return sweep ? ",\"speed\":" + std::to_string(h.Setting.Speed) + ",\"parity\":\"" +
                           std::string(1, ParityLetter(h.Setting.Parity)) + "\""
                     : std::string();
    };
    if (format_ == TFormat::Human) {
        std::fprintf(out_, "%s\n", Arg(translate("orn10ctl", "Найдено приборов: %1"), {std::to_string(found)}).c_str());
        if (interrupted) Error(translate("orn10ctl", "поиск прерван"));
    } else if (format_ == TFormat::Json) {
        const TLineSetting first = plan.Settings.empty() ? TLineSetting{} : plan.Settings.front();
        std::string j = "{\"port\":" + JsonText(port) + ",\"from\":" + std::to_string(plan.From) + ",\"to\":" +
                        std::to_string(plan.To) + ",\"timeout_ms\":" + std::to_string(ProbeTimeoutMs(plan, first)) +
                        ",\"seconds\":" + Number(seconds) + ",\"complete\":" + (interrupted ? "false" : "true");
        if (sweep) {
            j += ",\"settings\":[";
            for (size_t k = 0; k < plan.Settings.size(); ++k)
                j += (k ? ",\"" : "\"") + SettingText(plan.Settings[k]) + "\"";
            j += "]";
        }
        j += ",\"found\":[";
        bool first1 = true;
        for (const TScanHit& h : hits) {
            if (h.Code != 0) continue;
            j += std::string(first1 ? "" : ",") + "{\"address\":" + std::to_string(h.Address) +
                 (h.DevType >= 0 ? ModelJson(h.DevType) : ",\"model\":null,\"model_name\":null") +
                 ",\"registers\":" + (h.Registers ? std::to_string(h.Registers) : "null") + setting(h) + "}";
            first1 = false;
        }
        j += "],\"errors\":[";
        first1 = true;
        for (const TScanHit& h : hits) {
            if (h.Code == 0) continue;
            j += std::string(first1 ? "" : ",") + "{\"address\":" + std::to_string(h.Address) +
                 ",\"code\":" + std::to_string(h.Code) + ",\"error\":" + JsonText(OutcomeText(h.Code)) + setting(h) +
                 "}";
            first1 = false;
        }
        std::fprintf(out_, "%s]}\n", j.c_str());
    }
    Flush();
}

void TOutput::Traffic(const LineEvent& e, double ms) {
    std::string text;
    if (e.kind == LineEventKind::Outcome) {
        text = std::to_string(e.code) + " " + OutcomeText(e.code);
    } else {
        char hex[4];
        for (size_t k = 0; k < e.size; ++k) {
            std::snprintf(hex, sizeof hex, k ? " %02X" : "%02X", unsigned(e.data[k]));
            text += hex;
        }
    }
    char time[32];
    std::snprintf(time, sizeof time, "%10.3f", ms);
    std::fprintf(err_, "%s  %s %s\n", Arg(translate("orn10ctl", "%1 мс"), {time}).c_str(),
                 Pad(KindName(e.kind), 12).c_str(), text.c_str());
    std::fflush(err_);
}

} // namespace orn::ctl
