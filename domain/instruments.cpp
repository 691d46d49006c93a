// Models, register map, readings decoding, range checks and value conversion
// of the ORN10 instruments.
#include "instruments.h"

#include <cstdio>

namespace orn {

namespace {
constexpr bool on = true;
constexpr bool off = false;
} // namespace

// Write registers: threshold 1, threshold 2, magnetic calibration gas,
// current output, calibration, fix, fixed output value, service protocol.
// Enabled: SBtWrLimit1, SBtWrLimit2, SBtWrMagnet, SBtWrCurrent, GBCur.
const std::array<TModelInfo, DevTypeCount> Models{{
    {"ОРН10-X-X1 MB1", TModelGroup::mgMB, 1, 6, /**/ 8, 9, 7, 10, 2, 1, 2, 99, /**/ off, off, off, off, off},
    {"ОРН10-X-X1 MB2", TModelGroup::mgMB, 1, 9, /**/ 8, 9, 7, 10, 2, 1, 2, 99, /**/ on, on, on, off, off},
    {"ОРН10-X-X1 MB3", TModelGroup::mgMB, 1, 12, /**/ 8, 9, 7, 10, 2, 1, 2, 99, /**/ on, on, on, on, on},
    {"ОРН10-X-X1 MB4", TModelGroup::mgMB, 1, 13, /**/ 8, 9, 7, 10, 2, 1, 2, 99, /**/ on, on, on, on, on},
    {"ОРН10-X-20", TModelGroup::mgX2x, 1, 7, /**/ 6, 0, 0, 0, 5, 0, 0, 99, /**/ on, off, off, off, off},
    {"ОРН10-X-22", TModelGroup::mgX2x, 1, 11, /**/ 6, 7, 0, 0, 5, 0, 0, 99, /**/ on, on, off, off, off},
}};

const TModelInfo* ModelOf(int devType) {
    return ValidDevType(devType) ? &Models[static_cast<size_t>(devType)] : nullptr;
}

// ---------------------------------------------------------------------------
// Register image

bool TRegImage::Set(int reg, uint16_t value) {
    if (reg < 0 || reg >= RegImageSize)
        return false;
    Regs[static_cast<size_t>(reg)] = value;
    return true;
}

size_t TRegImage::Store(uint16_t offset, const uint8_t* data, size_t n) {
    if (data == nullptr)
        return 0;
    size_t stored = 0;
    // Words whose register lies past 13 are dropped; nothing beyond the
    // image is touched whatever the offset or the length of the answer.
    for (size_t k = 0; 2 * k + 1 < n; ++k) {
        size_t reg = size_t{offset} + k;
        if (reg >= size_t{RegImageSize})
            break;
        Regs[reg] = static_cast<uint16_t>((data[2 * k] << 8) | data[2 * k + 1]);
        ++stored;
    }
    return stored;
}

// ---------------------------------------------------------------------------
// Rows of the readings table

namespace {

enum class Rule : uint8_t { None, Dec32, Gas, Hundredths, Hex, Unsigned, Date, Time };

struct RowSpec {
    const char* Label;
    Rule Decode;
    uint8_t RegA;   // the register; the high word of a 32-bit value; reg 9 of the date; reg 10 of the time
    uint8_t RegB;   // the low word of a 32-bit value; reg 10 of the date; reg 11 of the time
};

constexpr RowSpec Unused{"", Rule::None, 0, 0};

// MB models form a chain: each has the rows of the one before it.
constexpr RowSpec MBRows[GridRowCount] = {
    {"Сер. номер", Rule::Dec32, 6, 5},
    {"Газ, %об.", Rule::Gas, 2, 0},
    {"t, С", Rule::Hundredths, 3, 0},
    {"Статус", Rule::Hex, 1, 0},
    {"Диапазон измер., %об", Rule::Hundredths, 4, 0},
    {"Порог №1, %об", Rule::Hundredths, 8, 0},
    {"Порог №2, %об", Rule::Hundredths, 9, 0},
    {"Газ магн. град-ки, %об", Rule::Hundredths, 7, 0},
    {"Ток, мА", Rule::Hundredths, 10, 0},
    {"Время работы, с", Rule::Dec32, 12, 11},
    {"Версия ПО", Rule::Hundredths, 13, 0},
};
// Rows each MB model uses (MB1..MB4): rows 0..n-1.
constexpr int MBRowsUsed[4] = {5, 8, 10, 11};

constexpr RowSpec X20Rows[GridRowCount] = {
    {"Сер. номер", Rule::Dec32, 2, 1},
    {"Газ, %об.", Rule::Gas, 5, 0},
    {"t, С", Rule::Hundredths, 4, 0},
    {"Статус", Rule::Hex, 3, 0},
    {"Версия ПО", Rule::Hundredths, 7, 0},
    {"Порог №1, %об", Rule::Hundredths, 6, 0},
    Unused, Unused, Unused, Unused, Unused,
};

constexpr RowSpec X22Rows[GridRowCount] = {
    {"Сер. номер", Rule::Dec32, 2, 1},
    {"Газ, %об.", Rule::Gas, 5, 0},
    {"t, С", Rule::Hundredths, 4, 0},
    {"Статус", Rule::Hex, 3, 0},
    {"Интервал опросов, с", Rule::Unsigned, 8, 0},
    {"Порог №1, %об", Rule::Hundredths, 6, 0},
    {"Порог №2, %об", Rule::Hundredths, 7, 0},
    {"Дата", Rule::Date, 9, 10},
    {"Время", Rule::Time, 10, 11},
    Unused, Unused,
};

const RowSpec& RowOf(int devType, int row) {
    if (!ValidDevType(devType) || row < 0 || row >= GridRowCount)
        return Unused;
    switch (devType) {
    case dtX20: return X20Rows[row];
    case dtX22: return X22Rows[row];
    default: return row < MBRowsUsed[devType] ? MBRows[row] : Unused;
    }
}

} // namespace

const char* RowLabels(int devType, int row) { return RowOf(devType, row).Label; }

std::string ModelShortName(int devType) {
    const TModelInfo* m = ModelOf(devType);
    if (!m) return "";
    const std::string item = m->ItemText;
    const size_t blank = item.rfind(' ');
    return blank != std::string::npos ? item.substr(blank + 1) : item.substr(item.find('-') + 1);
}

int64_t SerialNumberOf(int devType, const TRegImage& image) {
    const RowSpec& r = RowOf(devType, 0);
    const int64_t u = (int64_t{image[r.RegA]} << 16) | image[r.RegB];
    return u >= 0x80000000LL ? u - 0x100000000LL : u;
}

std::optional<double> GasConcentrationOf(int devType, const TRegImage& image) {
    const RowSpec& r = RowOf(devType, 1);
    if (r.Decode != Rule::Gas || image[r.RegA] >= 9999) return std::nullopt;
    return image[r.RegA] / 100.0;
}

bool RowUsed(int devType, int row) { return RowOf(devType, row).Decode != Rule::None; }

uint8_t StatusRegister(int devType) { return RowOf(devType, 3).RegA; }

std::vector<TStatusBitInfo> StatusBits(int devType) {
    if (IsMBModel(devType)) return {{CurrentFixedMask, TStatusBit::CurrentFixed}};
    return {};
}

int AlarmLevel(int devType, const TRegImage& image) {
    const RowSpec& gas = RowOf(devType, 1);
    if (gas.Decode != Rule::Gas || image[gas.RegA] >= 9999) return 0;
    const uint16_t v = image[gas.RegA];
    int level = 0;
    for (int value : {svThreshold1, svThreshold2}) {
        const uint8_t reg = SettingRegister(devType, value);
        if (reg && v >= image[reg]) level = value == svThreshold1 ? 1 : 2;
    }
    return level;
}

const char* const MBErrorTexts[MBErrorCount] = {
    "00",
    "Ошибка 01 (неверный адрес регистра) ",
    "Ошибка 02 (неверное значение)",
    "Ошибка 03",
    "Ошибка 04",
    "Ошибка 05",
    "Ошибка 06",
    "Нет связи",
    "Ошибка 08",
    "Ошибка 09 (CRC)",
    "Ошибка 10 (прибор занят)",
    "Ошибка 11 (порт не инициирован)",
};

const char* MBErrorText(int code) { return code >= 0 && code < MBErrorCount ? MBErrorTexts[code] : ""; }

// ---------------------------------------------------------------------------
// Decoding rules

std::string HundredthsText(uint16_t v, const std::string& sep) {
    // Four significant digits: from 100,00 up the value keeps one decimal.
    // Rounded on the integer, so 100,55 is 100,60 (binary floating point
    // would see 100,5499... and round it down).
    uint32_t h = v;
    if (h >= 10000)
        h = (h + 5) / 10 * 10;
    char frac[3] = {static_cast<char>('0' + h % 100 / 10), static_cast<char>('0' + h % 10), '\0'};
    return std::to_string(h / 100) + sep + frac;
}

std::string GasText(uint16_t v, const std::string& sep) {
    return v >= 9999 ? HexText(v) : HundredthsText(v, sep);
}

std::string HexText(uint16_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(v));
    return buf;
}

