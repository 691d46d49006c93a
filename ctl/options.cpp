#include "options.h"

#include "instruments.h"
#include "line_scan.h"
#include "net_link.h"
#include "records.h"

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
                error = "bad model in '" + item + "': expected MB1, MB2, MB3, MB4, X-20 or X-22";
                return false;
            }
            item = item.substr(0, colon);
        }
        const size_t dash = item.find('-');
        long from = 0, to = 0;
        if (!ParseInt(item.substr(0, dash), 1, 247, from) ||
            !ParseInt(dash == std::string::npos ? item : item.substr(dash + 1), 1, 247, to) || from > to) {
            error = "bad address '" + item + "': expected N, or A-B, within 1 to 247";
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
            error = "bad sweep item '" + item + "': expected speeds (1200 to 115200) and parities (none, odd, even)";
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
        error = pos.size() < lo ? "missing argument" : "unexpected argument '" + pos[hi] + "'";
        return false;
    };
    switch (o.command) {
    case TCommand::Write: {
        if (!count(2, 2)) return false;
        auto it = std::find_if(std::begin(ValueNames), std::end(ValueNames),
                               [&](const TValueName& v) { return pos[0] == v.name; });
        if (it == std::end(ValueNames)) {
            error = "unknown value '" + pos[0] + "': expected threshold1, threshold2, magnet or current";
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
            error = "bad output '" + pos[0] + "': expected 4 or 20 (mA)";
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
            error = "bad serial number '" + pos[0] + "': expected its digits";
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
            error = "bad address range '" + r + "': expected A or A-B within 1 to 247";
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
                error = "unknown command '" + name + "'";
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
                error = "option " + name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        auto flag = [&]() {
            if (hasValue) error = "option " + name + " takes no value";
            return !hasValue;
        };
        // Refuses the value of this option.
        auto bad = [&](const char* what, const std::string& expected) {
            error = std::string("bad ") + what + " '" + value + "': expected " + expected;
            return false;
        };
        auto takeInt = [&](long lo, long hi, const char* what, const char* expected, int& out) {
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
            if (value.empty()) return bad("port", "a device path or COM<n>");
            if (IsNetAddress(value) && !ParseNetAddress(value))
                return bad("network address", "rtu+tcp://HOST:PORT, tcp://HOST[:PORT] or rfc2217://HOST:PORT");
            o.line.port = value;
        } else if (name == "--net-timeout") {
            if (!takeInt(0, 60000, "network allowance", "milliseconds from 0 to 60000", o.line.netAllowanceMs))
                return false;
        } else if (name == "-s" || name == "--speed") {
            int speed = 0;
            const char* speeds = "1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200";
            if (!takeInt(1, 4000000, "speed", speeds, speed)) return false;
            if (std::find(std::begin(BaudRates), std::end(BaudRates), uint32_t(speed)) == std::end(BaudRates))
                return bad("speed", speeds);
            o.line.speed = uint32_t(speed);
        } else if (name == "-P" || name == "--parity") {
            if (!take()) return false;
            const std::string p = Loose(value);
            if (p == "NONE" || p == "N") o.line.parity = ptNONE;
            else if (p == "ODD" || p == "O") o.line.parity = ptODD;
            else if (p == "EVEN" || p == "E") o.line.parity = ptEVEN;
            else return bad("parity", "none, odd or even");
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
            if (o.devType < 0) return bad("model", "MB1, MB2, MB3, MB4, X-20 or X-22");
            o.modelGiven = true;
        } else if (name == "--technician" || name == "--site" || name == "--note") {
            if (!take()) return false;
            if (value.find_first_of("\r\n") != std::string::npos) return bad(name.c_str() + 2, "one line of text");
            (name == "--technician" ? o.technician : name == "--site" ? o.site : o.note) = value;
        } else if (name == "--from" || name == "--to") {
            if (!take()) return false;
            int y, m, d;
            if (value.size() != 10 || !records::ParseDate(value, y, m, d)) return bad("date", "YYYY-MM-DD");
            (name == "--from" ? o.fromDate : o.toDate) = value;
        } else if (name == "-t" || name == "--timeout") {
            if (!takeInt(11, 60000, "timeout", "milliseconds from 11 to 60000", o.timeoutMs)) return false;
        } else if (name == "-i" || name == "--interval") {
            if (!take()) return false;
            const auto h = ParseShown(value);
            if (!h || *h < 0 || *h > 8640000) return bad("interval", "seconds from 0 to 86400");
            o.intervalMs = *h * 10;
        } else if (name == "-n" || name == "--count") {
            if (!takeInt(1, 1000000000, "count", "a number of reads from 1", o.count)) return false;
        } else if (name == "--json" || name == "--csv") {
            if (!flag()) return false;
            o.format = name == "--json" ? TFormat::Json : TFormat::Csv;
        } else if (name == "--sweep") {
            if (!ParseSweep(hasValue ? value : "", o.sweep, error)) return false;
        } else if (name == "-v" || name == "--verbose") {
            if (!flag()) return false;
            o.verbose = true;
        } else {
            error = "unknown option '" + args[i] + "'";
            return false;
        }
    }
    if (!haveCommand) {
        error = "no command given";
        return false;
    }
    if (o.targets.size() > 1 && o.command != TCommand::Watch) {
        error = "a list of addresses is for watch only";
        return false;
    }
    if (!o.sweep.empty() && o.command != TCommand::Scan) {
        error = "--sweep is for scan only";
        return false;
    }
    for (TTarget& t : o.targets)
        if (t.devType < 0) t.devType = o.devType;
    return TakePositionals(pos, o, error);
}

std::string VersionText() { return "orn10ctl " ORN10_VERSION "\n"; }

std::string UsageText() {
    return R"(Usage: orn10ctl [OPTION]... COMMAND [ARGUMENT]...
Reads, sets and calibrates ORN10 gas detectors over a MODBUS RTU serial line,
and finds them on it: the service utility's window for scripts and shells.
Values are decoded, labelled and range-checked exactly as the window does.

Commands:
  ports                list the serial ports of this machine as the window's
                       port list shows them, each with what to give -p
  read                 read the instrument once and show its readings
  watch                read it every --interval seconds, one line per read,
                       until interrupted (Ctrl+C, SIGTERM) or --count reads;
                       a failed read prints its error and the watch goes on;
                       with several addresses (-a 1,3,5-9) each is read in
                       turn, one line each, round after round
  scan [A[-B]]         find the instruments at addresses A to B (default
                       1-247) and the model each looks like; with --sweep
                       at other speeds and parities too
  write threshold1 V   set alarm threshold 1          (MB2-MB4, X-20, X-22)
  write threshold2 V   set alarm threshold 2          (MB2-MB4, X-22)
  write magnet V       set the gas for magnetic calibration  (MB2-MB4)
  write current V      tell the current output value, in mA (MB3, MB4)
  calibrate V          calibrate the concentration reading at V %
  zero                 set the zero of the concentration reading
  reset                reset the concentration calibration to the factory one
  fix [4|20]           fix the current output (MB3, MB4) and, with 4 or 20,
                       drive it at 4 mA or 20 mA
  release              release the fixed current output
  service              switch the instrument to its service protocol (it stops
                       answering MODBUS until it is restarted)
  history SERIAL       the service records of the instrument with this serial
                       number: when it is due for calibration, and each check,
                       calibration, write and command, newest first
  export [SERIAL]      the service records as CSV for a spreadsheet (all
                       instruments, or one), on standard output
  help                 show this help

  V is given in the units the readings show, with a point or a comma: 20.5 or
  20,5.  Every write and command first reads the instrument, then checks the
  value and the instrument's state as the window does, and refuses with the
  reason what the window would refuse: a threshold 1 above threshold 2, a
  threshold 2 below threshold 1 or above the measuring range, a magnetic
  calibration gas of 0 or above the range, a current outside 0.01 to 50.00 mA,
  a value that is not a register value (below 0 or above 655.35) or that would
  be a command code; calibration, zero and reset while the current output is
  fixed; a value the model does not have.  Then it writes the register and
  shows the instrument's echo.

  Each write and command the instrument confirms (or that got no answer and
  may have been carried out) is kept in the service records, as the window
  keeps its own: the local file ~/.local/share/orn10util/records.db
  ($XDG_DATA_HOME), and the team server of ~/.config/orn10util/records.conf
  when one is set (records that cannot reach it wait in the local file).

Records:
      --technician NAME  who did it (default: the login name)
      --site TEXT      site or line, free text
      --note TEXT      a note
      --from DATE, --to DATE  history and export: records of these days only
                       (YYYY-MM-DD, local time, both included); -a and -m
                       filter by address and model when given

Line:
  -p, --port PORT      the serial port: a device path (/dev/ttyUSB0,
                       /dev/serial/by-id/...), or COM<n> (1 to 256), the device
                       named by the environment variable ORN10_COM<n>, else the
                       system's COM<n>: /dev/ttyS<n-1> on Linux, COM<n> on
                       Windows (default COM1).  Taken exclusively.
                       Or a line behind the network:
                         rtu+tcp://HOST:PORT  a device server in raw (TCP
                                              server) mode: RTU frames as they are
                         tcp://HOST[:PORT]    a MODBUS TCP gateway (port 502)
                         rfc2217://HOST:PORT  a device server with RFC 2217 (the
                                              port's speed and parity set from here)
      --net-timeout MS time added to every answer timeout over the network
                       (default 100): its round trip and the pieces a device
                       server or gateway makes of an answer
  -s, --speed BAUD     1200, 2400, 4800, 9600, 19200 (default), 38400, 57600
                       or 115200
  -P, --parity P       none, odd or even (default even); 8 data bits, 1 stop bit
  -a, --address N      the instrument's address, 1 to 247 (default 1); watch:
                       a list of addresses and ranges (1,3,5-9), each with
                       its model when not -m's (3:X-22, 5-9:MB2)
  -m, --model M        MB1, MB2, MB3, MB4 (default), X-20 or X-22: sets which
                       registers are read and how they are shown
  -t, --timeout MS     time the instrument has to begin its answer (default 500;
                       scan: the request's wire time + 40 ms); the answer's own
                       wire time is granted on top once it has begun, and over
                       the network --net-timeout on both

Watch:
  -i, --interval S     seconds from one read's start to the next (default 2;
                       0: no pause); a port that fails or cannot be opened is
                       said once ("port gone", then "port back") and tried
                       again every S seconds, at most every 0.5 s
  -n, --count N        stop after N reads (each try counts; with several
                       addresses, N rounds)

Scan:
      --sweep[=LIST]   when the line's settings are not known: the search at
                       each speed and parity in turn, the usual ones first
                       (19200 and 9600 bit/s, even, none, odd), and for each
                       instrument the settings it answered at.  LIST chooses
                       speeds and parities (--sweep=9600,19200,even,none);
                       a kind not listed is tried whole: --sweep alone tries
                       all 8 speeds by 3 parities.  Its time (every address
                       silent) is said first.  An address found is not asked
                       again at later settings.

Output:
      --json           JSON (one object; watch: one object per line)
      --csv            CSV with a header line
  -v, --verbose        show the line traffic on standard error: each request
                       sent, bytes received, echoes removed, bytes skipped,
                       foreign and late frames dropped, and each outcome
  -h, --help           show this help and exit
      --version        show the version and exit

By default the output is for people: labels as in the window, aligned,
numbers with the decimal separator of the locale (LC_NUMERIC).  JSON and CSV
always use a point.  Errors of the instrument are shown with the window's
texts ("Нет связи").

Scan: each address is asked for register 13 alone, the last of the MB4's block.
The register or exception 2 (no such register) says that an instrument is
there; it is then asked for the last registers of the other models' blocks (11
of the X-22 next, then by halving).  An instrument refuses a register past its
last one with exception 2, so the highest register it answers is its register
count, and the model whose read block has that length is the one it looks like
(MB1 6, X-20 7, MB2 9, X-22 11, MB3 12, MB4 13).  It is a guess: read with the
model it names, or with the one you know.  A device that stays silent instead
of refusing a register it lacks is not found.

