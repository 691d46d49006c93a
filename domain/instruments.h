// The fixed knowledge about the ORN10 instrument family: the six models, their
// read blocks and write registers, the readings table's row labels and
// decoding rules, the register image, the status texts of the master's error
// codes, the range check of a write and the conversion of a typed value to
// hundredths.
//
// Plain C++ on the standard library: the window, the simulator, the tests
// and the benchmarks all use it.  Texts are UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orn {

// ---------------------------------------------------------------------------
// Models

// The models in the order of the model list; the value is the window's
// DevType.
enum TDevType : int { dtMB1 = 0, dtMB2 = 1, dtMB3 = 2, dtMB4 = 3, dtX20 = 4, dtX22 = 5 };

constexpr int DevTypeCount = 6;
constexpr int InitialDevType = dtMB4;   // selected at program start
constexpr int GridRowCount = 11;        // rows of the readings table

enum class TModelGroup { mgMB, mgX2x };   // MB1..MB4 / X-20 and X-22

// What one model means for the window.  A register of 0 means that the model
// has no such register (register 0 is never read or written); the matching
// control is disabled then and its tag does not matter.
struct TModelInfo {
    const char* ItemText;    // item of the model list
    TModelGroup Group;
    uint8_t RegOffset;       // read block: first register
    uint8_t RegCount;        //             number of registers
    // Write registers of the controls (their Tag).
    uint8_t RegLimit1;       // SBtWrLimit1: threshold 1
    uint8_t RegLimit2;       // SBtWrLimit2: threshold 2
    uint8_t RegMagnet;       // SBtWrMagnet: gas for magnetic calibration
    uint8_t RegCurrent;      // SBtWrCurrent: current output value
    uint8_t RegCalb;         // BtCalb, BtZero, BtInit: gas concentration and its commands
    uint8_t RegFix;          // BoxFix: status word with the fix bit
    uint8_t RegFixedOutput;  // Box4, Box20: value of the fixed current output
    uint8_t RegService;      // SBtGo: switch to the service protocol
    // Enabled controls.
    bool EnLimit1;           // SBtWrLimit1
    bool EnLimit2;           // SBtWrLimit2
    bool EnMagnet;           // SBtWrMagnet
    bool EnCurrent;          // SBtWrCurrent
    bool EnGBCur;            // group GBCur (BoxFix, Box4, Box20)
};

extern const std::array<TModelInfo, DevTypeCount> Models;

inline bool ValidDevType(int devType) { return devType >= 0 && devType < DevTypeCount; }
inline bool IsMBModel(int devType) { return devType >= dtMB1 && devType <= dtMB4; }

// The model of devType, or nullptr outside 0..5.
const TModelInfo* ModelOf(int devType);

// The short name of a model, as records and orn10ctl name it: "MB4",
// "X-22"; the empty text outside 0..5.
std::string ModelShortName(int devType);

// ---------------------------------------------------------------------------
// Registers, commands

constexpr int RegImageSize = 14;            // registers 0..13
constexpr uint16_t CurrentFixedMask = 0x0400; // bit 10 of register 1 on the MB models
constexpr uint8_t RegServiceProtocol = 99;
constexpr uint16_t CmdSetZero = 0xBBBB;
constexpr uint16_t CmdResetCalibration = 0xFFFF;
constexpr uint16_t CmdServiceProtocol = 0x6D2E;

// The window's image of the instrument's holding registers 0..13.  All 0 at
// start; only answers change it, and nothing ever clears it.
struct TRegImage {
    std::array<uint16_t, RegImageSize> Regs{};

    // The register's value; 0 for a register outside 0..13.
    uint16_t operator[](int reg) const {
        return reg >= 0 && reg < RegImageSize ? Regs[static_cast<size_t>(reg)] : 0;
    }

    // Sets one register; false (and nothing changed) outside 0..13.
    bool Set(int reg, uint16_t value);

