#include "commands.h"

#include "ctl_records.h"
#include "instruments.h"
#include "net_link.h"
#include "port_list.h"
#include "ports.h"
#include "texts.h"
#include "translate_noop.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace orn::ctl {

namespace {

using Clock = std::chrono::steady_clock;

// A watch tries a port that cannot be opened at most this often.
constexpr int RetryMs = 500;

double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// The values of `write`: the model's register for each and whether the
// model has it, as the window's value buttons carry and enable them, and
// the readings row that shows it.
struct TValueSpec {
    TValue value;
    const char* what;
    int row;
    uint8_t TModelInfo::*reg;
    bool TModelInfo::*enabled;
};

// (`what` follows "у прибора нет": "the instrument has no ...".)
constexpr TValueSpec ValueSpecs[] = {
    {TValue::Threshold1, QT_TRANSLATE_NOOP("orn10ctl", "порога 1"), 5, &TModelInfo::RegLimit1, &TModelInfo::EnLimit1},
    {TValue::Threshold2, QT_TRANSLATE_NOOP("orn10ctl", "порога 2"), 6, &TModelInfo::RegLimit2, &TModelInfo::EnLimit2},
    {TValue::Magnet, QT_TRANSLATE_NOOP("orn10ctl", "концентрации газа для магнитной градуировки"), 7,
     &TModelInfo::RegMagnet, &TModelInfo::EnMagnet},
    {TValue::Current, QT_TRANSLATE_NOOP("orn10ctl", "значения тока выхода"), 8, &TModelInfo::RegCurrent,
     &TModelInfo::EnCurrent},
};
constexpr int GasRow = 1;
constexpr int StatusRow = 3;

const char* ValueName(TValue v) {
    switch (v) {
    case TValue::Threshold1: return "threshold1";
    case TValue::Threshold2: return "threshold2";
    case TValue::Magnet: return "magnet";
    case TValue::Current: return "current";
    }
    return "?";
}

std::string CommandText(const TOptions& o) {
    switch (o.command) {
    case TCommand::Write: return std::string("write ") + ValueName(o.value) + " " + o.text;
    case TCommand::Calibrate: return "calibrate " + o.text;
    case TCommand::Zero: return "zero";
    case TCommand::Reset: return "reset";
    case TCommand::Fix: return o.milliamps ? "fix " + std::to_string(o.milliamps) : "fix";
    case TCommand::Release: return "release";
    case TCommand::Service: return "service";
    default: return "";
    }
}

// What a port that cannot be opened usually means.
std::string OpenErrorText(int err) {
    std::string text = err ? std::strerror(err) : translate("orn10ctl", "причина неизвестна");
    switch (err) {
    case EACCES: return text + translate("orn10ctl", " (состоит ли пользователь в группе dialout?)");
    case EBUSY: return text + translate("orn10ctl", " (порт занят другой программой)");
    case ENOTTY: return text + translate("orn10ctl", " (это не последовательный порт)");
    default: return text;
    }
}

// Why a port failed under a request, as the window says it.
std::string PortFailure(int err) {
    return Arg(translate(PortTextContext, PortErrorAdvice(err)), {std::strerror(err)});
}

class TRunner {
public:
    TRunner(const TOptions& o, TOutput& out, SerialBackend& backend, const volatile std::sig_atomic_t* stop)
        : o_(o), out_(out), net_(scheduler_), links_(backend, net_), line_(scheduler_, links_, o.line),
          timeoutMs_(o.timeoutMs ? o.timeoutMs : DefaultTimeoutMs(o)) {
        line_.SetStopFlag(stop);
        if (o.verbose) {
            const Clock::time_point start = Clock::now();
            line_.SetListener([this, start](const LineEvent& e) { out_.Traffic(e, MsSince(start)); });
        }
    }

    int Run() {
        // A write or command checks what it can before it needs the port.
        if (o_.command != TCommand::Read && o_.command != TCommand::Watch && o_.command != TCommand::Scan)
            return Command();
        if (!Open()) return exPort;
        switch (o_.command) {
        case TCommand::Read: return ReadOnce();
        case TCommand::Watch: return Watch();
        default: return Scan();
        }
    }

private:
    bool Open() {
        if (line_.Open()) return true;
        out_.Error(Arg(translate("orn10ctl", "не могу открыть порт %1: %2"),
                       {line_.PortLabel(), OpenErrorText(line_.OpenError())}));
        return false;
    }

    TReadOut Read() { return Read(o_.address, o_.devType); }