Exit status:
  0  everything asked for succeeded (scan: at least one instrument found)
  1  the instrument answered with an exception or a damaged answer
  2  bad arguments
  3  the port cannot be opened, or failed while in use (an adapter pulled);
     over the network: the connection cannot be made or was lost (refused,
     no route, name not found, timed out, closed by the peer); the reason is
     shown
  4  no answer in time (scan: no instrument found)
  5  a value or command refused; nothing was sent
  6  the records could not be written (the write or command itself succeeded;
     the reason is shown) or, for history and export, read
  7  the output could not be written (a full disk, a medium gone); the reason
     is shown
  130  interrupted before the command had finished (a watch ends normally when
       interrupted: 0 when every read succeeded, else the status of its last
       failed read)
  A reader that closes the pipe (orn10ctl watch | head -1) has taken what it
  wanted: the command ends quietly, as a watch does when interrupted.

Examples:
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

With the simulator:
  orn10sim --link /tmp/orn10/com1 -i MB4@1 -i X-22@5 &
  ORN10_COM1=/tmp/orn10/com1 orn10ctl scan
  orn10sim --tcp 5020 --protocol mbtcp -i MB4@1 &
  orn10ctl -p tcp://127.0.0.1:5020 read
)";
}

} // namespace orn::ctl
