// Fuzz target: the value dialog's conversion of typed text to hundredths.
//
// Input: one byte choosing the decimal separator ("," "." or the two-byte
// Arabic one), then the typed text.  Whatever is typed, the conversion
// returns; surrounding blanks change nothing; a result written back with two
// decimals converts to itself; text without any separator converts alike
// under every separator; no exponent is taken; and a short text gets exactly
// the result of a plain reference: the text split at its separator, and the
// value evaluated in wide integers.
#include "fuzz_check.h"
#include "instruments.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

using namespace orn;
using orn::fuzz::Separators;

namespace {

bool AllDigits(const std::string& s) { return s.find_first_not_of("0123456789") == std::string::npos; }

// The reference for texts of at most MaxReferenceText characters.
constexpr size_t MaxReferenceText = 30;

std::optional<int32_t> Reference(const std::string& text, const std::string& sep) {
    // The grammar by splitting: blanks | sign | whole | separator | fraction.
    const char* const blanks = " \t\n\r\v\f";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::nullopt;
    std::string core = text.substr(first, text.find_last_not_of(blanks) - first + 1);
    const bool negative = !core.empty() && core[0] == '-';
    if (!core.empty() && (core[0] == '+' || core[0] == '-')) core.erase(0, 1);
    std::string whole = core, fraction;
    const size_t s = core.find(sep);
    if (s != std::string::npos) {
        whole = core.substr(0, s);
        fraction = core.substr(s + sep.size());
    }
    if ((whole.empty() && fraction.empty()) || !AllDigits(whole) || !AllDigits(fraction)) return std::nullopt;

    // value = mantissa * 10^-(fraction digits); hundredths = value * 100.
    __int128 mantissa = 0;   // at most 30 digits: fits
    for (char c : whole + fraction) mantissa = mantissa * 10 + (c - '0');
    long long k = 2 - static_cast<long long>(fraction.size());

    const __int128 limit = negative ? __int128(2147483648LL) : __int128(2147483647LL);
    if (mantissa == 0) return 0;
    __int128 v = mantissa;
    for (; k > 0 && v <= limit; --k) v *= 10;
    for (; k < 0 && v > 0; ++k) v /= 10;   // toward zero
    if (v > limit) return std::nullopt;
    return static_cast<int32_t>(negative ? -v : v);
}

// r hundredths with two decimals: -1234 -> "-12,34".
std::string TwoDecimals(int32_t r, const std::string& sep) {
    const long long a = r < 0 ? -static_cast<long long>(r) : r;
    char frac[3] = {char('0' + a % 100 / 10), char('0' + a % 10), 0};
    return std::string(r < 0 ? "-" : "") + std::to_string(a / 100) + sep + frac;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string sep = Separators[data[0] % 3];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::optional<int32_t> r = ParseHundredths(text, sep);
    FUZZ_ASSERT(ParseHundredths(" \t" + text + "\r\n ", sep) == r);
    if (r) FUZZ_ASSERT(ParseHundredths(TwoDecimals(*r, sep), sep) == r);
    if (text.find_first_of("eE") != std::string::npos) FUZZ_ASSERT(!r);
    if (text.find_first_of(",.\xD9\xAB") == std::string::npos) {
        for (const char* other : Separators) FUZZ_ASSERT(ParseHundredths(text, other) == r);
    }
    if (text.size() <= MaxReferenceText) {
        const std::optional<int32_t> expected = Reference(text, sep);
        if (expected != r) {
            std::fprintf(stderr, "text [%s] sep [%s]: got %s%ld, expected %s%ld\n", text.c_str(), sep.c_str(),
                         r ? "" : "none ", long(r.value_or(0)), expected ? "" : "none ",
                         long(expected.value_or(0)));
            std::abort();
        }
    }
    return 0;
}
