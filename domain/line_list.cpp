#include "line_list.h"

#include "instruments.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace orn {

namespace {

constexpr const char* Magic = "ORN10 line 1";

// Names compared without case and dashes: "x22" is the X-22.
std::string Loose(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != '-') out += char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool ParseNumber(const std::string& s, long lo, long hi, long& out) {
    if (s.empty() || s.size() > 7 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    out = std::stol(s);
    return out >= lo && out <= hi;
}

} // namespace

std::string FormatLineList(const TLineList& list) {
    std::string out = std::string(Magic) + "\n";
    if (!list.Port.empty()) out += "port " + list.Port + "\n";
    for (const TLineEntry& e : list.Entries) {
        const std::string model = ValidDevType(e.DevType) ? ModelShortName(e.DevType) : "?";
        out += std::to_string(e.Address) + " " + model + " " + std::to_string(e.Setting.Speed) + " " +
               std::string(1, ParityLetter(e.Setting.Parity)) + (e.ModelSet ? " set" : "") + "\n";
    }
    return out;
}

bool ParseLineList(const std::string& text, TLineList& list, std::string& error) {
    TLineList out;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    bool magic = false;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(number) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        if (!magic) {
            if (line != Magic) return fail("not a list of a line's instruments");
            magic = true;
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("port ", 0) == 0) {
            out.Port = line.substr(5);
            continue;
        }
        std::istringstream fields(line);
        std::string address, model, speed, parity, set, more;
        fields >> address >> model >> speed >> parity >> set >> more;
        TLineEntry e;
        long n = 0;
        if (!ParseNumber(address, 1, 247, n)) return fail("address '" + address + "' is not 1 to 247");
        e.Address = int(n);
        if (model != "?") {
            e.DevType = -1;
            for (int d = 0; d < DevTypeCount; ++d)
                if (Loose(model) == Loose(ModelShortName(d))) e.DevType = d;
            if (e.DevType < 0) return fail("unknown model '" + model + "'");
        }
        if (!ParseNumber(speed, 1, 1000000, n) ||
            std::find(std::begin(SweepSpeeds), std::end(SweepSpeeds), uint32_t(n)) == std::end(SweepSpeeds))
            return fail("speed '" + speed + "' is not one of 1200 to 115200");
        e.Setting.Speed = uint32_t(n);
        const auto p = parity.size() == 1 ? ParityOfLetter(parity[0]) : std::nullopt;
        if (!p) return fail("parity '" + parity + "' is not N, O or E");
        e.Setting.Parity = *p;
        if (!set.empty() && set != "set") return fail("unexpected '" + set + "'");
        if (!more.empty()) return fail("unexpected '" + more + "'");
        e.ModelSet = !set.empty();
        for (const TLineEntry& o : out.Entries)
            if (o.Address == e.Address && o.Setting == e.Setting) return fail("address " + address + " listed twice");
        out.Entries.push_back(e);
    }
    if (!magic) {
        error = "the file is empty";
        return false;
    }
    list = std::move(out);
    return true;
}

} // namespace orn
