// Fuzz target: the decoding rules of the readings table and the register
// image that answers are stored into.
//
// Input: one byte choosing the decimal separator, two bytes of an answer's
// first register, then 28 bytes of a register image (0 to 13, high byte
// first; missing bytes are 0) and the answer's data bytes.  Storing the
// answer touches exactly the registers it covers inside the image; every
// model and row (also out of range) decodes or declines as its label says;
// a row's text depends only on registers its model reads; and each rule's
// text reads back to its register: hundredths through the dialog's own
// conversion, hexadecimal and signed 32-bit values through the C library.
#include "fuzz_check.h"
#include "instruments.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace orn;
using orn::fuzz::Separators;

namespace {

void CheckStore(const TRegImage& before, uint16_t offset, const uint8_t* data, size_t n) {
    TRegImage image = before;
    const size_t stored = image.Store(offset, data, n);
    size_t expected = 0;
    for (int reg = 0; reg < RegImageSize; ++reg) {
        const size_t k = size_t(reg) - offset;   // the answer's word for reg, if any
        const bool covered = reg >= offset && 2 * k + 1 < n;
        if (covered) {
            ++expected;
            FUZZ_ASSERT(image[reg] == uint16_t(data[2 * k] << 8 | data[2 * k + 1]));
        } else {
            FUZZ_ASSERT(image[reg] == before[reg]);
        }
    }
    FUZZ_ASSERT(stored == expected);
    FUZZ_ASSERT(image.Store(offset, nullptr, 0) == 0);
}

void CheckHundredths(uint16_t v, const std::string& sep) {
    const std::string text = HundredthsText(v, sep);
    FUZZ_ASSERT(text.size() >= 3 + sep.size());
    FUZZ_ASSERT(text.compare(text.size() - 2 - sep.size(), sep.size(), sep) == 0);
    const auto back = ParseHundredths(text, sep);
    FUZZ_ASSERT(back.has_value());
    // Four significant digits: exact below 100,00, to a tenth above.
    if (v < 10000) FUZZ_ASSERT(*back == v);
    else FUZZ_ASSERT(*back % 10 == 0 && *back - v <= 5 && v - *back <= 4);
}

void CheckRules(uint16_t a, uint16_t b, const std::string& sep) {
    CheckHundredths(a, sep);
    const std::string hex = HexText(a);
    FUZZ_ASSERT(hex.size() == 4 && hex.find_first_not_of("0123456789ABCDEF") == std::string::npos);
    FUZZ_ASSERT(std::strtoul(hex.c_str(), nullptr, 16) == static_cast<unsigned long>(a));
    FUZZ_ASSERT(GasText(a, sep) == (a >= 9999 ? hex : HundredthsText(a, sep)));
    FUZZ_ASSERT(std::strtoll(Decimal32Text(a, b).c_str(), nullptr, 10) == int32_t(uint32_t(a) << 16 | b));
    FUZZ_ASSERT(std::strtoul(UnsignedText(a).c_str(), nullptr, 10) == static_cast<unsigned long>(a));
}

bool ReadingChars(const std::string& text, const std::string& sep) {
    std::string rest;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, sep.size(), sep) == 0) i += sep.size() - 1;
        else rest += text[i];
    }
    return rest.find_first_not_of("0123456789ABCDEF-/:") == std::string::npos;
}

void CheckReadings(const TRegImage& image, const std::string& sep) {
    for (int dev = -1; dev <= DevTypeCount; ++dev) {
        const TModelInfo* model = ModelOf(dev);
        FUZZ_ASSERT((model != nullptr) == ValidDevType(dev));
        // The same image with every register the model does not read changed.
        TRegImage unread = image;
        for (int reg = 0; reg < RegImageSize; ++reg) {
            const bool read = model && reg >= model->RegOffset && reg < model->RegOffset + model->RegCount;
            if (!read) unread.Set(reg, uint16_t(~image[reg]));
        }
        for (int row = -1; row <= GridRowCount; ++row) {
            const auto text = ReadingText(dev, row, image, sep);
            const bool used = RowUsed(dev, row);
            FUZZ_ASSERT(used == (*RowLabels(dev, row) != '\0'));
            FUZZ_ASSERT(!used || (model && row >= 0 && row < GridRowCount));
            FUZZ_ASSERT(text.has_value() == used);
            if (!text) continue;
            FUZZ_ASSERT(!text->empty() && text->size() <= 16);
            FUZZ_ASSERT(ReadingChars(*text, sep));
            FUZZ_ASSERT(ReadingText(dev, row, unread, sep) == text);
        }
    }
}

void CheckWriteRanges(const TRegImage& image, uint16_t value) {
    for (int dev = -1; dev <= DevTypeCount; ++dev) {
        for (int reg = 0; reg <= 100; ++reg) {
            const TValueRange range = WriteRange(dev, reg, image);
            FUZZ_ASSERT(WriteValueAllowed(dev, reg, value, image) == range.Contains(value));
            // The X-20 has no range check at all.
            if (dev == dtX20 || !ValidDevType(dev)) FUZZ_ASSERT(range.Low == 0 && range.High == 0xFFFF);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const std::string sep = Separators[data[0] % 3];
    const uint16_t offset = uint16_t(data[1] << 8 | data[2]);
    data += 3;
    size -= 3;

    TRegImage image;
    const size_t imageBytes = std::min<size_t>(size, 2 * RegImageSize);
    FUZZ_ASSERT(image.Store(0, data, imageBytes) == imageBytes / 2);
    if (imageBytes % 2) image.Set(int(imageBytes / 2), uint16_t(data[imageBytes - 1] << 8));
    FUZZ_ASSERT(!image.Set(-1, 1) && !image.Set(RegImageSize, 1));
    data += imageBytes;
    size -= imageBytes;

    CheckStore(image, offset, data, size);
    CheckStore(image, uint16_t(offset % RegImageSize), data, size);
    for (int reg = 0; reg < RegImageSize; ++reg) CheckRules(image[reg], image[(reg + 1) % RegImageSize], sep);
    CheckReadings(image, sep);
    CheckWriteRanges(image, uint16_t(offset));
    return 0;
}
