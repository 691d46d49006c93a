#include "ctl_records.h"

#include "config.h"
#include "instruments.h"
#include "platform.h"
#include "recorder.h"
#include "report.h"
#include "store.h"

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
    if (!store && error.empty()) error = "unknown reason";
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

// What a record says, for people: one line, and one with the details.
void PrintRecord(std::FILE* out, const TServiceRecord& r, const std::string& sep) {
    auto pct = [&](const std::optional<double>& v) { return v ? Concentration(*v, sep) : std::string("—"); };
    std::string what = KindName(r.kind);
    if (!r.action.empty() && !IsSession(r.kind)) {
        what += ": " + ActionName(r.action);
        if (r.valueAfter && r.action != "zero" && r.action != "reset" && r.action != "service")
            what += " " + (r.valueBefore ? ValueText(r.action, *r.valueBefore, false, sep) + " → " : "") +
                    ValueText(r.action, *r.valueAfter, true, sep);
    }
    std::fprintf(out, "  %s  №%d %s  %s — %s\n", ShownTime(r.atUtc).c_str(), r.address, r.port.c_str(), what.c_str(),
                 ResultName(r.result));
    std::string details;
    auto add = [&](const std::string& part) { details += (details.empty() ? "" : "; ") + part; };
    if (r.zeroBefore || r.zeroAfter) add("ноль " + pct(r.zeroBefore) + " → " + pct(r.zeroAfter) + " %об");
    if (r.gasBefore || r.gasAfter) add("газ " + pct(r.gasBefore) + " → " + pct(r.gasAfter) + " %об");
    if (r.gasConcentration)
        add("ПГС " + pct(r.gasConcentration) + " %об" + (r.cylinderLot.empty() ? "" : ", партия " + r.cylinderLot) +
            (r.cylinderExpiry.empty() ? "" : ", годен до " + ShownDate(r.cylinderExpiry)));
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
    note = "the team server was not reached (" + why + "): " + std::to_string(waiting) +
           " record(s) wait in the local file and go with the next delivery";
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
        out.Error("the records cannot be read: " + (local ? local->Error() : error));
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
    if (!why.empty()) out.Error("the team server was not reached (" + why + "): the records of this computer only");

    std::FILE* f = out.Stream();
    if (o.command == TCommand::Export || o.format == TFormat::Csv) {
        const std::string csv = ServicesCsv(h.services, out.LocaleSep());
        std::fwrite(csv.data(), 1, csv.size(), f);
    } else if (o.format == TFormat::Json) {
        std::fputs("[", f);
        for (size_t i = 0; i < h.services.size(); ++i)
            std::fprintf(f, "%s%s\n", i ? "," : "", RecordJson(h.services[i]).c_str());
        std::fputs("]\n", f);
    } else {
        if (h.instruments.empty()) std::fprintf(f, "No records of serial number %s.\n", o.serial.c_str());
        const std::string today = TodayLocal();
        for (const TInstrumentDue& d : h.instruments) {
            const TModelInfo* m = nullptr;
            for (int dev = 0; dev < DevTypeCount; ++dev)
                if (ModelShortName(dev) == d.model) m = ModelOf(dev);
            std::fprintf(f, "%s, сер. номер %lld\n", m ? m->ItemText : d.model.c_str(), (long long)d.serial);
            const std::string due = DueOf(d);
            if (due.empty())
                std::fprintf(f, "  градуировок нет; интервал %d мес.\n", d.months);
            else
                std::fprintf(f, "  последняя градуировка %s, интервал %d мес., следующая %s%s\n",
                             ShownDate(LocalDate(d.lastCalibrationUtc)).c_str(), d.months, ShownDate(due).c_str(),
                             Overdue(d, today) ? " — ПРОСРОЧЕНА" : "");
            for (const TServiceRecord& r : h.services)
                if (r.model == d.model && r.serial == d.serial) PrintRecord(f, r, out.Sep());
        }
    }
    std::fflush(f);
    return exOk;
}

} // namespace orn::ctl
