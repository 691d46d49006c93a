#include "ctl_records.h"

#include "config.h"
#include "instruments.h"
#include "platform.h"
#include "recorder.h"
#include "report.h"
#include "store.h"
#include "texts.h"

#include <cstdlib>

namespace orn::ctl {

using namespace records;

namespace {

constexpr int ServerTimeoutMs = 3000;
const std::string Program = std::string("orn10ctl ") + ORN10_VERSION;

std::unique_ptr<TRecordStore> Local(std::string& error) {
    int newer = 0;
    return OpenStore(OpenSqlite(DefaultDatabasePath(), error), Program, error, newer);
}

// The team server of records.conf; nullptr with no server set (`error`
// empty) or when it cannot be reached (`error` says why).
std::unique_ptr<TRecordStore> Team(std::string& error) {
    TRecordsConfig config;
    if (!LoadConfig(config, error) || config.server.empty()) return nullptr;
    int newer = 0;
    auto store = OpenStore(OpenPostgres(config.server, ServerTimeoutMs, error), Program, error, newer);
    if (!store && error.empty()) error = translate("orn10ctl", "причина неизвестна");
    return store;
}

std::string Json(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(c));
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

template <class T> std::string JsonOpt(const std::optional<T>& v) {
    if (!v) return "null";
    if constexpr (std::is_floating_point_v<T>) return NumberText(*v);
    else return std::to_string(*v);
}

std::string RecordJson(const TServiceRecord& r) {
    return "{\"uuid\":" + Json(r.uuid) + ",\"time\":" + Json(r.atUtc) + ",\"model\":" + Json(r.model) +
           ",\"serial\":" + JsonOpt(r.serial) + ",\"address\":" + std::to_string(r.address) + ",\"port\":" +
           Json(r.port) + ",\"kind\":" + Json(KindKey(r.kind)) + ",\"action\":" + Json(r.action) +
           ",\"register\":" + JsonOpt(r.reg) + ",\"value_before\":" + JsonOpt(r.valueBefore) +
           ",\"value_after\":" + JsonOpt(r.valueAfter) + ",\"zero_before\":" + JsonOpt(r.zeroBefore) +
           ",\"zero_after\":" + JsonOpt(r.zeroAfter) + ",\"gas_before\":" + JsonOpt(r.gasBefore) +
           ",\"gas_after\":" + JsonOpt(r.gasAfter) + ",\"gas_concentration\":" + JsonOpt(r.gasConcentration) +
           ",\"cylinder_lot\":" + Json(r.cylinderLot) + ",\"cylinder_expiry\":" + Json(r.cylinderExpiry) +
           ",\"result\":" + Json(ResultKey(r.result)) + ",\"criteria\":" + Json(r.criteria) +
           ",\"technician\":" + Json(r.technician) + ",\"site\":" + Json(r.site) + ",\"notes\":" + Json(r.notes) +
           ",\"program\":" + Json(r.program) + ",\"session\":" + Json(r.sessionUuid) + "}";
}

std::string Records(const char* text) { return translate(records::TextContext, text); }

// What a record says, for people: one line, and one with the details.
void PrintRecord(std::FILE* out, const TServiceRecord& r, const std::string& sep) {
    auto pct = [&](const std::optional<double>& v) { return v ? Concentration(*v, sep) : std::string("—"); };
    std::string what = Records(KindName(r.kind));
    if (!r.action.empty() && !IsSession(r.kind)) {
        what += ": " + ActionName(r.action, Records);
        if (r.valueAfter && r.action != "zero" && r.action != "reset" && r.action != "service")
            what += " " + (r.valueBefore ? ValueText(r.action, *r.valueBefore, false, sep) + " → " : "") +
                    ValueText(r.action, *r.valueAfter, true, sep);
    }
    std::fprintf(out, "  %s  %s %s  %s — %s\n", ShownTime(r.atUtc).c_str(),
                 Arg(translate("orn10ctl", "№%1"), {std::to_string(r.address)}).c_str(), r.port.c_str(), what.c_str(),
                 Records(ResultName(r.result)).c_str());
    std::string details;
    auto add = [&](const std::string& part) { details += (details.empty() ? "" : "; ") + part; };
    if (r.zeroBefore || r.zeroAfter)
        add(Arg(translate("orn10ctl", "ноль %1 → %2 %об"), {pct(r.zeroBefore), pct(r.zeroAfter)}));
    if (r.gasBefore || r.gasAfter)
        add(Arg(translate("orn10ctl", "газ %1 → %2 %об"), {pct(r.gasBefore), pct(r.gasAfter)}));
    if (r.gasConcentration)
        add(Arg(translate("orn10ctl", "ПГС %1 %об"), {pct(r.gasConcentration)}) +
            (r.cylinderLot.empty() ? "" : Arg(translate("orn10ctl", ", партия %1"), {r.cylinderLot})) +
            (r.cylinderExpiry.empty() ? ""
                                      : Arg(translate("orn10ctl", ", годен до %1"), {ShownDate(r.cylinderExpiry)})));
    for (const std::string* s : {&r.criteria, &r.technician, &r.site, &r.notes, &r.program})
        if (!s->empty()) add(*s);
    std::fprintf(out, "      %s\n", details.c_str());
}

} // namespace

TServiceRecord WriteRecord(const TOptions& o) {
    TServiceRecord r = NewRecord();
    r.model = ModelShortName(o.devType);
    r.address = o.address;
    r.technician = o.technician;
    if (r.technician.empty())
        for (const char* var : {"USER", "LOGNAME", "USERNAME"})
            if (const char* who = std::getenv(var); who && *who && r.technician.empty()) r.technician = who;
    r.site = o.site;
    r.notes = o.note;
    r.program = Program;
    return r;
}

bool KeepRecords(const std::vector<TServiceRecord>& recs, std::string& error, std::string& note) {
    auto local = Local(error);
    if (!local) return false;
    for (const TServiceRecord& r : recs)
        if (!local->Append(r)) {
            error = local->Error();
            return false;
        }
    // On to the team: what waits in the outbox goes along, in order.
    std::string why;
    auto team = Team(why);
    int delivered = 0;
    if (team && Deliver(*local, *team, delivered, why)) return true;
    if (why.empty()) return true;   // no server set
    int64_t waiting = 0;
    local->OutboxCount(waiting);
    note = Arg(translate("orn10ctl", "сервер журнала недоступен (%1): записей ждут отправки в локальном файле: %2; "
                                     "они уйдут со следующей отправкой"),
               {why, std::to_string(waiting)});
    return true;
}

int ShowRecords(const TOptions& o, TOutput& out) {
    TQuery q;
    q.serial = o.serial;
    q.exactSerial = true;
    if (o.modelGiven) q.model = ModelShortName(o.devType);
    if (o.addressGiven) q.address = o.address;
    if (!o.fromDate.empty()) q.fromUtc = UtcOfLocalDate(o.fromDate);
    if (!o.toDate.empty()) q.toUtc = UtcOfLocalDate(AddDays(o.toDate, 1));
    q.limit = 100000000;

    std::string error;
    auto local = Local(error);
    THistory h;
    if (!local || !local->Overview(q, h.instruments) || !local->Services(q, h.services)) {
        out.Error(Arg(translate("orn10ctl", "журнал не читается: %1"), {local ? local->Error() : error}));
        return exRecords;
    }
    std::string why;
    if (auto team = Team(why)) {
        THistory theirs;
        if (team->Overview(q, theirs.instruments) && team->Services(q, theirs.services))
            MergeHistory(h, theirs, q.limit);
        else
            why = team->Error();
    }
    if (!why.empty())
        out.Error(Arg(translate("orn10ctl", "сервер журнала недоступен (%1): только записи этого компьютера"), {why}));

    std::FILE* f = out.Stream();
    if (o.command == TCommand::Export || o.format == TFormat::Csv) {
        const std::string csv = ServicesCsv(h.services, out.LocaleSep(), Records);
        std::fwrite(csv.data(), 1, csv.size(), f);
    } else if (o.format == TFormat::Json) {
        std::fputs("[", f);
        for (size_t i = 0; i < h.services.size(); ++i)
            std::fprintf(f, "%s%s\n", i ? "," : "", RecordJson(h.services[i]).c_str());
        std::fputs("]\n", f);
    } else {
        if (h.instruments.empty())
            std::fprintf(f, "%s\n", Arg(translate("orn10ctl", "Записей о серийном номере %1 нет."), {o.serial}).c_str());
        const std::string today = TodayLocal();
        for (const TInstrumentDue& d : h.instruments) {
            std::string model = d.model;
            for (int dev = 0; dev < DevTypeCount; ++dev)
                if (ModelShortName(dev) == d.model) model = translate(orn::TextContext, ModelOf(dev)->ItemText);
            std::fprintf(f, "%s\n",
                         Arg(translate("orn10ctl", "%1, сер. номер %2"), {model, std::to_string(d.serial)}).c_str());
            const std::string due = DueOf(d);
            const std::string months = std::to_string(d.months);
            if (due.empty())
                std::fprintf(f, "  %s\n", Arg(translate("orn10ctl", "градуировок нет; интервал %1 мес."), {months}).c_str());
            else
                std::fprintf(f, "  %s%s\n",
                             Arg(translate("orn10ctl", "последняя градуировка %1, интервал %2 мес., следующая %3"),
                                 {ShownDate(LocalDate(d.lastCalibrationUtc)), months, ShownDate(due)})
                                 .c_str(),
                             Overdue(d, today) ? translate("orn10ctl", " — ПРОСРОЧЕНА") : "");
            for (const TServiceRecord& r : h.services)
                if (r.model == d.model && r.serial == d.serial) PrintRecord(f, r, out.Sep());
        }
    }
    std::fflush(f);
    return exOk;
}

} // namespace orn::ctl
