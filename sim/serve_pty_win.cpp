// orn10sim on Windows: there is no pseudo-terminal; the line is served over
// TCP (--tcp).
#include "serve.h"

#include <cstdio>

namespace orn::sim {

int ServePty(SimLine&, const Options&, const std::string&) {
    std::fprintf(stderr, "orn10sim: this system has no pseudo-terminals: serve the line over TCP, e.g. "
                         "--tcp 5020 (the utility's port then is rtu+tcp://127.0.0.1:5020)\n");
    return 2;
}

} // namespace orn::sim