std::string Decimal32Text(uint16_t high, uint16_t low) {
    int64_t u = (int64_t{high} << 16) | low;
    return std::to_string(u >= 0x80000000LL ? u - 0x100000000LL : u);
}

std::string UnsignedText(uint16_t v) { return std::to_string(v); }

std::string X22DateText(uint16_t reg9, uint16_t reg10) {
    return std::to_string(reg10 >> 8) + "/" + std::to_string(reg9 & 0x0F) + "/" + std::to_string(reg9 >> 8);
}

std::string X22TimeText(uint16_t reg10, uint16_t reg11) {
    return std::to_string(reg10 & 0x1F) + ":" + std::to_string(reg11 >> 8) + ":" + std::to_string(reg11 & 0x3F);
}

uint16_t RowRegisters(int devType, int row) {
    const RowSpec& r = RowOf(devType, row);
    if (r.Decode == Rule::None) return 0;
    // Register 0 is never read: a row of one register has RegB 0.
    return uint16_t((1u << r.RegA) | (r.RegB ? 1u << r.RegB : 0u));
}

std::string ExactHundredths(int32_t v, const std::string& sep) {
    const int64_t a = v < 0 ? -int64_t(v) : v;
    char frac[4];
    std::snprintf(frac, sizeof frac, "%02d", int(a % 100));
    return (v < 0 ? "-" : "") + std::to_string(a / 100) + sep + frac;
}

