// The two ways orn10sim serves its line: on a pseudo-terminal (POSIX systems,
// serve_pty_posix.cpp; serve_pty_win.cpp says there is none) or over TCP
// (main.cpp, every system).
#pragma once

#include "options.h"
#include "sim_line.h"

#include <string>

namespace orn::sim {

inline const char* ParityName(TComPortParity p) { return p == ptNONE ? "none" : p == ptODD ? "odd" : "even"; }

// Serves `line` on a pseudo-terminal until interrupted; the exit status.
// `names` lists the instruments for the start-up message.
int ServePty(SimLine& line, const Options& o, const std::string& names);

} // namespace orn::sim