    // Stores the data bytes of an answer: word k (bytes 2k and 2k+1, high
    // byte first) goes to register offset + k, for every k with 2k+1 inside
    // the data.  Words for registers outside 0..13 (the echo of register 99,
    // an over-long answer) are dropped.  Returns the number of words stored.
    size_t Store(uint16_t offset, const uint8_t* data, size_t n);
    template <class Bytes>
    size_t Store(uint16_t offset, const Bytes& data) { return Store(offset, data.data(), data.size()); }

    // Bit 10 of register 1: the current output of an MB model is fixed.
    bool CurrentFixed() const { return (Regs[1] & CurrentFixedMask) != 0; }
};

// ---------------------------------------------------------------------------
// Texts

// Label of a row of the readings table; the empty text for a row the model
// does not use and for a model or row out of range.
const char* RowLabels(int devType, int row);

// True when the model shows a value in the row (exactly the rows with a label).
bool RowUsed(int devType, int row);

// The registers a row of the model decodes, as a mask (bit r for register
// r); 0 for a row the model does not use.
uint16_t RowRegisters(int devType, int row);

// Status texts of the master's error codes 0..11.
constexpr int MBErrorCount = 12;
extern const char* const MBErrorTexts[MBErrorCount];

// The text for an error code; the empty text for a code outside 0..11.
const char* MBErrorText(int code);

// ---------------------------------------------------------------------------
// Decoding rules.  `sep` is the regional decimal separator ("," or ".").

// v hundredths with exactly two decimals, after rounding the exact decimal
// value to at most four significant digits (half away from zero): 2150 ->
// 21,50; 10055 -> 100,60.
std::string HundredthsText(uint16_t v, const std::string& sep);

// Gas concentration: 9999 (0x270F) and above as hexadecimal, else hundredths.
std::string GasText(uint16_t v, const std::string& sep);

// Four upper-case hexadecimal digits: 0400, FFFF.
std::string HexText(uint16_t v);

// high * 65536 + low as a signed 32-bit decimal number.
std::string Decimal32Text(uint16_t high, uint16_t low);

// v in decimal.
std::string UnsignedText(uint16_t v);

// X-22 date day/month/year from registers 9 and 10.
std::string X22DateText(uint16_t reg9, uint16_t reg10);

// X-22 time hour:minute:second from registers 10 and 11.
std::string X22TimeText(uint16_t reg10, uint16_t reg11);

// v hundredths written exactly, with two decimals: 5000 -> 50,00; 10055 ->
// 100,55 (no rounding, unlike HundredthsText): the bounds of a range.
std::string ExactHundredths(int32_t v, const std::string& sep);

// The value column of one row of the readings table, decoded from the image
// by the model's rule for that row; nullopt for a row the model does not use
// (such cells are left as they are) and for a model or row out of range.
std::optional<std::string> ReadingText(int devType, int row, const TRegImage& image, const std::string& sep);

// The serial number the readings table shows, as a number.
int64_t SerialNumberOf(int devType, const TRegImage& image);

// The gas concentration the readings table shows, in its unit (%об);
// nullopt when the table shows it in hexadecimal (9999 or more: a command's
// echo or out of range) and for a model out of range.
std::optional<double> GasConcentrationOf(int devType, const TRegImage& image);

// The register that holds the status word: 1 on the MB models, 3 on the
// 0 for a model out of range.
uint8_t StatusRegister(int devType);

// The bits of the status word that a model defines.  Only the MB models
// define one: bit 10, the current output fixed.  Other bits have no
// meaning known here.
enum class TStatusBit { CurrentFixed };
struct TStatusBitInfo {
    uint16_t Mask;
    TStatusBit Bit;
};
std::vector<TStatusBitInfo> StatusBits(int devType);