std::optional<std::string> ReadingText(int devType, int row, const TRegImage& image, const std::string& sep) {
    const RowSpec& r = RowOf(devType, row);
    const uint16_t a = image[r.RegA];
    const uint16_t b = image[r.RegB];
    switch (r.Decode) {
    case Rule::None: return std::nullopt;
    case Rule::Dec32: return Decimal32Text(a, b);
    case Rule::Gas: return GasText(a, sep);
    case Rule::Hundredths: return HundredthsText(a, sep);
    case Rule::Hex: return HexText(a);
    case Rule::Unsigned: return UnsignedText(a);
    case Rule::Date: return X22DateText(a, b);
    case Rule::Time: return X22TimeText(a, b);
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------
// Range check

TValueRange WriteRange(int devType, int reg, const TRegImage& image) {
    if (IsMBModel(devType)) {
        switch (reg) {
        case 7: return {1, image[4], true};         // magnetic calibration gas: 0,01 .. measuring range
        case 8: return {0, image[9], true};         // threshold 1: not above threshold 2
        case 9: return {image[8], image[4], true};  // threshold 2: threshold 1 .. measuring range
        case 10: return {1, 5000};                  // current output: 0,01 .. 50,00 mA
        default: break;
        }
    } else if (devType == dtX22) {
        switch (reg) {
        case 6: return {0, image[7], true};         // threshold 1: not above threshold 2
        case 7: return {image[6], 0xFFFF, true};    // threshold 2: not below threshold 1
        default: break;
        }
    }
    return {0, 0xFFFF};
}

bool WriteValueAllowed(int devType, int reg, uint16_t value, const TRegImage& image) {
    return WriteRange(devType, reg, image).Contains(value);
}

bool WriteUsesImage(int devType, int reg) {
    const TModelInfo* model = ModelOf(devType);
    if (model && model->Group == TModelGroup::mgMB && (reg == model->RegFix || reg == model->RegCalb))
        return true;
    return WriteRange(devType, reg, TRegImage{}).FromImage;
}

const char* WriteAction(int devType, int reg, uint16_t value, const TRegImage& before) {
    const TModelInfo* m = ModelOf(devType);
    if (!m || reg <= 0) return "register";
    if (reg == m->RegService) return "service";
    if (reg == m->RegLimit1) return "threshold1";
    if (reg == m->RegLimit2) return "threshold2";
    if (reg == m->RegMagnet) return "magnet";
    if (reg == m->RegCurrent) return "current";
    if (reg == m->RegFix) return (value & CurrentFixedMask) ? "fix" : "release";
    if (reg == m->RegCalb) {
        // While an MB model's output is fixed, its gas register drives the output.
        if (m->Group == TModelGroup::mgMB && before.CurrentFixed()) return value == 0 ? "output4" : "output20";
        if (value == CmdSetZero) return "zero";
        if (value == CmdResetCalibration) return "reset";
        return "calibrate";
    }
    return "register";
}

bool TypedValueWritable(int devType, int reg, int32_t hundredths) {
    if (hundredths < 0 || hundredths > 0xFFFF) return false;
    const TModelInfo* model = ModelOf(devType);
    if (model && reg == model->RegCalb && (hundredths == CmdSetZero || hundredths == CmdResetCalibration))
        return false;
    return true;
}

uint8_t SettingRegister(int devType, int value) {
    const TModelInfo* m = ModelOf(devType);
    if (!m) return 0;
    switch (value) {
    case svThreshold1: return m->EnLimit1 ? m->RegLimit1 : 0;
    case svThreshold2: return m->EnLimit2 ? m->RegLimit2 : 0;
    case svMagnet: return m->EnMagnet ? m->RegMagnet : 0;
    default: return 0;
    }
}

int SettingRow(int value) { return value == svThreshold1 ? 5 : value == svThreshold2 ? 6 : 7; }

std::vector<TSettingWrite> SettingWrites(int devType, const std::array<std::optional<uint16_t>, SettingValueCount>& wanted,
                                         const TRegImage& image) {
    std::vector<TSettingWrite> out;
    auto add = [&](int value) {
        const uint8_t reg = SettingRegister(devType, value);
        if (reg && wanted[size_t(value)]) out.push_back({value, reg, *wanted[size_t(value)]});
    };
    // Threshold 1 may not pass the present threshold 2, nor threshold 2
    // fall below the present threshold 1: the one that makes room goes first.
    const uint8_t reg2 = SettingRegister(devType, svThreshold2);
    const bool upward = reg2 && wanted[svThreshold1] && wanted[svThreshold2] && *wanted[svThreshold1] > image[reg2];
    add(upward ? svThreshold2 : svThreshold1);
    add(upward ? svThreshold1 : svThreshold2);
    add(svMagnet);
    return out;
}

// ---------------------------------------------------------------------------
// Value conversion

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

std::optional<int32_t> ParseHundredths(const std::string& text, const std::string& sep) {
    size_t i = 0, end = text.size();
    while (i < end && IsBlank(text[i]))
        ++i;
    while (end > i && IsBlank(text[end - 1]))
        --end;

    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';

    // Mantissa: its significant digits (leading zeros dropped) and the
    // number of digits after the separator.
    std::string digits;
    int64_t fracDigits = 0;
    size_t mantissaDigits = 0;
    auto takeDigits = [&](bool fraction) {
        while (i < end && IsDigit(text[i])) {
            if (!digits.empty() || text[i] != '0')
                digits += text[i];
            if (fraction)
                ++fracDigits;
            ++mantissaDigits;
            ++i;
        }
    };
    takeDigits(false);
    if (!sep.empty() && i + sep.size() <= end && text.compare(i, sep.size(), sep) == 0) {
        i += sep.size();
        takeDigits(true);
    }
    // Nothing else may follow: no exponent, no second separator.
    if (mantissaDigits == 0 || i != end)
        return std::nullopt;

    // hundredths = digits * 10^shift, truncated toward zero.
    int64_t shift = 2 - fracDigits;
    if (shift < 0) {
        // Drop the digits below a hundredth.  fracDigits is bounded by the
        // text's length, so -shift cannot overflow.
        uint64_t drop = static_cast<uint64_t>(-shift);
        digits.resize(drop >= digits.size() ? 0 : digits.size() - static_cast<size_t>(drop));
        shift = 0;
    }
    if (digits.empty())
        return 0;
    // 2147483648 has ten digits: more than that never fits.
    if (static_cast<int64_t>(digits.size()) + shift > 10)
        return std::nullopt;
    int64_t magnitude = 0;
    for (char c : digits)
        magnitude = magnitude * 10 + (c - '0');
    for (int64_t s = 0; s < shift; ++s)
        magnitude *= 10;
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    if (magnitude > limit)
        return std::nullopt;
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

std::string ZeroFourDecimals(const std::string& sep) { return "0" + sep + "0000"; }

} // namespace orn