    TReadOut Read(int address, int devType) {
        TReadOut r;
        r.time = TimeNow(out_.Format());
        r.address = address;
        r.devType = devType;
        const TModelInfo& m = *ModelOf(devType);
        const Clock::time_point start = Clock::now();
        r.code = PortChecked(line_.Read(uint8_t(address), m.RegOffset, m.RegCount, timeoutMs_));
        r.ms = MsSince(start);
        if (r.code == 0) r.image.Store(m.RegOffset, line_.Data());
        return r;
    }

    // A transaction's end; one that the device's failure ended (an adapter
    // pulled, a connection refused or lost) says why, as a port that cannot
    // be opened does.
    int PortChecked(int code) {
        const int error = line_.DeviceError();
        if (code == mbPortNotOpen && error && line_.OverNetwork())
            out_.Error(Arg(translate("orn10ctl", "не могу связаться с %1: %2"), {line_.PortLabel(), NetFailureText(error)}));
        else if (code == mbPortNotOpen && error)
            out_.Error(Arg(translate("orn10ctl", "порт %1 отказал: %2"), {line_.PortLabel(), PortFailure(error)}));
        return code;
    }

    int ReadOnce() {
        const TReadOut r = Read();
        if (r.code != Interrupted) out_.Reading(line_.PortLabel(), r);
        return StatusOf(r.code);
    }

    // Reads each instrument of -a in turn, one line per read, round after
    // round every --interval seconds.
    int Watch() {
        int status = exOk;
        bool gone = false;   // the port failed or could not be opened at the last try
        out_.WatchModels(ModelsOf(o_.targets));
        for (int n = 0; (o_.count == 0 || n < o_.count) && !line_.Stopped(); ++n) {
            const Clock::time_point start = Clock::now();
            int pauseMs = o_.intervalMs;
            bool stop = false;
            for (const TTarget& t : o_.targets) {
                TReadOut r;
                const bool opened = line_.IsOpen() || line_.Open();
                if (opened) {
                    r = Read(t.address, t.devType);
                } else {
                    r.time = TimeNow(out_.Format());
                    r.address = t.address;
                    r.devType = t.devType;
                    r.code = mbPortNotOpen;
                }
                if (r.code == Interrupted) {
                    stop = true;
                    break;
                }
                // An adapter pulled: the outage is one line and told once (a
                // device that failed under the read has been told already);
                // the port is tried again every interval, but never more
                // often than RetryMs, until it is back.
                const bool down = r.code == mbPortNotOpen;
                if (down) pauseMs = std::max(pauseMs, RetryMs);
                if (!opened && !gone)
                    out_.Error(Arg(translate("orn10ctl", "порт пропал: %1: %2; пробую снова"),
                                   {line_.PortLabel(), OpenErrorText(line_.OpenError())}));
                if (!down && gone) out_.Error(Arg(translate("orn10ctl", "порт вернулся: %1"), {line_.PortLabel()}));
                if (!(down && gone)) out_.WatchLine(line_.PortLabel(), r);
                gone = down;
                if (out_.OutputError()) {   // a full disk, or the reader has gone
                    stop = true;
                    break;
                }
                if (r.code != 0) {
                    status = StatusOf(r.code);
                    // A silent line may be an adapter that was pulled: the
                    // next read opens the port afresh.
                    line_.Close();
                }
                // Without the port the others wait for the next round.
                if (down) break;
            }
            if (stop) break;
            if (o_.count != 0 && n + 1 >= o_.count) break;
            if (!line_.Pause(pauseMs - int(MsSince(start)))) break;
        }
        return status;
    }

    static std::vector<int> ModelsOf(const std::vector<TTarget>& targets) {
        std::vector<int> models;
        for (const TTarget& t : targets)
            if (std::find(models.begin(), models.end(), t.devType) == models.end()) models.push_back(t.devType);
        return models;
    }

    // The search of the line (line_scan.h), at -s and -P or, with --sweep,
    // at each setting in turn.
    int Scan() {
        const Clock::time_point start = Clock::now();
        TScanPlan plan;
        plan.From = o_.scanFrom;
        plan.To = o_.scanTo;
        plan.TimeoutMs = o_.timeoutMs;
        if (!o_.sweep.empty()) plan.Settings = o_.sweep;
        else plan.Settings = {o_.line.Setting()};
        TLineScan scan(plan);
        if (!o_.sweep.empty()) out_.ScanStart(plan);
        bool interrupted = false;
        // Nobody would learn of what is found once the output fails.
        while (const auto probe = scan.Next()) {
            if (out_.OutputError()) break;
            if (probe->Setting != line_.Settings().Setting()) line_.SetSetting(probe->Setting);
            out_.ScanProgress(probe->Slave, !o_.sweep.empty() ? SettingText(probe->Setting) : "");
            const int code = PortChecked(line_.Read(probe->Slave, probe->Reg, 1, probe->TimeoutMs));
            if (code == Interrupted || line_.Stopped()) {
                interrupted = true;
                scan.Stop();
                break;
            }
            if (const auto hit = scan.Outcome(code)) out_.ScanHit(*hit, !o_.sweep.empty());
        }
        const double seconds = MsSince(start) / 1000.0;
        out_.ScanEnd(line_.PortLabel(), plan, seconds, scan.Hits(), interrupted);
        if (interrupted) return exInterrupted;
        // A port that failed (the adapter pulled) ended the search.
        if (scan.PortFailed()) return exPort;
        return scan.Found() > 0 ? exOk : exNoAnswer;
    }