// How the gas reading stands against the model's alarm thresholds as the
// image holds them: 0 below threshold 1 (or the model has none, or the
// reading is shown in hexadecimal), 1 at or above threshold 1, 2 at or
// above threshold 2.
int AlarmLevel(int devType, const TRegImage& image);

// ---------------------------------------------------------------------------
// Writes

// What writing `value` to `reg` does on the model, the instrument's state
// taken from `before` (the image before the write): "threshold1",
// "threshold2", "magnet", "current", "calibrate", "zero", "reset", "fix",
// "release", "output4", "output20", "service"; "register" for any other.
const char* WriteAction(int devType, int reg, uint16_t value, const TRegImage& before);

// The inclusive range of values a write of `reg` accepts on the model, with
// its bounds taken from the image as it is now.  Low > High refuses every
// value.  Unchecked registers (and every register of the X-20) give 0..65535.
struct TValueRange {
    uint16_t Low;
    uint16_t High;
    bool FromImage = false;   // a bound comes from the image
    bool Contains(uint16_t v) const { return v >= Low && v <= High; }
};
TValueRange WriteRange(int devType, int reg, const TRegImage& image);

// The range check of a write: `value` is the low 16 bits of the written value.
bool WriteValueAllowed(int devType, int reg, uint16_t value, const TRegImage& image);

// Whether a write of `reg` takes its value, its guard or its range from the
// image: on the MB models the status word and the gas register (the fix bit,
// the measuring range sent for 20 mA, calibration only while the output is
// not fixed), and on every model the registers whose range the image bounds.
// Such a write is good only for the instrument the image was read from.
bool WriteUsesImage(int devType, int reg);

// Whether a typed value, in hundredths, may go to `reg` at all: only a
// register value (0 to 655,35, nothing that would wrap around 16 bits), and
// on the model's calibration register never a command code (set zero,
// factory reset), so that a typed concentration cannot execute a command.
// Zero and reset have their own buttons and do not come through here.
bool TypedValueWritable(int devType, int reg, int32_t hundredths);

// The values that can be copied from one instrument to others: the two
// alarm thresholds and the gas for magnetic calibration.
enum TSettingValue : int { svThreshold1, svThreshold2, svMagnet };
constexpr int SettingValueCount = 3;

// The register of `value` on the model (its value button's register); 0
// when the model has no such value.
uint8_t SettingRegister(int devType, int value);
// The readings row that shows it (5, 6, 7).
int SettingRow(int value);

// One write of a copy.
struct TSettingWrite {
    int Value;        // TSettingValue
    uint8_t Reg;
    uint16_t Word;
};

// The writes that set `wanted` (by TSettingValue; nullopt: not copied) on
// an instrument of the model, in an order in which each passes its range
// check against the image as the writes before it leave it: threshold 2
// first when the new threshold 1 lies above the present threshold 2, else
// threshold 1 first; the magnetic calibration gas last.  Values the model
// lacks are left out.  The checks themselves are WriteRange's, made by the
// caller on the image as it is at each write.
std::vector<TSettingWrite> SettingWrites(int devType, const std::array<std::optional<uint16_t>, SettingValueCount>& wanted,
                                         const TRegImage& image);

// ---------------------------------------------------------------------------
// Value entry

// Converts a typed number to hundredths, exactly on the decimal text: digits
// beyond the second decimal are dropped toward zero (1,239 -> 123; -0,5 ->
// -50).  Accepted: surrounding blanks, an optional sign, digits with at most
// one `sep` (digits on at least one side).  nullopt for anything else and for
// a value whose hundredths do not fit a signed 32-bit integer.  No exponent:
// the table shows gas readings from 9999 up in hexadecimal, and such a text
// taken over into the dialog ("3E00", "27E5") must not pass for a number.
std::optional<int32_t> ParseHundredths(const std::string& text, const std::string& sep);

// Zero with four decimals ("0,0000"), shown when a typed value is refused.
std::string ZeroFourDecimals(const std::string& sep);

} // namespace orn
