// What the fuzz targets share: a check that stops the run with the failed
// condition, and the decimal separators they try.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_ASSERT(c)                                                   \
    do {                                                                 \
        if (!(c)) {                                                      \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #c); \
            std::abort();                                                \
        }                                                                \
    } while (0)

namespace orn::fuzz {

// The regional decimal separators: comma, full stop, and the two-byte Arabic
// one (U+066B) for a separator longer than one byte.
inline const char* const Separators[3] = {",", ".", "\xD9\xAB"};

} // namespace orn::fuzz
