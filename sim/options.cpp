#include "options.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace orn::sim {

namespace {

bool ParseInt(const std::string& s, long lo, long hi, long& out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool ParseProbability(const std::string& s, double& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (*end != '\0' || !(v >= 0 && v <= 1)) return false;
    out = v;
    return true;
}

// "00FF" into bytes: 1 to 16 of them, two hex digits each.
bool ParseHexBytes(const std::string& s, std::vector<uint8_t>& out) {
    if (s.empty() || s.size() % 2 || s.size() > 32) return false;
    out.clear();
    for (size_t i = 0; i < s.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = s.substr(i, 2);
        const unsigned long v = std::strtoul(pair.c_str(), &end, 16);
        if (*end != '\0' || !std::isxdigit(static_cast<unsigned char>(pair[0]))) return false;
        out.push_back(uint8_t(v));
    }
    return true;
}

// "a=1,b,c=x" into (name, value) pairs; a missing value is empty.
std::vector<std::pair<std::string, std::string>> SplitList(const std::string& s) {
    std::vector<std::pair<std::string, std::string>> out;
    size_t start = 0;
    while (start <= s.size()) {
        size_t end = s.find(',', start);
        if (end == std::string::npos) end = s.size();
        const std::string item = s.substr(start, end - start);
        const size_t eq = item.find('=');
        if (eq == std::string::npos)
            out.emplace_back(item, "");
        else
            out.emplace_back(item.substr(0, eq), item.substr(eq + 1));
        start = end + 1;
    }
    return out;
}

bool ParseInstrument(const std::string& s, InstrumentSpec& wanted, std::string& error) {
    const size_t at = s.find('@');
    // MODEL@ADDRESS[:SPEED[:PARITY]]
    const size_t colon = s.find(':', at == std::string::npos ? 0 : at);
    const size_t colon2 = colon == std::string::npos ? colon : s.find(':', colon + 1);
    long address = 0, speed = 0;
    const std::string parity = colon2 == std::string::npos ? "" : s.substr(colon2 + 1);
    bool ok = at != std::string::npos && ParseModel(s.substr(0, at), wanted.model) &&
              ParseInt(s.substr(at + 1, colon == std::string::npos ? colon : colon - at - 1), 1, 247, address);
    if (ok && colon != std::string::npos) {
        ok = ParseInt(s.substr(colon + 1, colon2 == std::string::npos ? colon2 : colon2 - colon - 1), 50, 4000000,
                      speed);
        wanted.parity = parity.empty() || parity == "even" ? ptEVEN : parity == "odd" ? ptODD : ptNONE;
        ok = ok && (parity.empty() || parity == "none" || parity == "odd" || parity == "even");
    }
    if (!ok) {
        error = "bad instrument '" + s + "': expected MODEL@ADDRESS[:SPEED[:PARITY]], MODEL one of MB1 MB2 MB3 MB4 "
                "X-20 X-22, ADDRESS 1 to 247, PARITY none, odd or even";
        return false;
    }
    wanted.address = uint8_t(address);
    wanted.speed = uint32_t(speed);
    return true;
}

bool ParseFault(const std::string& s, Options& o, std::string& error) {
    const size_t colon = s.find(':');
    long address = 0;
    if (colon == std::string::npos || !ParseInt(s.substr(0, colon), 1, 247, address)) {
        error = "bad fault '" + s + "': expected ADDRESS:KIND[=VALUE][,KIND[=VALUE]...]";
        return false;
    }
    Faults& f = o.faults[uint8_t(address)];
    for (const auto& [kind, value] : SplitList(s.substr(colon + 1))) {
        long v = 0;
        if (kind == "silent" && value.empty())
            f.silent = true;
        else if (kind == "bad-crc" && value.empty())
            f.badCrc = true;
        else if (kind == "exception" && ParseInt(value, 1, 255, v))
            f.exception = uint8_t(v);
        else if (kind == "split" && ParseInt(value, 1, 60000, v))
            f.splitGapMs = int(v);
        else if (kind == "split-after" && ParseInt(value, 0, 300, v))
            f.splitAfter = int(v);
        else if (kind == "noise" && ParseInt(value, 1, 64, v))
            f.noiseBytes = int(v);
        else if (kind == "slow" && ParseInt(value, 0, 60000, v))
            f.turnaroundMs = int(v);
        else if (kind == "stray" && ParseHexBytes(value, f.stray)) {
        } else if (kind == "foreign" && ParseInt(value, 1, 247, v) && v != address)
            f.foreign = uint8_t(v);
        else {
            error = "bad fault '" + kind + (value.empty() ? "" : "=" + value) +
                    "': kinds are silent, bad-crc, exception=CODE, split=MS, split-after=BYTES, noise=BYTES, "
                    "stray=HEX, foreign=ADDR (another address), slow=MS";
            return false;
        }
    }
    return true;
}

// "[ADDR:]PORT", an IPv6 address in brackets.
bool ParseListen(const std::string& s, Options& o, std::string& error) {
    std::string host = o.tcpHost, port = s;
    const size_t colon = s.rfind(':');
    if (colon != std::string::npos) {
        host = s.substr(0, colon);
        port = s.substr(colon + 1);
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    }
    long n = 0;
    if (host.empty() || !ParseInt(port, 0, 65535, n)) {
        error = "bad listening address '" + s + "': expected [ADDR:]PORT, PORT 0 (a free one) to 65535";
        return false;
    }
    o.tcp = true;
    o.tcpHost = host;
    o.tcpPort = uint16_t(n);
    return true;
}

bool ParseNetFaults(const std::string& s, NetFaults& f, std::string& error) {
    for (const auto& [kind, value] : SplitList(s)) {
        long v = 0;
        if (kind == "latency" && ParseInt(value, 0, 60000, v)) f.latencyMs = int(v);
        else if (kind == "split" && ParseInt(value, 1, 60000, v)) f.splitGapMs = int(v);
        else if (kind == "split-after" && ParseInt(value, 1, 255, v)) f.splitAfter = int(v);
        else {
            error = "bad network fault '" + kind + (value.empty() ? "" : "=" + value) +
                    "': kinds are latency=MS, split=MS, split-after=BYTES";
            return false;
        }
    }
    return true;
}

bool ParseRandom(const std::string& s, RandomFaults& r, std::string& error) {
    for (const auto& [kind, value] : SplitList(s)) {
        long v = 0;
        bool ok;
        if (kind == "drop") ok = ParseProbability(value, r.drop);
        else if (kind == "corrupt") ok = ParseProbability(value, r.corrupt);
        else if (kind == "split") ok = ParseProbability(value, r.split);
        else if (kind == "delay") ok = ParseProbability(value, r.delay);
        else if (kind == "garble") ok = ParseProbability(value, r.garble);
        else if (kind == "split-gap" && (ok = ParseInt(value, 1, 60000, v))) r.splitGapMs = int(v);
        else if (kind == "delay-ms" && (ok = ParseInt(value, 1, 60000, v))) r.delayMs = int(v);
        else ok = false;
        if (!ok) {
            error = "bad random fault '" + kind + (value.empty() ? "" : "=" + value) +
                    "': expected drop, corrupt, split, delay or garble =PROBABILITY (0 to 1), split-gap=MS, delay-ms=MS";
            return false;
        }
    }
    return true;
}

bool ParseDouble(const std::string& s, double lo, double hi, double& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (*end != '\0' || !(v >= lo && v <= hi)) return false;
    out = v;
    return true;
}

std::vector<std::string> Words(const std::string& s) {
    std::vector<std::string> out;
    std::string word;
    for (char c : s + " ") {
        if (c == ' ' || c == '\t' || c == '\r') {
            if (!word.empty()) out.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return out;
}

const char* const GasUsage = "expected ADDR CONC [tau=S] [noise=X] or ADDR off [tau=S]: CONC and X in %, S in seconds";

} // namespace

bool ParseGasCommand(const std::string& text, GasCommand& c, std::string& error) {
    const std::vector<std::string> w = Words(text);
    long address = 0;
    c = GasCommand{};
    if (w.size() < 3 || w[0] != "gas" || !ParseInt(w[1], 1, 247, address)) {
        error = std::string("bad gas command '") + text + "': " + GasUsage;
        return false;
    }
    c.address = uint8_t(address);
    c.off = w[2] == "off";
    if (c.off) c.tauS = -1;
    if (!c.off && !ParseDouble(w[2], 0, 655, c.percent)) {
        error = "bad concentration '" + w[2] + "': expected % from 0 to 655";
        return false;
    }
    for (size_t i = 3; i < w.size(); ++i) {
        const size_t eq = w[i].find('=');
        const std::string key = w[i].substr(0, eq), value = eq == std::string::npos ? "" : w[i].substr(eq + 1);
        if (!(key == "tau" && ParseDouble(value, 0, 3600, c.tauS)) &&
            !(key == "noise" && !c.off && ParseDouble(value, 0, 100, c.noise))) {
            error = "bad gas setting '" + w[i] + "': " + GasUsage;
            return false;
        }
    }
    return true;
}

std::string RunCommand(SimLine& line, const std::string& text) {
    const std::vector<std::string> w = Words(text);
    if (w.empty()) return "";
    if (w[0] == "help")
        return "commands: gas ADDR CONC [tau=S] [noise=X]   apply test gas (default tau=15 s, noise=0.03 %)\n"
               "          gas ADDR off [tau=S]              remove it (back to clean air)";
    if (w[0] != "gas") return "unknown command '" + w[0] + "': the commands are gas and help";
    GasCommand c;
    std::string error;
    if (!ParseGasCommand(text, c, error)) return error;
    if (!line.find(c.address)) return "no instrument at address " + std::to_string(c.address);
    ApplyGas(line, c);
    char reply[160];
    if (c.off) std::snprintf(reply, sizeof reply, "gas removed from %d", c.address);
    else
        std::snprintf(reply, sizeof reply, "gas %.2f %% applied to %d (tau %g s, noise %g %%)", c.percent, c.address,
                      c.tauS, c.noise);
    return reply;
}

void ApplyGas(SimLine& line, const GasCommand& c) {
    Instrument& inst = line.at(c.address);
    if (c.off) inst.removeGas(c.tauS);
    else inst.applyGas(c.percent, c.tauS, c.noise);
}

std::string UsageText() {
    return "Usage: orn10sim [OPTION]...\n"
           "Simulates ORN10 gas-detector instruments as MODBUS RTU slaves on a pseudo-terminal\n"
           "(or over TCP, --tcp).  Prints the path to give the utility, as a line\n"
           "ORN10_COM1=PATH (over TCP: the address), and serves until interrupted (SIGINT or\n"
           "SIGTERM).\n"
           "\n"
           "  -i, --instrument MODEL@ADDR[:SPEED[:PARITY]]  an instrument on the line (repeatable;\n"
           "                           default MB4@1); MODEL: MB1 MB2 MB3 MB4 X-20 X-22, ADDR: 1 to\n"
           "                           247; SPEED and PARITY (none, odd, even; default even): its\n"
           "                           own, where they differ from the line's (a pseudo-terminal\n"
           "                           does not carry the parity: it hears any at its speed)\n"
           "  -l, --link PATH          make PATH a symbolic link to the pseudo-terminal (its\n"
           "                           directories are created, an old link replaced; removed on exit);\n"
           "                           refused while another orn10sim serves the link\n"
           "      --take-over          take the link over from the orn10sim that serves it\n"
           "      --com N              print ORN10_COMN instead of ORN10_COM1\n"
           "  -s, --speed BAUD         line speed in bit/s (default 19200); a master at another\n"
           "                           speed gets no answer\n"
           "  -p, --parity none|odd|even  line parity (default even)\n"
           "  -t, --turnaround MS      pause before each answer (default 5)\n"
           "  -e, --echo               every request comes back to the master as it is sent, as\n"
           "                           from a 2-wire RS-485 adapter without echo suppression\n"
           "  -f, --fault ADDR:KIND[=VALUE][,...]  faults of the instrument at ADDR:\n"
           "                           silent, bad-crc, exception=CODE, split=MS (pause inside\n"
           "                           the answer), split-after=BYTES, noise=BYTES (random junk\n"
           "                           before the answer), stray=HEX (these bytes before the\n"
           "                           answer, e.g. stray=00 or stray=FF), foreign=ADDR (a copy\n"
           "                           of the answer from another address first), slow=MS (a\n"
           "                           late answer: turnaround)\n"
           "  -r, --random KIND=P[,...]  faults by chance for every instrument: drop, corrupt,\n"
           "                           split, delay, garble (P from 0 to 1); split-gap=MS and\n"
           "                           delay-ms=MS set their sizes (default 50 and 300)\n"
           "  -g, --gas ADDR:CONC[,tau=S][,noise=X]  test gas on the instrument at ADDR from the\n"
           "                           start: the reading rises to CONC % as a first-order\n"
           "                           response with time constant S seconds (default 15), with\n"
           "                           noise of X % standard deviation (default 0.03)\n"
           "      --seed N             seed of the drift, the noise and the random faults (default 1)\n"
           "      --freeze             keep the gas readings from drifting\n"
           "      --tcp [ADDR:]PORT    serve the line over TCP instead of a pseudo-terminal, on\n"
           "                           ADDR (default 127.0.0.1) and PORT (0: a free one); prints\n"
           "                           the address to give the utility, e.g. rtu+tcp://127.0.0.1:5020.\n"
           "                           Several masters may connect; their requests take turns\n"
           "      --protocol rtu|mbtcp  over TCP: RTU frames as they are, as a device server in raw\n"
           "                           mode (default), or MODBUS TCP, as a gateway\n"
           "      --net-fault KIND=VALUE[,...]  over TCP: latency=MS (every byte sent later),\n"
           "                           split=MS (each answer held back that long after its\n"
           "                           first bytes), split-after=BYTES (default 3)\n"
           "  -v, --verbose            trace every frame on standard error\n"
           "  -h, --help               show this help and exit\n"
           "\n"
           "Commands on the standard input while it runs, one a line:\n"
           "  gas ADDR CONC [tau=S] [noise=X]   apply test gas, as --gas\n"
           "  gas ADDR off [tau=S]              remove it: back to clean air\n"
           "  help                              list the commands\n"
           "Zero and calibration commands from the master act on the reading as it is.\n"
           "\n"
           "Example:\n"
           "  orn10sim --link /tmp/orn10/com1 --instrument MB4@1 --instrument X-22@5\n"
           "  ORN10_COM1=/tmp/orn10/com1 orn10util\n"
           "  orn10sim --tcp 5020 --protocol mbtcp -i MB4@1 &   orn10ctl -p tcp://127.0.0.1:5020 read\n"
           "\n"
           "Exit status: 0 after an interrupt, 1 when the pseudo-terminal, the link or the\n"
           "listening socket fails, 2 for bad arguments.\n";
}

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
    bool randomGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        const size_t eq = name.find('=');
        if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        auto take = [&](std::string& out) {
            if (hasValue) {
                out = value;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = "option " + name + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto flag = [&] {
            if (hasValue) error = "option " + name + " takes no value";
            return !hasValue;
        };
        std::string v;
        long n = 0;
        if (name == "-h" || name == "--help") {
            if (!flag()) return false;
            o.help = true;
        } else if (name == "-i" || name == "--instrument") {
            InstrumentSpec wanted{};
            if (!take(v) || !ParseInstrument(v, wanted, error)) return false;
            for (const auto& s : o.instruments)
                if (s.address == wanted.address) {
                    error = "two instruments at address " + std::to_string(wanted.address);
                    return false;
                }
            o.instruments.push_back(wanted);
        } else if (name == "-l" || name == "--link") {
            if (!take(v)) return false;
            if (v.empty()) {
                error = "empty link path";
                return false;
            }
            o.linkPath = v;
        } else if (name == "--take-over") {
            if (!flag()) return false;
            o.takeOver = true;
        } else if (name == "--com") {
            if (!take(v)) return false;
            if (!ParseInt(v, 1, 256, n)) {
                error = "bad port number '" + v + "': expected 1 to 256";
                return false;
            }
            o.comNumber = int(n);
        } else if (name == "-s" || name == "--speed") {
            if (!take(v)) return false;
            if (!ParseInt(v, 50, 4000000, n)) {
                error = "bad speed '" + v + "': expected bit/s from 50 to 4000000";
                return false;
            }
            o.line.baudRate = uint32_t(n);
        } else if (name == "-p" || name == "--parity") {
            if (!take(v)) return false;
            if (v == "none") o.line.parity = ptNONE;
            else if (v == "odd") o.line.parity = ptODD;
            else if (v == "even") o.line.parity = ptEVEN;
            else {
                error = "bad parity '" + v + "': expected none, odd or even";
                return false;
            }
        } else if (name == "-t" || name == "--turnaround") {
            if (!take(v)) return false;
            if (!ParseInt(v, 0, 60000, n)) {
                error = "bad turnaround '" + v + "': expected milliseconds from 0 to 60000";
                return false;
            }
            o.line.turnaroundMs = int(n);
        } else if (name == "-e" || name == "--echo") {
            if (!flag()) return false;
            o.line.echo = true;
        } else if (name == "-f" || name == "--fault") {
            if (!take(v) || !ParseFault(v, o, error)) return false;
        } else if (name == "-r" || name == "--random") {
            if (!take(v) || !ParseRandom(v, o.random, error)) return false;
            randomGiven = true;
        } else if (name == "-g" || name == "--gas") {
            if (!take(v)) return false;
            std::string words = "gas " + v;
            for (char& ch : words)
                if (ch == ':' || ch == ',') ch = ' ';
            GasCommand g;
            if (!ParseGasCommand(words, g, error)) return false;
            o.gas.push_back(g);
        } else if (name == "--seed") {
            if (!take(v)) return false;
            if (!ParseInt(v, 0, 4294967295L, n)) {
                error = "bad seed '" + v + "'";
                return false;
            }
            o.seed = uint32_t(n);
        } else if (name == "--tcp") {
            if (!take(v) || !ParseListen(v, o, error)) return false;
        } else if (name == "--protocol") {
            if (!take(v)) return false;
            if (v == "rtu") o.tcpProtocol = NetProtocol::RtuOverTcp;
            else if (v == "mbtcp") o.tcpProtocol = NetProtocol::ModbusTcp;
            else {
                error = "bad protocol '" + v + "': expected rtu or mbtcp";
                return false;
            }
        } else if (name == "--net-fault") {
            if (!take(v) || !ParseNetFaults(v, o.netFaults, error)) return false;
        } else if (name == "--freeze") {
            if (!flag()) return false;
            o.freeze = true;
        } else if (name == "-v" || name == "--verbose") {
            if (!flag()) return false;
            o.verbose = true;
        } else {
            error = "unknown argument '" + args[i] + "'";
            return false;
        }
    }
    if (o.instruments.empty()) o.instruments.push_back({Model::MB4, 1});
    std::set<uint8_t> addresses;
    for (const auto& s : o.instruments) addresses.insert(s.address);
    for (const auto& [address, f] : o.faults)
        if (!addresses.count(address)) {
            error = "fault for address " + std::to_string(address) + ", where there is no instrument";
            return false;
        }
    for (const GasCommand& g : o.gas)
        if (!addresses.count(g.address)) {
            error = "gas for address " + std::to_string(g.address) + ", where there is no instrument";
            return false;
        }
    if (randomGiven) o.random.seed = o.seed;
    return true;
}

} // namespace orn::sim