    // ---- writes and commands

    // Writes one register after the window's range check against the image
    // as just read; false when refused or failed.
    bool Step(TWriteOut& w, TRegImage& image, int reg, uint16_t value, int row) {
        const TValueRange range = WriteRange(o_.devType, reg, image);
        if (!range.Contains(value)) {
            // (Only the registers of the table's rows have a range.)
            const std::string label = translate(TextContext, RowLabels(o_.devType, row));
            w.refused = Arg(translate("orn10ctl", "«%1» %2 вне пределов %3 … %4"),
                            {label, ExactHundredths(value, out_.Sep()), ExactHundredths(range.Low, out_.Sep()),
                             ExactHundredths(range.High, out_.Sep())}) +
                        (range.Low > range.High ? translate("orn10ctl", " (сейчас не подходит ни одно значение)") : "");
            return false;
        }
        TWriteStep s;
        s.reg = reg;
        s.value = value;
        const TRegImage before = image;
        s.code = PortChecked(line_.Write(uint8_t(o_.address), uint16_t(reg), value, timeoutMs_));
        if (s.code == 0) {
            image.Store(uint16_t(reg), line_.Data());   // the echo; register 99 has no place
            s.row = row;
            s.image = image;
        }
        w.steps.push_back(s);
        Keep(s, before);
        return s.code == 0;
    }

    // A write the instrument confirmed, or one that went out and got no
    // valid answer (it may have been carried out), is recorded; one the
    // instrument refused changed nothing.
    void Keep(const TWriteStep& s, const TRegImage& before) {
        if (s.code != 0 && s.code != mbTimeout && s.code != mbCommError) return;
        records::TServiceRecord r = WriteRecord(o_);
        r.serial = SerialNumberOf(o_.devType, before);
        r.port = line_.PortLabel();
        r.kind = o_.command == TCommand::Write ? records::TKind::Write : records::TKind::Command;
        r.action = WriteAction(o_.devType, s.reg, s.value, before);
        r.reg = s.reg;
        if (s.reg < RegImageSize) r.valueBefore = before[s.reg];
        r.valueAfter = s.value;
        r.result = s.code == 0 ? records::TResult::Done : records::TResult::Unconfirmed;
        if (s.code != 0) r.notes = (r.notes.empty() ? "" : r.notes + "; ") + OutcomeText(s.code);
        kept_.push_back(std::move(r));
    }

    int Finish(const TWriteOut& w) {
        out_.Write(line_.PortLabel(), w);
        int status = w.readCode != 0 ? StatusOf(w.readCode) : -1;
        for (const TWriteStep& s : w.steps)
            if (status < 0 && s.code != 0) status = StatusOf(s.code);
        if (status < 0) status = w.refused.empty() ? exOk : exRefused;
        if (kept_.empty()) return status;
        // A write that happened stays done whatever becomes of its record:
        // a record that cannot be kept is said, and changes the status only
        // of a command that otherwise succeeded.
        std::string error, note;
        if (!KeepRecords(kept_, error, note)) {
            out_.Error(Arg(translate("orn10ctl", "запись не внесена в журнал: %1"), {error}));
            return status == exOk ? exRecords : status;
        }
        if (!note.empty()) out_.Error(note);
        return status;
    }

