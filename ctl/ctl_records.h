// orn10ctl and the service records: its writes and commands recorded like
// the window's, and the history read back (history, export).
#pragma once

#include "options.h"
#include "output.h"
#include "records.h"

#include <string>
#include <vector>

namespace orn::ctl {

// The records of a run's writes go into the local file and, when a team
// server is set (records.conf), on to it.  False when the local file could
// not take them (`error` says why); a server that cannot be reached is not
// a failure (the records wait in the outbox) and is told in `note`.
bool KeepRecords(const std::vector<records::TServiceRecord>& recs, std::string& error, std::string& note);

// A record of a write or command about to be kept: who, where, which program.
records::TServiceRecord WriteRecord(const TOptions& o);

// history SERIAL, export: the records, from the local file merged with the
// team server's when one is set.  Returns the exit status.
int ShowRecords(const TOptions& o, TOutput& out);

} // namespace orn::ctl
