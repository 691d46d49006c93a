// The records' own settings, in a small file that the window and orn10ctl
// both read: which team server (if any) receives the records.  It is kept
// apart from the window's settings so that orn10ctl, which has no Qt, finds
// the same server.
#pragma once

#include <string>

namespace orn::records {

struct TRecordsConfig {
    std::string server;   // a libpq connection string; empty: the local file only
};

// ConfigDirectory()/records.conf.
std::string ConfigPath();

// A missing file is the defaults.  False with `error` for a file that
// cannot be read or written.
bool LoadConfig(TRecordsConfig& config, std::string& error, const std::string& path = ConfigPath());
bool SaveConfig(const TRecordsConfig& config, std::string& error, const std::string& path = ConfigPath());

} // namespace orn::records