    int Command() {
        const int dev = o_.devType;
        const TModelInfo& m = *ModelOf(dev);
        TWriteOut w;
        w.time = TimeNow(out_.Format());
        w.address = o_.address;
        w.devType = dev;
        w.command = CommandText(o_);

        // What is written where, before anything is sent.
        const TValueSpec* written = nullptr;
        int reg = 0;
        int row = -1;
        const char* what = "";   // what a model without it has not
        bool has = true;
        switch (o_.command) {
        case TCommand::Write:
            written = &*std::find_if(std::begin(ValueSpecs), std::end(ValueSpecs),
                                     [&](const TValueSpec& s) { return s.value == o_.value; });
            reg = m.*(written->reg);
            row = written->row;
            what = written->what;
            has = m.*(written->enabled);
            break;
        case TCommand::Calibrate:
        case TCommand::Zero:
        case TCommand::Reset:
            reg = m.RegCalb;
            row = GasRow;
            break;
        case TCommand::Fix:
        case TCommand::Release:
            reg = m.RegFix;
            row = StatusRow;
            what = QT_TRANSLATE_NOOP("orn10ctl", "токового выхода, который можно зафиксировать");
            has = m.EnGBCur;
            break;
        default:
            reg = m.RegService;
            break;
        }
        if (!has) {
            w.refused = Arg(translate("orn10ctl", "у %1 нет %2"),
                            {translate(TextContext, m.ItemText), translate("orn10ctl", what)});
            return Finish(w);
        }
        int32_t typed = 0;
        if (o_.command == TCommand::Write || o_.command == TCommand::Calibrate) {
            const auto v = ParseShown(o_.text);
            if (!v) {
                out_.Error(Arg(translate("orn10ctl", "неверное значение '%1': нужно число, например 20.5 или 20,5"),
                               {o_.text}));
                return exUsage;
            }
            typed = *v;
            if (!TypedValueWritable(dev, reg, typed)) {
                const std::string value = ExactHundredths(typed, out_.Sep());
                w.refused = typed < 0 || typed > 0xFFFF
                                ? Arg(translate("orn10ctl", "%1 — не значение регистра (%2 … %3)"),
                                      {value, ExactHundredths(0, out_.Sep()), ExactHundredths(0xFFFF, out_.Sep())})
                                : Arg(translate("orn10ctl", "%1 — код команды: используйте zero или reset"), {value});
                return Finish(w);
            }
        }

        // The instrument's state, read now from this instrument.
        if (!Open()) return exPort;
        const TReadOut r = Read();
        if (r.code == Interrupted) return exInterrupted;
        w.readCode = r.code;
        if (r.code != 0) return Finish(w);
        TRegImage image = r.image;

        const bool calibration =
            o_.command == TCommand::Calibrate || o_.command == TCommand::Zero || o_.command == TCommand::Reset;
        if (calibration && IsMBModel(dev) && image.CurrentFixed()) {
            w.refused = translate("orn10ctl", "токовый выход зафиксирован: освободите его перед градуировкой");
            return Finish(w);
        }
        switch (o_.command) {
        case TCommand::Write:
        case TCommand::Calibrate: Step(w, image, reg, uint16_t(typed), row); break;
        case TCommand::Zero: Step(w, image, reg, CmdSetZero, row); break;
        case TCommand::Reset: Step(w, image, reg, CmdResetCalibration, row); break;
        case TCommand::Service: Step(w, image, reg, CmdServiceProtocol, -1); break;
        case TCommand::Release:
            if (!image.CurrentFixed())
                w.note = translate("orn10ctl", "токовый выход не зафиксирован; ничего не отправлено");
            else Step(w, image, reg, uint16_t(image[1] & ~CurrentFixedMask), row);
            break;
        case TCommand::Fix:
            if (!image.CurrentFixed()) {
                if (!Step(w, image, reg, uint16_t(image[1] | CurrentFixedMask), row)) break;
            } else if (!o_.milliamps) {
                w.note = translate("orn10ctl", "токовый выход уже зафиксирован; ничего не отправлено");
            }
            if (!o_.milliamps) break;
            // As the window's 4 mA and 20 mA: only once the instrument says
            // its output is fixed.
            if (!image.CurrentFixed()) {
                w.refused = translate("orn10ctl", "прибор не сообщил, что его токовый выход зафиксирован");
                break;
            }
            Step(w, image, m.RegFixedOutput, o_.milliamps == 4 ? 0 : image[4], GasRow);
            break;
        default: break;
        }
        return Finish(w);
    }

    const TOptions& o_;
    TOutput& out_;
    RealtimeScheduler scheduler_;
    // Network addresses are reached through connections made on this
    // thread's loop; everything else through the serial ports given.
    NetBackend net_;
    LinkBackend links_;
    TCtlLine line_;
    int timeoutMs_;
    std::vector<records::TServiceRecord> kept_;   // the records of this run's writes
};

} // namespace

int StatusOf(int code) {
    switch (code) {
    case mbNoError: return exOk;
    case Interrupted: return exInterrupted;
    case mbTimeout: return exNoAnswer;
    case mbPortNotOpen: return exPort;
    default: return exBadAnswer;
    }
}

int Run(const TOptions& options, TOutput& out, SerialBackend& backend, const volatile std::sig_atomic_t* stop) {
    if (options.command == TCommand::Ports) {
        out.Ports(BuildPortList(SystemPorts(), ""));
        return out.Finish(exOk);
    }
    if (options.command == TCommand::History || options.command == TCommand::Export)
        return out.Finish(ShowRecords(options, out));
    TRunner runner(options, out, backend, stop);
    return out.Finish(runner.Run());
}

} // namespace orn::ctl
