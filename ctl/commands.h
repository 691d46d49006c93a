// The commands of orn10ctl: read, watch, scan, the writes and the
// instrument commands, on one line, with the window's checks.
#pragma once

#include "options.h"
#include "output.h"
#include "serial_port.h"

#include <csignal>

namespace orn::ctl {

// Runs the command of `options` (not Help or Version) on a port of
// `backend`, printing through `out`.  `stop`, set by a signal handler,
// ends it early.  Returns the exit status.
int Run(const TOptions& options, TOutput& out, SerialBackend& backend, const volatile std::sig_atomic_t* stop);

// The exit status for a transaction's end (0, an error code, Interrupted).
int StatusOf(int code);

} // namespace orn::ctl
