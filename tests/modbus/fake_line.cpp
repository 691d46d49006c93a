#include "fake_line.h"

#include "frames.h"

#include <cctype>
#include <cstdio>
#include <string>

namespace orn::test {

std::vector<uint8_t> Hex(const char* text) {
    std::vector<uint8_t> out;
    std::string digits;
    for (const char* p = text; *p; ++p) {
        if (std::isxdigit(static_cast<unsigned char>(*p))) digits += *p;
        if (digits.size() == 2) {
            out.push_back(uint8_t(std::stoul(digits, nullptr, 16)));
            digits.clear();
        }
    }
    return out;
}

std::string ToHex(const std::vector<uint8_t>& bytes) {
    std::string s;
    char b[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", bytes[i]);
        s += b;
    }
    return s;
}

std::vector<uint8_t> WithCrc(std::vector<uint8_t> body) {
    body.resize(body.size() + 2);
    SetFrameCRC(body);
    return body;
}

} // namespace orn::test
