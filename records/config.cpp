#include "config.h"

#include "platform.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace orn::records {

namespace {

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

} // namespace

std::string ConfigPath() { return ConfigDirectory() + "/records.conf"; }

bool LoadConfig(TRecordsConfig& config, std::string& error, const std::string& path) {
    config = TRecordsConfig{};
    const std::filesystem::path file = std::filesystem::u8path(path);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return true;
    std::ifstream in(file);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    // "key = value" lines; "#" begins a comment line.
    for (std::string line; std::getline(in, line);) {
        line = Trim(line);
        const size_t eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
        if (Trim(line.substr(0, eq)) == "server") config.server = Trim(line.substr(eq + 1));
    }
    return true;
}

bool SaveConfig(const TRecordsConfig& config, std::string& error, const std::string& path) {
    const std::filesystem::path file = std::filesystem::u8path(path);
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    std::ofstream out(file, std::ios::trunc);
    out << "# The team server that receives the service records (a PostgreSQL\n"
           "# connection string); empty: the records stay in the local file.\n"
        << "server = " << config.server << "\n";
    out.close();
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    // It may hold a password.
    std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, ec);
    return true;
}

} // namespace orn::records
